// The runner: one child interpreter at a time, its end told by the marker.
#include "run/runner.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/progdir.h"
#include "run/batch_file.h"

#include <QFileSystemWatcher>
#include <QTimer>

namespace talvo::run {

namespace {
constexpr const char* kInterpreterName = "talvo-cmd";
// Only used when the directory cannot be watched: still prompt, never busy.
constexpr int kFallbackPollMs = 10;
} // namespace

Runner::Runner(std::string programDirectory, QObject* parent)
    : QObject(parent), directory_(platform::withTrailingSlash(std::move(programDirectory))),
      watcher_(new QFileSystemWatcher(this)), fallbackPoll_(new QTimer(this)) {
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &Runner::checkMarker);
    fallbackPoll_->setInterval(kFallbackPollMs);
    connect(fallbackPoll_, &QTimer::timeout, this, &Runner::checkMarker);
}

Runner::~Runner() = default; // the process ends its group if it still runs

QString Runner::findInterpreter(const std::string& programDirectory) {
    // Only a file counts: a build tree, say, has a folder of that name.
    auto isProgramFile = [](const std::string& path) {
        return platform::fileExists(path) && !platform::isDirectory(path);
    };
    const std::string beside = platform::executableDirectory() + kInterpreterName;
    if (isProgramFile(beside))
        return QString::fromStdString(beside);
    if (auto inDir = platform::findCaseInsensitive(programDirectory, kInterpreterName);
        inDir && isProgramFile(*inDir))
        return QString::fromStdString(*inDir);
    if (auto onPath = platform::findOnPath(kInterpreterName))
        return QString::fromStdString(*onPath);
    return {};
}

QString Runner::interpreter() const {
    return interpreter_.isEmpty() ? findInterpreter(directory_) : interpreter_;
}

qint64 Runner::processId() const {
    return process_ ? process_->processId() : 0;
}

bool Runner::markerExists() const {
    return platform::findCaseInsensitive(directory_, kMarkerFileName).has_value();
}

void Runner::deleteMarker() const {
    // "XXX.BAT" and "xxx.bat" name one file here as on the original file
    // system; remove every spelling, stopping if one cannot be removed.
    while (auto path = platform::findCaseInsensitive(directory_, kMarkerFileName))
        if (!platform::deleteFile(*path))
            break;
}

bool Runner::start() {
    if (running_)
        return false;
    deleteMarker();
    const QString program = interpreter();
    if (program.isEmpty())
        return false;

    // The tail of an earlier run (after its marker) may still be exiting.
    if (process_ && process_->isRunning())
        process_->terminateGroup();
    process_ = std::make_unique<platform::HiddenProcess>();
    connect(process_.get(), &platform::HiddenProcess::finished, this, &Runner::interpreterExited);

    const QString dir = QString::fromStdString(directory_);
    if (!watcher_->addPath(dir))
        fallbackPoll_->start();
    const QString batch =
        QString::fromStdString(platform::systemFilePath(directory_, kBatchFileName));
    if (!process_->start(program, {batch}, dir)) {
        watcher_->removePaths(watcher_->directories());
        fallbackPoll_->stop();
        process_.reset();
        return false;
    }
    running_ = true;
    // A very short batch may have made the marker before the watch saw it.
    QTimer::singleShot(0, this, &Runner::checkMarker);
    return true;
}

void Runner::checkMarker() {
    if (running_ && markerExists())
        finish(End::Finished);
}

void Runner::interpreterExited() {
    if (!running_)
        return;
    finish(markerExists() ? End::Finished : End::ExitedWithoutMarker);
}

void Runner::cancel() {
    if (!running_)
        return;
    if (process_)
        process_->terminateGroup();
    deleteMarker();
    finish(End::Canceled);
}

void Runner::finish(End end) {
    running_ = false;
    if (!watcher_->directories().isEmpty())
        watcher_->removePaths(watcher_->directories());
    fallbackPoll_->stop();
    // An interpreter that died early may leave a grep behind in its group.
    if (end == End::ExitedWithoutMarker && process_)
        process_->terminateGroup();
    emit ended(end);
}

} // namespace talvo::run
