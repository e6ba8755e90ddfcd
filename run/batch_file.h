// The batch file "WWW.BAT" that runs one search: a label line naming the file,
// the command line (one or more lines), and the copy that makes the
// completion marker "XXX.BAT". Lines end in CR LF.
#pragma once

#include <string>
#include <string_view>

namespace talvo::run {

inline constexpr const char* kBatchFileName = "WWW.BAT";
inline constexpr const char* kMarkerFileName = "XXX.BAT";

// The text in UTF-8. programDirectory is used as it is (its case kept) and
// ends in "/". Line breaks inside the command line (CR LF, LF or CR) become CR LF.
std::string batchFileText(std::string_view programDirectory, std::string_view commandLine);

// The bytes on disk: code page 932, or UTF-8 with a byte-order mark when the
// text holds a character that code page 932 lacks.
std::string encodeBatchFile(std::string_view utf8Text);

} // namespace talvo::run
