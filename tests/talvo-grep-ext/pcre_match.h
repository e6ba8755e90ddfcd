// Compiles rewritten patterns with PCRE2 (UTF mode, JIT when available) and
// runs them over sample texts, so tests check what a pattern finds rather
// than how its regex is spelled.
#pragma once

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <optional>
#include <string>
#include <string_view>

namespace talvo::test {

class CompiledRegex {
public:
    explicit CompiledRegex(const std::string& regex, uint32_t options = 0) {
        int error = 0;
        PCRE2_SIZE offset = 0;
        code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(regex.data()), regex.size(),
                              PCRE2_UTF | options, &error, &offset, nullptr);
        if (!code_) {
            PCRE2_UCHAR buffer[256];
            pcre2_get_error_message(error, buffer, sizeof buffer);
            error_ = std::string(reinterpret_cast<char*>(buffer)) + " at " +
                     std::to_string(offset) + " in " + regex;
            return;
        }
        pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
        data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    }
    ~CompiledRegex() {
        pcre2_match_data_free(data_);
        pcre2_code_free(code_);
    }
    CompiledRegex(const CompiledRegex&) = delete;
    CompiledRegex& operator=(const CompiledRegex&) = delete;

    bool ok() const { return code_ != nullptr; }
    const std::string& error() const { return error_; }

    // The first match in text, or nullopt.
    std::optional<std::string> find(std::string_view text, std::size_t from = 0) const {
        if (!code_)
            return std::nullopt;
        const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                   from, 0, data_, nullptr);
        if (rc < 0)
            return std::nullopt;
        const PCRE2_SIZE* v = pcre2_get_ovector_pointer(data_);
        return std::string(text.substr(v[0], v[1] - v[0]));
    }

    // Start and end of the first match, or nullopt.
    std::optional<std::pair<std::size_t, std::size_t>> span(std::string_view text) const {
        if (!code_ || pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0,
                                  0, data_, nullptr) < 0)
            return std::nullopt;
        const PCRE2_SIZE* v = pcre2_get_ovector_pointer(data_);
        return std::make_pair(std::size_t(v[0]), std::size_t(v[1]));
    }

private:
    pcre2_code* code_ = nullptr;
    pcre2_match_data* data_ = nullptr;
    std::string error_;
};

} // namespace talvo::test
