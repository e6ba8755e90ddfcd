// The grep targets' input: a byte choosing the dialect, then command-line
// arguments each ended by a NUL byte, then (where the target wants one) the
// bytes of a file after an empty argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "talvo-grep/options.h"

namespace talvo::fuzz {

struct GrepInput {
    grep::Dialect dialect = grep::Dialect::CGrep;
    std::vector<std::string> args;
    std::string_view file; // what follows the empty argument
};

inline GrepInput splitGrepInput(const std::uint8_t* data, std::size_t size) {
    static constexpr grep::Dialect kDialects[] = {
        grep::Dialect::CGrep,  grep::Dialect::DGrep, grep::Dialect::IzGrep, grep::Dialect::JGrep,
        grep::Dialect::JgSlim, grep::Dialect::WGrep, grep::Dialect::YGrep};
    GrepInput in;
    if (size == 0)
        return in;
    in.dialect = kDialects[data[0] % std::size(kDialects)];
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    while (!rest.empty()) {
        auto nul = rest.find('\0');
        if (nul == 0) {
            in.file = rest.substr(1);
            break;
        }
        in.args.emplace_back(rest.substr(0, nul));
        rest.remove_prefix(nul == std::string_view::npos ? rest.size() : nul + 1);
    }
    return in;
}

} // namespace talvo::fuzz
