// The operating-system calls of talvo-grep, kept in one place: files,
// directories, memory mapping, character-set conversion and the core count.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::grep::os {

// A file's bytes: mapped for large files, read into memory for small ones.
class FileData {
public:
    FileData() = default;
    ~FileData();
    FileData(const FileData&) = delete;
    FileData& operator=(const FileData&) = delete;
    // Opens and loads path; returns false and sets error on failure.
    bool load(const std::string& path, std::string& error);
    // Reads all of standard input.
    bool loadStdin(std::string& error);
    std::string_view bytes() const { return {data_, size_}; }

private:
    void release();
    const char* data_ = nullptr;
    size_t size_ = 0;
    void* map_ = nullptr;
    std::string owned_;
};

// A regular file read piece by piece into the caller's buffer: a large file
// searched through one buffer that stays in the processor's caches is read
// several times faster than walked through a mapping of all of it.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;
    // False and error when path cannot be opened; regular() tells whether it is
    // a regular file, size() its size when opened.
    bool open(const std::string& path, std::string& error);
    bool regular() const { return regular_; }
    size_t size() const { return size_; }
    // Reads up to want bytes into dst, fewer only at the end of the file (a
    // short read of a regular file with a size is its end; /proc files have none), and
    // sets got; returns false and sets error on a read error. eof() is true
    // once the end was reached.
    bool read(char* dst, size_t want, size_t& got, std::string& error);
    bool eof() const { return eof_; }
    // Tells the kernel the file will be read from start to end.
    void adviseSequential() const;
    // Up to n bytes from the start of the file.
    bool readStart(std::string& out, size_t n, std::string& error);

private:
    int fd_ = -1;
    bool regular_ = false;
    bool eof_ = false;
    size_t size_ = 0;
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

// Writes all of text to standard output or standard error. Standard output
// is buffered; a message, flushOut() or the end of the program writes it out.
void writeOut(std::string_view text);
void writeErr(std::string_view text);
void flushOut();

} // namespace talvo::grep::os
