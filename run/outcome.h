// The status-line texts that report how a run ended.
#pragma once

#include <cstdint>
#include <string>

namespace talvo::run {

// "hh:mm:ss" of a duration in whole seconds; hours go past 23 rather than wrap.
std::string formatElapsed(std::int64_t seconds);

// "TIME hh:mm:ss" and "No Lines Matched. TIME hh:mm:ss".
std::string matchedStatus(std::int64_t seconds);
std::string nothingMatchedStatus(std::int64_t seconds);

} // namespace talvo::run
