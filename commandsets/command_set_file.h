// The command-set file talvolst.ini in the program directory: up to 15 sets,
// each a name and a command-line template, read and written key by key
// through the profile layer. A set is absent when its value is empty; sets are
// cleared by writing empty values, never by removing keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvo::commandsets {

struct CommandSet {
    std::string name;
    std::string commandLine; // stored form, line breaks as markers
    bool operator==(const CommandSet&) const = default;
    bool empty() const { return name.empty() && commandLine.empty(); }
};

class CommandSetFile {
public:
    // programDirectory ends in "/".
    explicit CommandSetFile(std::string programDirectory);

    // The file's path, found regardless of case and never lower-cased.
    std::string path() const;

    // At most 499 bytes, blanks removed; empty outside 1 … 15.
    std::string readName(int setNumber) const;
    std::string readCommandLine(int setNumber) const;
    CommandSet read(int setNumber) const;
    // Writes both keys; false when the profile layer refused or failed.
    bool write(int setNumber, const CommandSet& set) const;

    // The names the menu offers: sets 1, 2 … up to the first empty name.
    std::vector<std::string> menuNames() const;
    // The sets the editor lists: up to the first empty command line.
    std::vector<CommandSet> editorList() const;

    // Bytes the value counts against the read limit: code page 932 bytes,
    // whatever the file's encoding.
    std::size_t storedLength(std::string_view value) const;
    // True when the value, once written, reads back whole.
    bool readsBackWhole(std::string_view value) const;

private:
    std::string read(int setNumber, const std::string& key) const;
    std::string directory_;
};

} // namespace talvo::commandsets
