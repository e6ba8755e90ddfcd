// Windows of an input, read or mapped, whichever is faster (see reader.h).
#include "talvo-grep/reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace talvo::grep {

namespace {
// A read window fits the processor's caches; a mapped window is larger, as
// each one costs two system calls.
constexpr size_t kReadWindow = 1 << 20;
constexpr size_t kMapWindow = 8 << 20;
// The way not in use is timed again on one window after this many bytes,
// twice as many each time the choice holds.
constexpr uint64_t kProbeEvery = 128ull << 20;
constexpr uint64_t kProbeEveryMost = 1ull << 30;
// The other way is taken when its windows take this much less time.
constexpr double kClearlyFaster = 1.2;
// Smaller regular files are only read.
constexpr uint64_t kMapFrom = 16ull << 20;
// The first windows of a file pay for what the search sets up once (its
// buffers' first pages, the engines' scratch space) and are not timed.
constexpr uint64_t kTimeFrom = 4ull << 20;
constexpr size_t kMapProbe = 2 << 20;

ReadMode forcedMode() {
    static const ReadMode m = [] {
        const char* v = std::getenv("TALVO_GREP_READ");
        if (v && std::strcmp(v, "read") == 0)
            return ReadMode::Read;
        if (v && std::strcmp(v, "map") == 0)
            return ReadMode::Map;
        return ReadMode::Auto;
    }();
    return m;
}

uint64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000000000u + static_cast<uint64_t>(t.tv_nsec);
}

WindowReader::Clock clock = monotonicNs;

uint64_t nowNs() {
    return clock();
}

// One buffer per thread: a fresh one would cost its page faults for every file.
os::ByteBuffer& threadBuffer() {
    thread_local os::ByteBuffer b;
    return b;
}

int index(ReadMode m) {
    return m == ReadMode::Map ? 1 : 0;
}
} // namespace

void WindowReader::setClock(Clock now) {
    clock = now != nullptr ? now : monotonicNs;
}

WindowReader::WindowReader(os::FileReader& in, size_t window, bool ownBuffer)
    : in_(in), buf_(ownBuffer ? own_ : threadBuffer()), forced_(forcedMode()) {
    readWindow_ = window > 0 ? window : kReadWindow;
    mapWindow_ = window > 0 ? window : kMapWindow;
    mappable_ = in.regular() && (forced_ == ReadMode::Map || in.size() >= kMapFrom);
    if (!in.regular())
        forced_ = ReadMode::Read;
}

WindowReader::~WindowReader() {
    // A long line grew the buffer: the next file starts small again.
    if (buf_.capacity() > 4 * kMapWindow)
        buf_.shrinkTo(kReadWindow * 2);
}

bool WindowReader::start(size_t want, std::string& error) {
    if (mappable_)
        in_.adviseSequential();
    // A file read whole in one go is read, whatever way is forced.
    mode_ = forced_ == ReadMode::Map && want <= in_.size() ? ReadMode::Map : ReadMode::Read;
    started_ = nowNs();
    fresh_ = 0;
    return bring(0, 0, want, error);
}

bool WindowReader::extend(size_t atMost, std::string& error) {
    size_t more = std::max(len_, mode_ == ReadMode::Map ? mapWindow_ : readWindow_);
    return bring(offset_, 0, std::max<size_t>(1, std::min(more, atMost)), error);
}

bool WindowReader::advance(size_t keep, std::string& error) {
    record(nowNs());
    fresh_ = 0;
    uint64_t offset = offset_ + keep;
    ReadMode m = choose(offset);
    if (m != mode_ && m == ReadMode::Read) {
        // The kept bytes come along out of the mapping.
        size_t kept = len_ - keep;
        if (!buf_.reserve(kept + readWindow_)) {
            error = "not enough memory for a line of " + std::to_string(kept >> 20) + " MiB";
            return false;
        }
        std::memcpy(buf_.data(), data_ + keep, kept);
        map_.release();
        data_ = buf_.data();
        len_ = kept;
        offset_ = offset;
        mode_ = m;
        // Giving back the mapping is no cost of the reading that follows.
        started_ = nowNs();
        return bring(offset_, len_, readWindow_, error);
    }
    started_ = nowNs();
    mode_ = m;
    // A trial of mapping takes one large page, not a whole mapped window.
    size_t more = m == ReadMode::Read ? readWindow_ : probing_ ? kMapProbe : mapWindow_;
    return bring(offset, keep, more, error);
}

// The view from offset: the bytes kept of the present view (from keep on)
// and up to more after them.
bool WindowReader::bring(uint64_t offset, size_t keep, size_t more, std::string& error) {
    size_t kept = len_ - keep;
    if (mode_ == ReadMode::Map) {
        uint64_t size = in_.size();
        size_t length = static_cast<size_t>(std::min<uint64_t>(size - offset, kept + more));
        if (map_.map(in_.fd(), offset, length)) {
            data_ = map_.bytes().data();
            len_ = length;
            fresh_ += length - kept;
            offset_ = offset;
            eof_ = offset + length >= size;
            return true;
        }
        // No room for the mapping (a limit on address space): read instead.
        mappable_ = false;
        forced_ = ReadMode::Read;
        mode_ = ReadMode::Read;
        if (!buf_.reserve(kept + more)) {
            error = "not enough memory for a line of " + std::to_string(kept >> 20) + " MiB";
            return false;
        }
        std::memcpy(buf_.data(), data_ + keep, kept);
        map_.release();
    } else {
        // Growing the buffer may move it, and the view with it.
        bool inBuffer = data_ != nullptr && data_ == buf_.data();
        if (!buf_.reserve(kept + more)) {
            error = "not enough memory for a line of " + std::to_string(kept >> 20) + " MiB";
            return false;
        }
        const char* from = inBuffer ? buf_.data() : data_;
        if (kept > 0 && (keep > 0 || from != buf_.data()))
            std::memmove(buf_.data(), from + keep, kept);
    }
    data_ = buf_.data();
    len_ = kept;
    offset_ = offset;
    size_t got = 0;
    bool ok = in_.read(offset + kept, buf_.data() + kept, more, got, error);
    len_ += got;
    fresh_ += got;
    eof_ = in_.eof();
    return ok;
}

void WindowReader::record(uint64_t now) {
    if (offset_ < kTimeFrom || fresh_ == 0)
        return;
    int i = index(mode_);
    rates_[i][samples_[i] % 3] = static_cast<double>(now - started_) / static_cast<double>(fresh_);
    ++samples_[i];
}

ReadMode WindowReader::choose(uint64_t offset) {
    probing_ = false;
    if (forced_ != ReadMode::Auto)
        return forced_;
    if (!mappable_ || in_.size() - offset < 2 * kReadWindow)
        return mode_;
    // Three windows each way first: read, then mapped.
    if (samples_[0] < 3 || samples_[1] < 3) {
        nextProbe_ = offset + kProbeEvery;
        probeEvery_ = kProbeEvery;
        probing_ = samples_[0] >= 3;
        return probing_ ? ReadMode::Map : ReadMode::Read;
    }
    // The middle of the last three windows each way: one window that waited
    // for the processor, or one that found its pages at hand, says nothing
    // about the way it was read.
    auto middle = [&](int i) {
        double r[3] = {rates_[i][0], rates_[i][1], rates_[i][2]};
        std::sort(r, r + 3);
        return r[1];
    };
    double read = middle(0), map = middle(1);
    // The way in use is kept unless the other is clearly faster: close
    // timings would only make the reader change its way back and forth.
    ReadMode way = settled_;
    if (way == ReadMode::Read && map * kClearlyFaster < read)
        way = ReadMode::Map;
    else if (way == ReadMode::Map && read * kClearlyFaster < map)
        way = ReadMode::Read;
    if (way != settled_)
        probeEvery_ = kProbeEvery;
    settled_ = way;
    if (offset >= nextProbe_) {
        // A choice that held is tried less and less often.
        nextProbe_ = offset + probeEvery_;
        probeEvery_ = std::min(probeEvery_ * 2, kProbeEveryMost);
        probing_ = true;
        return way == ReadMode::Map ? ReadMode::Read : ReadMode::Map;
    }
    return way;
}

} // namespace talvo::grep
