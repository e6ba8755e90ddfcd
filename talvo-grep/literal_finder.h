// A fixed string, or any of a few, found fast in a large buffer: the two
// bytes of each string least likely to occur in text are looked for
// together, 16 to 64 positions at a time, and only where both sit at their
// places is the whole string compared. Matching lines are few against the bytes passed over, so the
// cost is the pass over the buffer, not the string's own first bytes (which
// in source code are often as common as "st" in "static").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep {

// One string as the search takes it.
struct LiteralNeedle {
    const char* lower; // each byte of the text, or-ed with fold[i], equals lower[i]
    const char* fold;  // 0x20 for an ASCII letter when case is ignored, else 0
    size_t size;
    size_t r1, r2; // offsets of its two rarest bytes (equal for one byte)
    bool matchesAt(const char* h) const {
        for (size_t i = 0; i < size; ++i)
            if (static_cast<char>(h[i] | fold[i]) != lower[i])
                return false;
        return true;
    }
};

class LiteralFinder {
public:
    // Beyond this many strings a pass per string costs more than the
    // engine's own literal search.
    static constexpr size_t kMostStrings = 8;

    // asciiCaseless: an ASCII letter of the needle matches either case.
    explicit LiteralFinder(std::string needle, bool asciiCaseless = false);
    // Any of 1 to kMostStrings strings.
    explicit LiteralFinder(std::vector<std::string> needles, bool asciiCaseless = false);
    // needles_ points into keys_.
    LiteralFinder(const LiteralFinder&) = delete;
    LiteralFinder& operator=(const LiteralFinder&) = delete;

    // The offset of the first occurrence at or after from of any of the
    // strings, or npos; *length, when given, is the size of one found there.
    // *high, when given, is false only if no byte from 0x80 on lies between
    // from and that offset (or the end): the pass tells whether it read
    // ASCII alone, so that text need not be read again to know it.
    size_t find(std::string_view haystack, size_t from = 0, size_t* length = nullptr,
                bool* high = nullptr) const;
    const std::string& needle() const { return keys_.front().text; }
    // Every string is ASCII: where one is found, its bytes are too.
    bool ascii() const { return ascii_; }

private:
    struct Key {
        std::string text;
        std::string lower; // as in LiteralNeedle
        std::string fold;
        size_t rare1 = 0;
        size_t rare2 = 0;
    };
    std::vector<Key> keys_;
    std::vector<LiteralNeedle> needles_;
    size_t shortest_ = 0;
    size_t longest_ = 0;
    bool caseless_ = false;
    bool ascii_ = true;
};

} // namespace talvo::grep
