// Outcome texts of a run.
#include "run/outcome.h"

#include <cstdio>

namespace talvo::run {

std::string formatElapsed(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

std::string matchedStatus(std::int64_t seconds) {
    return "TIME " + formatElapsed(seconds);
}

std::string nothingMatchedStatus(std::int64_t seconds) {
    return "No Lines Matched. TIME " + formatElapsed(seconds);
}

} // namespace talvo::run
