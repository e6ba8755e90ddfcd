// The pattern compiler of every dialect, with the flags that rewrite patterns
// (equivalences, fuzzy search, blanks, matches across lines): a command line
// is parsed as the dialect parses it and its patterns are compiled for every
// encoding the matcher serves, then run over a short text in that encoding.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "talvo-grep/encoding.h"
#include "talvo-grep/matcher.h"
#include "tests/fuzz/grep_input.h"

namespace {

using talvo::grep::TextKind;

// "ファイル abc" and a second line, in each encoding.
std::string sample(TextKind kind) {
    switch (kind) {
    case TextKind::ShiftJis:
        return "\x83\x74\x83\x40\x83\x43\x83\x8B abc\r\n\x82\xA0 \xB1\xDE\n";
    case TextKind::EucJp:
        return "\xA5\xD5\xA5\xA1\xA5\xA4\xA5\xEB abc\r\n\xA4\xA2 \x8E\xB1\x8E\xDE\n";
    default:
        return "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB abc\r\n\xE3\x81\x82 x\n";
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace talvo::grep;
    auto in = talvo::fuzz::splitGrepInput(data, size);
    ParseResult parsed = parseCommandLine(in.dialect, in.args);
    if (!parsed.error.empty() || parsed.options.match.patterns.empty())
        return 0;
    std::string error;
    auto matcher = Matcher::create(parsed.options.match, error);
    if (!matcher)
        return 0;
    ScanContext ctx;
    for (TextKind kind : {TextKind::Utf8, TextKind::ShiftJis, TextKind::EucJp, TextKind::Bytes}) {
        std::string text = sample(kind);
        for (const auto& p : parsed.options.match.patterns)
            text += p + "\n";
        // Text not yet checked: the scan checks it up to a line's end before
        // it reports the line, and reports none past the first stray byte.
        std::vector<std::pair<size_t, size_t>> unchecked;
        bool valid = kind == TextKind::Utf8 && isValidUtf8(text), ran = false;
        if (kind == TextKind::Utf8) {
            bool told = !valid;
            ran = matcher->scanLines(
                kind, ctx, text,
                [&](size_t s, size_t e) {
                    unchecked.emplace_back(s, e);
                    return true;
                },
                error, nullptr, &told);
            if (ran && told != valid)
                __builtin_trap();
            size_t good = validUtf8Length(text);
            for (const auto& line : unchecked)
                if (!valid && line.second >= good)
                    __builtin_trap();
            if (!valid)
                continue; // searched as Bytes, as the searcher does
        }
        // The lines a scan of the whole text finds (by whatever fast way the
        // pattern takes) are the lines that match when checked one by one.
        std::vector<std::pair<size_t, size_t>> found, each;
        bool scanned = matcher->scanLines(
            kind, ctx, text,
            [&](size_t s, size_t e) {
                found.emplace_back(s, e);
                return true;
            },
            error);
        bool checked = scanned && !parsed.options.match.crossLines;
        for (size_t s = 0; checked && s < text.size();) {
            size_t e = text.find('\n', s);
            e = e == std::string::npos ? text.size() : e;
            std::string why;
            bool hit =
                matcher->lineMatches(kind, ctx, std::string_view(text).substr(s, e - s), why);
            checked = why.empty();
            if (hit)
                each.emplace_back(s, e);
            s = e + 1;
        }
        if (checked && found != each)
            __builtin_trap();
        if (valid && ran && scanned && unchecked != found)
            __builtin_trap();
        std::string_view first(text.data(), text.find('\n'));
        matcher->matchesInLine(
            kind, ctx, first, [](size_t, size_t) {}, error);
    }
    return 0;
}
