// Reading one result line for showing (see result_line.h).
#include "talvo-view/result_line.h"

namespace talvo::view {

namespace {

QString fromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

int characterColumn(const QString& text, int index) {
    int column = 1;
    for (int i = 0; i < index; ++i) {
        if (!(text[i].isLowSurrogate()))
            ++column;
    }
    return column;
}

} // namespace

QRegularExpression showingExpression(const grep::result::Layout::Search& search) {
    QString pattern = QString::fromStdString(search.pattern);
    if (search.literal) {
        pattern = QRegularExpression::escape(pattern);
    } else {
        // The grep dialects' "\|" alternation.
        pattern.replace(QStringLiteral("\\|"), QStringLiteral("|"));
    }
    if (search.word)
        pattern = QStringLiteral("\\b(?:") + pattern + QStringLiteral(")\\b");
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (search.ignoreCase)
        options |= QRegularExpression::CaseInsensitiveOption;
    return QRegularExpression(pattern, options);
}

LineReader::LineReader(const grep::result::Layout& layout) : layout_(layout) {
    for (const auto& search : layout.searches) {
        QRegularExpression e = showingExpression(search);
        if (e.isValid() && !search.pattern.empty())
            searches_.push_back(e);
    }
}

QString LineReader::headingPath(std::string_view line) const {
    auto origin = grep::result::parseLine(line, layout_);
    return fromUtf8(origin.path);
}

ShownLine LineReader::read(std::string_view line, const std::string& groupPath) const {
    using grep::result::Origin;
    ShownLine shown;
    Origin origin = grep::result::parseLine(line, layout_, groupPath);
    shown.path = origin.path.empty() ? QString::fromStdString(groupPath) : fromUtf8(origin.path);
    shown.line = origin.line;
    shown.context = origin.type == Origin::Type::Context;
    std::string_view text = line.substr(std::min(origin.textStart, line.size()));
    const std::string& open = layout_.markOpen;
    const std::string& close = layout_.markClose;
    if (!open.empty() && !close.empty()) {
        // The marks are the matches: take them out and highlight what they held.
        size_t at = 0;
        while (at < text.size()) {
            size_t o = text.find(open, at);
            size_t c = o == std::string_view::npos ? o : text.find(close, o + open.size());
            if (c == std::string_view::npos) {
                shown.text += fromUtf8(text.substr(at));
                break;
            }
            shown.text += fromUtf8(text.substr(at, o - at));
            QString inside = fromUtf8(text.substr(o + open.size(), c - o - open.size()));
            shown.highlights.append(
                {static_cast<int>(shown.text.size()), static_cast<int>(inside.size())});
            shown.text += inside;
            at = c + close.size();
        }
    } else {
        shown.text = fromUtf8(text);
    }
    if (shown.highlights.isEmpty()) {
        for (const auto& e : searches_) {
            auto it = e.globalMatch(shown.text);
            while (it.hasNext()) {
                auto m = it.next();
                if (m.capturedLength() > 0)
                    shown.highlights.append({static_cast<int>(m.capturedStart()),
                                             static_cast<int>(m.capturedLength())});
            }
        }
        std::sort(shown.highlights.begin(), shown.highlights.end());
    }
    if (!shown.highlights.isEmpty())
        shown.column = characterColumn(shown.text, shown.highlights.front().first);
    return shown;
}

std::optional<JumpTarget> jumpTarget(const ShownLine& line, const std::string& resultDir) {
    if (line.path.isEmpty())
        return std::nullopt;
    JumpTarget t;
    t.path = line.path.toStdString();
    if (t.path.front() != '/') {
        std::string dir = resultDir;
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        t.path = dir + t.path;
    }
    t.line = line.line > 0 ? line.line : 1;
    t.column = line.column > 0 ? line.column : 1;
    return t;
}

} // namespace talvo::view
