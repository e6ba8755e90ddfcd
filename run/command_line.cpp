// The fixed command line and the pieces the command-set expansion shares.
#include "run/command_line.h"

#include "talvo-cmd/tokenizer.h"

#include <cstdio>

namespace talvo::run {

std::string programFileName(int programNumber, std::string_view baseName) {
    std::string name(baseName);
    name += programNumber == kProgramWgrep ? ".COM " : ".EXE";
    return name;
}

namespace {

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool needsQuotes(std::string_view word) {
    return word.find_first_of(" \t|<>\"") != std::string_view::npos;
}

// Command-line text the user wrote on purpose keeps its words, but each word
// is written back so that a stray quote or operator cannot reach past it.
std::string requoteWords(std::string_view text) {
    std::string line;
    for (const std::string& word : cmd::splitWords(text)) {
        if (!line.empty())
            line += ' ';
        line += word.empty() || needsQuotes(word) ? quoteArgument(word) : word;
    }
    return line;
}

} // namespace

std::string quoteArgument(std::string_view text) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are read in pairs: double them, and one
        // more makes the quote itself literal.
        if (c == '"')
            quoted.append(backslashes * 2 + 1, '\\');
        else
            quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\'); // they stand before the closing quote
    quoted += '"';
    return quoted;
}

std::string quotePattern(int programNumber, std::string_view pattern) {
    if (programNumber == kProgramIzgrep)
        return contains(pattern, " -s ") ? requoteWords(pattern) : quoteArgument(pattern);
    if (contains(pattern, " -e "))
        return requoteWords(pattern);
    return needsQuotes(pattern) ? quoteArgument(pattern) : std::string(pattern);
}

std::string quoteFiles(std::string_view fileBoxText) {
    return requoteWords(fileBoxText);
}

std::string resultFileName(int step) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", step);
    return std::string("RESULT") + digits + ".TXT";
}

int narrowingValue(std::string_view resultName) {
    if (resultName.size() < 6)
        return 0;
    std::string_view nn = resultName.substr(resultName.size() - 6, 2);
    int value = 0;
    for (char c : nn) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<SearchTarget> planTarget(bool narrowing, std::string_view currentResultName,
                                       std::string_view fileBoxText) {
    if (!narrowing)
        return SearchTarget{std::string(fileBoxText), kNormalResultName, 0};
    int value = narrowingValue(currentResultName);
    if (value >= kNarrowingLimit)
        return std::nullopt;
    // The previous result is rebuilt from its digits, so both producers read
    // the same file whatever the current name's spelling.
    return SearchTarget{resultFileName(value), resultFileName(value + 1), value + 1};
}

std::optional<FixedLine> buildFixedCommandLine(const FixedLineInputs& in) {
    auto target = planTarget(in.narrowing, in.currentResultName, in.fileBoxText);
    if (!target)
        return std::nullopt;
    if (in.narrowing)
        target->targetFiles = in.currentResultName;
    std::string program = programFileName(in.programNumber, in.baseName);
    std::string pattern = quotePattern(in.programNumber, singleLine(in.pattern));
    std::string files = quoteFiles(singleLine(target->targetFiles));
    std::string line;
    if (in.programNumber == kProgramJgrep)
        line = program + " " + pattern + " " + files + in.optionString + " > " + target->resultName;
    else
        line =
            program + in.optionString + " -e " + pattern + " " + files + " > " + target->resultName;
    return FixedLine{line, *target};
}

std::string singleLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    return out;
}

std::string trimBlanks(std::string_view text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

} // namespace talvo::run
