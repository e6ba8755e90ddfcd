// Hyperscan and PCRE2 behind the matcher of matcher.h.
#include "talvo-grep/matcher.h"

#include "talvo-grep/literal_finder.h"
#include "talvo-grep/os.h"
#include "talvo-grep/pattern_cost.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <hs/hs.h>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace talvo::grep {

namespace {
// PCRE2 gives up past these; a hit is reported as an error, never as "no match".
constexpr uint32_t kMatchLimit = 20'000'000;
constexpr uint32_t kDepthLimit = 1'000'000;
constexpr size_t kJitStackMax = 16 << 20;
// Hyperscan scans at most this much at a time, cut at a line end.
constexpr size_t kChunk = 8 << 20;
// A string that every match holds finds candidate lines when it has at least
// this many bytes; once this many lines held it, more often than one in this
// many bytes, Hyperscan reads the rest in one pass: a line checked alone
// costs a call of an engine.
constexpr size_t kRareLiteralMin = 3;
constexpr size_t kLinesBeforeDense = 32;
constexpr size_t kDenseSpacing = 2048;

bool isLegacy(TextKind k) {
    return k == TextKind::ShiftJis || k == TextKind::EucJp;
}

// \b, \B, \< or \> (as their callout numbers) between a character that is
// a word character or not and one after it that is or is not.
bool wordTestHolds(int test, bool before, bool after) {
    switch (test) {
    case kCalloutBoundary:
        return before != after;
    case kCalloutNotBoundary:
        return before == after;
    case kCalloutWordStart:
        return !before && after;
    case kCalloutWordEnd:
        return before && !after;
    default:
        return true;
    }
}

// Answers the word tests that the emitted PCRE2 text holds as callouts: 0
// lets the match go on, 1 makes it backtrack. data points to the TextKind of
// the subject.
int onWordCallout(pcre2_callout_block* block, void* data) {
    TextKind kind = *static_cast<const TextKind*>(data);
    std::string_view text(reinterpret_cast<const char*>(block->subject), block->subject_length);
    size_t at = block->current_position;
    auto before = [&] { return wordCharBefore(kind, text, at); };
    auto after = [&] { return wordCharAfter(kind, text, at); };
    bool holds = true;
    switch (block->callout_number) {
    case kCalloutBoundary:
    case kCalloutNotBoundary:
    case kCalloutWordStart:
    case kCalloutWordEnd:
        holds = wordTestHolds(block->callout_number, before(), after());
        break;
    case kCalloutNoWordBefore:
        holds = !before();
        break;
    case kCalloutNoWordAfter:
        holds = !after();
        break;
    case kCalloutNonEmpty:
        holds = at > block->start_match;
        break;
    case kCalloutEmpty:
        holds = at == block->start_match;
        break;
    default:
        break;
    }
    return holds ? 0 : 1;
}
} // namespace

// One compiled pattern: Hyperscan database (exact or prefilter) and PCRE2.
struct Term {
    hs_database_t* hs = nullptr;
    bool hsExact = false;
    pcre2_code* re = nullptr;
    // A whole-word search of a pattern that can match the empty string, as
    // GNU grep has it: re takes only longer matches, an empty one counts
    // where emptyWord finds it and nonEmptyAt, anchored there, finds none.
    pcre2_code* emptyWord = nullptr;
    pcre2_code* nonEmptyAt = nullptr;
    std::string literal; // required literal in the file's bytes, for memchr
    // The whole pattern is this string (UTF-8, case as typed): a line matches
    // where the string occurs, and no engine has to look.
    std::unique_ptr<LiteralFinder> plain;
    // With plain, runs of one character each beside the string that a match
    // needs (such as [ぁ-ん]+する): a line matches where the string occurs
    // with these characters beside it.
    struct Flank {
        std::vector<CodeRange> chars; // sorted
        int least = 0;                // how many of them the match needs
    };
    Flank before, after;
    // With plain and no run on its side: the word test (as its callout
    // number, 0 for none) that must hold at the string's start or end.
    int testBefore = 0, testAfter = 0;
    // With plain: the string counts only where it stands as a word.
    bool wordFlanks = false;
    // A string that every match holds (UTF-8), to find candidate lines.
    std::unique_ptr<LiteralFinder> rare;
    // A whole-word search for plain text: the text in the file's bytes,
    // found in a line and its neighbours read, with no engine call.
    std::string wordLiteral;
    bool everyLine = false;
    ~Term() {
        if (hs)
            hs_free_database(hs);
        for (pcre2_code* c : {re, emptyWord, nonEmptyAt})
            if (c)
                pcre2_code_free(c);
    }
};

struct CompiledSet {
    TextKind kind = TextKind::Utf8;
    std::vector<std::unique_ptr<Term>> terms;
};

struct ScanContext::Impl {
    hs_scratch_t* scratch = nullptr;
    pcre2_match_data* md = nullptr;
    pcre2_match_context* mctx = nullptr;
    pcre2_jit_stack* stack = nullptr;
    std::vector<size_t> candidates;
    TextKind calloutKind = TextKind::Utf8; // of the subject being matched
    Impl() {
        md = pcre2_match_data_create(64, nullptr);
        mctx = pcre2_match_context_create(nullptr);
        pcre2_set_callout(mctx, onWordCallout, &calloutKind);
        pcre2_set_match_limit(mctx, kMatchLimit);
        pcre2_set_depth_limit(mctx, kDepthLimit);
        stack = pcre2_jit_stack_create(64 << 10, kJitStackMax, nullptr);
        pcre2_jit_stack_assign(mctx, nullptr, stack);
    }
    ~Impl() {
        if (scratch)
            hs_free_scratch(scratch);
        pcre2_match_data_free(md);
        pcre2_match_context_free(mctx);
        pcre2_jit_stack_free(stack);
    }
    bool prepare(const hs_database_t* db) { return hs_alloc_scratch(db, &scratch) == HS_SUCCESS; }
};

ScanContext::ScanContext() : impl_(std::make_unique<Impl>()) {}
ScanContext::~ScanContext() = default;

namespace {

void addBackrefOffset(Node& n, int offset) {
    if (n.kind == Node::Kind::Backref)
        n.index += offset;
    for (auto& c : n.children)
        addBackrefOffset(*c, offset);
}

// Splits at blanks (ASCII and full-width), for the AND search.
std::vector<std::string> words(const std::string& pattern) {
    std::vector<std::string> out;
    std::u32string text = decodePatternText(pattern);
    std::string cur;
    for (char32_t c : text) {
        if (c == ' ' || c == '\t' || c == 0x3000) {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            appendUtf8(cur, c);
        }
    }
    if (!cur.empty())
        out.push_back(cur);
    return out;
}

// How long a Hyperscan compile may take before the search goes on without
// it. Its time cannot be told from the pattern: a\Wx$ takes seconds where
// a\Wx and ab\Wxy\W$ take milliseconds. TALVO_GREP_COMPILE_MS sets another
// budget (0: every compile is given up, for tests of what follows).
std::chrono::milliseconds compileBudget() {
    static const std::chrono::milliseconds budget = [] {
        const char* v = std::getenv("TALVO_GREP_COMPILE_MS");
        return std::chrono::milliseconds(v != nullptr && *v != '\0' ? std::atol(v) : 500);
    }();
    return budget;
}

enum class Compiled { Ok, Failed, TooSlow };

hs_database_t* compileHere(const std::string& text, unsigned flags) {
    hs_database_t* db = nullptr;
    hs_compile_error_t* err = nullptr;
    if (hs_compile(text.c_str(), flags, HS_MODE_BLOCK, nullptr, &db, &err) == HS_SUCCESS)
        return db;
    hs_free_compile_error(err);
    return nullptr;
}

// A compile in the child: the flags, then the pattern's text; the reply is
// the serialized database.
std::optional<std::string> compileRequested(std::string_view request) {
    unsigned flags = 0;
    if (request.size() < sizeof flags)
        return std::nullopt;
    std::memcpy(&flags, request.data(), sizeof flags);
    hs_database_t* db = compileHere(std::string(request.substr(sizeof flags)), flags);
    char* bytes = nullptr;
    size_t size = 0;
    std::optional<std::string> reply;
    if (db != nullptr && hs_serialize_database(db, &bytes, &size) == HS_SUCCESS) {
        reply.emplace(bytes, size);
        std::free(bytes);
    }
    if (db != nullptr)
        hs_free_database(db);
    return reply;
}

// hs_compile within compileBudget(), in a child process: a compile past its
// budget is killed there, instead of going on taking a core and its memory
// (and holding up the end of the process) while the search goes on without it.
Compiled compileBounded(const std::string& text, unsigned flags, hs_database_t*& db) {
    static auto* compiler = new os::ChildWorker(compileRequested); // its child ends with us
    db = nullptr;
    if (compileBudget().count() <= 0)
        return Compiled::TooSlow;
    std::string request(sizeof flags, '\0');
    std::memcpy(request.data(), &flags, sizeof flags);
    request += text;
    std::string bytes;
    switch (compiler->run(request, compileBudget(), bytes)) {
    case os::ChildRun::Done:
        if (hs_deserialize_database(bytes.data(), bytes.size(), &db) != HS_SUCCESS)
            db = nullptr;
        return db ? Compiled::Ok : Compiled::Failed;
    case os::ChildRun::Failed:
        return Compiled::Failed;
    case os::ChildRun::TooSlow:
        return Compiled::TooSlow;
    case os::ChildRun::NoChild:
        break;
    }
    // No process to be had: the compile takes what it takes.
    db = compileHere(text, flags);
    return db ? Compiled::Ok : Compiled::Failed;
}

std::string pcreError(int code) {
    PCRE2_UCHAR buf[256];
    pcre2_get_error_message(code, buf, sizeof buf);
    return reinterpret_cast<const char*>(buf);
}

// A pattern with a few hundred spellings (a fuzzy search) as the list of
// their bytes in a double-byte encoding, for Hyperscan: a class that mixes
// one-byte and two-byte characters keeps its approximation of look-arounds
// from skipping ahead. Null when the pattern is no such list.
hs_database_t* compileSpellings(const Pattern& p, const MatchSpec& spec, const Encoding& enc,
                                bool& loose) {
    constexpr size_t kMaxSpellings = 1000;
    auto words = spellings(p, spec.ignoreCase, kMaxSpellings, loose);
    if (!words || words->size() < 2)
        return nullptr;
    std::vector<std::string> all;
    for (const std::u32string& w : *words) {
        std::vector<std::string> forms{std::string()};
        for (char32_t c : w) {
            std::vector<std::string> next;
            for (const auto& b : enc.encode(c))
                for (const auto& f : forms)
                    next.push_back(f + b);
            forms = std::move(next);
            if (all.size() + forms.size() > kMaxSpellings)
                return nullptr;
        }
        all.insert(all.end(), forms.begin(), forms.end());
    }
    if (all.empty())
        return nullptr;
    std::vector<const char*> exprs;
    std::vector<size_t> lens;
    for (const auto& w : all) {
        exprs.push_back(w.data());
        lens.push_back(w.size());
    }
    std::vector<unsigned> flags(all.size(), 0), ids(all.size(), 0);
    hs_database_t* db = nullptr;
    hs_compile_error_t* err = nullptr;
    if (hs_compile_lit_multi(exprs.data(), flags.data(), ids.data(), lens.data(),
                             static_cast<unsigned>(all.size()), HS_MODE_BLOCK, nullptr, &db,
                             &err) != HS_SUCCESS) {
        hs_free_compile_error(err);
        return nullptr;
    }
    return db;
}

// The UTF-8 text of a node that is nothing but characters, each matching
// only itself or, under ignoreCase, an ASCII letter either case (no line
// feed, no other letter with a case partner); "" otherwise.
std::string plainText(const Node& n, bool ignoreCase) {
    std::string text;
    auto add = [&](const Node& c) {
        if (c.kind != Node::Kind::Literal || c.cp == '\n' ||
            (ignoreCase && c.cp >= 0x80 && otherCase(c.cp) != c.cp))
            return false;
        appendUtf8(text, c.cp);
        return true;
    };
    if (n.kind == Node::Kind::Literal)
        return add(n) ? text : std::string();
    if (n.kind != Node::Kind::Concat)
        return {};
    for (const auto& c : n.children)
        if (!add(*c))
            return {};
    return text;
}

// The strings of a pattern that is plain text or an alternation of plain
// texts (as plainText, groups around them allowed, several patterns
// joined), or none when it is neither or has more than the literal search
// takes.
std::vector<std::string> plainStrings(const Pattern& p, bool ignoreCase) {
    std::vector<std::string> out;
    bool plain = true;
    auto collect = [&](const Node& n, auto& self) -> void {
        if (!plain)
            return;
        if (n.kind == Node::Kind::Group || n.kind == Node::Kind::NonCapture) {
            if (n.children.empty())
                plain = false;
            else
                self(*n.children[0], self);
        } else if (n.kind == Node::Kind::Alternation) {
            for (const auto& c : n.children)
                self(*c, self);
        } else {
            std::string text = plainText(n, ignoreCase);
            plain = !text.empty() && out.size() < LiteralFinder::kMostStrings;
            out.push_back(std::move(text));
        }
    };
    collect(*p.root, collect);
    if (!plain)
        out.clear();
    return out;
}

// The characters one atom matches, for a node of one character (a literal
// character, a class or "."), or nothing.
std::optional<std::vector<CodeRange>> oneCharacter(const Node& n) {
    if (n.kind == Node::Kind::Literal && n.cp != '\n')
        return std::vector<CodeRange>{{n.cp, n.cp}};
    if (n.kind == Node::Kind::Class)
        return classRanges(n.cls);
    if (n.kind == Node::Kind::Any) {
        CharClass all;
        all.negated = true;
        return classRanges(all);
    }
    return std::nullopt;
}

// The callout number of \b, \B, \< or \>, or 0.
int wordTestOf(const Node& n) {
    switch (n.kind) {
    case Node::Kind::WordBoundary:
        return kCalloutBoundary;
    case Node::Kind::NotWordBoundary:
        return kCalloutNotBoundary;
    case Node::Kind::WordStart:
        return kCalloutWordStart;
    case Node::Kind::WordEnd:
        return kCalloutWordEnd;
    default:
        return 0;
    }
}

// A pattern that is a plain string with a run of one character class before
// it, after it or both (such as [ぁ-ん]+する or \w+_RESUME), or a word test
// on a side without a run (\w+_RESUME\b): the string in UTF-8, and the
// flanks. A line matches just where the string occurs with at least the
// least number of characters of each flank's class beside it, however many
// more the run may take, and the word tests hold at its ends. Case is never
// ignored here.
std::optional<std::string> flankedString(const Pattern& p, Term& t) {
    const Node* root = p.root.get();
    while ((root->kind == Node::Kind::Group || root->kind == Node::Kind::NonCapture) &&
           root->children.size() == 1)
        root = root->children[0].get();
    if (root->kind != Node::Kind::Concat)
        return std::nullopt;
    // A run: a repeat of one character, or a lone class or ".". A possessive
    // run may take the string's own characters and never give them back.
    auto run = [](const Node& n) -> std::optional<Term::Flank> {
        const Node* one = &n;
        int least = 1;
        if (n.kind == Node::Kind::Repeat) {
            if (n.possessive || n.children.size() != 1 || (n.max >= 0 && n.max < n.min))
                return std::nullopt;
            one = n.children[0].get();
            least = n.min;
        } else if (n.kind == Node::Kind::Literal) {
            return std::nullopt; // part of the string
        }
        auto chars = oneCharacter(*one);
        if (!chars)
            return std::nullopt;
        return Term::Flank{std::move(*chars), least};
    };
    const auto& parts = root->children;
    size_t first = 0, last = parts.size();
    int testBefore = 0, testAfter = 0;
    if (first < last && (testBefore = wordTestOf(*parts[first])) != 0)
        ++first;
    if (last > first && (testAfter = wordTestOf(*parts[last - 1])) != 0)
        --last;
    std::optional<Term::Flank> head, tail;
    if (testBefore == 0 && first < last && (head = run(*parts[first])))
        ++first;
    if (testAfter == 0 && last > first && (tail = run(*parts[last - 1])))
        --last;
    std::string text;
    for (size_t i = first; i < last; ++i) {
        if (parts[i]->kind != Node::Kind::Literal || parts[i]->cp == '\n')
            return std::nullopt;
        appendUtf8(text, parts[i]->cp);
    }
    if ((!head && !tail && testBefore == 0 && testAfter == 0) || text.empty())
        return std::nullopt;
    t.before = head ? std::move(*head) : Term::Flank{};
    t.after = tail ? std::move(*tail) : Term::Flank{};
    t.testBefore = testBefore;
    t.testAfter = testAfter;
    return text;
}

// The bytes of a pattern that is plain text with one spelling in kind (no
// letter that -i would fold), or "" when it is none.
std::string plainTextBytes(const Pattern& p, bool ignoreCase, TextKind kind) {
    if (!isPlainLiteral(p))
        return {};
    std::vector<const Node*> chars;
    if (p.root->kind == Node::Kind::Literal)
        chars.push_back(p.root.get());
    for (const auto& c : p.root->children)
        chars.push_back(c.get());
    std::string out;
    for (const Node* c : chars) {
        if (ignoreCase && otherCase(c->cp) != c->cp)
            return {};
        if (!isLegacy(kind)) {
            appendUtf8(out, c->cp);
            continue;
        }
        auto seqs = Encoding::get(kind).encode(c->cp);
        if (seqs.size() != 1)
            return {};
        out += seqs[0];
    }
    return out;
}

// scans: the term finds the candidate lines (the first one does), so it
// needs a fast way through a whole buffer, not only a check of one line.
bool compileTerm(const Pattern& p, const MatchSpec& spec, TextKind kind, bool scans, Term& t,
                 std::string& error) {
    EmitOptions eo;
    eo.ignoreCase = spec.ignoreCase;
    eo.wholeLine = spec.wholeLine;
    // As in GNU grep, a whole-line search is never also a whole-word one.
    eo.wholeWord = spec.word && !spec.wholeLine;
    bool emptyWords = eo.wholeWord && canMatchEmpty(p);
    if (emptyWords)
        eo.length = EmitOptions::Length::NonEmpty;
    t.everyLine = matchesEveryLine(p) && !spec.wholeLine && !spec.word;
    auto emit = [&](const EmitOptions& o) {
        return isLegacy(kind) ? emitLegacy(p, o, Encoding::get(kind)) : emitUtf8(p, o);
    };
    std::string text = emit(eo);
    // Hyperscan gets the pattern without its word tests, which only PCRE2
    // can answer: its matches are then candidates for PCRE2 to confirm.
    bool wordTests = spec.word || hasWordAssertion(p);
    EmitOptions ho = eo;
    ho.wordCallouts = false;
    // Where PCRE2 confirms anyway, large classes are widened for Hyperscan;
    // elsewhere its exact answer spares PCRE2 patterns that it would take
    // exponential time over, such as "(\w?.)+x".
    bool widened = false;
    ho.widenLargeClasses = wordTests || isLegacy(kind);
    ho.inexact = &widened;
    std::string hsText = emit(ho);
    bool hsConfirm = wordTests || widened;

    uint32_t opts = PCRE2_MULTILINE;
    if (kind == TextKind::Utf8)
        opts |= PCRE2_UTF | PCRE2_UCP | PCRE2_NO_UTF_CHECK;
    if (kind == TextKind::Bytes)
        opts |= PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
    // PCRE2 reads past a callout as if it were not there: "\W+" before the
    // end of a whole-word match would become possessive and never give back
    // the character that the test refuses, and ".*" after "\B" would try
    // only the line start.
    if (wordTests)
        opts |= PCRE2_NO_AUTO_POSSESS | PCRE2_NO_DOTSTAR_ANCHOR;
    auto compile = [&](const std::string& source) -> pcre2_code* {
        int code = 0;
        PCRE2_SIZE offset = 0;
        pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(source.data()), source.size(),
                                       opts, &code, &offset, nullptr);
        if (re == nullptr) {
            error = code == PCRE2_ERROR_PATTERN_TOO_LARGE ? tooComplexMessage() : pcreError(code);
            return nullptr;
        }
        // Without JIT the interpreter still works. Matches across lines are
        // searched window by window, with partial matches at a window's end.
        pcre2_jit_compile(re, spec.crossLines ? PCRE2_JIT_COMPLETE | PCRE2_JIT_PARTIAL_HARD
                                              : PCRE2_JIT_COMPLETE);
        return re;
    };
    t.re = compile(text);
    if (t.re == nullptr)
        return false;
    if (eo.wholeWord && kind != TextKind::Bytes)
        t.wordLiteral = plainTextBytes(p, spec.ignoreCase, kind);
    if (emptyWords) {
        EmitOptions empty = eo;
        empty.length = EmitOptions::Length::Empty;
        EmitOptions longer = eo;
        longer.wholeWord = false;
        t.emptyWord = compile(emit(empty));
        t.nonEmptyAt = compile(emit(longer));
        if (!t.emptyWord || !t.nonEmptyAt)
            return false;
    }

    // Hyperscan cannot read invalid UTF-8 safely, so raw bytes go to PCRE2 alone,
    // as do patterns that would take it too long to compile.
    bool engine =
        scans && kind != TextKind::Bytes && !t.everyLine && expansionCost(p) <= kHyperscanCostLimit;
    if (engine && !hsConfirm && kind == TextKind::Utf8 && !eo.wholeLine && !eo.wholeWord) {
        // A plain string is found by itself: no engine is compiled for it.
        // So are a few strings as alternatives where each holds a character
        // beyond ASCII. Hyperscan tells strings apart by their first bytes,
        // which in Japanese text are nearly all alike (E3 8x): two or three
        // kana words took it twice as long as this pass. Up to three ASCII
        // strings are found so too: the pass checks the text on its way,
        // where the engine needs the check first, a second pass over a map
        // (measured 1.3 times as long). More ASCII strings it tells apart
        // faster.
        std::vector<std::string> strings = plainStrings(p, spec.ignoreCase);
        auto beyondAscii = [](const std::string& s) {
            return std::any_of(s.begin(), s.end(), [](char c) { return (c & 0x80) != 0; });
        };
        if ((!strings.empty() && strings.size() <= 3) ||
            (strings.size() > 1 && std::all_of(strings.begin(), strings.end(), beyondAscii))) {
            t.plain = std::make_unique<LiteralFinder>(std::move(strings), spec.ignoreCase);
            t.hsExact = true;
            return true;
        }
    }
    if (engine && kind == TextKind::Utf8 && !eo.wholeLine && !eo.wholeWord && !spec.ignoreCase) {
        // The runs of a class beside a string, and word tests at its ends,
        // are read where the string occurs: for [ぁ-ん]+する the engine
        // confirmed every す of the text, for a third of the search, and
        // \w+_RESUME\b took a compile of its own longer than the search.
        if (auto flanked = flankedString(p, t)) {
            t.plain = std::make_unique<LiteralFinder>(std::move(*flanked));
            t.hsExact = true;
            return true;
        }
    }
    if (engine && kind == TextKind::Utf8 && eo.wholeWord && !eo.wholeLine && !spec.ignoreCase &&
        !t.wordLiteral.empty()) {
        // A plain word is found by itself too, and its neighbours read where
        // it occurs: the engine found the line, and the word was then looked
        // for in it again (Japanese text: -w took 1.6 times as long).
        t.plain = std::make_unique<LiteralFinder>(t.wordLiteral);
        t.wordFlanks = true;
        t.hsExact = true;
        return true;
    }
    if (engine) {
        unsigned flags = HS_FLAG_MULTILINE | HS_FLAG_ALLOWEMPTY;
        if (kind == TextKind::Utf8)
            flags |= HS_FLAG_UTF8 | HS_FLAG_UCP;
        hs_compile_error_t* err = nullptr;
        hs_expr_info_t* info = nullptr;
        // Without its word tests a pattern may match the empty string, and
        // then every line is a candidate: PCRE2 alone reads them.
        bool emptyMatch = false;
        if (hsConfirm && hs_expression_info(hsText.c_str(), flags, &info, &err) == HS_SUCCESS) {
            emptyMatch = info->min_width == 0;
            std::free(info);
        }
        if (err) {
            hs_free_compile_error(err);
            err = nullptr;
        }
        Compiled exact = Compiled::Failed;
        if (emptyMatch) {
            // No prefilter: every line goes to PCRE2.
        } else if ((exact = compileBounded(hsText, flags, t.hs)) == Compiled::Ok) {
            t.hsExact = !hsConfirm;
        } else if (exact == Compiled::TooSlow) {
            // Large classes widened compile fast; PCRE2 confirms what they find.
            if (!widened) {
                ho.widenLargeClasses = true;
                std::string wide = emit(ho);
                if (widened && compileBounded(wide, flags, t.hs) != Compiled::Ok)
                    t.hs = nullptr;
            }
        } else {
            t.hs = nullptr;
            // What Hyperscan cannot take exactly (look-arounds) it approximates;
            // in Shift-JIS the list of spellings is faster than that (measured).
            bool loose = false;
            if (kind == TextKind::ShiftJis && !eo.wholeLine)
                t.hs = compileSpellings(p, spec, Encoding::get(kind), loose);
            if (t.hs == nullptr &&
                compileBounded(hsText, flags | HS_FLAG_PREFILTER, t.hs) != Compiled::Ok)
                t.hs = nullptr;
        }
    }
    if (t.hs && kind == TextKind::Utf8) {
        std::string lit = requiredLiteral(p, spec.ignoreCase);
        if (lit.size() >= kRareLiteralMin && lit.find('\n') == std::string::npos)
            t.rare = std::make_unique<LiteralFinder>(std::move(lit));
    }
    if (t.hs == nullptr) {
        std::string lit = requiredLiteral(p, spec.ignoreCase);
        if (isLegacy(kind) && !lit.empty()) {
            // The literal in the file's own bytes, when it has one spelling there.
            std::string enc;
            for (char32_t c : decodePatternText(lit)) {
                auto seqs = Encoding::get(kind).encode(c);
                if (seqs.size() != 1) {
                    enc.clear();
                    break;
                }
                enc += seqs[0];
            }
            lit = enc;
        }
        t.literal = lit;
    }
    return true;
}

struct HsCollect {
    const char* data;
    size_t base;    // offset of the chunk in the buffer
    size_t size;    // chunk size
    size_t lastEnd; // end of the last line taken (relative to chunk), or npos
    std::vector<size_t>* lines;
    size_t limit;
};

int onHsMatch(unsigned, unsigned long long, unsigned long long to, unsigned, void* ctx) {
    auto* c = static_cast<HsCollect*>(ctx);
    size_t e = static_cast<size_t>(to);
    // A non-empty match never holds a line feed, so its last byte is e - 1.
    size_t at = (e > 0 && c->data[c->base + e - 1] != '\n') ? e - 1 : e;
    if (c->lastEnd != std::string_view::npos && at <= c->lastEnd)
        return 0;
    const char* chunk = c->data + c->base;
    const void* before = at > 0 ? memrchr(chunk, '\n', at) : nullptr;
    size_t start = before ? static_cast<size_t>(static_cast<const char*>(before) - chunk) + 1 : 0;
    const void* nl = at < c->size ? std::memchr(chunk + at, '\n', c->size - at) : nullptr;
    size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - chunk) : c->size;
    c->lines->push_back(c->base + start);
    c->lastEnd = end;
    return c->lines->size() >= c->limit ? 1 : 0;
}

} // namespace

std::unique_ptr<Matcher> Matcher::create(const MatchSpec& spec, std::string& error) {
    std::unique_ptr<Matcher> m(new Matcher());
    m->spec_ = spec;
    std::vector<std::string> sources;
    for (const auto& p : spec.patterns) {
        if (spec.rewrite) {
            // Errors are reported in the pattern as typed, not as rewritten.
            Pattern typed;
            if (auto err = parsePattern(decodePatternText(p), spec.literal, typed)) {
                error = "invalid pattern \"" + p + "\" at position " +
                        std::to_string(err->position) + ": " + err->message;
                return nullptr;
            }
        }
        // AND words are split before rewriting: a rewritten word is regex text.
        std::vector<std::string> items = spec.allWords ? words(p) : std::vector<std::string>{p};
        for (auto& w : items) {
            if (!spec.rewrite) {
                sources.push_back(w);
                continue;
            }
            std::string utf8; // the rewrite reads UTF-8; a batch file may give code page 932
            for (char32_t c : decodePatternText(w))
                appendUtf8(utf8, c);
            sources.push_back(spec.rewrite(utf8, !spec.literal));
        }
    }
    if (sources.empty())
        sources.emplace_back(); // no words: every line
    std::vector<Pattern> parsed;
    for (const auto& s : sources) {
        Pattern p;
        // A rewritten pattern is regular-expression text whatever the input was.
        bool literal = spec.literal && !spec.rewrite;
        if (auto err = parsePattern(decodePatternText(s), literal, p)) {
            error = "invalid pattern \"" + s + "\" at position " + std::to_string(err->position) +
                    ": " + err->message;
            return nullptr;
        }
        addCharacterAliases(p);
        parsed.push_back(std::move(p));
    }
    uint64_t cost = 0;
    for (const auto& p : parsed)
        cost += expansionCost(p);
    if (cost > kPatternCostLimit) {
        error = tooComplexMessage();
        return nullptr;
    }
    if (spec.allWords || parsed.size() == 1) {
        m->terms_ = std::move(parsed);
    } else {
        Pattern joined;
        joined.root = std::make_unique<Node>();
        joined.root->kind = Node::Kind::Alternation;
        for (auto& p : parsed) {
            addBackrefOffset(*p.root, joined.groups);
            joined.groups += p.groups;
            auto g = std::make_unique<Node>();
            g->kind = Node::Kind::NonCapture;
            g->children.push_back(std::move(p.root));
            joined.root->children.push_back(std::move(g));
        }
        m->terms_.push_back(std::move(joined));
    }
    m->sets_.resize(6);
    m->setErrors_.resize(6);
    m->built_.assign(6, false);
    // Compile for UTF-8 now so that an engine's objection is reported up front.
    if (m->compiled(TextKind::Utf8, error) == nullptr) {
        error = "invalid pattern: " + error;
        return nullptr;
    }
    return m;
}

Matcher::~Matcher() = default;

const CompiledSet* Matcher::compiled(TextKind kind, std::string& error) const {
    if (kind == TextKind::Utf16LE || kind == TextKind::Utf16BE)
        kind = TextKind::Utf8;
    auto i = static_cast<size_t>(kind);
    std::lock_guard lock(mutex_);
    if (!built_[i]) {
        built_[i] = true;
        auto set = std::make_unique<CompiledSet>();
        set->kind = kind;
        for (const auto& p : terms_) {
            auto t = std::make_unique<Term>();
            if (!compileTerm(p, spec_, kind, set->terms.empty(), *t, setErrors_[i])) {
                set.reset();
                break;
            }
            set->terms.push_back(std::move(t));
        }
        sets_[i] = std::move(set);
    }
    if (!sets_[i])
        error = setErrors_[i];
    return sets_[i].get();
}

namespace {

// True when the string found at [at, end) of the line that starts at ls has
// the characters its flanks need beside it, within the line.
bool flanksHold(const Term& t, std::string_view data, size_t ls, size_t at, size_t end) {
    if (t.wordFlanks)
        return !wordCharBefore(TextKind::Utf8, data, at) &&
               !wordCharAfter(TextKind::Utf8, data, end);
    auto u = reinterpret_cast<const unsigned char*>(data.data());
    size_t pos = at;
    for (int k = 0; k < t.before.least; ++k) {
        if (pos <= ls)
            return false;
        size_t start = pos - 1; // back to the lead byte
        while (start > ls && pos - start < 4 && (u[start] & 0xC0) == 0x80)
            --start;
        size_t length = 0;
        char32_t c = decodeUtf8(u + start, u + pos, length);
        if (start + length != pos || !inRanges(t.before.chars, c))
            return false;
        pos = start;
    }
    if (t.testBefore != 0 && !wordTestHolds(t.testBefore, wordCharBefore(TextKind::Utf8, data, at),
                                            wordCharAfter(TextKind::Utf8, data, at)))
        return false;
    if (t.testAfter != 0 && !wordTestHolds(t.testAfter, wordCharBefore(TextKind::Utf8, data, end),
                                           wordCharAfter(TextKind::Utf8, data, end)))
        return false;
    pos = end;
    for (int k = 0; k < t.after.least; ++k) {
        size_t length = 0;
        // The line feed is in no class.
        if (pos >= data.size() ||
            !inRanges(t.after.chars, decodeUtf8(u + pos, u + data.size(), length)))
            return false;
        pos += length;
    }
    return true;
}

// Finds the first acceptable match of t in line at or after from.
// Returns 1 found, 0 none, -1 engine limit.
int findInLine(const Term& t, TextKind kind, ScanContext::Impl& ctx, std::string_view line,
               size_t from, size_t& ms, size_t& me) {
    uint32_t opts = kind == TextKind::Utf8 ? PCRE2_NO_UTF_CHECK : 0;
    ctx.calloutKind = kind;
    auto subject = reinterpret_cast<PCRE2_SPTR>(line.data());
    // The first match of code at or after start that begins and ends on
    // character boundaries.
    auto first = [&](const pcre2_code* code, size_t start) -> int {
        while (start <= line.size()) {
            int rc = pcre2_match(code, subject, line.size(), start, opts, ctx.md, ctx.mctx);
            if (rc == PCRE2_ERROR_NOMATCH)
                return 0;
            if (rc < 0)
                return -1;
            PCRE2_SIZE* ov = pcre2_get_ovector_pointer(ctx.md);
            ms = ov[0];
            me = ov[1];
            bool ok = true;
            if (isLegacy(kind)) {
                const Encoding& enc = Encoding::get(kind);
                ok = enc.isBoundary(line, ms) && enc.isBoundary(line, me);
            }
            if (ok)
                return 1;
            start = ms + 1;
            if (kind == TextKind::Utf8) {
                while (start < line.size() &&
                       (static_cast<unsigned char>(line[start]) & 0xC0) == 0x80)
                    ++start;
            }
        }
        return 0;
    };
    if (!t.wordLiteral.empty()) {
        const std::string& w = t.wordLiteral;
        for (size_t at = from; at + w.size() <= line.size();) {
            const void* hit = memmem(line.data() + at, line.size() - at, w.data(), w.size());
            if (hit == nullptr)
                return 0;
            size_t s = static_cast<size_t>(static_cast<const char*>(hit) - line.data());
            size_t e = s + w.size();
            bool whole = !isLegacy(kind) || (Encoding::get(kind).isBoundary(line, s) &&
                                             Encoding::get(kind).isBoundary(line, e));
            if (whole && !wordCharBefore(kind, line, s) && !wordCharAfter(kind, line, e)) {
                ms = s;
                me = e;
                return 1;
            }
            at = s + 1;
        }
        return 0;
    }
    int r = first(t.re, from);
    if (r != 0 || !t.emptyWord)
        return r;
    for (size_t start = from; start <= line.size();) {
        r = first(t.emptyWord, start);
        if (r <= 0)
            return r;
        size_t at = ms;
        int longer = pcre2_match(t.nonEmptyAt, subject, line.size(), at, opts | PCRE2_ANCHORED,
                                 ctx.md, ctx.mctx);
        if (longer == PCRE2_ERROR_NOMATCH) {
            ms = me = at;
            return 1;
        }
        if (longer < 0)
            return -1;
        start = at + 1;
        if (kind == TextKind::Utf8) {
            while (start < line.size() && (static_cast<unsigned char>(line[start]) & 0xC0) == 0x80)
                ++start;
        }
    }
    return 0;
}

// The offset of the character after the one at at (UTF-8 continuation bytes
// skipped; legacy boundaries are checked by the caller).
size_t nextCharacter(TextKind kind, std::string_view text, size_t at) {
    size_t next = at + 1;
    if (kind == TextKind::Utf8) {
        while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0) == 0x80)
            ++next;
    }
    return next;
}

std::string limitError() {
    return "the pattern is too complex for this line (engine limit reached)";
}

} // namespace

bool Matcher::lineMatches(TextKind kind, ScanContext& ctx, std::string_view line,
                          std::string& error) const {
    const CompiledSet* set = compiled(kind, error);
    if (!set)
        return false;
    if (kind == TextKind::Utf16LE || kind == TextKind::Utf16BE)
        kind = TextKind::Utf8;
    for (const auto& t : set->terms) {
        if (t->everyLine)
            continue;
        size_t ms = 0, me = 0;
        int r = findInLine(*t, kind, *ctx.impl_, line, 0, ms, me);
        if (r < 0) {
            error = limitError();
            return false;
        }
        if (r == 0)
            return false;
    }
    return true;
}

bool Matcher::matchesInLine(TextKind kind, ScanContext& ctx, std::string_view line,
                            const std::function<void(size_t, size_t)>& onMatch,
                            std::string& error) const {
    const CompiledSet* set = compiled(kind, error);
    if (!set)
        return false;
    if (kind == TextKind::Utf16LE || kind == TextKind::Utf16BE)
        kind = TextKind::Utf8;
    // Matches of every term, in order, without overlaps.
    std::vector<std::pair<size_t, size_t>> all;
    for (const auto& t : set->terms) {
        size_t from = 0, ms = 0, me = 0;
        while (from <= line.size()) {
            int r = findInLine(*t, kind, *ctx.impl_, line, from, ms, me);
            if (r < 0) {
                error = limitError();
                return false;
            }
            if (r == 0)
                break;
            if (spec_.maxLineBreaks >= 0 &&
                std::count(line.begin() + static_cast<long>(ms),
                           line.begin() + static_cast<long>(me), '\n') > spec_.maxLineBreaks) {
                from = nextCharacter(kind, line, ms);
                continue;
            }
            if (me > ms)
                all.emplace_back(ms, me);
            // After an empty match, the next character: never the middle of one.
            from = me > ms ? me : nextCharacter(kind, line, ms);
        }
    }
    std::sort(all.begin(), all.end());
    size_t last = 0;
    for (auto [s, e] : all) {
        if (s < last)
            continue;
        onMatch(s, e);
        last = e;
    }
    return true;
}

bool Matcher::scanLines(TextKind kind, ScanContext& ctx, std::string_view data,
                        const std::function<bool(size_t, size_t)>& onLine, std::string& error,
                        size_t* resume, bool* valid) const {
    if (resume)
        *resume = data.size();
    const CompiledSet* set = compiled(kind, error);
    if (!set)
        return false;
    if (kind == TextKind::Utf16LE || kind == TextKind::Utf16BE)
        kind = TextKind::Utf8;
    ScanContext::Impl& c = *ctx.impl_;
    const Term& first = *set->terms[0];
    bool legacy = isLegacy(kind);
    // Lines found by the first term still need every check that it skipped.
    bool confirmFirst = legacy || spec_.word || !first.hsExact;
    if (first.everyLine || first.wordFlanks)
        confirmFirst = false;
    bool others = set->terms.size() > 1;
    if (valid) {
        *valid = true;
        // Only the literal finder tells on its way whether it read ASCII
        // alone: where it finds the string or the string every match holds,
        // the check waits for what it finds; every other way checks first.
        bool onTheWay = kind == TextKind::Utf8 && (first.plain || (first.hs && first.rare)) &&
                        !others && !first.everyLine && !spec_.crossLines;
        if (!onTheWay) {
            *valid = isValidUtf8(data);
            if (!*valid) {
                if (resume)
                    *resume = 0;
                return true;
            }
            valid = nullptr;
        }
    }
    if (spec_.crossLines && !first.everyLine)
        return scanAcross(*set, kind, ctx, data, onLine, error, resume);

    auto lineEnd = [&](size_t s) {
        const void* nl = std::memchr(data.data() + s, '\n', data.size() - s);
        return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) : data.size();
    };
    bool failed = false;
    // Checks a candidate line; false stops the scan.
    auto take = [&](size_t s, size_t e) -> bool {
        std::string_view line = data.substr(s, e - s);
        if (confirmFirst || others) {
            for (size_t i = confirmFirst ? 0 : 1; i < set->terms.size(); ++i) {
                const Term& t = *set->terms[i];
                if (t.everyLine)
                    continue;
                size_t ms = 0, me = 0;
                int r = findInLine(t, kind, c, line, 0, ms, me);
                if (r < 0) {
                    error = limitError();
                    failed = true;
                    return false;
                }
                if (r == 0)
                    return true; // not a match; go on
            }
        }
        return onLine(s, e);
    };

    if (first.everyLine) {
        size_t s = 0;
        while (s < data.size()) {
            size_t e = lineEnd(s);
            if (!take(s, e))
                break;
            s = e + 1;
        }
        return !failed;
    }

    // While data is unchecked: [0, checked) is known to be UTF-8, ASCII that
    // the finder passed or bytes checked, and the rest is checked up to a
    // line's end before that line is reported or handed to the engine. ASCII
    // is then read once, not twice, matches or not. When a check fails, the
    // lines from notScanned on are left to the caller.
    size_t checked = 0;
    bool* unchecked = valid;
    auto settle = [&](size_t upTo, size_t notScanned) {
        if (!unchecked || upTo <= checked)
            return true;
        if (isValidUtf8(data.substr(checked, upTo - checked))) {
            checked = upTo;
            return true;
        }
        *unchecked = false;
        if (resume)
            *resume = notScanned;
        return false;
    };
    auto throughLine = [&](size_t e) { return std::min(e + 1, data.size()); };
    // The next string from s, telling on its way how far data is ASCII.
    auto findFrom = [&](const LiteralFinder& lit, size_t s, size_t* length) {
        bool high = true;
        size_t at = lit.find(data, s, length, unchecked && checked >= s ? &high : nullptr);
        if (!high) {
            size_t ascii = at == std::string_view::npos ? data.size() : at;
            if (at != std::string_view::npos && lit.ascii())
                ascii = at + *length;
            checked = std::max(checked, ascii);
        }
        return at;
    };

    if (first.plain) {
        // Each occurrence of a string with what it needs beside it decides
        // its line; the search goes on after that line's end.
        // Each byte is looked at once for a line feed, however many
        // occurrences without their flanks a long line holds.
        const LiteralFinder& lit = *first.plain;
        size_t s = 0;
        size_t ls = 0; // start of the line that holds s
        while (s < data.size()) {
            size_t length = 0;
            size_t at = findFrom(lit, s, &length);
            if (at == std::string_view::npos)
                break;
            const void* nl = at > s ? memrchr(data.data() + s, '\n', at - s) : nullptr;
            if (nl)
                ls = static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1;
            if (!flanksHold(first, data, ls, at, at + length)) {
                s = at + 1; // the string holds no line feed: still in line ls
                continue;
            }
            size_t e = lineEnd(at + length);
            if (!settle(throughLine(e), ls))
                return true; // the caller reads the rest otherwise
            if (!take(ls, e))
                return !failed;
            s = ls = e + 1;
        }
        settle(data.size(), data.size());
        return true;
    }

    if (first.hs) {
        if (!c.prepare(first.hs)) {
            error = "out of memory for the search engine";
            return false;
        }
        size_t pos = 0;
        bool stop = false;
        if (first.rare) {
            // Lines without the string that every match holds are passed over
            // fast; a line with it is checked alone. Where it turns out to be
            // common, the engine takes the rest of the buffer in one pass.
            const LiteralFinder& lit = *first.rare;
            size_t tried = 0;
            while (pos < data.size()) {
                if (tried >= kLinesBeforeDense && tried * kDenseSpacing > pos)
                    break;
                size_t length = 0;
                size_t at = findFrom(lit, pos, &length);
                if (at == std::string_view::npos) {
                    pos = data.size();
                    break;
                }
                const void* nl = at > pos ? memrchr(data.data() + pos, '\n', at - pos) : nullptr;
                size_t ls =
                    nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1 : pos;
                size_t e = lineEnd(at + lit.needle().size());
                if (!settle(throughLine(e), ls))
                    return true; // the engine reads only UTF-8
                ++tried;
                // The engine's answer for this one line, exact or a candidate
                // that take() confirms: PCRE2 sees no line it would not have
                // seen from a pass over the whole buffer.
                bool hit = false;
                hs_error_t rc = hs_scan(
                    first.hs, data.data() + ls, static_cast<unsigned>(e - ls), 0, c.scratch,
                    [](unsigned, unsigned long long, unsigned long long, unsigned, void* flag) {
                        *static_cast<bool*>(flag) = true;
                        return 1;
                    },
                    &hit);
                if (rc != HS_SUCCESS && rc != HS_SCAN_TERMINATED) {
                    error = "search engine failure";
                    return false;
                }
                if (hit && !take(ls, e))
                    return !failed;
                pos = e + 1;
            }
        }
        // The rest is checked before the engine reads it, or at the end.
        if (!settle(data.size(), pos))
            return true;
        while (!stop && pos < data.size()) {
            size_t end = std::min(data.size(), pos + kChunk);
            if (end < data.size()) {
                const void* nl = std::memchr(data.data() + end, '\n', data.size() - end);
                end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data())
                         : data.size();
            }
            // The chunk leaves out its final line feed so that "$" at its end
            // means the end of the last line, never the start of the next.
            size_t chunkEnd = end;
            if (end == data.size() && data.back() == '\n')
                chunkEnd = end - 1;
            c.candidates.clear();
            HsCollect col{data.data(),    pos,
                          chunkEnd - pos, std::string_view::npos,
                          &c.candidates,  static_cast<size_t>(-1)};
            hs_error_t rc =
                hs_scan(first.hs, data.data() + pos, static_cast<unsigned>(chunkEnd - pos), 0,
                        c.scratch, onHsMatch, &col);
            if (rc != HS_SUCCESS && rc != HS_SCAN_TERMINATED) {
                error = "search engine failure";
                return false;
            }
            // An empty line that ends the chunk lies after its last line feed,
            // where Hyperscan's "^" never matches: PCRE2 answers for it.
            if (chunkEnd < data.size() && (chunkEnd == pos || data[chunkEnd - 1] == '\n') &&
                (c.candidates.empty() || c.candidates.back() < chunkEnd)) {
                size_t ms = 0, me = 0;
                int r = findInLine(first, kind, c, data.substr(chunkEnd, 0), 0, ms, me);
                if (r < 0) {
                    error = limitError();
                    return false;
                }
                if (r > 0)
                    c.candidates.push_back(chunkEnd);
            }
            for (size_t s : c.candidates) {
                if (!take(s, lineEnd(s))) {
                    stop = true;
                    break;
                }
            }
            pos = chunkEnd + 1;
        }
        return !failed;
    }

    if (!first.literal.empty()) {
        // A rare byte of the literal is found with memchr, then the literal.
        const std::string& lit = first.literal;
        size_t pos = 0;
        while (pos < data.size()) {
            const char* hit = static_cast<const char*>(
                memmem(data.data() + pos, data.size() - pos, lit.data(), lit.size()));
            if (!hit)
                break;
            size_t at = static_cast<size_t>(hit - data.data());
            size_t s = at;
            while (s > 0 && data[s - 1] != '\n')
                --s;
            size_t e = lineEnd(at);
            std::string_view line = data.substr(s, e - s);
            size_t ms = 0, me = 0;
            int r = findInLine(first, kind, c, line, 0, ms, me);
            if (r < 0) {
                error = limitError();
                return false;
            }
            if (r > 0) {
                confirmFirst = false;
                bool go = take(s, e);
                confirmFirst = true;
                if (!go)
                    break;
            }
            pos = e + 1;
        }
        return !failed;
    }

    // PCRE2 alone, line by line: only for patterns Hyperscan cannot take.
    size_t s = 0;
    while (s < data.size()) {
        size_t e = lineEnd(s);
        if (!take(s, e))
            break;
        s = e + 1;
    }
    return !failed;
}

} // namespace talvo::grep

namespace talvo::grep {

// Matches that may hold line feeds: PCRE2 over the buffer, window by window.
// A window ends after a line feed; a match that reaches its end comes back as
// partial and is tried again from its start with a larger window, so a match
// is never cut and no single call has to cover a whole large file. With
// resume, a partial match at the end of data is left to the caller, who
// brings the text that follows.
bool Matcher::scanAcross(const CompiledSet& set, TextKind kind, ScanContext& ctx,
                         std::string_view data, const std::function<bool(size_t, size_t)>& onLine,
                         std::string& error, size_t* resume) const {
    constexpr size_t kWindow = 4 << 20;
    constexpr size_t npos = std::string_view::npos;
    ScanContext::Impl& c = *ctx.impl_;
    const Term& first = *set.terms[0];
    const bool legacy = isLegacy(kind);
    const uint32_t opts = kind == TextKind::Utf8 ? PCRE2_NO_UTF_CHECK : 0;
    c.calloutKind = kind;

    auto lineStart = [&](size_t at) -> size_t {
        if (at == 0)
            return 0;
        const void* nl = memrchr(data.data(), '\n', at);
        return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) + 1 : 0;
    };
    auto lineEnd = [&](size_t at) -> size_t {
        if (at >= data.size())
            return data.size();
        const void* nl = std::memchr(data.data() + at, '\n', data.size() - at);
        return nl ? static_cast<size_t>(static_cast<const char*>(nl) - data.data()) : data.size();
    };
    // The end of a window: just after the first line feed at or beyond at.
    auto windowEnd = [&](size_t at) -> size_t {
        if (at >= data.size())
            return data.size();
        size_t e = lineEnd(at);
        return e < data.size() ? e + 1 : e;
    };
    auto boundary = [&](size_t at) {
        size_t ls = lineStart(at);
        return Encoding::get(kind).isBoundary(data.substr(ls, lineEnd(at) - ls), at - ls);
    };
    auto acceptable = [&](size_t ms, size_t me) {
        if (legacy && !(boundary(ms) && boundary(me)))
            return false;
        if (spec_.maxLineBreaks >= 0 &&
            std::count(data.begin() + static_cast<long>(ms), data.begin() + static_cast<long>(me),
                       '\n') > spec_.maxLineBreaks)
            return false;
        return true;
    };

    bool failed = false;
    // The lines [s, e) that matches touch; the other AND words must occur in them.
    auto take = [&](size_t s, size_t e) -> bool {
        std::string_view lines = data.substr(s, e - s);
        for (size_t i = 1; i < set.terms.size(); ++i) {
            const Term& t = *set.terms[i];
            if (t.everyLine)
                continue;
            size_t ms = 0, me = 0;
            int r = findInLine(t, kind, c, lines, 0, ms, me);
            if (r < 0) {
                error = limitError();
                failed = true;
                return false;
            }
            if (r == 0)
                return true;
        }
        return onLine(s, e);
    };

    size_t recordStart = npos, recordEnd = 0;
    size_t from = 0;
    size_t window = kWindow;
    while (from <= data.size()) {
        size_t end = windowEnd(std::min(data.size(), from + window));
        bool last = end == data.size();
        int rc = pcre2_match(first.re, reinterpret_cast<PCRE2_SPTR>(data.data()), end, from,
                             opts | (last && !resume ? 0 : PCRE2_PARTIAL_HARD), c.md, c.mctx);
        PCRE2_SIZE* ov = pcre2_get_ovector_pointer(c.md);
        if (rc == PCRE2_ERROR_NOMATCH) {
            if (last)
                break;
            from = end;
            window = kWindow;
            continue;
        }
        if (rc == PCRE2_ERROR_PARTIAL && last) {
            // The next call starts at the line of the partial match, or at
            // the lines of the matches that it may join.
            size_t at = lineStart(std::min<size_t>(ov[0], data.size()));
            if (recordStart != npos && recordEnd >= at)
                at = recordStart;
            else if (recordStart != npos && !take(recordStart, recordEnd))
                return !failed;
            *resume = at;
            return !failed;
        }
        if (rc == PCRE2_ERROR_PARTIAL) {
            from = ov[0];
            window *= 2;
            continue;
        }
        if (rc < 0) {
            error = limitError();
            return false;
        }
        window = kWindow;
        size_t ms = ov[0], me = ov[1];
        // An empty match after the last line belongs to the text that follows.
        if (resume && ms >= data.size())
            break;
        if (!acceptable(ms, me)) {
            if (ms >= data.size())
                break;
            from = nextCharacter(kind, data, ms);
            continue;
        }
        size_t s = lineStart(ms);
        size_t e = lineEnd(me > ms ? me - 1 : ms);
        if (recordStart != npos && s <= recordEnd) {
            recordEnd = std::max(recordEnd, e);
        } else {
            if (recordStart != npos && !take(recordStart, recordEnd))
                return !failed;
            recordStart = s;
            recordEnd = e;
        }
        if (me > ms) {
            from = me;
        } else {
            if (ms >= data.size())
                break;
            from = nextCharacter(kind, data, ms);
        }
    }
    if (recordStart != npos)
        take(recordStart, recordEnd);
    return !failed;
}

} // namespace talvo::grep
