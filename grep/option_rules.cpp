// Exclusive groups, page enabling and the Page Down focus moves.
#include "grep/option_rules.h"

#include "grep/programs.h"

#include <algorithm>

namespace talvo::grep {

namespace {

std::vector<int> othersIn(int first, int last, int box) {
    std::vector<int> out;
    for (int b = first; b <= last; ++b)
        if (b != box)
            out.push_back(b);
    return out;
}

} // namespace

BoxRange boxesOfPage(int page) {
    switch (page) {
    case 0:
        return {0, kCommonBoxCount - 1};
    case 1:
        return {12, 19};
    case 2:
        return {20, kBoxCount - 1};
    default:
        return {};
    }
}

int nextPage(int page) {
    return page >= 0 && page < kPageCount - 1 ? page + 1 : 0;
}

std::vector<int> boxesClearedByTick(int number, int box) {
    switch (number) {
    case WGREP: // header conditions
        if (box >= 16 && box <= 19)
            return othersIn(16, 19, box);
        return {};
    case JGREP: // match limits
        if (box >= 20 && box <= 27)
            return othersIn(20, 27, box);
        [[fallthrough]];
    case CGREP:
    case YGREP: // context lines: 12 and 13 go together, 14 and 15 stand alone
        if (box == 12 || box == 13)
            return {14, 15};
        if (box == 14 || box == 15)
            return othersIn(12, 15, box);
        return {};
    default:
        return {};
    }
}

bool enabledWhenShown(const ProgramOptions& program, int box, bool captionEmpty) {
    if (captionEmpty)
        return false;
    return std::find(program.disabledOnly.begin(), program.disabledOnly.end(), box) ==
           program.disabledOnly.end();
}

int focusAfterPageDown(int pageBefore, const std::function<bool(int box)>& enabled) {
    switch (pageBefore) {
    case 0:
        return 12;
    case 1:
        return enabled(20) ? 20 : kPatternBoxFocus;
    default:
        return enabled(0) ? 0 : 1;
    }
}

} // namespace talvo::grep
