// The rules of the option area that need no widget: which boxes a tick clears
// (the exclusive groups of each program), which boxes a page enables when it is
// shown, the page order and where Page Down moves the keyboard focus.
#pragma once

#include "grep/option_tables.h"

#include <functional>
#include <vector>

namespace talvo::grep {

inline constexpr int kPageCount = 3;

// The first and last box of a page (0: 0 ... 9, 1: 12 ... 19, 2: 20 ... 27).
BoxRange boxesOfPage(int page);

// The page shown after `page` by Next option page: 0 → 1 → 2 → 0.
int nextPage(int page);

// The boxes a tick on `box` clears for program `number`, ascending; empty for
// a box outside every exclusive group (and for DGREP and IZGREP throughout).
std::vector<int> boxesClearedByTick(int number, int box);

// Whether a page that becomes visible enables `box`: its caption is not empty
// and the program does not list it as unsupported.
bool enabledWhenShown(const ProgramOptions& program, int box, bool captionEmpty);

// Where Page Down in a box moves the keyboard focus after Next option page, by
// the page shown before: box 12 from page 0; box 20 from page 1, or the pattern
// box when 20 is disabled; box 0 from page 2, or box 1 when 0 is disabled.
// Returns the box, or kPatternBoxFocus.
inline constexpr int kPatternBoxFocus = -1;
int focusAfterPageDown(int pageBefore, const std::function<bool(int box)>& enabled);

} // namespace talvo::grep
