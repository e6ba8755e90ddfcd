// The six grep programs the system drives: their numbers, base names and
// files, which of them are installed, which one is selected, and the window
// title that names it. Pure logic; the file lookup is passed in.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::grep {

inline constexpr int kProgramCount = 6;

enum ProgramNumber : int { CGREP = 1, DGREP = 2, IZGREP = 3, JGREP = 4, WGREP = 5, YGREP = 6 };

// The file names looked for in the program directory (program 4 has two).
inline constexpr std::string_view kJgrepFile = "jgrep.exe";
inline constexpr std::string_view kJgslimFile = "jgslim.exe";
std::string_view programFile(int number); // "cgrep.exe" ... ; program 4: "jgrep.exe"

// Answers whether a file of the given name exists in the program directory.
using FileExists = std::function<bool(std::string_view fileName)>;

// What detection at start-up found. Arrays are indexed by program number 1 ... 6
// (index 0 unused).
struct Detection {
    int selected = 1;
    std::array<bool, kProgramCount + 1> available{};
    int foundCount = 0;
    bool chooseEnabled = true;    // false with exactly one program
    bool reportNoProgram = false; // the no-program message and its help topic
};

// A stored "GREP番号" outside 1 ... 6 (never written by the system) starts as 1.
int normalizedStoredNumber(int stored);

// Detect programs: examine 1 ... 6 in order; a missing selected program moves
// 1→3, 2→4, 3→6, 4→5, 5→1, 6→lowest available of 1 ... 5; then a selection
// that still names a missing program goes to the lowest available one.
Detection detectPrograms(const FileExists& exists, int storedNumber);

// Fill base names: index 1 ... 6; program 4 is "JGREP" when jgrep.exe exists,
// else "JGSLIM" when jgslim.exe exists, else empty.
std::array<std::string, kProgramCount + 1> fillBaseNames(const FileExists& exists);

// The file that runs program `number` given its base name ("JGSLIM" → "jgslim.exe").
std::string programFileFor(int number, std::string_view baseName);

// Select next program, step 1: the next available number after `selected` in
// cyclic order, the selected one itself last; nullopt when none is available.
std::optional<int> nextProgram(int selected, const std::array<bool, kProgramCount + 1>& available);

// Lower-cases ASCII letters only, so multi-byte text stays intact.
std::string asciiLower(std::string_view text);
// Removes blanks around text (spaces and tabs).
std::string trimBlanks(std::string_view text);

// Window title: "CGREP Sondel", or in tiny mode "CGREP < " and the file box
// text trimmed and lower-cased.
std::string windowTitle(std::string_view baseName, bool tinyMode, std::string_view fileBoxText);

// The selection together with what detection found; owned by the main window.
class ProgramRegistry {
public:
    // Runs detection and fills the base names.
    void detect(const FileExists& exists, int storedNumber);

    int selected() const { return detection_.selected; }
    void select(int number) { detection_.selected = number; }
    const Detection& detection() const { return detection_; }
    bool isAvailable(int number) const;
    // The base name of a number ("" for a number outside 1 ... 6).
    const std::string& baseName(int number) const;
    const std::string& selectedBaseName() const { return baseName(selected()); }
    std::optional<int> next() const { return nextProgram(selected(), detection_.available); }

private:
    Detection detection_;
    std::array<std::string, kProgramCount + 1> baseNames_;
};

} // namespace talvo::grep
