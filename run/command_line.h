// The fixed command line of one search: the grep program's file name, the
// pattern quoted so that the batch interpreter hands it to the program as
// typed, the narrowing numbering of the result files and the two layouts.
// Pure functions of plain values (UTF-8 text).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvo::run {

// Grep program numbers whose command line differs from the common layout.
inline constexpr int kProgramIzgrep = 3;
inline constexpr int kProgramJgrep = 4; // JGREP or JGSLIM
inline constexpr int kProgramWgrep = 5;

inline constexpr const char* kNormalResultName = "RESULT00.TXT";
inline constexpr int kNarrowingLimit = 99;

// "CGREP.EXE"; WGREP gets "WGREP.COM " with one trailing blank.
std::string programFileName(int programNumber, std::string_view baseName);

// The pattern as it goes into the batch line, so that the grep program
// receives it exactly as typed and nothing after it is taken into it. IZGREP
// quotes every pattern unless it holds " -s "; the others quote one holding a
// blank, a tab, "|", "<", ">" or a double quote unless it holds " -e ". The
// " -e " and " -s " forms are command-line text the user writes on purpose:
// their words stay, each quoted when it needs it.
std::string quotePattern(int programNumber, std::string_view pattern);

// text in double quotes as the batch interpreter reads it back: a quote inside
// and the backslashes before a quote (or before the closing one) are escaped.
std::string quoteArgument(std::string_view text);

// The file box text as the target files: its words as the interpreter splits
// them, each quoted when it holds a blank, a quote or an operator.
std::string quoteFiles(std::string_view fileBoxText);

// "RESULT" + two digits + ".TXT".
std::string resultFileName(int step);

// The step number a result name stands for: the leading decimal digits of the
// two characters before its last four ("RESULT03.TXT" gives 3), else 0.
int narrowingValue(std::string_view resultName);

// Where a search reads and writes. Narrowing continues from the current
// result; nullopt when that would pass the 99th step.
struct SearchTarget {
    std::string targetFiles;
    std::string resultName;
    int step = 0;
};
std::optional<SearchTarget> planTarget(bool narrowing, std::string_view currentResultName,
                                       std::string_view fileBoxText);

struct FixedLineInputs {
    int programNumber = 1;
    std::string baseName;     // "CGREP", "JGSLIM", ...
    std::string optionString; // empty or " -i -n"
    std::string pattern;      // as typed, blanks included
    std::string fileBoxText;  // blanks already removed
    bool narrowing = false;   // Narrowing ticked
    std::string currentResultName = kNormalResultName;
};

struct FixedLine {
    std::string commandLine;
    SearchTarget target;
};

// nullopt: the narrowing limit is reached and nothing may run.
std::optional<FixedLine> buildFixedCommandLine(const FixedLineInputs& in);

// A box text as one batch line: a line break in it would start another
// command, so CR and LF become blanks.
std::string singleLine(std::string_view text);

// Removes space characters (code 32) at both ends only.
std::string trimBlanks(std::string_view text);

} // namespace talvo::run
