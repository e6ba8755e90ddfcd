// talvo-grep: the bundled grep program. It takes its dialect from the name it
// was started under (cgrep.exe, dgrep.exe, izgrep.exe, jgrep.exe, jgslim.exe,
// wgrep.com, ygrep.exe) or from --dialect NAME, searches the files with as
// many threads as there are cores and prints the results in file order.
// Only this file decides the exit status: 0 matched, 1 nothing, 2 an error.
#include "talvo-grep/matcher.h"
#include "talvo-grep/narrow.h"
#include "talvo-grep/options.h"
#include "talvo-grep/os.h"
#include "talvo-grep/searcher.h"
#include "talvo-grep/walk.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace talvo::grep;

namespace {

constexpr const char* kVersion = "1.0.0";

struct Run {
    bool matched = false;
    bool failed = false;
};

// Searches the files in parallel; results are printed strictly in file order.
Run searchAll(const Options& o, const Matcher& m, const std::vector<FileEntry>& files,
              bool showNames, const std::vector<std::optional<result::Layout>>& ownResults) {
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
    bool stopEarly = o.silent; // the status is known at the first match
    unsigned threads = std::min<unsigned>(os::coreCount(), static_cast<unsigned>(files.size()));
    if (o.maxTotal > 0)
        threads = 1; // "the first N in the run" needs the run's order
    if (threads <= 1) {
        ScanContext ctx;
        for (const auto& f : files) {
            FileResult r;
            r.flush = [&](FileResult& part) {
                write(part);
                part.streamed = true;
            };
            const size_t i = static_cast<size_t>(&f - files.data());
            if (ownResults[i])
                searchResult(o, m, f, *ownResults[i], ctx, r, totalLeft);
            else
                searcher.search(f, ctx, r, totalLeft);
            deliver(r);
            if ((stopEarly && run.matched) || (o.maxTotal > 0 && totalLeft.load() <= 0))
                break;
        }
        return run;
    }
    // Each finished file is printed by whichever thread finds it next in line,
    // so nobody waits on a condition and the output keeps the file order. A
    // file with much output waits for its turn and writes it as it goes.
    std::vector<FileResult> results(files.size());
    std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[files.size()]);
    for (size_t i = 0; i < files.size(); ++i)
        done[i].store(false, std::memory_order_relaxed);
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
            while (p < files.size() && done[p].load(std::memory_order_acquire)) {
                deliver(results[p]);
                results[p] = FileResult{};
                printed.store(++p);
                if (stopEarly && run.matched)
                    cancel.store(true);
            }
            lock.unlock();
            if (p != from)
                turn.notify_all();
            // A file finished while the lock was held may have found it taken.
            if (wait || p >= files.size() || !done[p].load(std::memory_order_acquire))
                return;
        }
    };
    for (size_t i = 0; i < files.size(); ++i) {
        results[i].flush = [&, i](FileResult& r) {
            std::unique_lock lock(printMutex);
            turn.wait(lock, [&] { return printed.load() >= i; });
            write(r);
            r.streamed = true;
        };
    }
    auto work = [&] {
        ScanContext ctx;
        for (;;) {
            size_t i = next.fetch_add(1);
            if (i >= files.size())
                break;
            if (!cancel.load()) {
                if (ownResults[i])
                    searchResult(o, m, files[i], *ownResults[i], ctx, results[i], totalLeft);
                else
                    searcher.search(files[i], ctx, results[i], totalLeft);
            }
            done[i].store(true, std::memory_order_release);
            drain(false);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work);
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
    if (o.fileSpecs.empty()) {
        files.push_back({"", "(standard input)"});
    } else {
        files = expandSpecs(o.fileSpecs, o.recursive,
                            [&](const std::string& path, const std::string& msg) {
                                failed = true;
                                if (!o.quiet)
                                    os::writeErr("talvo-grep: " + path + ": " + msg + "\n");
                            });
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
    Run run = searchAll(o, *matcher, files, showNames, ownResults);
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
