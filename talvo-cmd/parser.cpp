// line := blanks* "@"* ( ":" anything | REM anything | pipeline )
// pipeline := command ( "|" command )*
// command := ( word | redirection )*    redirection := op word | op "&" digit
#include "talvo-cmd/parser.h"

#include "talvo-cmd/tokenizer.h"

namespace talvo::cmd {

namespace {

constexpr const char* kSyntaxError = "The syntax of the command is incorrect.";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The line after leading blanks and "@" signs.
std::string_view commandPart(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (isBlank(line[i]) || line[i] == '@'))
        ++i;
    return line.substr(i);
}

bool isRemark(std::string_view text) {
    if (text.size() < 3)
        return false;
    for (std::size_t i = 0; i < 3; ++i)
        if (lower(text[i]) != "rem"[i])
            return false;
    return text.size() == 3 || isBlank(text[3]);
}

} // namespace

ParsedLine parseLine(std::string_view line) {
    ParsedLine result;
    std::string_view text = commandPart(line);
    if (text.empty() || text.front() == ':' || isRemark(text))
        return result;

    std::vector<Token> tokens = tokenize(text);
    result.kind = ParsedLine::Kind::Pipeline;
    Command current;
    std::size_t cursor = 0; // next byte of text to copy into current.source
    bool empty = true;      // no word and no redirection in current yet

    auto fail = [&result] {
        result.kind = ParsedLine::Kind::Error;
        result.pipeline.clear();
        result.error = kSyntaxError;
        return result;
    };

    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        current.source.append(text.substr(cursor, t.begin - cursor));
        cursor = t.end;
        if (t.kind == TokenKind::Word) {
            std::size_t begin = current.source.size();
            current.source.append(text.substr(t.begin, t.end - t.begin));
            current.words.push_back({t.text, begin, current.source.size()});
            empty = false;
        } else if (t.kind == TokenKind::Pipe) {
            if (empty)
                return fail();
            result.pipeline.push_back(std::move(current));
            current = Command{};
            cursor = t.end;
            empty = true;
        } else {
            Redirection r;
            r.kind = t.kind == TokenKind::RedirectIn       ? Redirection::Kind::Input
                     : t.kind == TokenKind::RedirectAppend ? Redirection::Kind::Append
                                                           : Redirection::Kind::Output;
            r.stream = t.stream;
            r.duplicate = t.duplicate;
            if (r.duplicate < 0) {
                if (i + 1 >= tokens.size() || tokens[i + 1].kind != TokenKind::Word)
                    return fail();
                r.target = tokens[++i].text;
                cursor = tokens[i].end;
            }
            current.redirections.push_back(std::move(r));
            empty = false;
        }
    }
    if (empty && !result.pipeline.empty())
        return fail(); // a pipe with nothing after it
    current.source.append(text.substr(cursor));
    if (!empty)
        result.pipeline.push_back(std::move(current));
    if (result.pipeline.empty())
        result.kind = ParsedLine::Kind::Nothing;
    return result;
}

} // namespace talvo::cmd
