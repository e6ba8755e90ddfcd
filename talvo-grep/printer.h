// The printer: formats the selected lines of one file in the layout of the
// options (path, line number, tag format, headers, context groups) into a
// text buffer. It never reads files; the searcher hands it the file's bytes.
#pragma once

#include "talvo-grep/encoding.h"
#include "talvo-grep/options.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvo::grep {

class Printer {
public:
    // data: the text searched (after any transcoding), or the first window of
    // it; offsetBase is added to byte offsets (a skipped byte-order mark).
    // Offsets passed in are relative to the current window.
    Printer(const Options& o, bool showNames, std::string name, std::string_view data,
            TextKind kind, size_t offsetBase, std::string& out);

    // A selected line [s, e) (e at its line feed); parts are match positions
    // within the line when only the matching parts are printed.
    void line(size_t s, size_t e, const std::vector<std::pair<size_t, size_t>>* parts = nullptr);
    // Ends the file: pending context lines, and the header of a file without
    // matches when every file gets one.
    void finish();
    void count(long n);
    void fileName();
    void binaryMatch();
    // The search of the file stopped after n selected lines, for reason.
    void incomplete(long n, const std::string& reason);
    bool printedAnything() const { return printed_; }

    // Window by window: before the buffer changes, prints the after-context
    // that lies before scanEnd and counts line numbers up to keepFrom, where
    // the next window will start; then setWindow hands over the next window,
    // whose byte 0 is the old window's keepFrom.
    void leaveWindow(size_t scanEnd, size_t keepFrom);
    void setWindow(std::string_view data);
    // Counts lines window by window also when no number is printed, so that
    // lineNumberAt() holds for an input that cannot be read again.
    void countAllLines() { countAll_ = true; }
    // The number of the line starting at s of the window: counted when
    // numbers are printed or countAllLines() was called, else 0.
    long lineNumberAt(size_t s);
    // No after-context past this point (a line that is not searched).
    void stopAfterContext() { afterLeft_ = 0; }
    // The encoding in which lines are decoded from here on.
    void setKind(TextKind kind) { kind_ = kind; }

    // The name as shown: lower case or full path on request.
    static std::string displayName(const Options& o, const std::string& name);

private:
    void headerOnce();
    // Offsets below are from the start of the text, not of the window.
    void advanceTo(size_t s); // counts line numbers up to s
    void afterContextUpTo(size_t end);
    const char* at(size_t s) const { return data_.data() + (s - base_); }
    size_t windowEnd() const { return base_ + data_.size(); }
    void emit(size_t s, size_t e, bool match, size_t partStart = 0, size_t partEnd = 0);
    void emitMarked(size_t s, size_t e, const std::vector<std::pair<size_t, size_t>>& parts);
    void appendText(std::string_view t);
    size_t lineStartBefore(size_t s) const;
    // Byte offset in the file of offset s of the text searched: for UTF-16,
    // transcoded to UTF-8 for the search, two bytes a unit of the original.
    size_t fileOffset(size_t s);
    void countUnitsTo(size_t s);

    const Options& o_;
    bool showNames_;
    std::string name_;
    std::string_view data_;
    size_t base_ = 0; // offset of data_ in the text
    TextKind kind_;
    size_t offsetBase_;
    std::string& out_;
    bool namesOnLines_;
    int context_;

    size_t countedTo_ = 0;  // line numbers are known up to this offset
    long lineNo_ = 1;       // number of the line starting at countedTo_
    size_t printedEnd_ = 0; // offset after the last printed line (its line feed)
    bool printedLine_ = false;
    int afterLeft_ = 0;
    bool headerDone_ = false;
    bool printed_ = false;
    size_t utf8Counted_ = 0; // UTF-16 text: units counted up to this offset
    size_t utf16Units_ = 0;  // the UTF-16 units before it
    size_t unitsBeforeWindow_ = 0;
    bool countAll_ = false;
};

} // namespace talvo::grep
