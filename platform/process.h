// Starting programs: a detached start in a normal window (editor, direct-launch
// command sets) and a hidden start of a child in its own process group that
// the caller watches for its exit and can end together with all it started.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace talvo::platform {

// Starts program with arguments, not waiting for it. False when it cannot start.
bool startDetached(const QString& program, const QStringList& arguments,
                   const QString& workingDirectory = {});

// Splits a command line into program and arguments by the command interpreter's
// rules (talvo-cmd/tokenizer.h): blanks and tabs separate, double quotes group
// and are removed, backslashes before a quote escape it in pairs.
QStringList splitCommandLine(const QString& commandLine);

class HiddenProcess : public QObject {
    Q_OBJECT
public:
    explicit HiddenProcess(QObject* parent = nullptr);
    ~HiddenProcess() override; // ends the process group if still running

    // Starts program in its own process group, with no standard input and its
    // output discarded; it is sent SIGTERM when the process that started it
    // dies. False when it could not be started.
    bool start(const QString& program, const QStringList& arguments,
               const QString& workingDirectory);
    bool isRunning() const;
    qint64 processId() const;

    // Terminates the whole process group, then kills it after a short grace.
    void terminateGroup();

signals:
    void finished(int exitCode);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace talvo::platform
