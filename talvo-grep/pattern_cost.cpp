// The expansion bound of pattern_cost.h.
#include "talvo-grep/pattern_cost.h"

#include <algorithm>

namespace talvo::grep {

namespace {

constexpr uint64_t kSaturated = uint64_t{1} << 40;
// A class of characters of several byte lengths is a small automaton of its
// own, and Hyperscan's compile time grows with how many follow each other.
constexpr uint64_t kWideClass = 12;

uint64_t add(uint64_t a, uint64_t b) {
    return std::min(kSaturated, a + b);
}
uint64_t times(uint64_t a, uint64_t k) {
    return k != 0 && a > kSaturated / k ? kSaturated : std::min(kSaturated, a * k);
}

bool asciiClass(const CharClass& c) {
    if (c.negated || c.notWord || c.notDigit || c.notSpace || c.word || c.space)
        return false;
    return std::all_of(c.ranges.begin(), c.ranges.end(),
                       [](const CharClass::Range& r) { return r.hi < 0x80; });
}

// One character wide in every encoding: a repetition of it is a counter.
const Node* unwrap(const Node& n) {
    const Node* p = &n;
    while ((p->kind == Node::Kind::Group || p->kind == Node::Kind::NonCapture) &&
           p->children.size() == 1)
        p = p->children[0].get();
    return p;
}

bool singleCharacter(const Node& n) {
    const Node* p = unwrap(n);
    return p->kind == Node::Kind::Literal || (p->kind == Node::Kind::Class && asciiClass(p->cls));
}

uint64_t cost(const Node& n) {
    switch (n.kind) {
    case Node::Kind::Empty:
    case Node::Kind::LineStart:
    case Node::Kind::LineEnd:
        return 0;
    case Node::Kind::Literal:
    case Node::Kind::WordBoundary:
    case Node::Kind::NotWordBoundary:
    case Node::Kind::WordStart:
    case Node::Kind::WordEnd:
    case Node::Kind::Backref:
        return 1;
    case Node::Kind::Any:
        return kWideClass;
    case Node::Kind::Class:
        return asciiClass(n.cls) ? 1 : kWideClass;
    case Node::Kind::Repeat: {
        if (n.children.empty())
            return 0;
        uint64_t c = cost(*n.children[0]);
        if (singleCharacter(*n.children[0]))
            return add(c, 1);
        uint64_t k = n.max >= 0 ? static_cast<uint64_t>(n.max) : static_cast<uint64_t>(n.min) + 1;
        return times(c, std::max<uint64_t>(k, 1));
    }
    default: {
        uint64_t sum = 0;
        for (const auto& c : n.children)
            sum = add(sum, cost(*c));
        return sum;
    }
    }
}

} // namespace

uint64_t expansionCost(const Pattern& p) {
    return p.root ? cost(*p.root) : 0;
}

std::string tooComplexMessage() {
    return "the pattern is too complex to compile: its repetitions or character "
           "equivalences expand it too far; write fewer counted repetitions or a "
           "shorter pattern";
}

} // namespace talvo::grep
