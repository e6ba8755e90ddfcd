// A fixed string found fast in a large buffer: the two bytes of the string
// least likely to occur in text are looked for together, 16 or 32 positions
// at a time, and only where both sit at their places is the whole string
// compared. Matching lines are few against the bytes passed over, so the
// cost is the pass over the buffer, not the string's own first bytes (which
// in source code are often as common as "st" in "static").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace talvo::grep {

class LiteralFinder {
public:
    // asciiCaseless: an ASCII letter of the needle matches either case.
    explicit LiteralFinder(std::string needle, bool asciiCaseless = false);

    // The offset of the first occurrence at or after from, or npos.
    size_t find(std::string_view haystack, size_t from = 0) const;
    const std::string& needle() const { return needle_; }

private:
    std::string needle_;
    // Each byte of the text, or-ed with fold_[i], equals lower_[i]: 0x20
    // for an ASCII letter when case is ignored, else 0.
    std::string lower_;
    std::string fold_;
    bool caseless_ = false;
    // Offsets in the needle of its two rarest bytes (equal for one byte).
    size_t rare1_ = 0;
    size_t rare2_ = 0;
};

} // namespace talvo::grep
