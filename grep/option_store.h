// The option ticks in talvo.ini: the common section "共通オプション" shared by
// all programs, and one section per program (base name + "固有オプション").
#pragma once

#include "grep/options.h"

#include <array>
#include <string>
#include <string_view>

namespace talvo::grep {

using CommonTicks = std::array<int, kCommonBoxCount>;

CommonTicks readCommonTicks(const std::string& iniPath);
void writeCommonTicks(const std::string& iniPath, const CommonTicks& ticks);

// The stored ticks of a program's own section, for Apply program.
StoredTick storedProgramTicks(const std::string& iniPath, std::string_view baseName);

// Save option states: the common ticks, then every key of the program's own
// table (zeros included) in its section; other programs' sections stay as they are.
void saveOptionStates(const std::string& iniPath, const ProgramOptions& program,
                      std::string_view baseName, const Ticks& ticks);

} // namespace talvo::grep
