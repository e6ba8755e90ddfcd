// The rows of a result as the view lists them: a heading row for each file,
// then that file's lines, without the lines the filter drops. A background
// thread reads the file block by block and publishes rows as it goes, so a
// result of any size shows its first rows at once and scrolls while the rest
// is read.
// Decision: the file is read with pread, not mapped: the next search rewrites
// the result file in place while it is shown, and a mapping of a file that
// shrinks ends the program at the first touch of a page past its new end.
#pragma once

#include "talvo-grep/result_file.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvo::view {

class ResultRows {
public:
    struct Row {
        std::uint64_t offset = 0; // where the line starts in the file
        bool heading = false;     // the heading of the file of the line at offset
    };

    ResultRows() = default;
    ~ResultRows();
    ResultRows(const ResultRows&) = delete;
    ResultRows& operator=(const ResultRows&) = delete;

    // Opens path (again) and reads it from the start; false when it cannot be opened.
    bool open(const std::string& path);
    // Lists again from the start, keeping only lines that hold filter (ASCII
    // letters in any case); the empty filter keeps every line.
    void setFilter(std::string filter);

    size_t size() const;
    Row row(size_t i) const;
    bool finished() const { return finished_.load(); }
    std::uint64_t bytesRead() const { return bytesRead_.load(); }
    std::uint64_t fileSize() const { return fileSize_; }
    // Waits until the whole file is listed.
    void wait();

    // The line starting at offset, without its line end, at most maxBytes long.
    std::string lineAt(std::uint64_t offset, size_t maxBytes = 64 * 1024) const;
    const grep::result::Layout& layout() const { return layout_; }
    // Whether the layout came from talvo-grep's own record of the file.
    bool layoutRecorded() const { return recorded_; }
    const std::string& path() const { return path_; }

    // The lines of a group carry their file's path only in some layouts: the
    // path that a line at offset belongs to, from the heading row above it.
    std::string groupPathOf(size_t rowIndex) const;

private:
    void stop();
    void run(std::string filter);
    void publish(std::vector<std::uint64_t>& batch);

    std::string path_;
    int fd_ = -1;
    std::uint64_t fileSize_ = 0;
    grep::result::Layout layout_;
    bool recorded_ = false;

    mutable std::mutex mutex_;
    // Rows in chunks, so growing never moves a row the window is reading;
    // the top bit marks a heading.
    std::vector<std::unique_ptr<std::uint64_t[]>> chunks_;
    size_t size_ = 0;
    std::vector<size_t> headings_; // row numbers of the heading rows, ascending

    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{true};
    std::atomic<std::uint64_t> bytesRead_{0};
};

// Whether line holds filter, ASCII letters compared regardless of case.
bool holdsFilter(std::string_view line, std::string_view lowerFilter);

} // namespace talvo::view
