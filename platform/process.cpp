// Program starts. The hidden child becomes the leader of its own process group
// before it runs its program, so everything it starts (the grep programs of a
// batch file) can be ended together with one signal to the group, and it is
// told to end when the front end dies. The exit is
// reported through QProcess's own child watching: no polling.
#include "platform/process.h"

#include "talvo-cmd/tokenizer.h"

#include <QProcess>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

namespace talvo::platform {

namespace {
constexpr int kKillGraceMs = 300;
} // namespace

bool startDetached(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory) {
    if (program.isEmpty())
        return false;
    return QProcess::startDetached(program, arguments, workingDirectory);
}

QStringList splitCommandLine(const QString& commandLine) {
    // The interpreter's own rules, so a template means the same started
    // directly as run from the batch file.
    QStringList parts;
    for (const std::string& word : cmd::splitWords(commandLine.toStdString()))
        parts << QString::fromStdString(word);
    return parts;
}

struct HiddenProcess::Impl {
    QProcess process;
    QTimer killTimer;
    pid_t group = 0; // the child's process group, kept after the child itself has ended

    void signalGroup(int signal) const {
        if (group > 0)
            ::kill(-group, signal);
    }
};

HiddenProcess::HiddenProcess(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {
    impl_->killTimer.setSingleShot(true);
    impl_->killTimer.setInterval(kKillGraceMs);
    connect(&impl_->killTimer, &QTimer::timeout, this, [this] { impl_->signalGroup(SIGKILL); });
    connect(&impl_->process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                emit finished(status == QProcess::NormalExit ? exitCode : -1);
            });
}

HiddenProcess::~HiddenProcess() {
    impl_->killTimer.stop();
    // Whatever of the group is still there (the child or what it started) goes now.
    impl_->signalGroup(SIGKILL);
    if (impl_->process.state() != QProcess::NotRunning) {
        impl_->process.disconnect();
        impl_->process.waitForFinished(5000);
    }
}

bool HiddenProcess::start(const QString& program, const QStringList& arguments,
                          const QString& workingDirectory) {
    if (isRunning() || program.isEmpty())
        return false;
    impl_->killTimer.stop();
    impl_->group = 0;
    QProcess& p = impl_->process;
    p.setProgram(program);
    p.setArguments(arguments);
    p.setWorkingDirectory(workingDirectory);
    p.setStandardInputFile(QProcess::nullDevice());
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    // The child ends when the front end does, also when that is killed
    // outright: SIGTERM lets the interpreter end the group it leads. A parent
    // that died before the request was made is seen as a changed parent.
    pid_t parent = ::getpid();
    p.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(128 + SIGTERM);
    });
    p.start();
    // Returns once the program runs (or could not be started); by then the
    // child has made its own group.
    if (!p.waitForStarted(10000)) {
        p.kill();
        p.waitForFinished(1000);
        return false;
    }
    impl_->group = static_cast<pid_t>(p.processId());
    return true;
}

bool HiddenProcess::isRunning() const {
    return impl_->process.state() != QProcess::NotRunning;
}

qint64 HiddenProcess::processId() const {
    return isRunning() ? impl_->process.processId() : impl_->group;
}

void HiddenProcess::terminateGroup() {
    if (impl_->group <= 0)
        return;
    impl_->signalGroup(SIGTERM);
    impl_->killTimer.start();
}

} // namespace talvo::platform
