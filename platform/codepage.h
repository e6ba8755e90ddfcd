// Conversion between UTF-8 (used everywhere inside the program) and code page
// 932 (Shift-JIS as Windows defines it), through iconv's CP932.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace talvo::platform {

// nullopt when some character has no code-page-932 form.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// Invalid bytes become U+FFFD; the rest of the text is kept.
std::string cp932ToUtf8(std::string_view bytes);

bool representableInCp932(std::string_view utf8);
bool isValidUtf8(std::string_view bytes);

// Byte length of the character starting at bytes[i] in code page 932 (1 or 2).
std::size_t cp932CharLength(std::string_view bytes, std::size_t i);

// The text with every byte that is no part of a well-formed UTF-8 character
// replaced by U+FFFD.
std::string utf8Repaired(std::string_view bytes);

// Like cp932ToUtf8, but bytes that are no valid code-page-932 character are
// copied unchanged (the result is then no valid UTF-8); *keptInvalid tells
// whether that happened. Used where no byte may be lost.
std::string cp932ToUtf8KeepingInvalid(std::string_view bytes, bool* keptInvalid = nullptr);

} // namespace talvo::platform
