// talvo-grep: the bundled grep program. It takes its dialect from the name it
// was started under (cgrep.exe, dgrep.exe, izgrep.exe, jgrep.exe, jgslim.exe,
// wgrep.com, ygrep.exe) or from --dialect NAME, searches the files with as
// many threads as there are cores and prints the results in file order.
// Only this file decides the exit status: 0 matched, 1 nothing, 2 an error.
#include "talvo-grep/matcher.h"
#include "talvo-grep/narrow.h"
#include "talvo-grep/options.h"
#include "talvo-grep/os.h"
#include "talvo-grep/reader.h"
#include "talvo-grep/searcher.h"
#include "talvo-grep/walk.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

using namespace talvo::grep;

namespace {

constexpr const char* kVersion = "1.0.0";
// Output a file may gather while the files before it are searched.
constexpr size_t kHeldOutput = 4 << 20;

struct Run {
    bool matched = false;
    bool failed = false;
};

// The files of a run, each with its result: all known up front, or added by
// the walk while the first ones are already searched.
class FileList {
public:
    struct Slot {
        FileEntry entry;
        const std::optional<result::Layout>* own = nullptr; // a result file of ours
        FileResult result;
        std::atomic<bool> done{false};
    };
    void add(FileEntry e, const std::optional<result::Layout>* own = nullptr) {
        auto slot = std::make_unique<Slot>();
        slot->entry = std::move(e);
        slot->own = own && *own ? own : nullptr;
        {
            std::lock_guard lock(mutex_);
            slots_.push_back(std::move(slot));
        }
        grown_.notify_all();
    }
    // Several files at once: workers that wait for files are woken once.
    void add(std::vector<FileEntry>& batch) {
        {
            std::lock_guard lock(mutex_);
            for (FileEntry& e : batch) {
                slots_.push_back(std::make_unique<Slot>());
                slots_.back()->entry = std::move(e);
            }
        }
        batch.clear();
        grown_.notify_all();
    }
    // No more files come.
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        grown_.notify_all();
    }
    // File i, once the walk has found it; null when the run has fewer files.
    Slot* wait(size_t i) {
        std::unique_lock lock(mutex_);
        grown_.wait(lock, [&] { return i < slots_.size() || closed_; });
        return i < slots_.size() ? slots_[i].get() : nullptr;
    }
    // File i if it is known yet.
    Slot* peek(size_t i) {
        std::lock_guard lock(mutex_);
        return i < slots_.size() ? slots_[i].get() : nullptr;
    }
    // File i is searched and not yet printed. Asked under the list's lock: a
    // slot that another thread prints may be released at any moment.
    bool waitsToPrint(size_t i) {
        std::lock_guard lock(mutex_);
        return i < slots_.size() && slots_[i] && slots_[i]->done.load(std::memory_order_acquire);
    }
    // File i is printed: a long walk keeps no more than one pointer per file.
    void release(size_t i) {
        std::lock_guard lock(mutex_);
        slots_[i].reset();
    }

private:
    std::mutex mutex_;
    std::condition_variable grown_;
    std::vector<std::unique_ptr<Slot>> slots_;
    bool closed_ = false;
};

// Searches the files in parallel; results are printed strictly in file order.
// walk, when given, adds the files to the list while the workers search
// (and has to close it); otherwise the list is complete.
Run searchAll(const Options& o, const Matcher& m, FileList& files, unsigned threads, bool showNames,
              const std::function<void(std::mutex&)>& walk = {}) {
    Run run;
    std::atomic<long> totalLeft(o.maxTotal > 0 ? o.maxTotal : -1);
    Searcher searcher(o, m, showNames);
    bool anyPrinted = false;
    bool context = o.before > 0 || o.after > 0;
    // The output of a file, in file order: after another file's, context
    // groups are parted by "--".
    auto write = [&](FileResult& r) {
        if (r.out.empty())
            return;
        if (context && anyPrinted && !r.streamed && !o.count && !o.filesWithMatches)
            os::writeOut("--\n");
        os::writeOut(r.out);
        r.out.clear();
        anyPrinted = true;
    };
    auto deliver = [&](FileResult& r) {
        write(r);
        if (!r.err.empty())
            os::writeErr("talvo-grep: " + r.err);
        run.matched = run.matched || r.matched;
        run.failed = run.failed || r.failed;
    };
    auto searchOne = [&](FileList::Slot& f, ScanContext& ctx) {
        if (f.own)
            searchResult(o, m, f.entry, **f.own, ctx, f.result, totalLeft);
        else
            searcher.search(f.entry, ctx, f.result, totalLeft);
    };
    bool stopEarly = o.silent; // the status is known at the first match
    if (threads <= 1) {
        ScanContext ctx;
        for (size_t i = 0; FileList::Slot* f = files.wait(i); ++i) {
            f->result.flush = [&](FileResult& part) {
                write(part);
                part.streamed = true;
            };
            searchOne(*f, ctx);
            deliver(f->result);
            files.release(i);
            if ((stopEarly && run.matched) || (o.maxTotal > 0 && totalLeft.load() <= 0))
                break;
        }
        return run;
    }
    // Each finished file is printed by whichever thread finds it next in line,
    // so nobody waits on a condition and the output keeps the file order. A
    // file with much output waits for its turn and writes it as it goes.
    std::atomic<size_t> next(0), printed(0);
    std::atomic<bool> cancel(false);
    std::mutex printMutex;
    std::condition_variable turn;
    auto drain = [&](bool wait) {
        for (;;) {
            std::unique_lock lock(printMutex, std::defer_lock);
            if (wait) {
                lock.lock();
            } else if (!lock.try_lock()) {
                return;
            }
            size_t p = printed.load();
            size_t from = p;
            for (FileList::Slot* f;
                 (f = files.peek(p)) && f->done.load(std::memory_order_acquire);) {
                deliver(f->result);
                files.release(p);
                printed.store(++p);
                if (stopEarly && run.matched)
                    cancel.store(true);
            }
            lock.unlock();
            if (p != from)
                turn.notify_all();
            // A file finished while the lock was held may have found it taken.
            if (wait || !files.waitsToPrint(p))
                return;
        }
    };
    auto work = [&] {
        ScanContext ctx;
        for (;;) {
            size_t i = next.fetch_add(1);
            FileList::Slot* f = files.wait(i);
            if (!f)
                break;
            f->result.flush = [&, i](FileResult& r) {
                // Before its turn a file holds some output rather than keep
                // its worker waiting.
                if (printed.load() < i && r.out.size() < kHeldOutput)
                    return;
                std::unique_lock lock(printMutex);
                turn.wait(lock, [&] { return printed.load() >= i; });
                write(r);
                r.streamed = true;
            };
            if (!cancel.load())
                searchOne(*f, ctx);
            f->done.store(true, std::memory_order_release);
            drain(false);
        }
    };
    std::vector<std::thread> pool;
    // While the walk goes on this thread walks, and every core searches.
    for (unsigned t = walk ? 0 : 1; t < threads; ++t)
        pool.emplace_back(work);
    if (walk)
        walk(printMutex);
    work();
    for (auto& t : pool)
        t.join();
    drain(true);
    return run;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::optional<Dialect> dialect = dialectFromProgramName(argc > 0 ? argv[0] : "");
    if (!dialect) {
        // Started as talvo-grep: "--dialect NAME" first, CGREP otherwise.
        dialect = Dialect::CGrep;
        if (args.size() >= 2 && args[0] == "--dialect") {
            dialect = dialectFromProgramName(args[1]);
            if (!dialect) {
                os::writeErr("talvo-grep: unknown dialect " + args[1] +
                             " (CGREP, DGREP, IZGREP, JGREP, JGSLIM, WGREP, YGREP)\n");
                return 2;
            }
            args.erase(args.begin(), args.begin() + 2);
        }
    }
    std::string name = dialectName(*dialect);
    ParseResult parsed = parseCommandLine(*dialect, args);
    const Options& o = parsed.options;
    if (!parsed.error.empty()) {
        os::writeErr(name + ": " + parsed.error + "\n");
        return 2;
    }
    if (o.help) {
        os::writeOut(helpText(*dialect));
        return 0;
    }
    if (o.version) {
        os::writeOut(std::string("talvo-grep ") + kVersion + " (" + name + ")\n");
        return 0;
    }
    std::string error;
    std::unique_ptr<Matcher> matcher = Matcher::create(o.match, error);
    if (!matcher) {
        os::writeErr(name + ": " + error + "\n");
        return 2;
    }
    bool failed = false;
    std::vector<FileEntry> files;
    bool showNames = false;
    auto walkError = [&](const std::string& path, const std::string& msg) {
        failed = true;
        if (!o.quiet)
            os::writeErr("talvo-grep: " + path + ": " + msg + "\n");
    };
    // A recursive search shows every name and narrows no result file, so it
    // needs no count of its files: they are searched as the walk finds them.
    unsigned cores = os::coreCount();
    bool walkAlong = o.recursive && !o.fileSpecs.empty() && o.maxTotal <= 0 && cores > 1;
    if (o.fileSpecs.empty()) {
        files.push_back({"", "(standard input)"});
    } else if (!walkAlong) {
        files = expandSpecs(o.fileSpecs, o.recursive, walkError);
        bool wild = false;
        for (const auto& s : o.fileSpecs)
            wild = wild || hasWildcard(s);
        // Full paths were asked for to be seen, also for a single file.
        showNames = !o.noFileName && (o.recursive || o.fileSpecs.size() > 1 || wild ||
                                      files.size() > 1 || o.fullPath);
    }
    // A result file of talvo-grep's own is narrowed by its lines' text, and
    // the output, when it goes to a file, carries the record that says so.
    const bool recordOutput = result::writesWholeFile(1);
    const auto ownResults = talvo::grep::ownResults(o, files);
    FileList list;
    Run run;
    if (walkAlong) {
        showNames = !o.noFileName;
        // Handed over in batches: a worker woken for every file costs more
        // than the file's search where files are small.
        constexpr size_t kWalkBatch = 64;
        std::vector<FileEntry> batch;
        run = searchAll(o, *matcher, list, cores, showNames, [&](std::mutex& printing) {
            expandSpecs(
                o.fileSpecs, o.recursive,
                [&](const std::string& path, const std::string& msg) {
                    std::lock_guard lock(printing);
                    walkError(path, msg);
                },
                [&](FileEntry e) {
                    batch.push_back(std::move(e));
                    if (batch.size() >= kWalkBatch)
                        list.add(batch);
                });
            list.add(batch);
            list.close();
        });
    } else {
        for (size_t i = 0; i < files.size(); ++i)
            list.add(std::move(files[i]), &ownResults[i]);
        list.close();
        // "The first N in the run" needs the run's order.
        unsigned threads = o.maxTotal > 0 ? 1u : std::min<unsigned>(cores, files.size());
        // A core left idle reads ahead.
        WindowReader::allowReadAhead(threads <= 1 && cores > 1);
        run = searchAll(o, *matcher, list, threads, showNames);
    }
    if (recordOutput) {
        os::flushOut();
        if (auto layout = runLayout(o, showNames, ownResults))
            result::markResult(1, *layout);
        else
            result::unmarkResult(1);
    }
    if (failed || run.failed)
        return 2;
    return run.matched ? 0 : 1;
}
