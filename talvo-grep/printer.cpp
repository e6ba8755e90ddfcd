// Output layouts of talvo-grep (written down in --help and the program's
// documentation): one layout per meaning, the same in every dialect.
#include "talvo-grep/printer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "talvo-grep/os.h"

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
    std::string n = o.fullPath ? os::absolutePath(name) : name;
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

void Printer::advanceTo(size_t s) {
    if (s <= countedTo_)
        return;
    lineNo_ += std::count(data_.begin() + static_cast<long>(countedTo_),
                          data_.begin() + static_cast<long>(s), '\n');
    countedTo_ = s;
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
        out_ += std::to_string(s + offsetBase_ + partStart) + sep;
    if (partEnd > partStart) {
        appendText(data_.substr(s + partStart, partEnd - partStart));
    } else {
        appendText(data_.substr(s, e - s));
    }
    out_ += "\n";
    printed_ = true;
}

size_t Printer::lineStartBefore(size_t s) const {
    // s is a line start > 0: the previous line starts after the line feed before s - 1.
    size_t i = s - 1;
    while (i > 0 && data_[i - 1] != '\n')
        --i;
    return i;
}

void Printer::line(size_t s, size_t e, const std::vector<std::pair<size_t, size_t>>* parts) {
    headerOnce();
    // After-context of the previous match, up to this line.
    while (afterLeft_ > 0 && printedEnd_ < s) {
        size_t ls = printedEnd_;
        const void* nl = std::memchr(data_.data() + ls, '\n', data_.size() - ls);
        size_t le =
            nl ? static_cast<size_t>(static_cast<const char*>(nl) - data_.data()) : data_.size();
        emit(ls, le, false);
        printedEnd_ = le + 1;
        --afterLeft_;
    }
    // Before-context, never reprinting a line.
    std::vector<size_t> starts;
    size_t b = s;
    for (int k = 0; k < o_.before && b > 0 && b > printedEnd_; ++k) {
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
        size_t le = static_cast<size_t>(
            static_cast<const char*>(std::memchr(data_.data() + ls, '\n', s - ls)) - data_.data());
        emit(ls, le, false);
    }
    if (parts) {
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
    while (afterLeft_ > 0 && printedEnd_ < data_.size()) {
        size_t ls = printedEnd_;
        const void* nl = std::memchr(data_.data() + ls, '\n', data_.size() - ls);
        size_t le =
            nl ? static_cast<size_t>(static_cast<const char*>(nl) - data_.data()) : data_.size();
        emit(ls, le, false);
        printedEnd_ = le + 1;
        --afterLeft_;
    }
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

} // namespace talvo::grep
