// Listing a result in the background (see result_rows.h).
#include "talvo-view/result_rows.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo::view {

namespace {

constexpr size_t kChunkBits = 16;
constexpr size_t kChunk = size_t{1} << kChunkBits;
constexpr std::uint64_t kHeadingBit = std::uint64_t{1} << 63;
constexpr size_t kBlock = 1 << 20;
// Lines longer than this are filtered and parsed on their first part only.
constexpr size_t kLineKept = 1 << 20;

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string s) {
    for (char& c : s)
        c = lower(c);
    return s;
}

std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

} // namespace

bool holdsFilter(std::string_view line, std::string_view lowerFilter) {
    if (lowerFilter.empty())
        return true;
    if (line.size() < lowerFilter.size())
        return false;
    for (size_t i = 0; i + lowerFilter.size() <= line.size(); ++i) {
        size_t k = 0;
        while (k < lowerFilter.size() && lower(line[i + k]) == lowerFilter[k])
            ++k;
        if (k == lowerFilter.size())
            return true;
    }
    return false;
}

ResultRows::~ResultRows() {
    stop();
    if (fd_ >= 0)
        close(fd_);
}

bool ResultRows::open(const std::string& path) {
    stop();
    if (fd_ >= 0)
        close(fd_);
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        fileSize_ = 0;
        std::lock_guard lock(mutex_);
        chunks_.clear();
        headings_.clear();
        size_ = 0;
        return false;
    }
    fileSize_ = static_cast<std::uint64_t>(st.st_size);
    auto recorded = grep::result::resultLayout(fd_);
    recorded_ = recorded.has_value();
    if (recorded) {
        layout_ = *recorded;
    } else {
        std::string head(std::min<std::uint64_t>(fileSize_, 64 * 1024), '\0');
        ssize_t n = pread(fd_, head.data(), head.size(), 0);
        head.resize(n > 0 ? static_cast<size_t>(n) : 0);
        layout_ = grep::result::guessLayout(head);
    }
    setFilter({});
    return true;
}

void ResultRows::setFilter(std::string filter) {
    stop();
    {
        std::lock_guard lock(mutex_);
        chunks_.clear();
        headings_.clear();
        size_ = 0;
    }
    bytesRead_ = 0;
    if (fd_ < 0)
        return;
    finished_ = false;
    stop_ = false;
    worker_ = std::thread([this, f = lowered(std::move(filter))]() mutable { run(std::move(f)); });
}

void ResultRows::stop() {
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
    finished_ = true;
}

void ResultRows::wait() {
    if (worker_.joinable())
        worker_.join();
}

size_t ResultRows::size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

ResultRows::Row ResultRows::row(size_t i) const {
    std::lock_guard lock(mutex_);
    if (i >= size_)
        return {};
    std::uint64_t v = chunks_[i >> kChunkBits][i & (kChunk - 1)];
    return {v & ~kHeadingBit, (v & kHeadingBit) != 0};
}

void ResultRows::publish(std::vector<std::uint64_t>& batch) {
    std::lock_guard lock(mutex_);
    for (std::uint64_t v : batch) {
        if ((size_ & (kChunk - 1)) == 0 && (size_ >> kChunkBits) == chunks_.size())
            chunks_.push_back(std::make_unique<std::uint64_t[]>(kChunk));
        if (v & kHeadingBit)
            headings_.push_back(size_);
        chunks_[size_ >> kChunkBits][size_ & (kChunk - 1)] = v;
        ++size_;
    }
    batch.clear();
}

void ResultRows::run(std::string filter) {
    using grep::result::Origin;
    std::vector<std::uint64_t> batch;
    std::string block(kBlock, '\0');
    std::string line; // the line being gathered, up to kLineKept bytes
    std::uint64_t lineStart = 0;
    std::string groupPath; // path of the present group
    std::uint64_t pendingHeading = 0;
    bool headingPending = false;
    std::uint64_t offset = 0;

    auto takeLine = [&] {
        std::string_view text = withoutCr(line);
        Origin origin = grep::result::parseLine(text, layout_, groupPath);
        if (origin.type == Origin::Type::Separator)
            return;
        if (origin.type == Origin::Type::Header) {
            groupPath = std::string(origin.path);
            pendingHeading = lineStart;
            headingPending = true;
            return;
        }
        if (!origin.path.empty() && origin.path != groupPath) {
            groupPath = std::string(origin.path);
            pendingHeading = lineStart;
            headingPending = true;
        }
        if (!holdsFilter(text, filter))
            return;
        if (headingPending) {
            batch.push_back(pendingHeading | kHeadingBit);
            headingPending = false;
        }
        batch.push_back(lineStart);
    };

    while (!stop_.load()) {
        ssize_t n = pread(fd_, block.data(), block.size(), static_cast<off_t>(offset));
        if (n <= 0)
            break;
        const char* p = block.data();
        const char* end = p + n;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
            const char* stopAt = nl ? nl : end;
            size_t room = kLineKept - std::min(kLineKept, line.size());
            line.append(p, std::min<size_t>(room, stopAt - p));
            if (!nl)
                break;
            takeLine();
            line.clear();
            p = nl + 1;
            lineStart = offset + static_cast<std::uint64_t>(p - block.data());
        }
        offset += static_cast<std::uint64_t>(n);
        bytesRead_ = offset;
        if (!batch.empty())
            publish(batch);
    }
    if (!stop_.load() && !line.empty())
        takeLine(); // the last line without a line feed
    publish(batch);
    finished_ = true;
}

std::string ResultRows::lineAt(std::uint64_t offset, size_t maxBytes) const {
    std::string text;
    if (fd_ < 0)
        return text;
    char buffer[4096];
    while (text.size() < maxBytes) {
        ssize_t n = pread(fd_, buffer, std::min(sizeof buffer, maxBytes - text.size()),
                          static_cast<off_t>(offset + text.size()));
        if (n <= 0)
            break;
        const void* nl = std::memchr(buffer, '\n', static_cast<size_t>(n));
        if (nl) {
            text.append(buffer, static_cast<const char*>(nl) - buffer);
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

std::string ResultRows::groupPathOf(size_t rowIndex) const {
    size_t heading;
    {
        std::lock_guard lock(mutex_);
        auto it = std::upper_bound(headings_.begin(), headings_.end(), rowIndex);
        if (it == headings_.begin())
            return {};
        heading = *(it - 1);
    }
    std::string line = lineAt(row(heading).offset);
    auto origin = grep::result::parseLine(line, layout_);
    return std::string(origin.path);
}

} // namespace talvo::view
