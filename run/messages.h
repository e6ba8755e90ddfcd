// The texts the search run shows: message boxes, the status line and captions.
#pragma once

namespace talvo::run {

inline constexpr const char* kMessageNarrowingLimit =
    "絞り込みが99回に達しています。絞り込みを解除します。";
inline constexpr const char* kMessageNoPattern = "検索パターンが指定されていません";
inline constexpr const char* kMessageNoFiles = "検索対象ファイルが指定されていません";
inline constexpr const char* kMessageNoPatternNoFiles =
    "検索パターンと検索対象ファイルが指定されていません";
inline constexpr const char* kMessageEditorMissing =
    "指定したエディタが見つかりません。Settingを選んで設定し直してください。";
inline constexpr const char* kMessageProgramMissing = "プログラムが見つかりません。";
inline constexpr const char* kMessageCannotRun = "エラーが発生しました。www.batを実行できません";
inline constexpr const char* kMessageSearchFirst = "通常の検索を行ってから絞りこんで下さい。";

inline constexpr const char* kStatusCanceled = "Canceled";
inline constexpr const char* kStatusNoLinesMatched = "No Lines Matched";

inline constexpr const char* kBusyCaption = "Now busy ...";
inline constexpr const char* kBusyCancelCaption = "&Cancel";

} // namespace talvo::run
