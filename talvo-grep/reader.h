// Large inputs window by window: the searcher takes whole lines from a window
// of the input, keeps what context may still print and asks for the next.
// A regular file is either read into a buffer of this thread or mapped, and
// which is faster depends on the machine and on how the kernel holds the
// file's pages (on one machine a pass over a mapping is six times slower than
// reads, on another three times faster; the same file can change from one to
// the other once its pages are dropped and read again). So the reader times
// both on early windows of each file, takes the faster one and tries the
// other again now and then. TALVO_GREP_READ=read or =map forces one.
#pragma once

#include "talvo-grep/os.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace talvo::grep {

enum class ReadMode { Auto, Read, Map };

class WindowReader {
public:
    // window: bytes brought in per step, 0 for the defaults of each mode.
    // ownBuffer: a buffer of its own, not the one this thread's readers
    // share, for a reader used while another one's view is in use.
    WindowReader(os::FileReader& in, size_t window, bool ownBuffer = false);
    ~WindowReader();
    WindowReader(const WindowReader&) = delete;
    WindowReader& operator=(const WindowReader&) = delete;

    // Reads the first bytes of the input, at least want unless it ends first.
    bool start(size_t want, std::string& error);
    std::string_view view() const { return {data_, len_}; }
    // Offset in the input of view()[0].
    uint64_t offset() const { return offset_; }
    // The view reaches the end of the input.
    bool eof() const { return eof_; }
    // Brings in as much again after the view (a line longer than it), at
    // most atMost bytes.
    bool extend(size_t atMost, std::string& error);
    // Drops view()[0, keep) and brings in the bytes after the view.
    bool advance(size_t keep, std::string& error);
    // A mapped file shrank while it was read: the view ends in zeros.
    bool truncated() const { return map_.truncated(); }
    ReadMode mode() const { return mode_; }
    // The view's new bytes were read ahead.
    bool readAhead() const { return fromAhead_; }
    // The clock that times the windows, in nanoseconds (tests set their own;
    // nullptr restores the monotonic clock).
    using Clock = uint64_t (*)();
    static void setClock(Clock now);
    // While one window of a large regular file is searched, the next is
    // read on a thread of its own: for a run that leaves a core idle (one
    // file), where searching a window takes longer than reading it.
    // TALVO_GREP_READAHEAD=0 turns it off, =1 on without that judgement.
    static void allowReadAhead(bool allow);

private:
    struct Ahead;
    bool bring(uint64_t offset, size_t keep, size_t more, std::string& error);
    void askAhead();
    bool takeAhead(size_t keep, std::string& error);
    void dropAhead();
    ReadMode choose(uint64_t offset);
    void record(uint64_t now);

    os::FileReader& in_;
    os::FileMapping map_;
    os::ByteBuffer own_;
    os::ByteBuffer& buf_;
    const char* data_ = nullptr;
    size_t len_ = 0;
    uint64_t offset_ = 0;
    bool eof_ = false;
    ReadMode mode_ = ReadMode::Read;
    ReadMode forced_;
    bool mappable_;
    size_t readWindow_;
    size_t mapWindow_;
    // Timing: nanoseconds per byte of the last windows taken each way, and
    // the bytes and start of the window in hand.
    double rates_[2][3] = {};
    int samples_[2] = {};
    size_t fresh_ = 0;
    uint64_t started_ = 0;
    uint64_t nextProbe_ = 0;
    uint64_t probeEvery_ = 0;
    ReadMode settled_ = ReadMode::Read; // the way chosen between trials
    bool probing_ = false;
    int trialLeft_ = 0;      // windows of the trial in hand still to come
    bool judge_ = true;      // the ways are weighed at the next window
    bool readAhead_ = false; // this input may be read ahead
    bool aheadJudged_ = false;
    bool aheadHelps_ = false;
    bool aheadPending_ = false;
    bool fromAhead_ = false; // the view's new bytes were read ahead
    int untimed_ = 0;        // windows left that the choice does not time
    uint64_t readNs_ = 0;    // the read of the view's new bytes
    double searchPerRead_[3] = {};
    int aheadSamples_ = 0;
    std::unique_ptr<Ahead> ahead_;
};

} // namespace talvo::grep
