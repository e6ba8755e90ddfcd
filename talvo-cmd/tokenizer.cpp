// One pass over the line with a quote state; see tokenizer.h for the rules.
#include "talvo-cmd/tokenizer.h"

namespace talvo::cmd {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

class Scanner {
public:
    Scanner(std::string_view line, bool operators) : line_(line), operators_(operators) {}

    std::vector<Token> run() {
        while (pos_ < line_.size()) {
            char c = line_[pos_];
            if (isBlank(c)) {
                ++pos_;
            } else if (operators_ && isOperator(c)) {
                readOperator(-1, pos_);
            } else if (operators_ && (c == '1' || c == '2') && pos_ + 1 < line_.size() &&
                       line_[pos_ + 1] == '>') {
                std::size_t begin = pos_++;
                readOperator(c - '0', begin);
            } else {
                readWord();
            }
        }
        return std::move(tokens_);
    }

private:
    static bool isOperator(char c) { return c == '|' || c == '<' || c == '>'; }

    void readOperator(int stream, std::size_t begin) {
        Token t;
        t.begin = begin;
        char c = line_[pos_++];
        if (c == '|') {
            t.kind = TokenKind::Pipe;
        } else if (c == '<') {
            t.kind = TokenKind::RedirectIn;
            t.stream = 0;
        } else {
            t.kind = TokenKind::RedirectOut;
            if (pos_ < line_.size() && line_[pos_] == '>') {
                t.kind = TokenKind::RedirectAppend;
                ++pos_;
            }
            t.stream = stream < 0 ? 1 : stream;
            if (pos_ + 1 < line_.size() && line_[pos_] == '&' &&
                (line_[pos_ + 1] == '1' || line_[pos_ + 1] == '2')) {
                t.duplicate = line_[pos_ + 1] - '0';
                pos_ += 2;
            }
        }
        t.end = pos_;
        tokens_.push_back(std::move(t));
    }

    void readWord() {
        Token t;
        t.begin = pos_;
        bool quoted = false;
        while (pos_ < line_.size()) {
            char c = line_[pos_];
            if (!quoted && (isBlank(c) || (operators_ && isOperator(c))))
                break;
            if (c == '\\') {
                std::size_t run = 0;
                while (pos_ + run < line_.size() && line_[pos_ + run] == '\\')
                    ++run;
                bool beforeQuote = pos_ + run < line_.size() && line_[pos_ + run] == '"';
                if (beforeQuote) {
                    // Each pair stands for one backslash; an odd one out makes
                    // the quote literal, else the quote still opens or closes.
                    t.text.append(run / 2, '\\');
                    pos_ += run;
                    if (run % 2 == 1) {
                        t.text += '"';
                        ++pos_;
                    }
                } else {
                    t.text.append(run, '\\');
                    pos_ += run;
                }
            } else if (c == '"') {
                quoted = !quoted;
                ++pos_;
            } else {
                t.text += c;
                ++pos_;
            }
        }
        t.end = pos_;
        tokens_.push_back(std::move(t));
    }

    std::string_view line_;
    bool operators_;
    std::size_t pos_ = 0;
    std::vector<Token> tokens_;
};

} // namespace

std::vector<Token> tokenize(std::string_view line) {
    return Scanner(line, true).run();
}

std::vector<std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    for (auto& t : Scanner(line, false).run())
        words.push_back(std::move(t.text));
    return words;
}

} // namespace talvo::cmd
