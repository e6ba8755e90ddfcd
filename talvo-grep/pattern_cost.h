// A bound on what a pattern costs to compile. Counted repetitions multiply
// what they repeat, and the engines build that many states (Hyperscan's
// compile time grows faster than its states), so a few nested counts or a
// long fuzzy pattern could keep the compiler busy for minutes.
#pragma once

#include "talvo-grep/regex.h"

#include <cstdint>
#include <string>

namespace talvo::grep {

// Roughly the automaton states the pattern expands to: a character or a
// class of ASCII characters is one, any other class twelve (its UTF-8 and
// double-byte forms), a counted repetition of more than one character multiplies, a
// repetition of one character is a counter. Saturates far above the bounds.
uint64_t expansionCost(const Pattern& p);

// Above this the pattern goes to PCRE2 alone: Hyperscan would take over a
// second to compile it.
constexpr uint64_t kHyperscanCostLimit = 1000;
// Above this the pattern is refused.
constexpr uint64_t kPatternCostLimit = 20000;

// The message for a refused pattern.
std::string tooComplexMessage();

} // namespace talvo::grep
