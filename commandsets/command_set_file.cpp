// The command-set file; see command_set_file.h.
#include "commandsets/command_set_file.h"

#include "commandsets/command_set_text.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"

#include <algorithm>

namespace talvo::commandsets {

namespace {

bool validSetNumber(int setNumber) {
    return setNumber >= 1 && setNumber <= kMaxSets;
}

} // namespace

CommandSetFile::CommandSetFile(std::string programDirectory)
    : directory_(std::move(programDirectory)) {}

std::string CommandSetFile::path() const {
    return platform::systemFilePath(directory_, kFileName);
}

std::string CommandSetFile::read(int setNumber, const std::string& key) const {
    if (!validSetNumber(setNumber))
        return {};
    return trimBlanks(platform::getProfileString(path(), kSection, key, "", kValueBufferSize));
}

std::string CommandSetFile::readName(int setNumber) const {
    return read(setNumber, nameKey(setNumber));
}

std::string CommandSetFile::readCommandLine(int setNumber) const {
    return read(setNumber, commandLineKey(setNumber));
}

CommandSet CommandSetFile::read(int setNumber) const {
    return {readName(setNumber), readCommandLine(setNumber)};
}

bool CommandSetFile::write(int setNumber, const CommandSet& set) const {
    if (!validSetNumber(setNumber))
        return false;
    const std::string file = path();
    const bool nameWritten =
        platform::writeProfileString(file, kSection, nameKey(setNumber), trimBlanks(set.name));
    const bool lineWritten = platform::writeProfileString(file, kSection, commandLineKey(setNumber),
                                                          trimBlanks(set.commandLine));
    return nameWritten && lineWritten;
}

std::vector<std::string> CommandSetFile::menuNames() const {
    std::vector<std::string> names;
    for (int n = 1; n <= kMaxSets; ++n) {
        std::string name = readName(n);
        if (name.empty())
            break;
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<CommandSet> CommandSetFile::editorList() const {
    std::vector<CommandSet> sets;
    for (int n = 1; n <= kMaxSets; ++n) {
        CommandSet set = read(n);
        if (set.commandLine.empty())
            break;
        sets.push_back(std::move(set));
    }
    return sets;
}

std::size_t CommandSetFile::storedLength(std::string_view value) const {
    if (const auto cp932 = platform::utf8ToCp932(value))
        return cp932->size();
    // A character code page 932 lacks counts as two bytes, as the reader counts it.
    std::size_t length = 0;
    for (std::size_t i = 0; i < value.size(); ++i)
        if ((static_cast<unsigned char>(value[i]) & 0xC0) != 0x80)
            length += static_cast<unsigned char>(value[i]) < 0x80 ? 1 : 2;
    return length;
}

bool CommandSetFile::readsBackWhole(std::string_view value) const {
    return storedLength(trimBlanks(value)) <= kMaxValueBytes;
}

} // namespace talvo::commandsets
