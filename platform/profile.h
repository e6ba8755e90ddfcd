// Private-profile (INI) files with the semantics of the Windows functions the
// settings were designed for: every call reads or writes the file at once, a
// missing file, section or key gives the default, and a write keeps every other
// byte of the file. Names and values are UTF-8 here; on disk the file is code
// page 932 (or UTF-8 when a value needs a character 932 lacks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::platform {

// GetPrivateProfileInt: blanks, optional sign, 0x hexadecimal or decimal digits
// up to the first other character; quotes removed first; empty value gives the
// default; overflow wraps modulo 2^32.
std::int32_t getProfileInt(const std::string& path, std::string_view section, std::string_view key,
                           std::int32_t defaultValue);

// GetPrivateProfileString into a buffer of bufferSize bytes: the value is cut
// to bufferSize - 1 bytes of the file's code page, never inside a double-byte
// character.
std::string getProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::size_t bufferSize);

// WritePrivateProfileString. Returns false when the write was refused (a name
// or value holding CR or LF) or failed; the old file then stays intact.
bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Whether a file of these bytes is read as UTF-8: it starts with a byte-order
// mark, or it is valid UTF-8 holding a character that cannot also be read as
// code-page-932 text (two-byte sequences whose second byte is A1-BF are also
// two half-width katakana). Otherwise it is read as code page 932.
bool readsAsUtf8(std::string_view fileBytes);

// The "#0" number format: decimal, no leading zeros, a minus sign when negative.
std::string formatNumber(std::int64_t value);

} // namespace talvo::platform
