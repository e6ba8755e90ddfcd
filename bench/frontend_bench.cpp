// The front end's own cost of one search. The real main window with its search
// wiring runs on a throw-away program directory holding the built talvo-cmd
// and talvo-grep; each search is a press of "&Grep" and lasts until the status
// line shows the outcome, painted. Interleaved with the presses, in the same run, the
// same command line is started directly (talvo-grep under the same program
// name and arguments, output into the same result file) and the interpreter
// is started directly on the same batch file. Processor time is taken for
// this process (user + system, around each press and while each press waits)
// and for its children.
//
//   talvo_frontend_bench [--runs N] [--long-runs N] [--long-ms MS]
//                        [--files N] [--corpus SPEC --pattern P] [--raw]
//
// --corpus SPEC searches SPEC (a file-box text) for P in the small case
// instead of the generated files; the other two cases keep their files.
// --raw prints every run after the tables.
#include "app/main_window.h"
#include "app/search_wiring.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/recording_ui.h"
#include "run/runner.h"
#include "run/search_session.h"
#include "tests/support/program_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double cpuMillis(const rusage& r) {
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(r.ru_utime) + ms(r.ru_stime);
}

double cpuMillis(int who) {
    rusage r{};
    getrusage(who, &r);
    return cpuMillis(r);
}

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "frontend-bench: %s\n", message.c_str());
    std::exit(1);
}

// Deterministic text: lines of nine words, one line in every needleEvery
// carrying "needle" at its end.
class TextMaker {
public:
    std::string lines(std::size_t count, std::size_t needleEvery) {
        static constexpr std::string_view kWords[] = {
            "alpha",  "river",  "stone",  "window", "grep",    "batch",   "signal",
            "paper",  "orange", "marble", "quiet",  "thunder", "lantern", "copper",
            "meadow", "harbor", "violet", "engine", "silver",  "garden"};
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            for (int w = 0; w < 9; ++w) {
                if (w)
                    text += ' ';
                text += kWords[next() % std::size(kWords)];
            }
            if (needleEvery && next() % needleEvery == 0)
                text += " needle";
            text += '\n';
        }
        return text;
    }

private:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }
    std::uint64_t state_ = 42;
};

void writeFile(const std::string& path, const std::string& bytes, int copies = 1) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < copies; ++i)
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            fail("cannot write " + path);
    }
    // On the disk before anything is timed: write-back while a search runs
    // slows it by an amount that differs from run to run.
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0 || fsync(fd) != 0)
        fail("cannot sync " + path);
    close(fd);
}

// The offscreen platform's notes (it cannot raise windows, there is no
// runtime directory) say nothing here.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg &&
        (text.contains("This plugin does not support") || text.contains("XDG_RUNTIME_DIR")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// One child started directly: wall time and its own processor time.
struct ChildRun {
    double wallMs = 0;
    double cpuMs = 0;
};

// Starts path with argv in cwd, standard input and error on /dev/null and
// standard output into outFile (/dev/null when empty), and waits for it.
// posix_spawn: fork and exec without copying this process's memory.
ChildRun runChild(const std::string& cwd, const std::string& path,
                  const std::vector<std::string>& argv, const std::string& outFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const std::string out = outFile.empty() ? "/dev/null" : outFile;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const auto start = Clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error)
        fail("cannot start " + path);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        fail("lost the child " + path);
    ChildRun run;
    run.wallMs = millis(Clock::now() - start);
    run.cpuMs = cpuMillis(usage);
    return run;
}

// One press of "&Grep": the wall time to the status line and its parts, and
// this process's processor time over the press and while it waited.
struct PressRun {
    double wallMs = 0;
    double toStartMs = 0; // press to the busy window's loop, the batch started
    double runMs = 0;     // from there to the run's end seen
    double toStatusMs = 0;
    double selfCpuMs = 0;
    double waitCpuMs = 0;
};

struct Stats {
    std::vector<double> values;
    void add(double v) { values.push_back(v); }
    double mean() const {
        double sum = 0;
        for (double v : values)
            sum += v;
        return values.empty() ? 0 : sum / static_cast<double>(values.size());
    }
    double median() const {
        if (values.empty())
            return 0;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
};

struct CaseResult {
    std::string name;
    int runs = 0;
    Stats frontEnd, direct, interpreter, overhead, toStart, run, toStatus, selfCpu, waitCpu;
    double frontEndChildCpuMs = 0, directChildCpuMs = 0, interpreterChildCpuMs = 0;
};

struct Case {
    std::string name;
    QString pattern;
    QString files;
    bool expectMatches = true;
    int runs = 0;
};

class Bench {
public:
    Bench()
        : dir_(talvo::test::ProgramDir::Contents::BundledPrograms), window_(dir_.path(), ui_),
          wiring_(window_) {
        window_.load();
        window_.show();
        if (!QTest::qWaitForWindowExposed(&window_))
            fail("the main window was not shown");
    }

    const talvo::test::ProgramDir& dir() const { return dir_; }

    // Runs the case: warm-up presses, then runs rounds of a press, the direct
    // grep and the direct interpreter, their order turning each round.
    CaseResult measure(const Case& c) {
        window_.patternBox()->setEditText(c.pattern);
        window_.fileBox()->setEditText(c.files);
        for (int i = 0; i < 2; ++i)
            press(c);
        const Direct direct = directCommand();
        // Both write the same result file; the direct start must reproduce it.
        const std::string viaFrontEnd = dir_.read(direct.output.substr(dir_.path().size()));
        runDirect(direct);
        if (dir_.read(direct.output.substr(dir_.path().size())) != viaFrontEnd)
            fail(c.name + ": the direct start wrote another result than the front end");
        std::printf("%s: %s\n", c.name.c_str(), qPrintable(wiring_.session().commandLine()));
        for (int i = 0; i < 2; ++i) {
            runDirect(direct);
            runInterpreter();
        }

        CaseResult r;
        r.name = c.name;
        r.runs = c.runs;
        settle();
        const double childrenBefore = cpuMillis(RUSAGE_CHILDREN);
        for (int i = 0; i < c.runs; ++i) {
            for (int k = 0; k < 3; ++k) {
                switch ((i + k) % 3) {
                case 0: {
                    settle();
                    PressRun p = press(c);
                    r.frontEnd.add(p.wallMs);
                    r.toStart.add(p.toStartMs);
                    r.run.add(p.runMs);
                    r.toStatus.add(p.toStatusMs);
                    r.selfCpu.add(p.selfCpuMs);
                    r.waitCpu.add(p.waitCpuMs);
                    break;
                }
                case 1: {
                    ChildRun d = runDirect(direct);
                    r.direct.add(d.wallMs);
                    r.directChildCpuMs += d.cpuMs;
                    break;
                }
                default: {
                    ChildRun d = runInterpreter();
                    r.interpreter.add(d.wallMs);
                    r.interpreterChildCpuMs += d.cpuMs;
                    break;
                }
                }
            }
        }
        settle();
        const double children = cpuMillis(RUSAGE_CHILDREN) - childrenBefore;
        r.frontEndChildCpuMs = children - r.directChildCpuMs - r.interpreterChildCpuMs;
        for (std::size_t i = 0; i < r.frontEnd.values.size(); ++i)
            r.overhead.add(r.frontEnd.values[i] - r.direct.values[i]);
        return r;
    }

    // Wall time of the direct command line on the current pattern and files.
    double directMs(const QString& pattern, const QString& files) {
        Case probe{"probe", pattern, files, true, 0};
        window_.patternBox()->setEditText(pattern);
        window_.fileBox()->setEditText(files);
        press(probe, false);
        const Direct direct = directCommand();
        double best = 1e30;
        for (int i = 0; i < 3; ++i)
            best = std::min(best, runDirect(direct).wallMs);
        return best;
    }

private:
    struct Direct {
        std::string path;
        std::vector<std::string> argv;
        std::string output;
    };

    // The session's command line split as the interpreter splits it: the
    // program found in the program directory, the redirection taken off.
    Direct directCommand() {
        const QString line = wiring_.session().commandLine();
        const qsizetype redirect = line.lastIndexOf(" > ");
        if (redirect < 0)
            fail("no redirection in " + line.toStdString());
        Direct d;
        const QStringList words = talvo::platform::splitCommandLine(line.left(redirect));
        for (const QString& w : words)
            d.argv.push_back(w.toStdString());
        if (d.argv.empty())
            fail("empty command line");
        auto program = talvo::platform::findCaseInsensitive(dir_.path(), d.argv.front());
        if (!program)
            fail("no program " + d.argv.front());
        d.path = *program;
        d.output = dir_.file(line.mid(redirect + 3).trimmed().toStdString());
        return d;
    }

    ChildRun runDirect(const Direct& d) const {
        return runChild(dir_.path(), d.path, d.argv, d.output);
    }

    ChildRun runInterpreter() {
        const std::string cmd = wiring_.session().runner().interpreter().toStdString();
        ChildRun run = runChild(dir_.path(), cmd, {cmd, dir_.file("WWW.BAT")}, "");
        if (!dir_.exists("XXX.BAT"))
            fail("the interpreter made no marker");
        dir_.remove("XXX.BAT");
        return run;
    }

    // What a user's pause between searches gives the window: the events left
    // over (the previous interpreter's exit, repaints) handled.
    static void settle() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    PressRun press(const Case& c, bool check = true) {
        QPushButton* grep = window_.commandButton(1);
        if (!grep->isEnabled())
            fail("\"&Grep\" is disabled");
        auto& session = wiring_.session();
        std::optional<Clock::time_point> started, ended;
        double cpuAtStart = 0, cpuAtEnd = 0;
        auto onWaiting = QObject::connect(&session, &talvo::run::SearchSession::waiting, [&] {
            started = Clock::now();
            cpuAtStart = cpuMillis(RUSAGE_SELF);
        });
        auto onEnded = QObject::connect(&session.runner(), &talvo::run::Runner::ended, [&] {
            ended = Clock::now();
            cpuAtEnd = cpuMillis(RUSAGE_SELF);
        });
        ui_.clear();
        const double cpuBefore = cpuMillis(RUSAGE_SELF);
        const auto before = Clock::now();
        // The click returns once the session has set the outcome; the events it
        // left behind paint the status line and close the busy window's frame.
        QTest::mouseClick(grep, Qt::LeftButton);
        QCoreApplication::processEvents();
        const auto after = Clock::now();
        const double cpuAfter = cpuMillis(RUSAGE_SELF);
        QObject::disconnect(onWaiting);
        QObject::disconnect(onEnded);

        const QString status = window_.statusLabel()->text();
        if (!ui_.calls.empty())
            fail("the search showed a message: " + status.toStdString());
        if (!ended)
            fail("the press ran no search: " + status.toStdString());
        if (!started) // ended before the busy window's loop ran
            started = ended;
        const bool matched = status.startsWith("TIME ");
        const bool nothing = status.startsWith("No Lines Matched. TIME ");
        if (check && (c.expectMatches ? !matched : !nothing))
            fail(c.name + ": unexpected status \"" + status.toStdString() + "\"");

        PressRun p;
        p.wallMs = millis(after - before);
        p.toStartMs = millis(*started - before);
        p.runMs = millis(*ended - *started);
        p.toStatusMs = millis(after - *ended);
        p.selfCpuMs = cpuAfter - cpuBefore;
        p.waitCpuMs = cpuAtEnd - cpuAtStart;
        return p;
    }

    talvo::test::ProgramDir dir_;
    talvo::platform::RecordingUserInterface ui_;
    talvo::app::MainWindow window_;
    talvo::app::SearchWiring wiring_;
};

int intArgument(const char* text, const char* name) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 1 || value > 100000)
        fail(std::string("bad value for ") + name + ": " + text);
    return static_cast<int>(value);
}

void printTables(const std::vector<CaseResult>& results) {
    std::printf("%-9s %4s %9s %9s %9s %6s %9s | %9s %9s %9s\n", "case", "runs", "front ms",
                "direct ms", "overhead", "ratio", "fe CPU ms", "med over", "cmd ms", "over cmd");
    for (const auto& r : results)
        std::printf("%-9s %4d %9.2f %9.2f %9.2f %6.3f %9.3f | %9.2f %9.2f %9.2f\n", r.name.c_str(),
                    r.runs, r.frontEnd.mean(), r.direct.mean(), r.overhead.mean(),
                    r.frontEnd.mean() / r.direct.mean(), r.selfCpu.mean(), r.overhead.median(),
                    r.interpreter.mean(), r.frontEnd.mean() - r.interpreter.mean());
    std::printf("\nwhere a press goes, ms/search: to start = press to the busy window's loop "
                "(the batch runs from before it), run = to the end seen, to status = from there\n"
                "processor ms/search: wait = this process while the press waited; children "
                "of the front end, of talvo-cmd direct, of the grep direct\n");
    std::printf("%-9s %9s %9s %9s | %9s %9s %9s %9s\n", "case", "to start", "run", "to status",
                "wait CPU", "fe child", "cmd child", "grep chld");
    for (const auto& r : results) {
        const double n = r.runs;
        std::printf("%-9s %9.2f %9.2f %9.2f | %9.3f %9.2f %9.2f %9.2f\n", r.name.c_str(),
                    r.toStart.mean(), r.run.mean(), r.toStatus.mean(), r.waitCpu.mean(),
                    r.frontEndChildCpuMs / n, r.interpreterChildCpuMs / n, r.directChildCpuMs / n);
    }
}

// Every run of every case, in the order taken.
void printRuns(const std::vector<CaseResult>& results) {
    for (const auto& r : results) {
        std::printf("\n%s: front direct cmd to-start run to-status (ms)\n", r.name.c_str());
        for (std::size_t i = 0; i < r.frontEnd.values.size(); ++i)
            std::printf("%9.2f %9.2f %9.2f %7.2f %9.2f %7.2f\n", r.frontEnd.values[i],
                        r.direct.values[i], r.interpreter.values[i], r.toStart.values[i],
                        r.run.values[i], r.toStatus.values[i]);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(quietPlatformNotes);
    QApplication app(argc, argv);

    int runs = 50, longRuns = 30, files = 300;
    int longMs = 1000;
    QString corpus, corpusPattern = "needle";
    bool raw = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--raw") {
            raw = true;
            continue;
        }
        if (i + 1 >= argc)
            fail("missing value after " + a);
        const char* v = argv[++i];
        if (a == "--runs")
            runs = intArgument(v, "--runs");
        else if (a == "--long-runs")
            longRuns = intArgument(v, "--long-runs");
        else if (a == "--files")
            files = intArgument(v, "--files");
        else if (a == "--long-ms")
            longMs = intArgument(v, "--long-ms");
        else if (a == "--corpus")
            corpus = QString::fromLocal8Bit(v);
        else if (a == "--pattern")
            corpusPattern = QString::fromLocal8Bit(v);
        else
            fail("unknown argument " + a);
    }

    Bench bench;
    const std::string root = bench.dir().file("corpus");
    if (mkdir(root.c_str(), 0755) != 0)
        fail("cannot make " + root);
    TextMaker text;
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/f%04d.txt", i);
        writeFile(root + name, text.lines(100, 40));
    }
    const QString small = QString::fromStdString(root + "/*.txt");

    // The long case: one large file, its size scaled until the direct search
    // takes about longMs. The pattern is a regular expression, so the
    // file stays a few hundred megabytes.
    const std::string bigDir = bench.dir().file("big");
    if (mkdir(bigDir.c_str(), 0755) != 0)
        fail("cannot make " + bigDir);
    const std::string big = bigDir + "/big.txt";
    const QString longPattern = "\\bn\\w+e\\b";
    const std::string chunk = text.lines(1u << 20, 5000); // about 64 MB
    writeFile(big, chunk);
    const QString bigSpec = QString::fromStdString(big);
    double searchMs = bench.directMs(longPattern, bigSpec);
    int copies = 1;
    // Twice: a first guess from one copy, then from the file of that size.
    for (int round = 0; round < 2; ++round) {
        copies = std::clamp(static_cast<int>(std::lround(copies * longMs / searchMs)), 1, 64);
        writeFile(big, chunk, copies);
        searchMs = bench.directMs(longPattern, bigSpec);
    }
    std::printf("long case: %d x %.0f MB, a direct search in %.0f ms\n", copies,
                static_cast<double>(chunk.size()) / 1e6, searchMs);

    std::vector<Case> cases = {
        {"small", corpus.isEmpty() ? QString("needle") : corpusPattern,
         corpus.isEmpty() ? small : corpus, true, runs},
        {"no match", "zyzzyva", small, false, runs},
        {"long", longPattern, bigSpec, true, longRuns},
    };
    std::vector<CaseResult> results;
    for (const Case& c : cases)
        results.push_back(bench.measure(c));
    std::printf("front = press of \"&Grep\" to the status line; direct = the same command "
                "line started directly; overhead = front - direct, paired; ratio = front / "
                "direct;\nfe CPU = this process's own processor time per press; cmd = talvo-cmd "
                "started directly on the same batch file; over cmd = front - cmd\n");
    printTables(results);
    if (raw)
        printRuns(results);
    return 0;
}
