// The reader's choice between reading and mapping a large file, on a clock
// the test moves: each window costs what the test says the way it was
// brought in costs, so the choice can be checked without timing anything.
#include "talvo-grep/reader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

namespace {

using talvo::grep::ReadMode;
using talvo::grep::WindowReader;
namespace os = talvo::grep::os;

uint64_t fakeNow = 0;
uint64_t fakeClock() {
    return fakeNow;
}

// The offset of the window whose cost is asked.
uint64_t windowAt = 0;

struct Shares {
    uint64_t read = 0;
    uint64_t mapped = 0;
};

// A clock on which each look takes a nanosecond: reading costs next to
// nothing against what the test adds.
uint64_t tickingClock() {
    return fakeNow++;
}

// Goes through a sparse file of size bytes; cost(mode, readAhead) is the
// time in nanoseconds per byte of a window. Returns the bytes each way
// brought in after the first 32 MiB, where the trials are long over. A
// reader of the thread's own buffer may read ahead. seen, when given, looks
// at each window brought in after the first.
Shares readThrough(const std::function<double(ReadMode, bool)>& cost, bool ownBuffer = true,
                   WindowReader::Clock clock = fakeClock, off_t size = 96 << 20,
                   const std::function<void(const WindowReader&)>& seen = {}) {
    char path[] = "/tmp/talvo-reader-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(ftruncate(fd, size), 0);
    close(fd);
    os::FileReader in;
    std::string error;
    EXPECT_TRUE(in.open(path, error)) << error;
    unlink(path);
    WindowReader::setClock(clock);
    Shares shares;
    {
        WindowReader r(in, 0, ownBuffer);
        EXPECT_TRUE(r.start(1 << 20, error)) << error;
        while (!r.eof()) {
            size_t n = r.view().size();
            windowAt = r.offset();
            fakeNow +=
                static_cast<uint64_t>(static_cast<double>(n) * cost(r.mode(), r.readAhead()));
            if (r.offset() >= (32u << 20))
                (r.mode() == ReadMode::Map ? shares.mapped : shares.read) += n;
            EXPECT_TRUE(r.advance(n, error)) << error;
            if (seen)
                seen(r);
        }
    }
    WindowReader::setClock(nullptr);
    return shares;
}

// The same with the thread's own buffer, which may be read ahead, on a
// clock on which reading costs next to nothing against the search.
Shares readThroughAhead(const std::function<double(ReadMode, bool)>& cost) {
    WindowReader::allowReadAhead(true);
    Shares s = readThrough(cost, false, tickingClock);
    WindowReader::allowReadAhead(false);
    return s;
}

TEST(ReaderChoice, TakesTheCheaperWay) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    Shares s = readThrough([](ReadMode m, bool) { return m == ReadMode::Map ? 2.0 : 0.5; });
    EXPECT_GT(s.read, 9 * s.mapped);
    s = readThrough([](ReadMode m, bool) { return m == ReadMode::Map ? 0.2 : 0.6; });
    EXPECT_GT(s.mapped, 9 * s.read);
}

TEST(ReaderChoice, TakesTheCheaperWayWhenTheWaysAreClose) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    // One way's windows take 1.15 times as long as the other's, each window
    // off by up to 2 % either way: the cheaper way is found at the first
    // trial and kept.
    for (bool mapCheaper : {true, false}) {
        SCOPED_TRACE(mapCheaper ? "mapping cheaper" : "reading cheaper");
        int windows = 0;
        Shares s = readThrough([&](ReadMode m, bool) {
            double jitter = 1.0 + 0.02 * ((++windows * 7) % 5 - 2) / 2.0;
            bool cheaper = (m == ReadMode::Map) == mapCheaper;
            return jitter * (cheaper ? 0.5 : 0.5 * 1.15);
        });
        if (mapCheaper)
            EXPECT_GT(s.mapped, 9 * s.read);
        else
            EXPECT_GT(s.read, 9 * s.mapped);
    }
}

TEST(ReaderChoice, IsNotSwayedByTheFirstWindowsOrByOneLuckyWindow) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    // The first windows of a file pay for the search's set-up, whichever
    // way they come.
    int windows = 0;
    Shares s = readThrough([&](ReadMode m, bool) {
        return (++windows <= 4 ? 8.0 : 0.0) + (m == ReadMode::Map ? 2.0 : 0.5);
    });
    EXPECT_GT(s.read, 9 * s.mapped);
    // One mapped window that found its pages at hand.
    windows = 0;
    s = readThrough([&](ReadMode m, bool) {
        if (m == ReadMode::Map && ++windows == 2)
            return 0.01;
        return m == ReadMode::Map ? 2.0 : 0.5;
    });
    EXPECT_GT(s.read, 9 * s.mapped);
}

TEST(ReaderChoice, IsNotSwayedByTwoSlowWindowsOfTheWayInUse) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    // Reading is the cheaper way, but two windows read in a row waited for
    // the processor just before mapping is tried again; then the same
    // with the ways the other way round.
    int windows = 0;
    Shares s = readThrough([&](ReadMode m, bool) {
        ++windows;
        if (m == ReadMode::Map)
            return 0.8;
        return windows >= 20 && windows < 22 ? 5.0 : 0.5;
    });
    EXPECT_GT(s.read, 9 * s.mapped);
    windows = 0;
    int mapped = 0;
    s = readThrough([&](ReadMode m, bool) {
        if (m == ReadMode::Read)
            return 0.8;
        ++mapped;
        return mapped >= 6 && mapped < 8 ? 5.0 : 0.2;
    });
    EXPECT_GT(s.mapped, 9 * s.read);
}

TEST(ReaderChoice, WeighsTheWaysOnWindowsOfLikeText) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    // Reading is the cheaper way throughout, but the text from 24 to 30 MiB
    // costs three times as much either way.
    auto costs = [](double read, double map) {
        return [=](ReadMode m, bool) {
            double text = windowAt >= (24u << 20) && windowAt < (30u << 20) ? 3.0 : 1.0;
            return text * (m == ReadMode::Map ? map : read);
        };
    };
    Shares s = readThrough(costs(0.5, 0.65));
    EXPECT_GT(s.read, 9 * s.mapped);
    s = readThrough(costs(0.65, 0.5));
    EXPECT_GT(s.mapped, 9 * s.read);
}

// The share of the bytes from offset from on that came mapped, through a
// file of size bytes.
double mappedShareFrom(const std::function<double(ReadMode, bool)>& cost, off_t size,
                       uint64_t from) {
    uint64_t late = 0, lateMapped = 0;
    readThrough(cost, true, fakeClock, size, [&](const WindowReader& r) {
        if (r.offset() < from)
            return;
        late += r.view().size();
        if (r.mode() == ReadMode::Map)
            lateMapped += r.view().size();
    });
    EXPECT_GT(late, 0u);
    return late > 0 ? static_cast<double>(lateMapped) / static_cast<double>(late) : 0.0;
}

TEST(ReaderChoice, TurnsWhenALaterTrialFindsTheOtherWayCheaper) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    // Reading is cheaper up to 100 MiB, mapping from there on: a later
    // trial turns the reader, and it stays turned.
    auto cost = [](ReadMode m, bool) {
        bool before = windowAt < (100u << 20);
        if (m == ReadMode::Map)
            return before ? 0.8 : 0.3;
        return before ? 0.5 : 0.8;
    };
    EXPECT_GT(mappedShareFrom(cost, 320 << 20, 200u << 20), 0.9);
}

TEST(ReaderChoice, TriesAgainSoonAfterTheFirstTrial) {
    if (std::getenv("TALVO_GREP_READ"))
        GTEST_SKIP() << "a way is forced";
    // The kernel held the first 16 MiB in small pages, where mapping is the
    // costlier way, and the rest in large ones, where it is the cheaper:
    // the reader maps from the second trial on, well before the end.
    auto cost = [](ReadMode m, bool) {
        bool head = windowAt < (16u << 20);
        if (m == ReadMode::Map)
            return head ? 0.8 : 0.3;
        return 0.5;
    };
    EXPECT_GT(mappedShareFrom(cost, 96 << 20, 56u << 20), 0.9);
}

TEST(ReaderChoice, IsNotSwayedByTheStartOfReadingAhead) {
    if (std::getenv("TALVO_GREP_READ") || std::getenv("TALVO_GREP_READAHEAD"))
        GTEST_SKIP() << "a way is forced";
    // Searching a window takes longer than reading it, so the reader reads
    // ahead; its first windows wait for the thread's start.
    int ahead = 0;
    Shares s = readThroughAhead([&](ReadMode m, bool readAhead) {
        double start = readAhead && ++ahead <= 2 ? 8.0 : 0.0;
        return start + (m == ReadMode::Map ? 1.0 : 0.5);
    });
    EXPECT_GT(ahead, 10);
    EXPECT_GT(s.read, 9 * s.mapped);
}

TEST(ReaderChoice, KeepsReadingWhereReadingAheadHidesTheReads) {
    if (std::getenv("TALVO_GREP_READ") || std::getenv("TALVO_GREP_READAHEAD"))
        GTEST_SKIP() << "a way is forced";
    // Reading costs next to nothing against the search, so the next window
    // is read beside it; mapped windows look cheaper than read ones.
    int ahead = 0;
    Shares s = readThroughAhead([&](ReadMode m, bool readAhead) {
        ahead += readAhead;
        return m == ReadMode::Map ? 0.3 : 0.5;
    });
    EXPECT_GT(ahead, 10);
    EXPECT_EQ(s.mapped, 0u);
}

} // namespace

namespace {

// Where mapping is the cheaper way, each mapped window ends on a large-page
// boundary (or at the end of the file), so that a file held in large pages
// is mapped in whole large pages.
TEST(ReaderChoice, MappedWindowsEndOnLargePageBoundaries) {
    if (std::getenv("TALVO_GREP_READ") || std::getenv("TALVO_GREP_READAHEAD"))
        GTEST_SKIP() << "a way is forced";
    constexpr uint64_t large = 2u << 20;
    constexpr off_t size = (96 << 20) + 12345;
    int mapped = 0;
    readThrough([](ReadMode m, bool) { return m == ReadMode::Map ? 0.1 : 1.0; }, true, fakeClock,
                size,
                [&](const WindowReader& r) {
                    if (r.mode() != ReadMode::Map)
                        return;
                    ++mapped;
                    uint64_t end = r.offset() + r.view().size();
                    EXPECT_TRUE(end % large == 0 || end == size) << "window ends at " << end;
                });
    EXPECT_GT(mapped, 5);
}

// Each window's bytes lie at the place within a 4 KiB page that they have
// in the file, whatever is carried over from the window before (the kernel
// copies slower into a target a few bytes past its source's place), and
// are the file's bytes: read in turn and read ahead alike.
TEST(ReaderWindows, KeepTheFilesPlaceInAPage) {
    if (std::getenv("TALVO_GREP_READ") || std::getenv("TALVO_GREP_READAHEAD"))
        GTEST_SKIP() << "a way is forced";
    // Under the size from which a file may be mapped: every window is read.
    constexpr size_t size = (15u << 20) + 777;
    auto byteAt = [](uint64_t at) { return static_cast<char>((at * 131) ^ (at >> 12)); };
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = byteAt(i);
    char path[] = "/tmp/talvo-reader-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, bytes.data(), size), static_cast<ssize_t>(size));
    close(fd);
    for (bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "read ahead" : "read in turn");
        os::FileReader in;
        std::string error;
        ASSERT_TRUE(in.open(path, error)) << error;
        // Searching a window costs more than reading it, so it is read ahead.
        WindowReader::allowReadAhead(ahead);
        WindowReader::setClock(tickingClock);
        int windows = 0, aheadWindows = 0, misplaced = 0, wrong = 0;
        {
            WindowReader r(in, 0, !ahead);
            ASSERT_TRUE(r.start(1 << 20, error)) << error;
            for (;;) {
                std::string_view v = r.view();
                ++windows;
                aheadWindows += r.readAhead();
                misplaced += reinterpret_cast<uintptr_t>(v.data()) % 4096 != r.offset() % 4096;
                for (size_t i = 0; i < v.size(); ++i)
                    wrong += v[i] != byteAt(r.offset() + i);
                if (r.eof())
                    break;
                fakeNow += v.size() * 4;
                // An unfinished line of 1 to 4000 bytes is carried over.
                size_t carried = 1 + (static_cast<size_t>(windows) * 997) % 4000;
                ASSERT_TRUE(r.advance(v.size() - carried, error)) << error;
            }
        }
        WindowReader::setClock(nullptr);
        WindowReader::allowReadAhead(false);
        EXPECT_GT(windows, 14);
        EXPECT_EQ(misplaced, 0);
        EXPECT_EQ(wrong, 0);
        if (ahead) {
            EXPECT_GT(aheadWindows, 3);
        }
    }
    unlink(path);
}

// Window buffers lie on huge-page boundaries, keep their bytes as they grow
// and shrink, and small ones keep small pages.
TEST(WindowBuffer, LiesOnHugePagesAndKeepsItsBytesAsItGrowsAndShrinks) {
    constexpr size_t huge = 2u << 20;
    os::ByteBuffer small;
    ASSERT_TRUE(small.reserve(100));
    EXPECT_LT(small.capacity(), size_t{1} << 20);

    os::ByteBuffer b;
    ASSERT_TRUE(b.reserve((1u << 20) + 5));
    EXPECT_EQ(b.capacity() % huge, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % huge, 0u);
    for (size_t i = 0; i < b.capacity(); ++i)
        b.data()[i] = static_cast<char>(i * 7);
    size_t first = b.capacity();
    ASSERT_TRUE(b.reserve(3 * huge + 1));
    ASSERT_GT(b.capacity(), 3 * huge);
    size_t wrong = 0;
    for (size_t i = 0; i < first; ++i)
        wrong += b.data()[i] != static_cast<char>(i * 7);
    EXPECT_EQ(wrong, 0u);
    b.data()[b.capacity() - 1] = 'z'; // the new end is writable
    b.shrinkTo(huge);
    EXPECT_EQ(b.capacity(), huge);
    for (size_t i = 0; i < huge; ++i)
        wrong += b.data()[i] != static_cast<char>(i * 7);
    EXPECT_EQ(wrong, 0u);
}

} // namespace
