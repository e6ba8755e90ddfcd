// Placeholder until the profile layer is written.
#include "platform/profile.h"

namespace talvo::platform {

std::int32_t getProfileInt(const std::string&, std::string_view, std::string_view,
                           std::int32_t defaultValue) {
    return defaultValue;
}

std::string getProfileString(const std::string&, std::string_view, std::string_view,
                             std::string_view defaultValue, std::size_t) {
    return std::string(defaultValue);
}

bool writeProfileString(const std::string&, std::string_view, std::string_view, std::string_view) {
    return false;
}

std::string formatNumber(std::int64_t value) { return std::to_string(value); }

} // namespace talvo::platform
