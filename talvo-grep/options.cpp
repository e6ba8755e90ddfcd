// The six dialects' flag tables, the command-line layouts and --help.
#include "talvo-grep/options.h"

#include <algorithm>
#include <cctype>

namespace talvo::grep {

namespace {

// What a flag sets.
enum class Act {
    And,
    Count,
    IgnoreCase,
    FilesOnly,
    LineNumbers,
    Literal,
    Tag,
    Recursive,
    Invert,
    Word,
    After,
    Before,
    Context,
    KContext,
    WholeLine,
    Silent,
    NoFileName,
    GroupHeader,
    Pattern,
    OnlyMatching,
    StopFile,
    StopAll,
    Quiet,
    MaxPerFile,
    MaxTotal,
    DisplayFormat,
    HeaderLevel,
    FileNameSearch,
    ByteOffset,
    FullPath,
    Equivalence,  // a sum of weights, up to the flag's value
    Width,        // full-width and half-width alike
    Fuzzy,        // every equivalence, case and small kana
    BlankWeights, // a sum of 1 across lines, 2 tabs, 4 spaces
    AcrossLines,  // value: line breaks a match may hold, 0 for any number
    AllBlanks,    // line breaks, blanks and tabs ignored
    Mark,         // the program's own marks around each match
    MarkStrings,  // the user's two marks, "-\/OPEN/CLOSE"
    Archives,     // search inside archives
    Extract,      // and extract the members that matched
    Later,
};

// How the flag's argument is written after its spelling.
enum class Arg {
    None,      // exactly the spelling
    OptNumber, // the spelling, then optional digits ("-A", "-A2")
    Number,    // the spelling, then digits ("-d27", "-^5")
    KSpec,     // "-k2" or "-k0-1": lines before and after
    Strings,   // "-\/OPEN/CLOSE"
    Next,      // the spelling; the next argument is its value ("-e PATTERN")
};

struct Flag {
    const char* spelling;
    Arg arg;
    Act act;
    int value; // the default number, or the header level
    const char* ja;
    const char* en;
};

// Common options 0 ... 9 take the same meaning in every dialect under its own spelling.
constexpr Flag kCGrep[] = {
    {"-a", Arg::None, Act::And, 0, "AND 検索", "AND search: every blank-separated word must occur"},
    {"-c", Arg::None, Act::Count, 0, "マッチ行数の表示", "print the number of matching lines"},
    {"-i", Arg::None, Act::IgnoreCase, 0, "英小･大文字の同一視",
     "ignore case (ASCII and full-width letters)"},
    {"-l", Arg::None, Act::FilesOnly, 0, "マッチするﾌｧｲﾙ名のみ",
     "print only the names of matching files"},
    {"-n", Arg::None, Act::LineNumbers, 0, "行番号の付加", "print line numbers"},
    {"-t", Arg::None, Act::Tag, 0, "タグ情報の付加", "tag format: path(line): text"},
    {"-v", Arg::None, Act::Invert, 0, "マッチしない行を表示", "print the lines that do not match"},
    {"-w", Arg::None, Act::Word, 0, "ワードサーチ", "whole words only (see word characters)"},
    {"-A", Arg::OptNumber, Act::After, 1, "一致行の後１行（-An で n 行）",
     "one line after each match (-An: n lines)"},
    {"-B", Arg::OptNumber, Act::Before, 1, "一致行の前１行（-Bn で n 行）",
     "one line before each match (-Bn: n lines)"},
    {"-C", Arg::OptNumber, Act::Context, 2, "一致行の前後２行（-Cn で n 行）",
     "two lines around each match (-Cn: n lines)"},
    {"-3", Arg::None, Act::Context, 3, "一致行の前後３行", "three lines around each match"},
    {"-F", Arg::None, Act::AcrossLines, 0, "改行無視", "a match may run across line breaks"},
    {"-W", Arg::None, Act::AllBlanks, 0, "改行、空白、タブ無視",
     "ignore line breaks, blanks and tabs between the pattern's characters"},
    {"-M", Arg::None, Act::Mark, 0, "一致部分にマーク", "mark each match: 【match】"},
    {"-Z", Arg::None, Act::Fuzzy, 0, "ファジー検索", "fuzzy search (see below)"},
    {"-G", Arg::None, Act::GroupHeader, 0, "ファイル名をｾﾊﾟﾚｰﾀのみ",
     "file name once, as a header above its lines"},
    {"-s", Arg::None, Act::Silent, 0, "終了コードのみ表示", "print nothing; only the exit status"},
    {"-h", Arg::None, Act::NoFileName, 0, "ファイル名を表示しない", "never print file names"},
    {"-x", Arg::None, Act::WholeLine, 0, "検索ﾊﾟﾀｰﾝと全行が適合",
     "the pattern must match the whole line"},
    {"-e", Arg::Next, Act::Pattern, 0, "次の引数が検索パターン（繰り返し可）",
     "the next argument is a pattern (repeatable: any of them)"},
};

constexpr Flag kDGrep[] = {
    {"-c", Arg::None, Act::Count, 0, "マッチ行数の表示", "print the number of matching lines"},
    {"-i", Arg::None, Act::IgnoreCase, 0, "英小･大文字の同一視",
     "ignore case (ASCII and full-width letters)"},
    {"-l", Arg::None, Act::FilesOnly, 0, "マッチするﾌｧｲﾙ名のみ",
     "print only the names of matching files"},
    {"-n", Arg::None, Act::LineNumbers, 0, "行番号の付加", "print line numbers"},
    {"-s", Arg::None, Act::Recursive, 0, "サブディレクトリも検索", "search subdirectories too"},
    {"-v", Arg::None, Act::Invert, 0, "マッチしない行を表示", "print the lines that do not match"},
    {"-w", Arg::None, Act::Word, 0, "ワードサーチ", "whole words only (see word characters)"},
    {"-J", Arg::Number, Act::Equivalence, 7,
     "日本語同一視（1 全角/半角 2 ひらがな/カタカナ 4 長音/マイナス の和）",
     "Japanese equivalences, a sum of 1 width, 2 hiragana/katakana, 4 long vowel/minus"},
    {"-z", Arg::None, Act::FileNameSearch, 0, "ファイル名検索のみ",
     "search the file names, not the contents"},
    {"-a", Arg::None, Act::ByteOffset, 0, "アドレス表示", "print the byte offset of each line"},
    {"-\\", Arg::None, Act::FullPath, 0, "ファイル名をフルパス", "print file names as full paths"},
    {"-e", Arg::Next, Act::Pattern, 0, "次の引数が検索パターン（繰り返し可）",
     "the next argument is a pattern (repeatable: any of them)"},
};

constexpr Flag kIzGrep[] = {
    {"-a", Arg::None, Act::And, 0, "AND 検索", "AND search: every blank-separated word must occur"},
    {"-c", Arg::None, Act::Count, 0, "マッチ行数の表示", "print the number of matching lines"},
    {"-i", Arg::None, Act::IgnoreCase, 0, "英小･大文字の同一視",
     "ignore case (ASCII and full-width letters)"},
    {"-l", Arg::None, Act::FilesOnly, 0, "マッチするﾌｧｲﾙ名のみ",
     "print only the names of matching files"},
    {"-n", Arg::None, Act::LineNumbers, 0, "行番号の付加", "print line numbers"},
    {"-t", Arg::None, Act::Tag, 0, "タグ情報の付加", "tag format: path(line): text"},
    {"-v", Arg::None, Act::Invert, 0, "マッチしない行を表示", "print the lines that do not match"},
    {"-w", Arg::None, Act::Word, 0, "ワードサーチ", "whole words only (see word characters)"},
    {"-m", Arg::None, Act::OnlyMatching, 0, "一致部分のみ出力",
     "print only the matching parts, one a line"},
    {"-z", Arg::None, Act::Fuzzy, 0, "ファジー検索", "fuzzy search (see below)"},
    {"-e", Arg::Next, Act::Pattern, 0, "次の引数が検索パターン", "the next argument is a pattern"},
    {"-s", Arg::Next, Act::Pattern, 0, "次の引数も検索パターン（どれかに一致）",
     "the next argument is a further pattern (any of them)"},
};

constexpr Flag kJGrep[] = {
    {"-c", Arg::None, Act::Count, 0, "マッチ行数の表示", "print the number of matching lines"},
    {"-i", Arg::None, Act::IgnoreCase, 0, "英小･大文字の同一視",
     "ignore case (ASCII and full-width letters)"},
    {"-l", Arg::None, Act::FilesOnly, 0, "マッチするﾌｧｲﾙ名のみ",
     "print only the names of matching files"},
    {"-n", Arg::None, Act::LineNumbers, 0, "行番号の付加", "print line numbers"},
    {"-q", Arg::None, Act::Literal, 0, "正規表現未使用", "take the pattern literally"},
    {"-n-fn", Arg::None, Act::Tag, 0, "タグ情報の付加", "tag format: path(line): text"},
    {"-a", Arg::None, Act::Recursive, 0, "サブディレクトリも検索", "search subdirectories too"},
    {"-v", Arg::None, Act::Invert, 0, "マッチしない行を表示", "print the lines that do not match"},
    {"-b", Arg::None, Act::Word, 0, "ワードサーチ", "whole words only (see word characters)"},
    {"-k", Arg::KSpec, Act::KContext, 0,
     "前後表示（-k0-1 後１行, -k1-0 前１行, -k2 前後２行, -k3 前後３行）",
     "context: -kB-A lines before and after, -kN both"},
    {"-j", Arg::None, Act::Width, 0, "全角･半角区別せず", "full-width and half-width alike"},
    {"-y", Arg::None, Act::Archives, 0, "書庫内検索", "search inside archives"},
    {"-\\/", Arg::Strings, Act::MarkStrings, 0, "一致部分にマーク（-\\/開始/終了）",
     "mark each match with two strings: -\\/OPEN/CLOSE"},
    {"-z", Arg::None, Act::Extract, 0, "書庫内ﾏｯﾁﾌｧｲﾙ解凍",
     "extract the archive members that match into the current directory (with -y)"},
    {"-^-", Arg::Number, Act::MaxTotal, 0, "マッチ数制限 １パス N 回（-^-N）",
     "stop after N matching lines in all (-^-N)"},
    {"-^", Arg::Number, Act::MaxPerFile, 0, "マッチ数制限 １ファイル N 回（-^N）",
     "at most N matching lines per file (-^N)"},
    {"-e", Arg::Next, Act::Pattern, 0, "次の引数が検索パターン", "the next argument is a pattern"},
};

constexpr Flag kWGrep[] = {
    {"-a", Arg::None, Act::And, 0, "AND 検索", "AND search: every blank-separated word must occur"},
    {"-c", Arg::None, Act::Count, 0, "マッチ行数の表示", "print the number of matching lines"},
    {"-i", Arg::None, Act::IgnoreCase, 0, "英小･大文字の同一視",
     "ignore case (ASCII and full-width letters)"},
    {"-l", Arg::None, Act::FilesOnly, 0, "マッチするﾌｧｲﾙ名のみ",
     "print only the names of matching files"},
    {"-n", Arg::None, Act::LineNumbers, 0, "行番号の付加", "print line numbers"},
    {"-r", Arg::None, Act::Literal, 0, "正規表現未使用", "take the pattern literally"},
    {"-t", Arg::None, Act::Tag, 0, "タグ情報の付加", "tag format: path(line): text"},
    {"-u", Arg::None, Act::Recursive, 0, "サブディレクトリも検索", "search subdirectories too"},
    {"-v", Arg::None, Act::Invert, 0, "マッチしない行を表示", "print the lines that do not match"},
    {"-w", Arg::None, Act::Word, 0, "ワードサーチ", "whole words only (see word characters)"},
    {"-d", Arg::Number, Act::DisplayFormat, 0,
     "表示形式の和（1 ファイル名小文字 2 ファイル名:行番号 8 書庫名+ファイル名 16 簡潔なヘッダ）",
     "display format, a sum of 1 lower-case names, 2 path:line, 8 archive and member, 16 concise "
     "header"},
    {"-h0", Arg::None, Act::HeaderLevel, 0, "ヘッダ表示: 検索ファイルすべて",
     "a header for every file searched"},
    {"-h1", Arg::None, Act::HeaderLevel, 1, "ヘッダ表示: 書庫内ではスキップ",
     "a header for every file, none inside archives"},
    {"-h2", Arg::None, Act::HeaderLevel, 2, "ヘッダ表示: 一致行がある場合のみ",
     "a header only for files with matches"},
    {"-h3", Arg::None, Act::HeaderLevel, 3, "ヘッダ表示: いっさい表示しない",
     "no header and no file names at all"},
    {"-j", Arg::Number, Act::Equivalence, 15,
     "同一視する文字種の和（1 全角/半角 2 かな/カナ 4 長音/マイナス 8 バ行/ヴァ行）",
     "character equivalences, a sum of 1 width, 2 kana, 4 long vowel/minus, 8 b/v rows"},
    {"-s", Arg::Number, Act::BlankWeights, 0,
     "改行･タブ･スペース無視の和（1 行またがり 2 タブ 4 スペース）",
     "blanks and line breaks, a sum of 1 across lines, 2 tabs, 4 spaces"},
    {"-e", Arg::Next, Act::Pattern, 0, "次の引数が検索パターン（繰り返し可）",
     "the next argument is a pattern (repeatable: any of them)"},
};

constexpr Flag kYGrep[] = {
    {"-a", Arg::None, Act::And, 0, "AND 検索", "AND search: every blank-separated word must occur"},
    {"-c", Arg::None, Act::Count, 0, "マッチ行数の表示", "print the number of matching lines"},
    {"-i", Arg::None, Act::IgnoreCase, 0, "英小･大文字の同一視",
     "ignore case (ASCII and full-width letters)"},
    {"-l", Arg::None, Act::FilesOnly, 0, "マッチするﾌｧｲﾙ名のみ",
     "print only the names of matching files"},
    {"-n", Arg::None, Act::LineNumbers, 0, "行番号の付加", "print line numbers"},
    {"-%", Arg::None, Act::Literal, 0, "正規表現未使用", "take the pattern literally"},
    {"-t", Arg::None, Act::Tag, 0, "タグ情報の付加", "tag format: path(line): text"},
    {"-r", Arg::None, Act::Recursive, 0, "サブディレクトリも検索", "search subdirectories too"},
    {"-v", Arg::None, Act::Invert, 0, "マッチしない行を表示", "print the lines that do not match"},
    {"-w", Arg::None, Act::Word, 0, "ワードサーチ", "whole words only (see word characters)"},
    {"-A", Arg::OptNumber, Act::After, 1, "一致行の後１行（-An で n 行）",
     "one line after each match (-An: n lines)"},
    {"-B", Arg::OptNumber, Act::Before, 1, "一致行の前１行（-Bn で n 行）",
     "one line before each match (-Bn: n lines)"},
    {"-C", Arg::OptNumber, Act::Context, 2, "一致行の前後２行（-C3 で３行）",
     "two lines around each match (-C3: three)"},
    {"-W", Arg::None, Act::AcrossLines, 1, "２行にまたがる検索", "a match may run over two lines"},
    {"-z", Arg::None, Act::Archives, 0, "書庫内検索", "search inside archives"},
    {"-M", Arg::None, Act::Mark, 0, "一致部分にマーク", "mark each match: 【match】"},
    {"-p", Arg::None, Act::OnlyMatching, 0, "一致部分のみ表示",
     "print only the matching parts, one a line"},
    {"-o", Arg::None, Act::StopFile, 0, "１箇所一致で次のﾌｧｲﾙ",
     "after the first match go to the next file"},
    {"-O", Arg::None, Act::StopAll, 0, "１箇所一致で終了", "stop at the first match"},
    {"-S", Arg::None, Act::Quiet, 0, "なるべく寡黙に", "no messages about unreadable files"},
    {"-e", Arg::Next, Act::Pattern, 0, "次の引数が検索パターン（繰り返し可）",
     "the next argument is a pattern (repeatable: any of them)"},
};

template <size_t N> std::vector<Flag> vec(const Flag (&a)[N]) {
    return std::vector<Flag>(a, a + N);
}

const std::vector<Flag>& flagsOf(Dialect d) {
    static const std::vector<Flag> c = vec(kCGrep), dg = vec(kDGrep), iz = vec(kIzGrep),
                                   j = vec(kJGrep), w = vec(kWGrep), y = vec(kYGrep);
    switch (d) {
    case Dialect::CGrep:
        return c;
    case Dialect::DGrep:
        return dg;
    case Dialect::IzGrep:
        return iz;
    case Dialect::JGrep:
    case Dialect::JgSlim:
        return j;
    case Dialect::WGrep:
        return w;
    case Dialect::YGrep:
        return y;
    }
    return c;
}

bool allDigits(std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

struct Found {
    const Flag* flag = nullptr;
    std::string rest; // what follows the spelling
};

// Exact spellings first, then the longest spelling that the argument starts
// with and whose rest fits the flag's argument form.
std::optional<Found> lookup(Dialect d, const std::string& a) {
    const auto& flags = flagsOf(d);
    for (const Flag& f : flags) {
        if (a == f.spelling &&
            (f.arg == Arg::None || f.arg == Arg::OptNumber || f.arg == Arg::Next)) {
            return Found{&f, ""};
        }
    }
    const Flag* best = nullptr;
    for (const Flag& f : flags) {
        std::string_view sp = f.spelling;
        if (a.size() <= sp.size() || a.compare(0, sp.size(), sp) != 0)
            continue;
        std::string_view rest = std::string_view(a).substr(sp.size());
        bool fits = false;
        switch (f.arg) {
        case Arg::OptNumber:
        case Arg::Number:
            fits = allDigits(rest);
            break;
        case Arg::KSpec: {
            size_t dash = rest.find('-');
            fits = dash == std::string_view::npos
                       ? allDigits(rest)
                       : allDigits(rest.substr(0, dash)) && allDigits(rest.substr(dash + 1));
            break;
        }
        case Arg::Strings:
            fits = true;
            break;
        default:
            break;
        }
        if (fits && (!best || sp.size() > std::string_view(best->spelling).size()))
            best = &f;
    }
    if (best)
        return Found{best, a.substr(std::string_view(best->spelling).size())};
    return std::nullopt;
}

int number(const std::string& s, int fallback) {
    return s.empty() ? fallback : std::stoi(s);
}

} // namespace

const char* dialectName(Dialect d) {
    switch (d) {
    case Dialect::CGrep:
        return "CGREP";
    case Dialect::DGrep:
        return "DGREP";
    case Dialect::IzGrep:
        return "IZGREP";
    case Dialect::JGrep:
        return "JGREP";
    case Dialect::JgSlim:
        return "JGSLIM";
    case Dialect::WGrep:
        return "WGREP";
    case Dialect::YGrep:
        return "YGREP";
    }
    return "";
}

std::optional<Dialect> dialectFromProgramName(std::string_view argv0) {
    size_t slash = argv0.find_last_of("/\\");
    std::string base(slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1));
    size_t dot = base.find('.');
    if (dot != std::string::npos)
        base.erase(dot);
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (Dialect d : {Dialect::CGrep, Dialect::DGrep, Dialect::IzGrep, Dialect::JGrep,
                      Dialect::JgSlim, Dialect::WGrep, Dialect::YGrep}) {
        if (base == dialectName(d))
            return d;
    }
    return std::nullopt;
}

ParseResult parseCommandLine(Dialect d, const std::vector<std::string>& args) {
    ParseResult r;
    Options& o = r.options;
    o.dialect = d;
    // WGREP always looks inside archives; its -d8 adds the archive's name.
    o.archives = d == Dialect::WGrep;
    o.archiveNames = d != Dialect::WGrep;
    bool jgrepLayout = d == Dialect::JGrep || d == Dialect::JgSlim;
    bool flagsEnded = false;
    bool explicitPattern = false;
    std::vector<std::string> positional;
    std::string name = dialectName(d);

    auto apply = [&](const Flag& f, const std::string& rest, const std::string& spelled) -> bool {
        switch (f.act) {
        case Act::And:
            o.match.allWords = true;
            break;
        case Act::Count:
            o.count = true;
            break;
        case Act::IgnoreCase:
            o.match.ignoreCase = true;
            break;
        case Act::FilesOnly:
            o.filesWithMatches = true;
            break;
        case Act::LineNumbers:
            o.lineNumbers = true;
            break;
        case Act::Literal:
            o.match.literal = true;
            break;
        case Act::Tag:
            o.tag = true;
            break;
        case Act::Recursive:
            o.recursive = true;
            break;
        case Act::Invert:
            o.invert = true;
            break;
        case Act::Word:
            o.match.word = true;
            break;
        case Act::After:
            o.after = std::max(o.after, number(rest, f.value));
            break;
        case Act::Before:
            o.before = std::max(o.before, number(rest, f.value));
            break;
        case Act::Context: {
            int n = number(rest, f.value);
            o.after = std::max(o.after, n);
            o.before = std::max(o.before, n);
            break;
        }
        case Act::KContext: {
            size_t dash = rest.find('-');
            int b = std::stoi(rest.substr(0, dash));
            int a = dash == std::string::npos ? b : std::stoi(rest.substr(dash + 1));
            o.before = std::max(o.before, b);
            o.after = std::max(o.after, a);
            break;
        }
        case Act::WholeLine:
            o.match.wholeLine = true;
            break;
        case Act::Silent:
            o.silent = true;
            break;
        case Act::NoFileName:
            o.noFileName = true;
            break;
        case Act::GroupHeader:
            o.header = HeaderMode::MatchingFiles;
            break;
        case Act::OnlyMatching:
            o.onlyMatching = true;
            break;
        case Act::StopFile:
            o.maxPerFile = 1;
            break;
        case Act::StopAll:
            o.maxTotal = 1;
            break;
        case Act::Quiet:
            o.quiet = true;
            break;
        case Act::MaxPerFile:
        case Act::MaxTotal: {
            long n = number(rest, 0);
            if (n <= 0) {
                r.error = spelled + ": the count must be at least 1";
                return false;
            }
            (f.act == Act::MaxPerFile ? o.maxPerFile : o.maxTotal) = n;
            break;
        }
        case Act::DisplayFormat: {
            int n = number(rest, 0);
            if (n & ~(1 | 2 | 8 | 16)) {
                r.error = spelled + ": the display format is a sum of 1, 2, 8 and 16";
                return false;
            }
            o.lowerCaseNames = n & 1;
            o.pathAndLine = n & 2;
            o.conciseHeader = n & 16;
            o.archiveNames = n & 8;
            break;
        }
        case Act::HeaderLevel:
            o.header = f.value <= 1   ? HeaderMode::AllFiles
                       : f.value == 2 ? HeaderMode::MatchingFiles
                                      : HeaderMode::None;
            o.noFileName = f.value == 3;
            o.memberHeadersOnMatch = f.value == 1;
            break;
        case Act::FileNameSearch:
            o.fileNameSearch = true;
            break;
        case Act::ByteOffset:
            o.byteOffset = true;
            break;
        case Act::FullPath:
            o.fullPath = true;
            break;
        case Act::Pattern:
            break; // handled by the caller
        case Act::Equivalence: {
            int n = number(rest, 0);
            if (n & ~f.value) {
                r.error =
                    spelled + (f.value == 7 ? ": the equivalences are a sum of 1, 2 and 4"
                                            : ": the equivalences are a sum of 1, 2, 4 and 8");
                return false;
            }
            ext::Equivalences add = ext::equivalencesFromWeights(n);
            o.equivalences.width = o.equivalences.width || add.width;
            o.equivalences.kana = o.equivalences.kana || add.kana;
            o.equivalences.longVowel = o.equivalences.longVowel || add.longVowel;
            o.equivalences.bRowVRow = o.equivalences.bRowVRow || add.bRowVRow;
            break;
        }
        case Act::Width:
            o.equivalences.width = true;
            break;
        case Act::Fuzzy:
            o.equivalences = ext::fuzzy();
            break;
        case Act::BlankWeights: {
            int n = number(rest, 0);
            if (n & ~7) {
                r.error = spelled + ": the blanks and line breaks are a sum of 1, 2 and 4";
                return false;
            }
            ext::Blanks add = ext::blanksFromWeights(n);
            o.blanks.acrossLineBreaks = o.blanks.acrossLineBreaks || add.acrossLineBreaks;
            o.blanks.ignoreTabs = o.blanks.ignoreTabs || add.ignoreTabs;
            o.blanks.ignoreSpaces = o.blanks.ignoreSpaces || add.ignoreSpaces;
            break;
        }
        case Act::AcrossLines:
            o.blanks.acrossLineBreaks = true;
            o.match.maxLineBreaks = f.value > 0 ? f.value : -1;
            break;
        case Act::AllBlanks:
            o.blanks.ignoreAllBlanks = true;
            break;
        case Act::Mark:
            o.markOpen = "【";
            o.markClose = "】";
            break;
        case Act::MarkStrings: {
            // The marks arrive as typed: UTF-8, or code page 932 from a batch file.
            std::u32string text = decodePatternText(rest);
            size_t slash = text.find(U'/');
            if (slash == std::u32string::npos || slash == 0 || slash + 1 >= text.size()) {
                r.error = spelled + ": the marks are written -\\/OPEN/CLOSE, for example "
                                    "-\\/【/】";
                return false;
            }
            o.markOpen.clear();
            o.markClose.clear();
            for (size_t k = 0; k < text.size(); ++k) {
                if (k != slash)
                    appendUtf8(k < slash ? o.markOpen : o.markClose, text[k]);
            }
            break;
        }
        case Act::Archives:
            o.archives = true;
            break;
        case Act::Extract:
            o.archives = true;
            o.extractMatches = true;
            break;
        case Act::Later:
            r.error = spelled + " (" + f.en + " / " + f.ja +
                      ") is not available in this "
                      "version of " +
                      name;
            return false;
        }
        return true;
    };

    size_t firstArg = 0;
    // The JGREP layout is PATTERN FILES FLAGS: the first argument is the
    // pattern whatever it looks like ("-v" too), as every command line the
    // window builds puts it there. A lone --help or --version still asks.
    bool lone = args.size() == 1 && (args[0] == "--help" || args[0] == "--version");
    if (jgrepLayout && !args.empty() && !lone) {
        o.match.patterns.push_back(args[0]);
        explicitPattern = true;
        firstArg = 1;
    }
    for (size_t i = firstArg; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!flagsEnded && a == "--help") {
            o.help = true;
            return r;
        }
        if (!flagsEnded && a == "--version") {
            o.version = true;
            return r;
        }
        bool flagPhase = !flagsEnded && (jgrepLayout || positional.empty());
        if (flagPhase && a == "--") {
            flagsEnded = true;
            continue;
        }
        if (!flagPhase || a.size() < 2 || a[0] != '-') {
            positional.push_back(a);
            continue;
        }
        auto found = lookup(d, a);
        if (found && found->flag->act == Act::Pattern) {
            if (i + 1 >= args.size()) {
                r.error = a + " needs a pattern after it";
                return r;
            }
            o.match.patterns.push_back(args[++i]);
            explicitPattern = true;
            continue;
        }
        if (found) {
            if (!apply(*found->flag, found->rest, a))
                return r;
            continue;
        }
        // A cluster of one-letter flags, such as "-in".
        bool cluster = a.size() > 2;
        for (size_t k = 1; cluster && k < a.size(); ++k) {
            auto one = lookup(d, std::string("-") + a[k]);
            cluster = one && one->flag->arg == Arg::None && one->flag->act != Act::Pattern;
        }
        if (cluster) {
            for (size_t k = 1; k < a.size(); ++k) {
                const std::string spelled{'-', a[k]};
                auto one = lookup(d, spelled);
                if (!apply(*one->flag, "", spelled))
                    return r;
            }
            continue;
        }
        r.error = "unknown flag " + a + " for " + name + " (see --help)";
        return r;
    }
    size_t next = 0;
    if (!explicitPattern) {
        if (positional.empty()) {
            r.error = "no pattern given (see --help)";
            return r;
        }
        o.match.patterns.push_back(positional[0]);
        next = 1;
    }
    o.fileSpecs.assign(positional.begin() + static_cast<long>(next), positional.end());
    // A line feed in a pattern separates patterns, as in GNU grep: a line
    // matches when any of them matches (an empty one matches every line).
    // Searched lines never hold a line feed, whatever their encoding.
    std::vector<std::string> split;
    for (const std::string& p : o.match.patterns) {
        size_t start = 0;
        for (size_t nl = p.find('\n'); nl != std::string::npos; nl = p.find('\n', start)) {
            split.push_back(p.substr(start, nl - start));
            start = nl + 1;
        }
        split.push_back(p.substr(start));
    }
    o.match.patterns = std::move(split);
    if (o.equivalences.any() || o.blanks.any()) {
        ext::Equivalences eq = o.equivalences;
        ext::Blanks blanks = o.blanks;
        o.match.rewrite = [eq, blanks](std::string_view pattern, bool regex) {
            return ext::rewritePattern(pattern, regex, eq, blanks);
        };
        o.match.crossLines = blanks.acrossLineBreaks || blanks.ignoreAllBlanks;
        if (blanks.ignoreAllBlanks)
            o.match.maxLineBreaks = -1;
    }
    return r;
}

std::string helpText(Dialect d) {
    std::string n = dialectName(d);
    bool j = d == Dialect::JGrep || d == Dialect::JgSlim;
    std::string h;
    h += "使い方 / usage:\n";
    if (j) {
        h += "  " + n +
             " PATTERN [FILES...] [FLAGS...]   (最初の引数がパターン、\"-\" で始まっても / the "
             "first argument is the pattern, even when it begins with \"-\")\n";
    } else {
        h += "  " + n + " [FLAGS...] [-e] PATTERN [FILES...]\n";
    }
    h += "  talvo-grep --dialect " + n + " ...   --help   --version\n\n";
    h += "フラグ / flags:\n";
    for (const Flag& f : flagsOf(d)) {
        std::string sp = f.spelling;
        if (f.arg == Arg::Number)
            sp += "N";
        if (f.arg == Arg::KSpec)
            sp += "B-A";
        if (f.arg == Arg::Strings)
            sp += "OPEN/CLOSE";
        if (f.arg == Arg::Next)
            sp += " PATTERN";
        sp.resize(std::max<size_t>(sp.size(), 14), ' ');
        h += "  " + sp + " " + f.ja + "\n  " + std::string(14, ' ') + " " + f.en;
        if (f.act == Act::Later)
            h += "  [この版では未対応 / not available in this version]";
        h += "\n";
    }
    h += R"(
パターン / pattern:
  拡張正規表現 / extended regular expressions: . * + ? {m,n} [...] [^...] ^ $ | \| ( )
  \w \W  単語構成文字とそれ以外 / a word character, any other character
  \b \B  単語の境界、境界でない所 / a word boundary, no word boundary
  \< \>  単語の先頭、末尾 / the start, the end of a word
  \d \s  数字、空白 / digit, blank
  日本語の文字は一文字。空のパターンはすべての行に一致。
  A Japanese character is one character; "" matches every line.

単語構成文字 / word characters (\w \W \b \B \< \> と -w に共通、どの文字コードでも同じ /
  the same for all of these and -w, in every encoding):
  文字 (かな・カナ・漢字・ー・々、全角と半角の英字)、数字、結合文字、_ と ＿。
  句読点と記号 (、。「」・゛゜①、全角空白) は単語構成文字でない。
  Letters of any script (kana, kanji, "ー", "々", full-width and half-width
  letters), digits, marks, "_" and "＿"; punctuation and signs ("、" "。" "「"
  "・" "゛" "゜" "①", the full-width space) are not.
  ワードサーチ: 前後に単語構成文字のない一致 (すべての選択肢と短い一致も試す、
    空の一致も数える)
  Whole-word search: a match with no word character just before or after it;
    every alternative and shorter match is tried, an empty match counts.

同一視とファジー検索 / equivalences and fuzzy search:
  パターンとテキストの両方に適用 / applied to the pattern and the text alike.
  全角/半角: 英数字と記号 (Ａ=A, １=1, ＃=#, 全角空白=空白) とカタカナ、
    半角濁音は二文字で一文字 (ﾊﾞ=バ, ﾊﾟ=パ, ｳﾞ=ヴ)
    width: Latin letters, digits, signs and katakana; "ﾊﾞ" is one character
  かな/カナ: ふぁいる=ファイル, ゝ=ヽ / hiragana and katakana
  長音/マイナス: ー=－=-=ｰ=―=‐=− / the long-vowel mark, minus and dash signs
  バ行/ヴァ行: バ=ヴァ ビ=ヴィ ブ=ヴ ベ=ヴェ ボ=ヴォ / the B-row and the V-row
  ファジー検索はこのすべてに加えて / fuzzy search folds all of these, and
    小さいかな=大きいかな (ァ=ア, っ=つ, ゃ=や, ヵ=カ, ｯ=ﾂ) / small kana as full-size
    英大文字=小文字 (全角も) / upper and lower case, full-width letters too
  漢字の異体字、旧かな、清音と濁音 (カ と ガ)、上記以外の記号は区別する。
  Nothing else is folded: kanji variants, old kana, voiced and unvoiced kana
  ("カ" and "ガ") and other punctuation stay distinct.

ファイル / files:
  Windows 形式の指定: 最後の部分に * と ?、区切りは \ と /、空白区切りで複数、
  空白を含む指定は "..." で囲む、大文字小文字を区別しない、*.* はすべての名前。
  Windows-style specifications: * and ? in the last part, \ or / as separator,
  several separated by blanks, "..." around one with blanks, wild cards in any
  case, *.* matches every name. No file: standard input.
  文字コードは自動判定 (BOM, UTF-8, Shift-JIS, EUC-JP); 出力は UTF-8。
  Encodings are detected per file; output is UTF-8.

出力形式 / output layout:
  PATH:LINE:TEXT      一致行 (ファイル名は複数ファイルのとき、行番号は -n のとき)
                      matching line (path when several files can match, line with -n)
  PATH:LINE:TEXT      行をまたぐ一致: 触れた行すべてを一度、最初の行の番号で
   TEXT...            a match across lines: every line it touches, once, under
                      the number of its first line
  【MATCH】           一致部分にマーク / a marked match (-\/OPEN/CLOSE: the user's marks)
  PATH-LINE-TEXT      前後の行 / context line
  --                  離れた前後表示グループの間 / between separate context groups
  PATH(LINE): TEXT    タグ形式 / tag format (context lines: PATH(LINE)- TEXT)
  ==> PATH <==        ファイルのヘッダ (この下の行にはファイル名なし) / file header
                      (the lines below it carry no path)
  PATH:COUNT          件数 / count (COUNT alone for one file)
  PATH                ファイル名のみ / file names only
  binary file matches: PATH    バイナリファイル / a binary file that matches
  OFFSET:             アドレス表示: 行頭のバイト位置 / byte offset of the line

終了コード / exit status: 0 一致あり / matched, 1 一致なし / nothing matched, 2 エラー / error
)";
    return h;
}

} // namespace talvo::grep
