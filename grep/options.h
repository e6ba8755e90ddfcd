// The state of the 28 option boxes as plain values, and the operations on it
// that need no window: Apply program and Build option string. The option panel
// widget mirrors this state onto its check boxes.
#pragma once

#include "grep/option_tables.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace talvo::grep {

struct OptionBox {
    int tick = 0; // 0 clear, 1 ticked
    std::string caption;
    bool enabled = true;
};

struct OptionBoxes {
    std::array<OptionBox, kBoxCount> boxes;
    std::array<std::string, kBoxCount> flags; // the flag table of the applied program
    std::array<std::string, kGroupLabelCount> groupLabels;
    // Style of Panel3D8 ... Panel3D10: framed (true) when the label has text.
    std::array<bool, kGroupLabelCount - 1> groupFramed{};
};

using Ticks = std::array<int, kBoxCount>;

// The boxes as designed: the fixed captions of boxes 0 ... 11, all enabled and clear.
OptionBoxes initialBoxes();

// The tab page a box lives on (0: 0 ... 9, 1: 12 ... 19, 2: 20 ... 27), -1 for 10 and 11.
int pageOfBox(int box);

// A stored tick: 1 is ticked, anything else (0, garbage, absurd numbers) is clear.
inline int tickFromStored(int value) {
    return value == 1 ? 1 : 0;
}

// Reads the stored tick of a program-specific key (already passed through tickFromStored).
using StoredTick = std::function<int(std::string_view key)>;

// Apply program: the program's stored ticks and captions, group labels and
// styles, then per box the disabling and clearing of unsupported and unused
// boxes, the enabling of boxes on the page shown, and the flag table.
// Boxes 10 and 11 and the ticks of the common boxes are left alone.
void applyProgram(OptionBoxes& state, const ProgramOptions& program, const StoredTick& storedTick,
                  int shownPage);

// The flag table of a program: per box its flag, empty where it has none.
std::array<std::string, kBoxCount> flagTable(const ProgramOptions& program);

// Build option string: one blank and the flag per ticked box in box order (a
// ticked common box without a flag gives the blank alone), then the sums as
// " -d"D, the combined equivalence flag with J, and " -s"S.
std::string buildOptionString(const ProgramOptions& program, const Ticks& ticks);

Ticks ticksOf(const OptionBoxes& state);

} // namespace talvo::grep
