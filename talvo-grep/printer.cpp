// Output layouts of talvo-grep (written down in --help and the program's
// documentation): one layout per meaning, the same in every dialect.
#include "talvo-grep/printer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "talvo-grep/os.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace talvo::grep {

Printer::Printer(const Options& o, bool showNames, std::string name, std::string_view data,
                 TextKind kind, size_t offsetBase, std::string& out)
    : o_(o), showNames_(showNames), name_(displayName(o, name)), data_(data), kind_(kind),
      offsetBase_(offsetBase), out_(out) {
    // Under a header the lines carry no path, unless path:line was asked for.
    namesOnLines_ = o.tag || (showNames_ && (o.header == HeaderMode::None || o.pathAndLine));
    if (o.noFileName && !o.tag)
        namesOnLines_ = false;
    context_ = std::max(o.before, o.after);
    if (o.header == HeaderMode::AllFiles && !o.silent && !o.count && !o.filesWithMatches) {
        headerOnce();
    }
}

std::string Printer::displayName(const Options& o, const std::string& name) {
    // Converted before lower case: a Shift-JIS second byte may be a letter.
    std::string n = fileNameToUtf8(o.fullPath ? os::absolutePath(name) : name);
    if (o.lowerCaseNames) {
        for (char& c : n)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return n;
}

void Printer::headerOnce() {
    if (headerDone_ || o_.header == HeaderMode::None || o_.noFileName)
        return;
    headerDone_ = true;
    printed_ = true;
    if (o_.conciseHeader) {
        out_ += name_ + "\n";
    } else {
        out_ += "==> " + name_ + " <==\n";
    }
}

namespace {
// Line feeds in [p, p + n): sixteen bytes at a time, summed in byte counters
// that are folded before they can overflow.
long countLineFeeds(const char* p, size_t n) {
    long total = 0;
#if defined(__SSE2__)
    const __m128i nl = _mm_set1_epi8('\n');
    while (n >= 16) {
        size_t blocks = std::min<size_t>(n / 16, 255);
        __m128i acc = _mm_setzero_si128();
        for (size_t i = 0; i < blocks; ++i) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i * 16));
            acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(v, nl));
        }
        __m128i sums = _mm_sad_epu8(acc, _mm_setzero_si128());
        total += _mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4);
        p += blocks * 16;
        n -= blocks * 16;
    }
#endif
    return total + std::count(p, p + n, '\n');
}
} // namespace

void Printer::advanceTo(size_t s) {
    if (s <= countedTo_)
        return;
    lineNo_ += countLineFeeds(at(countedTo_), s - countedTo_);
    countedTo_ = s;
}

long Printer::lineNumberAt(size_t s) {
    if (!countAll_ && !o_.tag && !o_.lineNumbers && !o_.pathAndLine)
        return 0;
    advanceTo(base_ + s);
    return lineNo_;
}

void Printer::leaveWindow(size_t scanEnd, size_t keepFrom) {
    afterContextUpTo(base_ + scanEnd);
    if (countAll_ || o_.tag || o_.lineNumbers || o_.pathAndLine)
        advanceTo(base_ + keepFrom);
    if (o_.byteOffset && (kind_ == TextKind::Utf16LE || kind_ == TextKind::Utf16BE)) {
        // The offsets in the file of the next window start from its base.
        if (utf8Counted_ < base_ || utf8Counted_ > base_ + keepFrom) {
            utf8Counted_ = base_;
            utf16Units_ = unitsBeforeWindow_;
        }
        countUnitsTo(base_ + keepFrom);
        unitsBeforeWindow_ = utf16Units_;
    }
    base_ += keepFrom;
    countedTo_ = std::max(countedTo_, base_);
}

void Printer::setWindow(std::string_view data) {
    data_ = data;
}

void Printer::appendText(std::string_view t) {
    switch (kind_) {
    case TextKind::ShiftJis:
    case TextKind::EucJp:
        Encoding::get(kind_).appendDecoded(out_, t);
        break;
    case TextKind::Bytes:
        appendUtf8Lossy(out_, t);
        break;
    default:
        out_.append(t);
        break;
    }
}

void Printer::emit(size_t s, size_t e, bool match, size_t partStart, size_t partEnd) {
    // Lines are counted only when a number is shown: counting is a pass over the text.
    if (o_.tag || o_.lineNumbers || o_.pathAndLine)
        advanceTo(s);
    char sep = match ? ':' : '-';
    if (o_.tag) {
        out_ += name_ + "(" + std::to_string(lineNo_) + ")" + sep + " ";
    } else {
        if (namesOnLines_)
            out_ += name_ + sep;
        if (o_.lineNumbers || o_.pathAndLine)
            out_ += std::to_string(lineNo_) + sep;
    }
    if (o_.byteOffset)
        out_ += std::to_string(fileOffset(s + partStart) + offsetBase_) + sep;
    if (partEnd > partStart) {
        appendText({at(s + partStart), partEnd - partStart});
    } else {
        appendText({at(s), e - s});
    }
    out_ += "\n";
    printed_ = true;
}

size_t Printer::fileOffset(size_t s) {
    if (kind_ != TextKind::Utf16LE && kind_ != TextKind::Utf16BE)
        return s;
    // Lines are printed in order: count on from the last offset asked for.
    if (s < utf8Counted_ || utf8Counted_ < base_) {
        utf8Counted_ = base_;
        utf16Units_ = unitsBeforeWindow_;
    }
    countUnitsTo(s);
    return 2 * utf16Units_;
}

void Printer::countUnitsTo(size_t s) {
    for (; utf8Counted_ < s; ++utf8Counted_) {
        auto c = static_cast<unsigned char>(*at(utf8Counted_));
        // A character is one unit, one beyond the BMP (four UTF-8 bytes) two.
        utf16Units_ += (c & 0xC0) != 0x80;
        utf16Units_ += c >= 0xF0;
    }
}

void Printer::emitMarked(size_t s, size_t e, const std::vector<std::pair<size_t, size_t>>& parts) {
    // The prefix as for a plain line, then the text with the marks put in; the
    // parts lie on character boundaries, so each piece decodes on its own.
    emit(s, s, true);
    out_.pop_back(); // the line feed after the empty text
    size_t done = 0;
    for (auto [ps, pe] : parts) {
        appendText({at(s + done), ps - done});
        out_ += o_.markOpen;
        appendText({at(s + ps), pe - ps});
        out_ += o_.markClose;
        done = pe;
    }
    appendText({at(s + done), e - s - done});
    out_ += "\n";
}

size_t Printer::lineStartBefore(size_t s) const {
    // s is a line start after the window's start: the previous line starts
    // after the line feed before s - 1.
    size_t i = s - 1;
    while (i > base_ && *at(i - 1) != '\n')
        --i;
    return i;
}

void Printer::afterContextUpTo(size_t end) {
    while (afterLeft_ > 0 && printedEnd_ < end) {
        size_t ls = printedEnd_;
        const void* nl = std::memchr(at(ls), '\n', windowEnd() - ls);
        size_t le =
            nl ? ls + static_cast<size_t>(static_cast<const char*>(nl) - at(ls)) : windowEnd();
        emit(ls, le, false);
        printedEnd_ = le + 1;
        --afterLeft_;
    }
}

void Printer::line(size_t s, size_t e, const std::vector<std::pair<size_t, size_t>>* parts) {
    s += base_;
    e += base_;
    headerOnce();
    // After-context of the previous match, up to this line.
    afterContextUpTo(s);
    // Before-context, never reprinting a line.
    std::vector<size_t> starts;
    size_t b = s;
    for (int k = 0; k < o_.before && b > base_ && b > printedEnd_; ++k) {
        b = lineStartBefore(b);
        if (b < printedEnd_)
            break;
        starts.push_back(b);
    }
    size_t first = starts.empty() ? s : starts.back();
    if (context_ > 0 && printedLine_ && first > printedEnd_)
        out_ += "--\n";
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        size_t ls = *it;
        size_t le = ls + static_cast<size_t>(
                             static_cast<const char*>(std::memchr(at(ls), '\n', s - ls)) - at(ls));
        emit(ls, le, false);
    }
    if (parts && !o_.onlyMatching) {
        emitMarked(s, e, *parts);
    } else if (parts) {
        for (auto [ps, pe] : *parts)
            emit(s, e, true, ps, pe);
    } else {
        emit(s, e, true);
    }
    printedEnd_ = e + 1;
    printedLine_ = true;
    afterLeft_ = o_.after;
}

void Printer::finish() {
    afterContextUpTo(windowEnd());
}

void Printer::count(long n) {
    printed_ = true;
    if (showNames_ && !o_.noFileName) {
        out_ += name_ + ":" + std::to_string(n) + "\n";
    } else {
        out_ += std::to_string(n) + "\n";
    }
}

void Printer::fileName() {
    printed_ = true;
    out_ += name_ + "\n";
}

void Printer::binaryMatch() {
    printed_ = true;
    out_ += "binary file matches: " + name_ + "\n";
}

void Printer::incomplete(long n, const std::string& reason) {
    printed_ = true;
    out_ += "talvo-grep: " + name_ + ": incomplete, the search of this file stopped after " +
            std::to_string(n) + (n == 1 ? " line: " : " lines: ") + reason + "\n";
}

} // namespace talvo::grep
