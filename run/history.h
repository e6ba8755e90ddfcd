// The history lists of the pattern and file boxes: the text typed goes to the
// top unless it is already the first entry, and the list keeps at most ten.
#pragma once

#include <string>
#include <vector>

namespace talvo::run {

inline constexpr std::size_t kHistoryLimit = 10;

// Compared case-sensitively, nothing trimmed, duplicates further down kept.
// At most one entry (the last) is removed per call.
std::vector<std::string> insertIntoHistory(std::vector<std::string> entries,
                                           const std::string& text);

} // namespace talvo::run
