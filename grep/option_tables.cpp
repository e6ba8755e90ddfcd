// The option tables of the six grep programs.
#include "grep/option_tables.h"

namespace talvo::grep {

namespace {

using K = FlagKind;
using S = SumName;

// Program order in the flag arrays: -, CGREP, DGREP, IZGREP, JGREP/JGSLIM, WGREP, YGREP.
const std::array<CommonOption, kCommonBoxCount> kCommon = {{
    {0, "AND 検索(&0)", "AND 検索", {"", "-a", "", "-a", "", "-a", "-a"}},
    {1, "マッチ行数の表示(&1)", "マッチ行数の表示", {"", "-c", "-c", "-c", "-c", "-c", "-c"}},
    {2,
     "英小･大文字の同一視(&2)",
     "英小文字･大文字同一視",
     {"", "-i", "-i", "-i", "-i", "-i", "-i"}},
    {3,
     "マッチするﾌｧｲﾙ名のみ(&3)",
     "マッチするﾌｧｲﾙ名のみ",
     {"", "-l", "-l", "-l", "-l", "-l", "-l"}},
    {4, "行番号の付加(&4)", "行番号の付加", {"", "-n", "-n", "-n", "-n", "-n", "-n"}},
    {5, "正規表現未使用(&5)", "正規表現 未使用", {"", "", "", "", "-q", "-r", "-%"}},
    {6, "タグ情報の付加(&6)", "タグ情報の付加", {"", "-t", "", "-t", "-n-fn", "-t", "-t"}},
    {7,
     "サブディレクトリも検索(&7)",
     "サブディレクトリも検索",
     {"", "", "-s", "", "-a", "-u", "-r"}},
    {8,
     "マッチしない行を表示(&8)",
     "マッチしない行を表示",
     {"", "-v", "-v", "-v", "-v", "-v", "-v"}},
    {9, "ワードサーチ(&9)", "ワードサーチ", {"", "-w", "-w", "-w", "-b", "-w", "-w"}},
}};

const SpecificOption kCgrep[] = {
    {12, "前後表示 一致行の後１行", "", 0, K::Individual, "-A"},
    {13, "前後表示 一致行の前１行", "", 1, K::Individual, "-B"},
    {14, "前後表示 一致行の前後２行", "", 2, K::Individual, "-C"},
    {15, "前後表示 一致行の前後３行", "", 3, K::Individual, "-3"},
    {16, "その他 改行無視", "", 4, K::Individual, "-F"},
    {17, "その他 改行、空白、タブ無視", "", 5, K::Individual, "-W"},
    {18, "その他 一致部分にマーク", "", 6, K::Individual, "-M"},
    {19, "その他 ファジー検索", "", 7, K::Individual, "-Z"},
    {20, "その他 ファイル名をｾﾊﾟﾚｰﾀのみ", "", 0, K::Individual, "-G"},
    {21, "その他 終了コードのみ表示", "", 1, K::Individual, "-s"},
    {22, "その他 ファイル名を表示しない", "", 2, K::Individual, "-h"},
    {23, "その他 検索ﾊﾟﾀｰﾝと全行が適合", "", 3, K::Individual, "-x"},
};

const SpecificOption kDgrep[] = {
    {12, "日本語同一視 全角文字と半角文字", "全角文字と半角文字(&0)", 0, K::Sum, "-J", S::J, 1},
    {13, "日本語同一視 全角ひらがなと全角カタカナ", "全角ひらがなと全角ｶﾀｶﾅ(&1)", 1, K::Sum, "-J",
     S::J, 2},
    {14, "日本語同一視 長音とマイナス", "長音とマイナス(&2)", 2, K::Sum, "-J", S::J, 4},
    {16, "その他 ファイル名検索のみ", "ファイル名検索のみ(&3)", 3, K::Individual, "-z"},
    {17, "その他 アドレス表示", "アドレス表示(&4)", 4, K::Individual, "-a"},
    {18, "その他 ファイル名をフルパス", "ファイル名をフルパス(&5)", 5, K::Individual, "-\\"},
};

const SpecificOption kIzgrep[] = {
    {12, "一致部分のみ出力", "一致部分のみ出力(&0)", 0, K::Individual, "-m"},
    {13, "ファジー検索", "ファジー検索(&1)", 1, K::Individual, "-z"},
    // Stored and shown, but the program takes no flag for it.
    {14, "１行中の複数マッチ許可", "１行中の複数マッチ許可(&2)", 2, K::None, ""},
};

const SpecificOption kJgrep[] = {
    {12, "前後表示 一致行の後１行", "", 0, K::Individual, "-k0-1"},
    {13, "前後表示 一致行の前１行", "", 1, K::Individual, "-k1-0"},
    {14, "前後表示 一致行の前後２行", "", 2, K::Individual, "-k2"},
    {15, "前後表示 一致行の前後３行", "", 3, K::Individual, "-k3"},
    {16, "その他 全角･半角区別せず", "", 4, K::Individual, "-j"},
    {17, "その他 書庫内検索", "", 5, K::Individual, "-y"},
    {18, "その他 一致部分にマーク", "", 6, K::Individual, "-\\/【/】"},
    {19, "その他 書庫内ﾏｯﾁﾌｧｲﾙ解凍", "", 7, K::Individual, "-z"},
    {20, "マッチ数制限 １ファイル１回", "", 0, K::Individual, "-^1"},
    {21, "マッチ数制限 １ファイル５回", "", 1, K::Individual, "-^5"},
    {22, "マッチ数制限 １ファイル10回", "", 2, K::Individual, "-^10"},
    {23, "マッチ数制限 １ファイル20回", "", 3, K::Individual, "-^20"},
    {24, "マッチ数制限 １パス１回", "", 4, K::Individual, "-^-1"},
    // The key is spelled with "バ" in stored files; it stays that way.
    {25, "マッチ数制限 １バス５回", "", 5, K::Individual, "-^-5"},
    {26, "マッチ数制限 １パス10回", "", 6, K::Individual, "-^-10"},
    {27, "マッチ数制限 １パス20回", "", 7, K::Individual, "-^-20"},
};

const SpecificOption kWgrep[] = {
    {12, "表示形式 ファイル名小文字表示", "", 0, K::Sum, "-d", S::D, 1},
    {13, "表示形式 ファイル名:行番号と表示", "", 1, K::Sum, "-d", S::D, 2},
    {14, "表示形式 ｱｰｶｲﾌﾞﾌｧｲﾙ名+検索ﾌｧｲﾙ名", "", 2, K::Sum, "-d", S::D, 8},
    {15, "表示形式 タイトルヘッダ簡潔表示", "", 3, K::Sum, "-d", S::D, 16},
    {16, "ヘッダ表示条件 検索ファイルすべて", "", 4, K::Individual, "-h0"},
    {17, "ヘッダ表示条件 ｱｰｶｲﾌﾞﾌｧｲﾙ内でｽｷｯﾌﾟ×", "", 5, K::Individual, "-h1"},
    {18, "ヘッダ表示条件 一致行がある場合のみ", "", 6, K::Individual, "-h2"},
    {19, "ヘッダ表示条件 いっさい表示しない", "", 7, K::Individual, "-h3"},
    {20, "同一視する文字種 全角／半角", "", 0, K::Sum, "-j", S::J, 1},
    {21, "同一視する文字種 全角かな／全角カナ", "", 1, K::Sum, "-j", S::J, 2},
    {22, "同一視する文字種 長音／マイナス", "", 2, K::Sum, "-j", S::J, 4},
    {23, "同一視する文字種 バ行／ヴァ行", "", 3, K::Sum, "-j", S::J, 8},
    {24, "改行･タブ･スペース無視 行またがり検索", "", 4, K::Sum, "-s", S::S, 1},
    {25, "改行･タブ･スペース無視 タブを比較の対象外", "", 5, K::Sum, "-s", S::S, 2},
    {26, "改行･タブ･スペース無視 スペースを比較の対象外", "", 6, K::Sum, "-s", S::S, 4},
};

const SpecificOption kYgrep[] = {
    {12, "前後表示 一致行の後１行", "", 0, K::Individual, "-A"},
    {13, "前後表示 一致行の前１行", "", 1, K::Individual, "-B"},
    {14, "前後表示 一致行の前後２行", "", 2, K::Individual, "-C"},
    {15, "前後表示 一致行の前後３行", "", 3, K::Individual, "-C3"},
    {16, "その他 ２行にまたがる検索", "", 4, K::Individual, "-W"},
    {17, "その他 書庫内検索", "", 5, K::Individual, "-z"},
    {18, "その他 一致部分にマーク", "", 6, K::Individual, "-M"},
    {19, "その他 一致部分のみ表示", "", 7, K::Individual, "-p"},
    {20, "その他 １箇所一致で次のﾌｧｲﾙ", "", 0, K::Individual, "-o"},
    {21, "その他 １箇所一致で終了", "", 1, K::Individual, "-O"},
    {22, "その他 なるべく寡黙に", "", 2, K::Individual, "-S"},
};

constexpr int kCgrepDisabled[] = {5, 7};
constexpr int kDgrepDisabled[] = {0, 5, 6, 15};
constexpr int kIzgrepDisabled[] = {5, 7};
constexpr int kJgrepDisabled[] = {0};
constexpr int kDgrepEmptyCaptions[] = {15, 19};

// DGREP's combined Japanese-equivalence flag is spelled "-J", as its label says.
const std::array<ProgramOptions, 7> kPrograms = {{
    {0, {}, {}, {}, {}, {}, ""},
    {1,
     kCgrep,
     {{{" -A～C: 前後表示"}, {"その他"}, {"その他（続き）"}, {""}}},
     kCgrepDisabled,
     {24, 27},
     {},
     " -j"},
    {2,
     kDgrep,
     {{{" -J: 日本語同一視（複数可）"}, {"その他"}, {"未使用"}, {""}}},
     kDgrepDisabled,
     {19, 27},
     kDgrepEmptyCaptions,
     " -J"},
    {3, kIzgrep, {{{"その他"}, {""}, {"未使用"}, {""}}}, kIzgrepDisabled, {15, 27}, {}, " -j"},
    {4,
     kJgrep,
     {{{" -k: 前後表示"}, {"その他"}, {" -^: マッチ数制限"}, {""}}},
     kJgrepDisabled,
     {},
     {},
     " -j"},
    {5,
     kWgrep,
     {{{" -d: 表示形式（複数可）"}, {" -h: ヘッダ表示条件"}, {" -j: ", 20, 8}, {" -s: ", 24, 12}}},
     {},
     {27, 27},
     {},
     " -j"},
    {6,
     kYgrep,
     {{{" -A～C: 前後表示"}, {"その他"}, {"その他（続き）"}, {""}}},
     {},
     {23, 27},
     {},
     " -j"},
}};

} // namespace

const std::array<CommonOption, kCommonBoxCount>& commonOptions() {
    return kCommon;
}

const ProgramOptions& programOptions(int number) {
    if (number < 1 || number > 6)
        number = 1;
    return kPrograms[static_cast<std::size_t>(number)];
}

std::string specificCaption(const SpecificOption& option) {
    if (!option.caption.empty())
        return std::string(option.caption);
    const auto blank = option.key.find(' ');
    const std::string_view rest =
        blank == std::string_view::npos ? option.key : option.key.substr(blank + 1);
    return std::string(rest) + "(&" + std::to_string(option.digit) + ")";
}

std::string groupLabelText(const ProgramOptions& program, int k) {
    const GroupLabel& label = program.groupLabels[static_cast<std::size_t>(k)];
    std::string text(label.text);
    if (label.keyBox >= 0)
        for (const SpecificOption& option : program.options)
            if (option.box == label.keyBox)
                text += firstCharacters(option.key, label.keyChars);
    return text;
}

std::string programSection(std::string_view baseName) {
    return std::string(baseName) + std::string(kProgramSectionSuffix);
}

std::string firstCharacters(std::string_view utf8, int n) {
    std::size_t i = 0;
    for (int count = 0; i < utf8.size() && count < n; ++count) {
        ++i;
        while (i < utf8.size() && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            ++i;
    }
    return std::string(utf8.substr(0, i));
}

} // namespace talvo::grep
