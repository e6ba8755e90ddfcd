// The text of a batch file as lines of UTF-8. Files are code page 932 unless
// they start with a UTF-8 byte-order mark; lines end in CR LF or LF, and a last
// line without a line end is a line like any other.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talvo::cmd {

std::vector<std::string> batchLines(std::string_view bytes);

} // namespace talvo::cmd
