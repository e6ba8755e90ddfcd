// File operands as users type them into the file box: Windows-style
// specifications turned into the ordered list of files to search.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep {

struct FileEntry {
    std::string path; // to open
    std::string name; // to show
};

// Splits a file-box text into specifications: blanks separate them, double
// quotes group one with blanks.
std::vector<std::string> splitSpecs(std::string_view text);

// Case-insensitive wild-card match of a name: "*" and "?"; "*.*" matches
// every name, with or without a dot.
bool wildcardMatch(std::string_view pattern, std::string_view name);

// True when a file specification holds "*" or "?" in its last part.
bool hasWildcard(std::string_view spec);

// Expands the specifications in order. Directories are walked in name order;
// recursive applies the last part to every directory below; symbolic links
// below the start are not followed. onError(path, message) reports what cannot
// be read, and the walk goes on.
std::vector<FileEntry>
expandSpecs(const std::vector<std::string>& specs, bool recursive,
            const std::function<void(const std::string&, const std::string&)>& onError);
// The same, handing each file to onFile as soon as it is found, so that its
// search need not wait for the end of a long walk.
void expandSpecs(const std::vector<std::string>& specs, bool recursive,
                 const std::function<void(const std::string&, const std::string&)>& onError,
                 const std::function<void(FileEntry)>& onFile);

} // namespace talvo::grep
