// One search session of the main window: the "&Grep" operation (history,
// command line, batch file, the run with its busy window, the outcome), Auto,
// the Editor operation, the Narrowing box's clean-up and the command-set runs.
// It holds the run's state (command line, run status, current result, step
// number) and reaches the window only through SearchWindow.
#pragma once

#include "run/runner.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;

namespace talvo::platform {
class UserInterface;
}

namespace talvo::run {

class BusyWindow;

// What the session needs of the main window.
struct SearchWindow {
    QWidget* window = nullptr;       // caption, placing the busy window
    QComboBox* pattern = nullptr;    // Combo1
    QComboBox* files = nullptr;      // Combo2
    QCheckBox* narrowing = nullptr;  // Narrowing; the session handles its changes
    QLabel* status = nullptr;        // Label1
    QCheckBox* tinySwitch = nullptr; // CheckA2, ticked in tiny mode
    std::function<QString()> optionString;
    std::function<QString()> baseName;    // "CGREP", "JGSLIM", ...
    std::function<QString()> editorValue; // the configured editor (Editor operation)
    std::function<QString()> editorPath;  // "$EDITOR" and the direct-launch check
    std::function<int()> programNumber;   // 1 ... 6
    std::string programDirectory;         // ends in "/"
    platform::UserInterface* ui = nullptr;
    // The command-line editor: the edited text, or nullopt when cancelled.
    std::function<std::optional<QString>(const QString&)> editCommandLine;
};

class SearchSession : public QObject {
    Q_OBJECT
public:
    explicit SearchSession(SearchWindow window, QObject* parent = nullptr);
    ~SearchSession() override;

    // "&Grep". Returns when the run is over. Ignored while a run is going.
    void grep();
    // "&Auto": "&Grep", then the editor on a result that holds lines.
    void autoRun();
    // "&Editor": the editor on the current result (alone when it is empty).
    void editor();
    // Runs command set menuIndex + 1 from talvolst.ini.
    void runCommandSet(int menuIndex);
    // Ctrl+Enter: the next "&Grep" offers its command line for editing first.
    void requestEditBeforeRun() { editBeforeRun_ = true; }

    // The interpreter to run the batch file with (tests); empty finds talvo-cmd.
    void setInterpreter(const QString& path) { runner_.setInterpreter(path); }

    bool runStatus() const { return runStatus_; }
    bool isRunning() const { return inGrep_; }
    const QString& commandLine() const { return commandLine_; }
    const std::string& currentResultName() const { return currentResult_; }
    int narrowingStep() const { return step_; }
    Runner& runner() { return runner_; }
    // The busy window while it is shown, else null.
    BusyWindow* busyWindow() const { return busy_; }

signals:
    // The busy window is shown and the batch file runs.
    void waiting();

private:
    void narrowingChanged();
    void endNarrowing();
    void narrowingLimitReached();
    void runAndWait();
    void showOutcome(std::int64_t seconds);
    void updateHistory(QComboBox* box);
    void setStatus(const QString& text);
    void showStop(const char* text);
    std::string resultPath() const;
    bool resultIsEmpty() const;

    SearchWindow w_;
    Runner runner_;
    BusyWindow* busy_ = nullptr;
    QString commandLine_;
    std::string currentResult_;
    int step_ = 0;
    bool runStatus_ = false;
    bool editBeforeRun_ = false;
    bool autoRun_ = false;
    bool commandSetRun_ = false;
    bool inGrep_ = false;
    bool lastRunCanceled_ = false;
};

} // namespace talvo::run
