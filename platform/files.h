// File services. The system's own files in the program directory are found
// regardless of case ("xxx.bat" names "XXX.BAT"), as on the file system they
// were designed for; paths that are opened or run keep their case.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace talvo::platform {

// The path of the entry of dir whose name equals name regardless of ASCII case;
// an exact match wins. nullopt when there is none. dir may lack the trailing "/".
std::optional<std::string> findCaseInsensitive(const std::string& dir, std::string_view name);

// Like findCaseInsensitive, but only a file or a link to a file counts (not a
// directory or a dangling link): how a grep program's file is looked for.
std::optional<std::string> findCaseInsensitiveFile(const std::string& dir, std::string_view name);

// dir + the existing spelling of name, or dir + name when none exists.
std::string systemFilePath(const std::string& dir, std::string_view name);

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
bool isWritableDirectory(const std::string& path);
std::optional<std::uint64_t> fileLength(const std::string& path);
bool deleteFile(const std::string& path);      // a missing file is no error
bool createEmptyFile(const std::string& path); // open for appending and close
bool writeWholeFile(const std::string& path, std::string_view bytes); // truncates
std::optional<std::string> readWholeFile(const std::string& path);
bool setCurrentDirectory(const std::string& path);
std::string currentDirectory();

// A temporary file open for reading and writing, in $TMPDIR or /tmp, with no
// name: it is gone when the descriptor is closed, whatever ends the program.
// -1 and why on failure.
int openNamelessTempFile(std::string& why);

// The full path of an executable found on PATH (or the name itself when it
// holds a "/" and is executable); nullopt when there is none.
std::optional<std::string> findOnPath(std::string_view program);

// Replaces the file's contents as one step: the bytes go to a temporary file in
// the same directory, are flushed to disk and renamed over the file, keeping its
// permissions (a symbolic link stays and its target is replaced). A read-only
// file or directory (no write permission, or no write bit at all, which also
// holds for the superuser) is left as it is and false returned; on any failure
// the old file stays intact and no temporary file is left behind.
bool replaceFileAtomically(const std::string& path, std::string_view bytes);

// Test seam: called with the complete temporary file's path just before the
// rename; returning false abandons the write as if it had been interrupted there.
// Pass an empty function to remove it.
void setBeforeReplaceHook(std::function<bool(const std::string& temporaryPath)> hook);

} // namespace talvo::platform
