// Detection, fallback and cyclic selection of the grep programs.
#include "grep/programs.h"

namespace talvo::grep {

namespace {

constexpr std::array<std::string_view, kProgramCount + 1> kFiles = {
    "", "cgrep.exe", "dgrep.exe", "izgrep.exe", "jgrep.exe", "wgrep.com", "ygrep.exe"};

constexpr std::array<std::string_view, kProgramCount + 1> kBaseNames = {
    "", "CGREP", "DGREP", "IZGREP", "JGREP", "WGREP", "YGREP"};

bool installed(const FileExists& exists, int number) {
    if (number == JGREP)
        return exists(kJgrepFile) || exists(kJgslimFile);
    return exists(kFiles[static_cast<std::size_t>(number)]);
}

int lowestAvailable(const std::array<bool, kProgramCount + 1>& available, int upTo, int fallback) {
    for (int k = 1; k <= upTo; ++k)
        if (available[static_cast<std::size_t>(k)])
            return k;
    return fallback;
}

} // namespace

std::string_view programFile(int number) {
    if (number < 1 || number > kProgramCount)
        return {};
    return kFiles[static_cast<std::size_t>(number)];
}

int normalizedStoredNumber(int stored) {
    return stored >= 1 && stored <= kProgramCount ? stored : 1;
}

Detection detectPrograms(const FileExists& exists, int storedNumber) {
    Detection d;
    d.selected = normalizedStoredNumber(storedNumber);
    d.foundCount = kProgramCount;
    for (int k = 1; k <= kProgramCount; ++k) {
        const bool found = installed(exists, k);
        d.available[static_cast<std::size_t>(k)] = found;
        if (found)
            continue;
        --d.foundCount;
        if (d.selected != k)
            continue;
        switch (k) {
        case CGREP:
            d.selected = IZGREP;
            break;
        case DGREP:
            d.selected = JGREP;
            break;
        case IZGREP:
            d.selected = YGREP;
            break;
        case JGREP:
            d.selected = WGREP;
            break;
        case WGREP:
            d.selected = CGREP;
            break;
        case YGREP:
            d.selected = lowestAvailable(d.available, WGREP, YGREP);
            break;
        }
    }
    // The move 5 → 1 can land on a program examined earlier and found missing.
    if (!d.available[static_cast<std::size_t>(d.selected)])
        d.selected = lowestAvailable(d.available, kProgramCount, d.selected);
    d.reportNoProgram = d.foundCount == 0;
    d.chooseEnabled = d.foundCount != 1;
    return d;
}

std::array<std::string, kProgramCount + 1> fillBaseNames(const FileExists& exists) {
    std::array<std::string, kProgramCount + 1> names;
    for (int k = 1; k <= kProgramCount; ++k)
        names[static_cast<std::size_t>(k)] = std::string(kBaseNames[static_cast<std::size_t>(k)]);
    names[JGREP] = exists(kJgrepFile) ? "JGREP" : exists(kJgslimFile) ? "JGSLIM" : "";
    return names;
}

std::string programFileFor(int number, std::string_view baseName) {
    if (number == JGREP && baseName == "JGSLIM")
        return std::string(kJgslimFile);
    return std::string(programFile(number));
}

std::optional<int> nextProgram(int selected, const std::array<bool, kProgramCount + 1>& available) {
    for (int step = 1; step <= kProgramCount; ++step) {
        const int k = (selected - 1 + step) % kProgramCount + 1;
        if (available[static_cast<std::size_t>(k)])
            return k;
    }
    return std::nullopt;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string windowTitle(std::string_view baseName, bool tinyMode, std::string_view fileBoxText) {
    if (tinyMode)
        return std::string(baseName) + " < " + asciiLower(trimBlanks(fileBoxText));
    return std::string(baseName) + " Sondel";
}

void ProgramRegistry::detect(const FileExists& exists, int storedNumber) {
    detection_ = detectPrograms(exists, storedNumber);
    baseNames_ = fillBaseNames(exists);
}

bool ProgramRegistry::isAvailable(int number) const {
    return number >= 1 && number <= kProgramCount &&
           detection_.available[static_cast<std::size_t>(number)];
}

const std::string& ProgramRegistry::baseName(int number) const {
    static const std::string none;
    if (number < 1 || number > kProgramCount)
        return none;
    return baseNames_[static_cast<std::size_t>(number)];
}

} // namespace talvo::grep
