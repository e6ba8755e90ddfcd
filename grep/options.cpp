// Apply program and Build option string over the plain option-box state.
#include "grep/options.h"

#include <algorithm>

namespace talvo::grep {

namespace {

bool inList(std::span<const int> list, int box) {
    return std::find(list.begin(), list.end(), box) != list.end();
}

bool isStartupBox(int box) {
    return box == kShowOptionsBox || box == kDefaultFileBox;
}

} // namespace

OptionBoxes initialBoxes() {
    OptionBoxes state;
    for (const CommonOption& option : commonOptions())
        state.boxes[static_cast<std::size_t>(option.box)].caption = std::string(option.caption);
    state.boxes[kShowOptionsBox].caption = std::string(kShowOptionsCaption);
    state.boxes[kDefaultFileBox].caption = std::string(kDefaultFileCaption);
    return state;
}

int pageOfBox(int box) {
    if (box >= 0 && box < kCommonBoxCount)
        return 0;
    if (box >= 12 && box <= 19)
        return 1;
    if (box >= 20 && box < kBoxCount)
        return 2;
    return -1;
}

std::array<std::string, kBoxCount> flagTable(const ProgramOptions& program) {
    std::array<std::string, kBoxCount> flags;
    for (const CommonOption& option : commonOptions())
        flags[static_cast<std::size_t>(option.box)] =
            std::string(option.flags[static_cast<std::size_t>(program.number)]);
    for (const SpecificOption& option : program.options)
        flags[static_cast<std::size_t>(option.box)] = std::string(option.flag);
    return flags;
}

void applyProgram(OptionBoxes& state, const ProgramOptions& program, const StoredTick& storedTick,
                  int shownPage) {
    for (const SpecificOption& option : program.options) {
        OptionBox& box = state.boxes[static_cast<std::size_t>(option.box)];
        box.tick = tickFromStored(storedTick(option.key));
        box.caption = specificCaption(option);
    }
    for (int b : program.emptyCaption)
        state.boxes[static_cast<std::size_t>(b)].caption.clear();

    for (int k = 0; k < kGroupLabelCount; ++k)
        state.groupLabels[static_cast<std::size_t>(k)] = groupLabelText(program, k);
    for (int k = 1; k < kGroupLabelCount; ++k)
        state.groupFramed[static_cast<std::size_t>(k - 1)] =
            !state.groupLabels[static_cast<std::size_t>(k)].empty();

    const auto flags = flagTable(program);
    for (int i = 0; i < kBoxCount; ++i) {
        if (isStartupBox(i))
            continue;
        OptionBox& box = state.boxes[static_cast<std::size_t>(i)];
        if (inList(program.disabledOnly, i)) {
            box.enabled = false;
        } else if (program.cleared.contains(i)) {
            box.enabled = false;
            box.tick = 0;
            box.caption.clear();
        } else if (!box.enabled && pageOfBox(i) == shownPage) {
            box.enabled = true;
        }
        state.flags[static_cast<std::size_t>(i)] = flags[static_cast<std::size_t>(i)];
    }
}

std::string buildOptionString(const ProgramOptions& program, const Ticks& ticks) {
    const auto flags = flagTable(program);
    std::string out;
    int d = 0, j = 0, s = 0;
    for (int i = 0; i < kCommonBoxCount; ++i)
        if (ticks[static_cast<std::size_t>(i)] == 1)
            out.append(" ").append(flags[static_cast<std::size_t>(i)]);
    // Program options in box order: the tables list them ascending.
    for (const SpecificOption& option : program.options) {
        if (ticks[static_cast<std::size_t>(option.box)] != 1)
            continue;
        if (option.kind == FlagKind::Individual) {
            out.append(" ").append(option.flag);
        } else if (option.kind == FlagKind::Sum) {
            int& sum = option.sum == SumName::D ? d : option.sum == SumName::J ? j : s;
            sum += option.weight;
        }
    }
    if (d != 0)
        out += " -d" + std::to_string(d);
    if (j != 0)
        out += std::string(program.combinedJFlag) + std::to_string(j);
    if (s != 0)
        out += " -s" + std::to_string(s);
    return out;
}

Ticks ticksOf(const OptionBoxes& state) {
    Ticks ticks{};
    for (int i = 0; i < kBoxCount; ++i)
        ticks[static_cast<std::size_t>(i)] = state.boxes[static_cast<std::size_t>(i)].tick;
    return ticks;
}

} // namespace talvo::grep
