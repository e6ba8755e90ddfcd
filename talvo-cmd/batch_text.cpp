// Lines are split on the raw bytes before conversion: LF never occurs inside
// a code-page-932 character (its second bytes start at 0x40).
#include "talvo-cmd/batch_text.h"

#include "platform/codepage.h"

namespace talvo::cmd {

std::vector<std::string> batchLines(std::string_view bytes) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    bool utf8 = bytes.starts_with(kBom);
    if (utf8)
        bytes.remove_prefix(kBom.size());

    std::vector<std::string> lines;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(utf8 ? std::string(line) : platform::cp932ToUtf8(line));
    }
    return lines;
}

} // namespace talvo::cmd
