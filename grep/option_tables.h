// The option check boxes as data: one table of common options (boxes 0 ... 9,
// the same captions and keys for every program, a flag per program) and one
// declarative table per grep program for boxes 12 ... 27. Apply program, Save
// option states and Build option string all read these tables; no caption,
// key or flag is written anywhere else.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace talvo::grep {

inline constexpr int kBoxCount = 28;
inline constexpr int kCommonBoxCount = 10;
inline constexpr int kShowOptionsBox = 10; // "起動時にオプションを表示"
inline constexpr int kDefaultFileBox = 11; // "起動時に指定ファイル"
inline constexpr int kGroupLabelCount = 4; // Panel3D7 ... Panel3D10

inline constexpr std::string_view kCommonSection = "共通オプション";
inline constexpr std::string_view kProgramSectionSuffix = "固有オプション";

struct CommonOption {
    int box;
    std::string_view caption;
    std::string_view key;
    // Indexed by program number 1 ... 6; empty where the program lacks the option.
    std::array<std::string_view, 7> flags;
};

enum class FlagKind { None, Individual, Sum };
enum class SumName { D, J, S };

struct SpecificOption {
    int box;
    std::string_view key;
    // Empty for the table-driven programs: the caption is the key after its
    // first blank, then "(&", the digit and ")".
    std::string_view caption;
    int digit;
    FlagKind kind;
    // The individual flag, or for a sum the flag-table entry ("-d", "-j", "-s", "-J").
    std::string_view flag;
    SumName sum = SumName::D;
    int weight = 0;
};

// A group label: fixed text, optionally followed by the first keyChars
// characters of the key of box keyBox.
struct GroupLabel {
    std::string_view text;
    int keyBox = -1;
    int keyChars = 0;
};

struct BoxRange {
    int first = -1;
    int last = -2; // empty range by default
    bool contains(int box) const { return box >= first && box <= last; }
};

struct ProgramOptions {
    int number;
    std::span<const SpecificOption> options;
    std::array<GroupLabel, kGroupLabelCount> groupLabels;
    std::span<const int> disabledOnly; // tick and caption kept
    BoxRange cleared;                  // disabled, cleared, caption emptied
    std::span<const int> emptyCaption; // boxes given an empty caption on apply
    std::string_view combinedJFlag;    // appended before the sum J
};

const std::array<CommonOption, kCommonBoxCount>& commonOptions();
const ProgramOptions& programOptions(int number); // number 1 ... 6

// Captions of the two start-up boxes, which carry no flag.
inline constexpr std::string_view kShowOptionsCaption = "起動時にオプションを表示";
inline constexpr std::string_view kDefaultFileCaption = "起動時に指定ファイル";

// The caption a box of a program table shows.
std::string specificCaption(const SpecificOption& option);
// The text of group label k (0 = Panel3D7 ... 3 = Panel3D10) for a program.
std::string groupLabelText(const ProgramOptions& program, int k);
// The section holding a program's own ticks: base name + "固有オプション".
std::string programSection(std::string_view baseName);
// The first n characters (code points) of UTF-8 text.
std::string firstCharacters(std::string_view utf8, int n);

} // namespace talvo::grep
