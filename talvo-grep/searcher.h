// The searcher: loads one file, decides binary or text and its encoding,
// drives the matcher over the whole buffer and hands the selected lines to
// the printer. Errors are reported in the file's result; the run goes on.
#pragma once

#include "talvo-grep/matcher.h"
#include "talvo-grep/options.h"
#include "talvo-grep/walk.h"

#include <atomic>
#include <string>

namespace talvo::grep {

struct FileResult {
    std::string out;
    std::string err;
    bool matched = false;
    bool failed = false;
};

class Searcher {
public:
    Searcher(const Options& o, const Matcher& m, bool showNames);
    // Lets a search write its output as it goes; only when files are printed
    // by the thread that searches them, one after the other.
    void setStreaming(bool on) { streaming_ = on; }
    // stdin when entry.path is empty. totalLeft counts down the lines that the
    // whole run may still select (negative: no limit).
    void search(const FileEntry& entry, ScanContext& ctx, FileResult& r,
                std::atomic<long>& totalLeft) const;

private:
    // member: an archive member, printed with its name and memberOptions_.
    void searchText(std::string_view data, TextKind kind, size_t offsetBase,
                    const std::string& name, ScanContext& ctx, FileResult& r,
                    std::atomic<long>& totalLeft, bool member = false) const;
    // Binary or text, encoding, then searchText.
    void searchBytes(std::string_view data, const std::string& name, ScanContext& ctx,
                     FileResult& r, std::atomic<long>& totalLeft, bool member) const;
    // Each member of an archive; false when data is no archive after all.
    bool searchArchive(std::string_view data, const std::string& name, ScanContext& ctx,
                       FileResult& r, std::atomic<long>& totalLeft) const;
    void searchName(const FileEntry& entry, ScanContext& ctx, FileResult& r) const;
    // A regular file: a small one read whole, a large one window by window;
    // false when it is left to the mapping of the whole file (no regular
    // file, or a large one in UTF-16, an archive, or searched across lines).
    bool searchRegularFile(const FileEntry& entry, const std::string& name, ScanContext& ctx,
                           FileResult& r, std::atomic<long>& totalLeft) const;
    // The bytes of a whole file: an archive, or text.
    void searchWhole(std::string_view data, const FileEntry& entry, const std::string& name,
                     ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft) const;
    class TextScan;

    const Options& o_;
    Options memberOptions_; // headers only for members with matches under -h1
    const Matcher& m_;
    bool showNames_;
    bool streaming_ = false;
};

// Bytes examined for NUL to call a file binary.
constexpr size_t kBinaryProbe = 32 * 1024;

} // namespace talvo::grep
