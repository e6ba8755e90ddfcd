// Code page 932 <-> UTF-8 through iconv. One conversion descriptor is opened
// per call: conversions are short and rare (settings and batch files), and this
// keeps the functions free of shared state.
#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace talvo::platform {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of in as possible, appending to out. Returns the number of
    // input bytes consumed; stops at the first byte sequence that cannot be
    // converted (or at the end of the input).
    std::size_t convert(std::string_view in, std::string& out) {
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[4096];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG)
                break;
        }
        // Reset the shift state so the next call starts clean.
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return in.size() - srcLeft;
    }

private:
    iconv_t cd_;
};

bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
bool isTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length of the UTF-8 sequence starting at s[i] when it is well formed, else 0.
std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80)
        return 1;
    std::size_t len;
    unsigned min;
    unsigned cp;
    if ((c & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (std::size_t k = 1; k < len; ++k) {
        auto t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (t & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::optional<std::string> utf8ToCp932(std::string_view utf8) {
    Converter conv("CP932", "UTF-8");
    if (!conv.ok())
        return std::nullopt;
    std::string out;
    if (conv.convert(utf8, out) != utf8.size())
        return std::nullopt;
    return out;
}

std::string cp932ToUtf8(std::string_view bytes) {
    std::string out;
    Converter conv("UTF-8", "CP932");
    if (!conv.ok())
        return std::string(bytes);
    while (!bytes.empty()) {
        std::size_t used = conv.convert(bytes, out);
        bytes.remove_prefix(used);
        if (bytes.empty())
            break;
        // One bad character: replace it and go on with the rest of the text.
        out += kReplacement;
        bytes.remove_prefix(cp932CharLength(bytes, 0));
    }
    return out;
}

bool representableInCp932(std::string_view utf8) {
    return utf8ToCp932(utf8).has_value();
}

bool isValidUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len = utf8SequenceLength(bytes, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

std::size_t cp932CharLength(std::string_view bytes, std::size_t i) {
    if (i + 1 < bytes.size() && isLeadByte(static_cast<unsigned char>(bytes[i])) &&
        isTrailByte(static_cast<unsigned char>(bytes[i + 1])))
        return 2;
    return 1;
}

std::string utf8Repaired(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len = utf8SequenceLength(bytes, i);
        if (len == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(bytes.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string cp932ToUtf8KeepingInvalid(std::string_view bytes, bool* keptInvalid) {
    std::string out;
    Converter conv("UTF-8", "CP932");
    if (keptInvalid)
        *keptInvalid = false;
    if (!conv.ok())
        return std::string(bytes);
    while (!bytes.empty()) {
        bytes.remove_prefix(conv.convert(bytes, out));
        if (bytes.empty())
            break;
        std::size_t len = cp932CharLength(bytes, 0);
        out.append(bytes.substr(0, len));
        bytes.remove_prefix(len);
        if (keptInvalid)
            *keptInvalid = true;
    }
    return out;
}

} // namespace talvo::platform
