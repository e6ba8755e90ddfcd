// Reading and writing option ticks through the profile layer.
#include "grep/option_store.h"

#include "platform/profile.h"

namespace talvo::grep {

CommonTicks readCommonTicks(const std::string& iniPath) {
    CommonTicks ticks{};
    for (const CommonOption& option : commonOptions())
        ticks[static_cast<std::size_t>(option.box)] =
            tickFromStored(platform::getProfileInt(iniPath, kCommonSection, option.key, 0));
    return ticks;
}

void writeCommonTicks(const std::string& iniPath, const CommonTicks& ticks) {
    for (const CommonOption& option : commonOptions())
        platform::writeProfileString(
            iniPath, kCommonSection, option.key,
            platform::formatNumber(ticks[static_cast<std::size_t>(option.box)]));
}

StoredTick storedProgramTicks(const std::string& iniPath, std::string_view baseName) {
    return [iniPath, section = programSection(baseName)](std::string_view key) {
        return tickFromStored(platform::getProfileInt(iniPath, section, key, 0));
    };
}

void saveOptionStates(const std::string& iniPath, const ProgramOptions& program,
                      std::string_view baseName, const Ticks& ticks) {
    CommonTicks common{};
    std::copy_n(ticks.begin(), kCommonBoxCount, common.begin());
    writeCommonTicks(iniPath, common);
    const std::string section = programSection(baseName);
    for (const SpecificOption& option : program.options)
        platform::writeProfileString(
            iniPath, section, option.key,
            platform::formatNumber(ticks[static_cast<std::size_t>(option.box)]));
}

} // namespace talvo::grep
