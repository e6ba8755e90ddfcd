// Private-profile files. Every call reads the whole file, finds its lines by
// byte offsets and, for a write, splices the new bytes into the old ones, so
// whatever else the file holds (comments, unknown keys, bytes that are no
// text) comes out exactly as it went in. Names are compared in the file's own
// code page, one character at a time, because a code-page-932 trail byte can
// look like an ASCII letter, "[", "]" or "\".
#include "platform/profile.h"

#include "platform/codepage.h"
#include "platform/files.h"

#include <optional>
#include <vector>

namespace talvo::platform {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

enum class Encoding { Cp932, Utf8 };

struct Text {
    std::string bytes;         // the whole file
    std::size_t bodyStart = 0; // after a byte-order mark
    Encoding encoding = Encoding::Cp932;
};

struct Line {
    std::size_t start;      // first byte
    std::size_t contentEnd; // before CR LF / LF
    std::size_t end;        // after the line end
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hasHighBytes(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) > 127)
            return true;
    return false;
}

std::size_t utf8CharLength(std::string_view s, std::size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF8 ? 4 : 1;
    for (std::size_t k = 1; k < len; ++k)
        if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 1;
    return len;
}

std::size_t charLength(Encoding enc, std::string_view s, std::size_t i) {
    return enc == Encoding::Cp932 ? cp932CharLength(s, i) : utf8CharLength(s, i);
}

// Whether the bytes can only be meant as UTF-8. Two-byte sequences whose second
// byte is A1-BF are also two half-width katakana of code page 932 ("ﾃｽ" is
// C3 BD, "½" in UTF-8), so a file holding nothing else is read as 932; a UTF-8
// file of such characters is written with a byte-order mark.
bool unmistakablyUtf8(std::string_view bytes) {
    if (!hasHighBytes(bytes) || !isValidUtf8(bytes))
        return false;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t len = utf8CharLength(bytes, i);
        if (len > 2 || (len == 2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA1))
            return true;
        i += len;
    }
    return false;
}

Encoding detectEncoding(std::string_view bytes, bool& bom) {
    bom = bytes.substr(0, kBom.size()) == kBom;
    if (bom || unmistakablyUtf8(bytes))
        return Encoding::Utf8;
    return Encoding::Cp932;
}

enum class Load { Ok, Missing, Unreadable };

Load loadText(const std::string& path, Text& text) {
    auto bytes = readWholeFile(path);
    if (!bytes)
        return fileExists(path) ? Load::Unreadable : Load::Missing;
    text.bytes = std::move(*bytes);
    bool bom = false;
    text.encoding = detectEncoding(text.bytes, bom);
    text.bodyStart = bom ? kBom.size() : 0;
    return Load::Ok;
}

// CR LF, LF and a lone CR each end a line.
std::vector<Line> splitLines(const std::string& s, std::size_t from) {
    std::vector<Line> lines;
    std::size_t pos = from;
    while (pos < s.size()) {
        std::size_t contentEnd = s.find_first_of("\r\n", pos);
        std::size_t end = s.size();
        if (contentEnd == std::string::npos)
            contentEnd = s.size();
        else if (s[contentEnd] == '\r' && contentEnd + 1 < s.size() && s[contentEnd + 1] == '\n')
            end = contentEnd + 2;
        else
            end = contentEnd + 1;
        lines.push_back({pos, contentEnd, end});
        pos = end;
    }
    return lines;
}

// Equal regardless of the case of ASCII letters; a double-byte character
// matches only itself.
bool namesEqual(std::string_view a, std::string_view b, Encoding enc) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        std::size_t len = charLength(enc, a, i);
        if (len != charLength(enc, b, i))
            return false;
        if (len == 1) {
            if (asciiLower(a[i]) != asciiLower(b[i]))
                return false;
        } else if (a.substr(i, len) != b.substr(i, len)) {
            return false;
        }
        i += len;
    }
    return true;
}

// Position of the first (or last) single-byte character c, or npos.
std::size_t findChar(std::string_view s, char c, Encoding enc, bool last) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = charLength(enc, s, i);
        if (len == 1 && s[i] == c) {
            found = i;
            if (!last)
                break;
        }
        i += len;
    }
    return found;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view content, Encoding enc) {
    std::string_view t = trim(content);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    std::size_t close = findChar(t, ']', enc, true);
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(t.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::size_t valueStart; // offset within the line's content, after "="
};

std::optional<KeyLine> keyLine(std::string_view content, Encoding enc) {
    std::size_t eq = findChar(content, '=', enc, false);
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{trim(content.substr(0, eq)), eq + 1};
}

// Where a section and a key stand in the file. Only the first section of the
// name counts, and the first key of the name inside it.
struct Location {
    std::vector<Line> lines;
    std::optional<std::size_t> header;      // line index of "[section]"
    std::optional<std::size_t> key;         // line index of the key
    std::optional<std::size_t> lastKeyLine; // last line with "=" in the section
    std::size_t keyValueStart = 0;
};

Location locate(const Text& text, std::string_view section, std::string_view key) {
    Location loc;
    loc.lines = splitLines(text.bytes, text.bodyStart);
    std::string_view all = text.bytes;
    for (std::size_t i = 0; i < loc.lines.size(); ++i) {
        const Line& line = loc.lines[i];
        std::string_view content = all.substr(line.start, line.contentEnd - line.start);
        auto name = sectionName(content, text.encoding);
        if (name) {
            if (loc.header)
                break; // the section ends at the next header
            if (namesEqual(*name, section, text.encoding))
                loc.header = i;
            continue;
        }
        if (!loc.header)
            continue;
        if (auto kl = keyLine(content, text.encoding)) {
            loc.lastKeyLine = i;
            if (!loc.key && namesEqual(kl->key, key, text.encoding)) {
                loc.key = i;
                loc.keyValueStart = kl->valueStart;
            }
        }
    }
    return loc;
}

// A name or value in the file's code page; nullopt when it cannot be written in it.
std::optional<std::string> encodeFor(Encoding enc, std::string_view utf8) {
    if (enc == Encoding::Utf8)
        return std::string(utf8);
    return utf8ToCp932(utf8);
}

std::string decodeFrom(Encoding enc, std::string_view bytes) {
    return enc == Encoding::Utf8 ? utf8Repaired(bytes) : cp932ToUtf8(bytes);
}

// Bytes a character takes in code page 932: the buffer limit is counted so
// whatever the file's encoding. A character 932 lacks counts as two.
std::size_t cp932Width(Encoding enc, std::string_view s, std::size_t i, std::size_t len) {
    if (enc == Encoding::Cp932 || len == 1)
        return len;
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const bool halfWidthKatakana =
        len == 3 && b(0) == 0xEF &&
        ((b(1) == 0xBD && b(2) >= 0xA1) || (b(1) == 0xBE && b(2) <= 0x9F));
    return halfWidthKatakana ? 1 : 2;
}

// The first bufferSize - 1 bytes (counted in code page 932), ending before a
// character that would not fit whole.
std::string_view cutToBuffer(std::string_view value, std::size_t bufferSize, Encoding enc) {
    if (bufferSize == 0)
        return {};
    std::size_t limit = bufferSize - 1;
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        std::size_t len = charLength(enc, value, i);
        std::size_t width = cp932Width(enc, value, i, len);
        if (used + width > limit)
            break;
        used += width;
        i += len;
    }
    return value.substr(0, i);
}

std::string_view withoutEnclosingQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// The stored value (trimmed, one pair of enclosing quotes removed) in the file's
// code page; nullopt when the file, the section or the key is missing.
std::optional<std::string> rawValue(const std::string& path, std::string_view section,
                                    std::string_view key, Encoding& enc) {
    Text text;
    if (loadText(path, text) != Load::Ok)
        return std::nullopt;
    enc = text.encoding;
    auto sec = encodeFor(enc, trim(section));
    auto k = encodeFor(enc, trim(key));
    if (!sec || !k)
        return std::nullopt; // such names cannot occur in this file
    Location loc = locate(text, *sec, *k);
    if (!loc.key)
        return std::nullopt;
    const Line& line = loc.lines[*loc.key];
    std::string_view content =
        std::string_view(text.bytes).substr(line.start, line.contentEnd - line.start);
    return std::string(withoutEnclosingQuotes(trim(content.substr(loc.keyValueStart))));
}

bool holdsLineBreak(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

} // namespace

std::int32_t getProfileInt(const std::string& path, std::string_view section, std::string_view key,
                           std::int32_t defaultValue) {
    Encoding enc = Encoding::Cp932;
    auto value = rawValue(path, section, key, enc);
    if (!value || value->empty())
        return defaultValue;
    std::string_view v = *value;
    std::size_t i = 0;
    while (i < v.size() && isBlank(v[i]))
        ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+'))
        negative = v[i++] == '-';
    std::uint32_t n = 0; // wraps modulo 2^32 on overflow
    if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
        for (i += 2; i < v.size(); ++i) {
            char c = v[i];
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<unsigned>(c - 'A' + 10);
            else
                break;
            n = n * 16u + digit;
        }
    } else {
        for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i)
            n = n * 10u + static_cast<unsigned>(v[i] - '0');
    }
    if (negative)
        n = 0u - n;
    return static_cast<std::int32_t>(n);
}

std::string getProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::size_t bufferSize) {
    Encoding enc = Encoding::Cp932;
    if (auto value = rawValue(path, section, key, enc))
        return decodeFrom(enc, cutToBuffer(*value, bufferSize, enc));
    // The default loses its trailing blanks, then fills the same buffer.
    while (!defaultValue.empty() && isBlank(defaultValue.back()))
        defaultValue.remove_suffix(1);
    if (auto cp932 = utf8ToCp932(defaultValue))
        return cp932ToUtf8(cutToBuffer(*cp932, bufferSize, Encoding::Cp932));
    return utf8Repaired(cutToBuffer(defaultValue, bufferSize, Encoding::Utf8));
}

bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    // A raw line break would start new lines or sections of the caller's choosing.
    if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value))
        return false;
    std::string_view sectionName = trim(section);
    std::string_view keyName = trim(key);
    std::string valueText(trim(value));
    // The reader removes one pair of enclosing quotes; a value that has such a
    // pair of its own gets another, so it reads back as written.
    if (valueText.size() >= 2 && (valueText.front() == '"' || valueText.front() == '\'') &&
        valueText.back() == valueText.front())
        valueText = '"' + valueText + '"';
    // Keys that could never be read back as written.
    if (keyName.empty() || keyName.find('=') != std::string_view::npos || keyName.front() == '[')
        return false;

    Text text;
    Load load = loadText(path, text);
    if (load == Load::Unreadable)
        return false; // never replace what could not be read
    bool bom = text.bodyStart > 0;

    auto sec = encodeFor(text.encoding, sectionName);
    auto k = encodeFor(text.encoding, keyName);
    auto v = encodeFor(text.encoding, valueText);
    if (!sec || !k || !v) {
        // Code page 932 lacks a character: the whole file moves to UTF-8. Bytes
        // that were no valid text stay as they are, behind a byte-order mark.
        bool keptInvalid = false;
        std::string body = cp932ToUtf8KeepingInvalid(
            std::string_view(text.bytes).substr(text.bodyStart), &keptInvalid);
        bom = keptInvalid;
        text.bytes = std::move(body);
        text.bodyStart = 0;
        text.encoding = Encoding::Utf8;
        sec = std::string(sectionName);
        k = std::string(keyName);
        v = std::string(valueText);
    }

    Location loc = locate(text, *sec, *k);
    std::string out = text.bytes.substr(text.bodyStart);
    auto offset = [&](std::size_t fileOffset) { return fileOffset - text.bodyStart; };
    if (loc.key) {
        const Line& line = loc.lines[*loc.key];
        std::size_t from = offset(line.start) + loc.keyValueStart;
        while (from < offset(line.contentEnd) && isBlank(out[from]))
            ++from; // keep the layout of "key = value"
        out.replace(from, offset(line.contentEnd) - from, *v);
    } else if (loc.header) {
        const Line& after = loc.lines[loc.lastKeyLine.value_or(*loc.header)];
        std::string insert;
        // The last line of the file may lack its line feed (ending in CR or in
        // nothing): complete it, or the new key would join that line.
        if (text.bytes[after.end - 1] == '\r')
            insert += "\n";
        else if (text.bytes[after.end - 1] != '\n')
            insert += kLineEnd;
        insert += *k + "=" + *v + std::string(kLineEnd);
        out.insert(offset(after.end), insert);
    } else {
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out += kLineEnd;
        out += "[" + *sec + "]" + std::string(kLineEnd) + *k + "=" + *v + std::string(kLineEnd);
    }
    // The file must read back in the encoding it was written in.
    if (text.encoding == Encoding::Utf8 && !bom && !unmistakablyUtf8(out))
        bom = true;
    if (text.encoding == Encoding::Cp932 && unmistakablyUtf8(out)) {
        out = cp932ToUtf8KeepingInvalid(out);
        bom = true;
    }
    if (bom)
        out.insert(0, kBom);
    if (load == Load::Ok && out == text.bytes)
        return true;
    return replaceFileAtomically(path, out);
}

bool readsAsUtf8(std::string_view fileBytes) {
    bool bom = false;
    return detectEncoding(fileBytes, bom) == Encoding::Utf8;
}

std::string formatNumber(std::int64_t value) {
    return std::to_string(value);
}

} // namespace talvo::platform
