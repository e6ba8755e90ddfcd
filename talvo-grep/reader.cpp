// Windows of an input, read or mapped, whichever is faster (see reader.h).
#include "talvo-grep/reader.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>

namespace talvo::grep {

namespace {
// A read window fits the processor's caches; a mapped window is larger, as
// each one costs two system calls and the undoing of its mapping. On a file
// held in large pages 16 MiB windows took 73 ms against 80 for 8 MiB (32:
// 71), and two of them mapped at once stay well under the memory bound.
constexpr size_t kReadWindow = 1 << 20;
constexpr size_t kMapWindow = 16 << 20;
// A buffer that a long line grew is given back past this size.
constexpr size_t kKeptBuffer = 32 << 20;
// The way not in use is timed again on one window after this many bytes,
// twice as many each time the choice holds.
constexpr uint64_t kProbeEvery = 128ull << 20;
constexpr uint64_t kProbeEveryMost = 1ull << 30;
// The second trial comes sooner: the kernel's read-ahead starts small and
// grows, and with it the pages it holds a file in, so the first windows of
// a file can be held as no later ones are. On a file held in large pages
// the first trial found mapping slower than reading (0.12-0.16 against
// 0.11-0.15 ns a byte), the trial at 140 MiB 1.3 times faster.
constexpr uint64_t kFirstProbeAfter = 32ull << 20;
// The other way is taken when its windows take this much less time. The
// windows compared lie side by side and the other way's middle one is held
// to this way's best, which keeps a slow window or two from turning the
// reader; a wider margin kept it reading a file held in large pages, where
// the first trial found mapping 1.17 times faster and the whole file then
// took 1.2 times as long as mapped.
constexpr double kClearlyFaster = 1.1;
// Smaller regular files are only read.
constexpr uint64_t kMapFrom = 16ull << 20;
// The first windows of a file pay for what the search sets up once (its
// buffers' first pages, the engines' scratch space) and are not timed.
constexpr uint64_t kTimeFrom = 4ull << 20;
constexpr size_t kMapProbe = 2 << 20;
constexpr uint64_t kLargePage = 2 << 20;
// Bytes are read to the place within a 4 KiB page that they have in the
// file: on some processors the kernel's copy runs four to five times slower
// when its target lies 1 to 31 bytes past its source's place in a page,
// which is where the unfinished line carried to a window's start put it.
constexpr uint64_t kPagePlace = 4096;

size_t pagePlace(uint64_t offset) {
    return static_cast<size_t>(offset % kPagePlace);
}

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

std::atomic<bool> readAheadAllowed{false};
// Room before the bytes read ahead, for the end of the view that comes along
// (the last line's start, lines of before-context) without a copy of them.
constexpr size_t kAheadGap = 256 << 10;
// Windows not timed once reading ahead begins: the one that starts the
// thread and the first two read by it.
constexpr int kUntimedAhead = 3;

// The buffer that the next window is read into, one per thread like the
// view's own.
os::ByteBuffer& spareBuffer() {
    thread_local os::ByteBuffer b;
    return b;
}

// TALVO_GREP_READAHEAD=0 never reads ahead, =1 always does where it may
// (without judging whether it pays), anything else judges.
const char* readAheadSetting() {
    static const char* v = std::getenv("TALVO_GREP_READAHEAD");
    return v != nullptr ? v : "";
}
} // namespace

// The thread that reads ahead: one read at a time, into the spare buffer
// after its gap, while the owner searches the view.
struct WindowReader::Ahead {
    os::FileReader& in;
    os::ByteBuffer& into;
    std::mutex m;
    std::condition_variable cv;
    bool asked = false;
    bool quit = false;
    uint64_t offset = 0;
    size_t want = 0;
    // The outcome, once asked is false again.
    size_t got = 0;
    bool ok = true;
    bool eof = false;
    std::string error;
    std::thread worker; // last: it starts once the rest is set up

    Ahead(os::FileReader& f, os::ByteBuffer& b) : in(f), into(b), worker([this] { run(); }) {}
    ~Ahead() {
        {
            std::lock_guard lock(m);
            quit = true;
        }
        cv.notify_all();
        worker.join();
    }
    void run() {
        std::unique_lock lock(m);
        for (;;) {
            cv.wait(lock, [&] { return asked || quit; });
            if (quit)
                return;
            uint64_t at = offset;
            size_t n = want;
            lock.unlock();
            size_t read = 0;
            std::string why;
            bool fine = in.read(at, into.data() + kAheadGap + pagePlace(at), n, read, why);
            bool end = in.eof();
            lock.lock();
            got = read;
            ok = fine;
            eof = end;
            error = std::move(why);
            asked = false;
            cv.notify_all();
        }
    }
    void ask(uint64_t at, size_t n) {
        {
            std::lock_guard lock(m);
            offset = at;
            want = n;
            asked = true;
        }
        cv.notify_all();
    }
    void wait() {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return !asked; });
    }
};

void WindowReader::allowReadAhead(bool allow) {
    readAheadAllowed.store(allow, std::memory_order_relaxed);
}

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
    // The spare buffer is this thread's: only a reader of the thread's own
    // buffer, of which there is one at a time, may take it.
    readAhead_ = readAheadAllowed.load(std::memory_order_relaxed) &&
                 std::strcmp(readAheadSetting(), "0") != 0 && in.regular() && !ownBuffer &&
                 forced_ != ReadMode::Map && in.size() >= 4 * readWindow_;
    if (std::strcmp(readAheadSetting(), "1") == 0)
        aheadJudged_ = aheadHelps_ = true;
}

WindowReader::~WindowReader() {
    ahead_.reset();
    // A long line grew the buffer: the next file starts small again.
    if (buf_.capacity() > kKeptBuffer)
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
    dropAhead();
    size_t more = std::max(len_, mode_ == ReadMode::Map ? mapWindow_ : readWindow_);
    return bring(offset_, 0, std::max<size_t>(1, std::min(more, atMost)), error);
}

bool WindowReader::advance(size_t keep, std::string& error) {
    record(nowNs());
    fresh_ = 0;
    uint64_t offset = offset_ + keep;
    ReadMode m = choose(offset);
    if (aheadPending_ && m == ReadMode::Read && mode_ == ReadMode::Read) {
        started_ = nowNs();
        return takeAhead(keep, error);
    }
    dropAhead();
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
        if (!bring(offset_, len_, readWindow_, error))
            return false;
        askAhead();
        return true;
    }
    started_ = nowNs();
    mode_ = m;
    // A trial of mapping takes one large page, not a whole mapped window.
    size_t more = m == ReadMode::Read ? readWindow_ : probing_ ? kMapProbe : mapWindow_;
    if (!bring(offset, keep, more, error))
        return false;
    askAhead();
    return true;
}

void WindowReader::askAhead() {
    if (!readAhead_ || !aheadHelps_ || mode_ != ReadMode::Read || eof_ || aheadPending_)
        return;
    os::ByteBuffer& spare = spareBuffer();
    if (!spare.reserve(kAheadGap + kPagePlace + readWindow_)) {
        readAhead_ = false;
        return;
    }
    if (!ahead_) {
        try {
            ahead_ = std::make_unique<Ahead>(in_, spare);
            // The thread's start and the spare buffer's first pages would
            // make reading look slower than it is, and turn the choice to
            // mapping for the rest of the file.
            untimed_ = kUntimedAhead;
        } catch (const std::system_error&) {
            readAhead_ = false; // no thread to be had: read in turn
            return;
        }
    }
    ahead_->ask(offset_ + len_, readWindow_);
    aheadPending_ = true;
}

// The view after advance(keep) from the window read ahead: the kept end of
// the view goes into the gap before it, or, when longer, the window's bytes
// go after it.
bool WindowReader::takeAhead(size_t keep, std::string& error) {
    ahead_->wait();
    aheadPending_ = false;
    if (!ahead_->ok) {
        error = ahead_->error;
        return false;
    }
    os::ByteBuffer& spare = spareBuffer();
    size_t kept = len_ - keep;
    size_t got = ahead_->got;
    char* fresh = spare.data() + kAheadGap + pagePlace(ahead_->offset);
    if (kept <= kAheadGap) {
        std::memcpy(fresh - kept, data_ + keep, kept);
        buf_.swap(spare);
        data_ = fresh - kept;
    } else {
        std::memmove(buf_.data(), data_ + keep, kept);
        if (!buf_.reserve(kept + got)) {
            error = "not enough memory for a line of " + std::to_string(kept >> 20) + " MiB";
            return false;
        }
        std::memcpy(buf_.data() + kept, fresh, got);
        data_ = buf_.data();
    }
    len_ = kept + got;
    offset_ += keep;
    fresh_ = got;
    eof_ = ahead_->eof;
    fromAhead_ = true;
    askAhead();
    return true;
}

// A window read ahead that will not be used: the read is let finish.
void WindowReader::dropAhead() {
    if (!aheadPending_)
        return;
    ahead_->wait();
    aheadPending_ = false;
}

// The view from offset: the bytes kept of the present view (from keep on)
// and up to more after them.
bool WindowReader::bring(uint64_t offset, size_t keep, size_t more, std::string& error) {
    size_t kept = len_ - keep;
    fromAhead_ = false;
    if (mode_ == ReadMode::Map) {
        uint64_t size = in_.size();
        // A window of a large page or more ends on a large-page boundary: a
        // file that the kernel holds in large pages is then mapped in whole
        // large pages. With each window's last part in small pages, a search
        // of such a file took nearly twice as long.
        uint64_t end = offset + kept + more;
        if (more >= kLargePage)
            end = (end + kLargePage - 1) & ~(kLargePage - 1);
        size_t length = static_cast<size_t>(std::min<uint64_t>(size, end) - offset);
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
        if (!buf_.reserve(kPagePlace + kept + more)) {
            error = "not enough memory for a line of " + std::to_string(kept >> 20) + " MiB";
            return false;
        }
        std::memcpy(buf_.data() + pagePlace(offset), data_ + keep, kept);
        map_.release();
    } else {
        // Growing the buffer may move it, and the view with it; the view may
        // start after the gap that a window read ahead had.
        const char* base = buf_.data();
        bool inBuffer =
            data_ != nullptr && base != nullptr && data_ >= base && data_ < base + buf_.capacity();
        size_t at = inBuffer ? static_cast<size_t>(data_ - base) : 0;
        if (!buf_.reserve(kPagePlace + kept + more)) {
            error = "not enough memory for a line of " + std::to_string(kept >> 20) + " MiB";
            return false;
        }
        const char* from = inBuffer ? buf_.data() + at : data_;
        char* to = buf_.data() + pagePlace(offset);
        if (kept > 0 && from + keep != to)
            std::memmove(to, from + keep, kept);
    }
    char* view = buf_.data() + pagePlace(offset);
    data_ = view;
    len_ = kept;
    offset_ = offset;
    size_t got = 0;
    uint64_t before = nowNs();
    bool ok = in_.read(offset + kept, view + kept, more, got, error);
    readNs_ = nowNs() - before;
    len_ += got;
    fresh_ += got;
    eof_ = in_.eof();
    return ok;
}

void WindowReader::record(uint64_t now) {
    if (offset_ < kTimeFrom || fresh_ == 0)
        return;
    if (untimed_ > 0) {
        --untimed_;
        return;
    }
    int i = index(mode_);
    rates_[i][samples_[i] % 3] = static_cast<double>(now - started_) / static_cast<double>(fresh_);
    ++samples_[i];
    // Reading ahead pays where searching a window takes longer than reading
    // it; where reading is most of the time, the two threads only slow each
    // other. Judged once, on the middle of three windows read in turn.
    if (readAhead_ && !aheadJudged_ && mode_ == ReadMode::Read && !fromAhead_ && readNs_ > 0) {
        double searched = static_cast<double>(now - started_) - static_cast<double>(readNs_);
        searchPerRead_[aheadSamples_++] = searched / static_cast<double>(readNs_);
        if (aheadSamples_ == 3) {
            std::sort(searchPerRead_, searchPerRead_ + 3);
            aheadJudged_ = true;
            aheadHelps_ = searchPerRead_[1] > 1.0;
        }
    }
}

ReadMode WindowReader::choose(uint64_t offset) {
    probing_ = false;
    if (forced_ != ReadMode::Auto)
        return forced_;
    if (!mappable_ || in_.size() - offset < 2 * kReadWindow)
        return mode_;
    // Where the next window is read while this one is searched, and the
    // search takes the longer, the reads cost no time: a map could only add
    // its page faults. Its trial windows would also find their pages just
    // read ahead and look cheaper than they are (Japanese text on a machine
    // where maps are 1.4 times slower: mapped in two runs of five, each
    // 1.2 times as long).
    if (readAhead_ && aheadJudged_ && aheadHelps_ && mode_ == ReadMode::Read)
        return ReadMode::Read;
    // Three windows each way first: read, then mapped.
    if (samples_[0] < 3 || samples_[1] < 3) {
        nextProbe_ = offset + kFirstProbeAfter;
        probeEvery_ = kProbeEvery;
        probing_ = samples_[0] >= 3;
        return probing_ ? ReadMode::Map : ReadMode::Read;
    }
    // A trial of the other way is three windows in a row.
    const ReadMode other = settled_ == ReadMode::Map ? ReadMode::Read : ReadMode::Map;
    if (trialLeft_ > 0) {
        --trialLeft_;
        probing_ = true;
        return other;
    }
    // The ways are weighed only just after a trial, on its three windows and
    // the three of the way in use before it: what a window costs depends on
    // its text as well (in big.txt a stretch of non-ASCII text costs half as
    // much again either way), so the way in use is never weighed against a
    // trial far behind it.
    if (judge_) {
        judge_ = false;
        auto sorted = [&](int i) {
            std::array<double, 3> r = {rates_[i][0], rates_[i][1], rates_[i][2]};
            std::sort(r.begin(), r.end());
            return r;
        };
        const std::array<double, 3> read = sorted(0), map = sorted(1);
        // The way in use is kept unless the other one's middle window is
        // clearly faster than this way's best window. One window that found
        // its pages at hand says nothing about its way, nor do one or two
        // that waited for the processor. Close timings would only make the
        // reader change back and forth.
        ReadMode way = settled_;
        if (way == ReadMode::Read && map[1] * kClearlyFaster < read[0])
            way = ReadMode::Map;
        else if (way == ReadMode::Map && read[1] * kClearlyFaster < map[0])
            way = ReadMode::Read;
        if (way != settled_)
            probeEvery_ = kProbeEvery;
        settled_ = way;
    }
    if (offset >= nextProbe_) {
        // A choice that held is tried less and less often.
        nextProbe_ = offset + probeEvery_;
        probeEvery_ = std::min(probeEvery_ * 2, kProbeEveryMost);
        trialLeft_ = 2;
        judge_ = true;
        probing_ = true;
        return settled_ == ReadMode::Map ? ReadMode::Read : ReadMode::Map;
    }
    return settled_;
}

} // namespace talvo::grep
