// One result line as the view shows it: the file and line it came from, its
// text without the match marks, the matched parts to highlight and the column
// of the first one; and where a jump from it goes.
#pragma once

#include "talvo-grep/result_file.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::view {

struct ShownLine {
    QString path;  // as the result writes it; empty when the line names none
    long line = 0; // the file's line number, 0 when the result holds none
    bool context = false;
    QString text;                          // the text part, marks removed
    QList<std::pair<int, int>> highlights; // start and length in text
    int column = 0; // of the first highlighted part, counted in characters from 1; 0: none
};

class LineReader {
public:
    explicit LineReader(const grep::result::Layout& layout);
    // groupPath: the path of the line's group, for lines that carry none.
    ShownLine read(std::string_view line, const std::string& groupPath) const;
    // The path a heading line names.
    QString headingPath(std::string_view line) const;

private:
    grep::result::Layout layout_;
    std::vector<QRegularExpression> searches_;
};

// A grep pattern of the result's record as a regular expression for showing it.
QRegularExpression showingExpression(const grep::result::Layout::Search& search);

struct JumpTarget {
    std::string path; // absolute
    long line = 1;
    int column = 1;
};
// Relative paths are taken from resultDir, where the search ran. nullopt when
// the line names no file.
std::optional<JumpTarget> jumpTarget(const ShownLine& line, const std::string& resultDir);

} // namespace talvo::view
