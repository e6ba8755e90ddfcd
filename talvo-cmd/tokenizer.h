// Splits one command line into words and the operators `|`, `<`, `>`, `>>`.
// Blanks and tabs separate words; double quotes group and are removed.
// Backslashes are literal except in a run that ends at a quote: there each
// pair gives one backslash, and an odd one out makes the quote literal (`\"` is
// `"`, `\\"` is `\` and a closing quote, `\\\"` is `\"`), so every text can be
// passed as one word. Operators count only outside quotes. A word of one
// digit 1 or 2 directly before `>` names the stream redirected, and `>&1`,
// `>&2` send it to the other stream.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::cmd {

enum class TokenKind { Word, Pipe, RedirectIn, RedirectOut, RedirectAppend };

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string text;      // a word without its quotes
    int stream = -1;       // redirections: 0, 1 or 2
    int duplicate = -1;    // `>&N`: the stream N, else -1
    std::size_t begin = 0; // span in the line, quotes and operators included
    std::size_t end = 0;
};

std::vector<Token> tokenize(std::string_view line);

// The words of a command line under the same quoting rules, operators kept as
// plain text: for starting one program from such a line without a shell.
std::vector<std::string> splitWords(std::string_view line);

} // namespace talvo::cmd
