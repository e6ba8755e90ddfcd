// Text encodings of searched files: detection from content, the double-byte
// encodings Shift-JIS (code page 932) and EUC-JP as tables, character-boundary
// walking and decoding of printed lines to UTF-8.
// Decision: legacy files are searched in their own bytes; only the lines that
// are printed are decoded, through tables built once from iconv.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep {

enum class TextKind { Utf8, Utf16LE, Utf16BE, ShiftJis, EucJp, Bytes };

struct Pattern;

// Characters that the Japanese code pages give under two code points ("〜"
// U+301C and "～" U+FF5E, "‖" and "∥", "−" and "－", "¢" "£" "¬" and their
// full-width forms, "—" and "―"): each becomes a class of both, so that a
// pattern finds the same lines in UTF-8 as in Shift-JIS and EUC-JP, whatever
// the converter that wrote the text chose.
void addCharacterAliases(Pattern& p);

const char* textKindName(TextKind k);

struct Detection {
    TextKind kind = TextKind::Utf8;
    size_t bomLength = 0; // bytes of the byte-order mark at the start
};

// Judges the whole buffer: byte-order mark, valid UTF-8, else whichever of
// Shift-JIS and EUC-JP reads as valid text, else bytes.
Detection detectEncoding(std::string_view data);
// The part of that judgement for text that is not UTF-8: the first mebibyte
// of data decides between Shift-JIS, EUC-JP and bytes. UTF-8 with a few bad
// bytes gives bytes, which are searched as UTF-8 that tolerates them.
TextKind detectDoubleByteEncoding(std::string_view data);

// The length of data without a UTF-8 sequence cut off at its end.
size_t completeUtf8Prefix(std::string_view data);

// True when every byte sequence is valid UTF-8.
bool isValidUtf8(std::string_view data);
// The length of the part of data before its first byte that is not UTF-8.
size_t validUtf8Length(std::string_view data);

// A file name as written into results, in UTF-8: valid UTF-8 as it is, a
// name that reads wholly as Shift-JIS (code page 932), else wholly as
// EUC-JP, converted from it; any other byte that is not UTF-8 written as
// \xNN, so that every name stays distinct and the result stays UTF-8.
std::string fileNameToUtf8(std::string_view name);

// Transcodes UTF-16 to UTF-8 (invalid units become U+FFFD).
std::string utf16ToUtf8(std::string_view data, bool bigEndian);

// Appends the UTF-8 form of text, replacing invalid sequences by U+FFFD.
void appendUtf8Lossy(std::string& out, std::string_view text);

// A double-byte encoding, as tables. Thread-safe after get().
class Encoding {
public:
    static const Encoding& get(TextKind kind); // ShiftJis or EucJp

    TextKind kind() const { return kind_; }
    // Length of the character at p (1 for an invalid byte), never beyond end.
    size_t charLength(const unsigned char* p, const unsigned char* end) const;
    // Code point of the character at p with length n, or U+FFFD.
    char32_t decode(const unsigned char* p, size_t n) const;
    // Every byte sequence that encodes c (several for duplicates in code
    // page 932), empty when c cannot be written in this encoding.
    std::vector<std::string> encode(char32_t c) const;
    // Calls f for every valid character: its bytes and code point.
    void forEachChar(const std::function<void(std::string_view, char32_t)>& f) const;
    // Appends the UTF-8 form of the text.
    void appendDecoded(std::string& out, std::string_view text) const;
    // True when offset lies on a character boundary, walking from lineStart.
    bool isBoundary(std::string_view line, size_t offset) const;

private:
    explicit Encoding(TextKind kind);
    TextKind kind_;
    // Shift-JIS: single[256] for one-byte characters, dbcs[lead*256+trail].
    // EUC-JP: single for ASCII, dbcs for two bytes (0x8E kana included),
    // triple[(b2-0xA1)*94+(b3-0xA1)] for 0x8F b2 b3.
    std::vector<char32_t> single_, dbcs_, triple_;
    // The characters of dbcs_ in UTF-8 for appendDecoded: the bytes from
    // the lowest, their count in the top byte; 0 where they are decoded
    // one by one.
    std::vector<uint32_t> utf8Pairs_;
    std::vector<std::pair<char32_t, std::string>> reverse_; // sorted by code point
};

} // namespace talvo::grep
