// Runs the program directory's "WWW.BAT" through the batch interpreter,
// hidden, and tells when it has ended: when the batch file's last line has
// made the marker "XXX.BAT", when the interpreter exited without making it, or
// when the run was cancelled. Waiting is event-driven (a watch on the program
// directory plus the child's exit); nothing polls while a search runs.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QFileSystemWatcher;
class QTimer;

namespace talvo::platform {
class HiddenProcess;
}

namespace talvo::run {

class Runner : public QObject {
    Q_OBJECT
public:
    enum class End { Finished, ExitedWithoutMarker, Canceled };
    Q_ENUM(End)

    explicit Runner(std::string programDirectory, QObject* parent = nullptr);
    ~Runner() override;

    // The interpreter to start; empty means findInterpreter().
    void setInterpreter(const QString& path) { interpreter_ = path; }
    QString interpreter() const;
    // talvo-cmd beside the running executable, else in the program directory,
    // else on PATH; empty when there is none.
    static QString findInterpreter(const std::string& programDirectory);

    // Removes a stale marker and starts the interpreter on "WWW.BAT" with the
    // program directory as its working directory. False when it could not be
    // started; no ended() follows then.
    bool start();
    // Ends the interpreter with everything it started, removes the marker and
    // emits ended(Canceled).
    void cancel();

    bool isRunning() const { return running_; }
    qint64 processId() const;

    bool markerExists() const;
    void deleteMarker() const;

signals:
    void ended(talvo::run::Runner::End end);

private:
    void checkMarker();
    void interpreterExited();
    void finish(End end);

    std::string directory_;
    QString interpreter_;
    QFileSystemWatcher* watcher_;
    QTimer* fallbackPoll_;
    std::unique_ptr<platform::HiddenProcess> process_;
    bool running_ = false;
};

} // namespace talvo::run
