// The searcher: loads one file, decides binary or text and its encoding,
// drives the matcher over the whole buffer and hands the selected lines to
// the printer. Errors are reported in the file's result; the run goes on.
#pragma once

#include "talvo-grep/matcher.h"
#include "talvo-grep/options.h"
#include "talvo-grep/walk.h"

#include <atomic>
#include <functional>
#include <string>

namespace talvo::grep {

namespace os {
class FileReader;
}
namespace ext {
struct ArchiveMember;
}
class WindowReader;

// Output written while it is still in the processor's caches costs far
// less than output gathered in megabytes first.
inline constexpr size_t kFlushSize = 256 << 10;

struct FileResult {
    std::string out;
    std::string err;
    bool matched = false;
    bool failed = false;
    // Called when out has grown past kFlushSize, to write it out and empty
    // it, so that no file holds its whole output; it may keep it a while
    // longer, or wait for the files before this one to be printed. streamed
    // tells that part of out was written so.
    std::function<void(FileResult&)> flush;
    bool streamed = false;
};

class Searcher {
public:
    Searcher(const Options& o, const Matcher& m, bool showNames);
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
    // With file, the archive is read from it and data holds its first bytes.
    bool searchArchive(std::string_view data, const std::string& name, ScanContext& ctx,
                       FileResult& r, std::atomic<long>& totalLeft,
                       os::FileReader* file = nullptr) const;
    void searchName(const FileEntry& entry, ScanContext& ctx, FileResult& r) const;
    // One input, a file or standard input: a small one read whole, a large
    // one window by window; archives as they are unpacked, their large
    // members window by window.
    void searchInput(const FileEntry& entry, const std::string& name, ScanContext& ctx,
                     FileResult& r, std::atomic<long>& totalLeft) const;
    // The windowed search of an input whose first window the reader holds.
    void searchWindows(os::FileReader& file, WindowReader& reader, const std::string& name,
                       ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft, bool member,
                       const TextKind* utf16 = nullptr) const;
    // UTF-16 text after its byte-order mark, transcoded window by window;
    // raw holds its first window.
    void searchUtf16(os::FileReader& file, WindowReader& raw, const std::string& name,
                     ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft,
                     bool member) const;
    // A member too large to hold, searched as it is unpacked.
    void searchMember(const ext::ArchiveMember& m, const std::string& name, ScanContext& ctx,
                      FileResult& r, std::atomic<long>& totalLeft) const;
    class TextScan;
    // The number of the line starting at from in the reader's view after skip.
    bool lineNumberOf(os::FileReader& file, WindowReader& reader, TextScan& scan, size_t skip,
                      size_t from, long& lineNo, std::string& error) const;
    // Reports a match across lines from the line at from on as too long and
    // moves from to the next line.
    bool skipLongMatch(os::FileReader& file, WindowReader& reader, TextScan& scan, size_t skip,
                       size_t& from, const std::string& name, FileResult& r,
                       std::string& error) const;
    // Reports the line starting at from as too long and moves the reader past it.
    bool skipLongLine(os::FileReader& file, WindowReader& reader, TextScan& scan, size_t& skip,
                      size_t& from, const std::string& name, FileResult& r,
                      std::string& error) const;
    // The bytes of a whole file: an archive, or text.
    void searchWhole(std::string_view data, const FileEntry& entry, const std::string& name,
                     ScanContext& ctx, FileResult& r, std::atomic<long>& totalLeft) const;

    const Options& o_;
    Options memberOptions_; // headers only for members with matches under -h1
    const Matcher& m_;
    bool showNames_;
};

// Bytes examined for NUL to call a file binary.
constexpr size_t kBinaryProbe = 32 * 1024;

} // namespace talvo::grep
