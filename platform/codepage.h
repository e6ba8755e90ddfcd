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

} // namespace talvo::platform
