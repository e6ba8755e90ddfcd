// The settings file talvo.ini: its section and key names, the values read at
// start-up (a plain value type), the settings save of the settings mode and the
// shutdown save. Window positions are 32-bit twips; the history to save and the
// window placement are pure functions.
#pragma once

#include "grep/option_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvo::app {

namespace ini {
inline constexpr std::string_view kFileName = "talvo.ini";
inline constexpr std::string_view kPositionSection = "位置";
inline constexpr std::string_view kLeftKey = "左";
inline constexpr std::string_view kTopKey = "トップ";
inline constexpr std::string_view kTinySection = "タイニィ画面";
inline constexpr std::string_view kTinyKey = "フラグ";
inline constexpr std::string_view kHistorySection = "検索ファイルヒストリー";
inline constexpr std::string_view kEditorSection = "エディタ";
inline constexpr std::string_view kDefaultFileSection = "ディフォールトファイル";
inline constexpr std::string_view kFileNameKey = "ファイル名";
inline constexpr std::string_view kTalvoOptionsSection = "TALVOオプション";
inline constexpr std::string_view kShowOptionsKey = "ｵﾌﾟｼｮﾝﾌﾚｰﾑを表示";
inline constexpr std::string_view kDefaultFileAtStartKey = "起動時にﾃﾞｨﾌｫｰﾙﾄﾌｧｲﾙ";
inline constexpr std::string_view kGrepSection = "起動時のGREP";
inline constexpr std::string_view kGrepNumberKey = "GREP番号";
} // namespace ini

inline constexpr int kHistoryEntries = 10;
// String values are read into 100 bytes: at most 99 are kept.
inline constexpr std::size_t kValueBuffer = 100;
inline constexpr std::string_view kStartDefaultFile = "feng*.*";
inline constexpr std::string_view kRereadDefaultFile = "c:\\*.*";

// The program directory's talvo.ini, whatever the case of its name.
std::string settingsPath(const std::string& programDir);

// "ファイル名[" + n + "]".
std::string historyKey(int n);

// The stored "GREP番号" (default 1), before normalising and detection.
int readStoredProgramNumber(const std::string& iniPath);

// What Read settings takes from the file.
struct Settings {
    std::optional<std::int32_t> left; // missing: centred
    std::optional<std::int32_t> top;
    int tinyFlag = 0;
    std::string editorValue;
    std::string editorPath; // the editor value trimmed
    std::string defaultFile{kStartDefaultFile};
    int showOptionsAtStart = 0; // CheckA1 10
    int defaultFileAtStart = 0; // CheckA1 11
    grep::CommonTicks common{};
    std::vector<std::string> history; // trimmed, non-empty, in key order

    static Settings read(const std::string& iniPath, const std::string& defaultEditor);
};

// Re-read after a settings save: the editor (default empty) and the default file
// (default "c:\*.*"); the editor path follows the re-read editor value.
struct EditorAndDefaultFile {
    std::string editorValue;
    std::string editorPath;
    std::string defaultFile;
};
EditorAndDefaultFile rereadEditorAndDefaultFile(const std::string& iniPath);

// Settings save, steps 2 to 6: what the settings mode shows when confirmed.
struct SettingsSave {
    grep::CommonTicks common{};
    int showOptionsAtStart = 0;
    int defaultFileAtStart = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::string editorText;      // pattern box text: stored trimmed, case kept
    std::string defaultFileText; // file box text: stored trimmed, case kept
};
void writeSettings(const std::string& iniPath, const SettingsSave& save);

// The ten history entries to write, entry 1 ... 10: the file box list's first
// ten positions without repeats and without the default file, then empty
// values up to entry 10 so that an entry pushed out does not come back.
std::vector<std::pair<int, std::string>> historyToSave(const std::vector<std::string>& fileList,
                                                       std::string_view defaultFile);

// Shutdown save, steps 1 to 4 (the option sections follow separately).
struct ShutdownSave {
    int programNumber = 1;
    std::int32_t left = 0;
    std::int32_t top = 0;
    bool tinyMode = false;
    std::vector<std::string> fileList;
    std::string defaultFile;
};
void writeShutdown(const std::string& iniPath, const ShutdownSave& save);

// A rectangle in twips.
struct TwipRect {
    std::int64_t left = 0, top = 0, width = 0, height = 0;
};

// Where the window goes: stored left and top, the centre of the primary
// screen for a missing one, and the centre as well when the stored position
// would put the window's top edge on no screen.
std::pair<std::int32_t, std::int32_t>
placeWindow(std::optional<std::int32_t> left, std::optional<std::int32_t> top, std::int64_t width,
            std::int64_t height, const TwipRect& primary, const std::vector<TwipRect>& screens);

} // namespace talvo::app
