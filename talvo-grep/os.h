// The operating-system calls of talvo-grep, kept in one place: files,
// directories, memory mapping, character-set conversion, the core count and
// the child process that does work within a time budget.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvo::grep::os {

class FileReader;

// A read-only mapping of part of a regular file. A page that lies beyond the
// end of a file that shrank after it was mapped reads as zeros instead of
// killing the program with SIGBUS; truncated() then tells the thread that
// read it.
class FileMapping {
public:
    FileMapping() = default;
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;
    // Maps bytes [offset, offset + length) of fd in place of the present
    // mapping; false when it cannot, the present mapping kept. The mapping starts on a 2 MiB
    // boundary of the file where it can, so that the kernel may map large pages.
    bool map(int fd, uint64_t offset, size_t length);
    void release();
    std::string_view bytes() const { return {data_, size_}; }
    bool truncated() const;
    // Whether any mapping of this thread read zeros so since the last clear:
    // lines found before the file shrank are not to be printed from them.
    static bool shrankHere();
    static void clearShrankHere();

private:
    void* map_ = nullptr;
    size_t mapSize_ = 0;
    const char* data_ = nullptr;
    size_t size_ = 0;
    int slot_ = -1; // in this thread's table of guarded ranges
};

// Bytes in an anonymous mapping of their own: growing moves no byte (mremap),
// so a buffer holding one long line costs that line once, not the two or
// three copies of a vector's regrowth. Growth that memory refuses is a false
// return, not an exception.
class ByteBuffer {
public:
    ByteBuffer() = default;
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    char* data() { return data_; }
    size_t capacity() const { return capacity_; }
    bool reserve(size_t n);
    // Gives back all but n bytes of a buffer that one long line had grown.
    void shrinkTo(size_t n);
    void swap(ByteBuffer& other) noexcept {
        std::swap(data_, other.data_);
        std::swap(capacity_, other.capacity_);
    }

private:
    char* data_ = nullptr;
    size_t capacity_ = 0;
};

// One input, opened once: a named file, or standard input. A regular file is
// read at offsets (pread), so that reading and mapping can take turns; any
// other input from where it stands.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    // Opens path, or takes standard input when path is empty; false and error
    // when it cannot be opened or is a directory.
    bool open(const std::string& path, std::string& error);
    // Takes its bytes from pull instead, like a pipe: pull fills dst with up
    // to want bytes, fewer only at the end, and sets got; false and why on
    // an error.
    using Pull = std::function<bool(char* dst, size_t want, size_t& got, std::string& why)>;
    void openPull(Pull pull);
    // A regular file whose bytes can be read at any offset (not standard input).
    bool regular() const { return regular_; }
    int fd() const { return fd_; }
    // The size when it was opened, for a regular file.
    uint64_t size() const { return size_; }
    // Reads up to want bytes into dst, from offset for a regular file, else
    // from where the input stands; fewer only at the end (a short read of a
    // regular file is its end; /proc files have no size), and sets got. False
    // and error on a read error; eof() is true once the end was reached.
    bool read(uint64_t offset, char* dst, size_t want, size_t& got, std::string& error);
    bool eof() const { return eof_; }
    // Up to n bytes of a regular file from offset, without moving eof().
    bool readAt(uint64_t offset, std::string& out, size_t n, std::string& error);
    // Tells the kernel the file will be read from start to end.
    void adviseSequential() const;
    // Takes the bytes of from (head, already read from it, and the rest up
    // to its end) into a temporary file with no name, and is that file from
    // then on: an input that can be read once only, such as a pipe, can then
    // be read at any offset without being held in memory. False and error
    // past limit bytes or when the copy cannot be written.
    bool spool(FileReader& from, std::string_view head, uint64_t limit, std::string& error);

private:
    int fd_ = -1;
    Pull pull_;
    bool owned_ = false;
    bool regular_ = false;
    bool eof_ = false;
    uint64_t size_ = 0;
};

enum class EntryType { File, Directory, Other, Missing };
// Type of path; followLinks decides whether a symbolic link counts as its target.
EntryType entryType(const std::string& path, bool followLinks);

// Names in directory (no "." or ".."), sorted byte-wise; false and error when
// it cannot be read.
bool listDirectory(const std::string& path, std::vector<std::string>& names, std::string& error);
// The same with each entry's type as the directory tells it without a further
// call: File, Directory, Other for a symbolic link or a special file, Missing
// when the file system does not say.
struct DirEntry {
    std::string name;
    EntryType type;
    bool link;
};
bool listDirectory(const std::string& path, std::vector<DirEntry>& entries, std::string& error);

// Absolute form of path (no symbolic links resolved), for full-path output.
std::string absolutePath(const std::string& path);

// Decodes bytes in the named character set to one code point; false when the
// bytes are not exactly one valid character there.
class CharsetDecoder {
public:
    explicit CharsetDecoder(const char* charset);
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;
    bool valid() const { return handle_ != nullptr; }
    bool decode(std::string_view bytes, char32_t& out);

private:
    void* handle_ = nullptr;
};

unsigned coreCount();

// Work done in a child process, one request at a time, each within a
// budget: a child still at work when its budget runs out is killed, so that
// nothing it started outlives the request, neither its time nor its memory.
// The child is forked at the first request and serves the next ones, as a
// copy of the process as it was then; a fork for each request would copy a
// large process's page tables each time. Failed when the handler gives
// nothing or the child dies; NoChild when no child can be started, and the
// work is then the caller's to do.
enum class ChildRun { Done, Failed, TooSlow, NoChild };
class ChildWorker {
public:
    using Handler = std::optional<std::string> (*)(std::string_view request);
    explicit ChildWorker(Handler handler) : handler_(handler) {}
    ~ChildWorker();
    ChildWorker(const ChildWorker&) = delete;
    ChildWorker& operator=(const ChildWorker&) = delete;
    ChildRun run(std::string_view request, std::chrono::milliseconds budget, std::string& reply);
    // The child's process id while it waits for requests, -1 when there is none.
    int child() const;

private:
    bool start();
    void stop(bool kill);
    Handler handler_;
    mutable std::mutex m_;
    int fd_ = -1;
    int pid_ = -1;
};

// Writes all of text to standard output or standard error. Standard output
// is buffered; a message, flushOut() or the end of the program writes it out.
void writeOut(std::string_view text);
void writeErr(std::string_view text);
void flushOut();

} // namespace talvo::grep::os
