// The search session: the window-facing side of one search run.
#include "run/search_session.h"

#include "platform/files.h"
#include "platform/process.h"
#include "platform/profile.h"
#include "platform/progdir.h"
#include "platform/ui.h"
#include "run/batch_file.h"
#include "run/busy_window.h"
#include "run/command_line.h"
#include "run/command_set.h"
#include "run/history.h"
#include "run/messages.h"
#include "run/outcome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <chrono>

namespace talvo::run {

namespace {

std::string utf8(const QString& text) {
    return text.toStdString();
}
QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

std::string trimmed(const std::function<QString()>& value) {
    return value ? trimBlanks(utf8(value())) : std::string();
}

bool namesExistingFile(const std::string& path) {
    return !path.empty() && platform::fileExists(path) && !platform::isDirectory(path);
}

} // namespace

SearchSession::SearchSession(SearchWindow window, QObject* parent)
    : QObject(parent), w_(std::move(window)), runner_(w_.programDirectory),
      currentResult_(kNormalResultName) {
    w_.programDirectory = platform::withTrailingSlash(w_.programDirectory);
    // Every change of the box, the program's own included, comes through here.
    connect(w_.narrowing, &QCheckBox::toggled, this, &SearchSession::narrowingChanged);
}

SearchSession::~SearchSession() = default;

void SearchSession::setStatus(const QString& text) {
    w_.status->setText(text);
}

void SearchSession::showStop(const char* text) {
    w_.ui->showStop(w_.window, QString::fromUtf8(text));
}

std::string SearchSession::resultPath() const {
    return platform::systemFilePath(w_.programDirectory, currentResult_);
}

bool SearchSession::resultIsEmpty() const {
    auto length = platform::fileLength(resultPath());
    return length && *length == 0;
}

void SearchSession::updateHistory(QComboBox* box) {
    const QString text = box->currentText();
    std::vector<std::string> entries;
    for (int i = 0; i < box->count(); ++i)
        entries.push_back(utf8(box->itemText(i)));
    auto updated = insertIntoHistory(entries, utf8(text));
    if (updated == entries)
        return;
    box->clear();
    for (const auto& entry : updated)
        box->addItem(qt(entry));
    box->setEditText(text);
}

void SearchSession::grep() {
    if (inGrep_)
        return;
    inGrep_ = true;
    lastRunCanceled_ = false;
    struct EndOfOperation {
        SearchSession* s;
        ~EndOfOperation() {
            s->autoRun_ = false;
            s->editBeforeRun_ = false;
            s->inGrep_ = false;
        }
    } endOfOperation{this};

    updateHistory(w_.pattern);
    updateHistory(w_.files);

    std::string targets;
    if (!commandSetRun_) {
        FixedLineInputs in;
        in.programNumber = w_.programNumber();
        in.baseName = utf8(w_.baseName());
        in.optionString = utf8(w_.optionString());
        in.pattern = utf8(w_.pattern->currentText());
        in.fileBoxText = trimBlanks(utf8(w_.files->currentText()));
        in.narrowing = w_.narrowing->isChecked();
        in.currentResultName = currentResult_;
        auto line = buildFixedCommandLine(in);
        if (!line) {
            narrowingLimitReached();
            return;
        }
        const std::string previousResult = currentResult_;
        const int previousStep = step_;
        currentResult_ = line->target.resultName;
        step_ = line->target.step;
        commandLine_ = qt(line->commandLine);
        targets = line->target.targetFiles;

        if (editBeforeRun_ && w_.editCommandLine) {
            editBeforeRun_ = false;
            auto edited = w_.editCommandLine(commandLine_);
            if (!edited) {
                // Back to the state before the press: the step that was about
                // to be written never is, and the previous result stays current.
                runStatus_ = false;
                currentResult_ = previousResult;
                step_ = previousStep;
                return;
            }
            commandLine_ = qt(trimBlanks(utf8(*edited)));
            runStatus_ = true;
        }
    }

    const std::string& dir = w_.programDirectory;
    const bool written =
        platform::writeWholeFile(platform::systemFilePath(dir, kBatchFileName),
                                 encodeBatchFile(batchFileText(dir, utf8(commandLine_))));

    const bool autoCaption = w_.tinySwitch && w_.tinySwitch->isChecked() && autoRun_;
    w_.window->setWindowTitle(w_.baseName() + (autoCaption ? "* - " : " - ") + qt(targets));
    setStatus(commandLine_);

    if (!written) {
        // An old WWW.BAT must never run in place of this search.
        showStop(kMessageCannotRun);
        runStatus_ = false;
        return;
    }
    runAndWait();
    runner_.deleteMarker();
}

void SearchSession::runAndWait() {
    runner_.deleteMarker();
    runStatus_ = true;
    platform::setCurrentDirectory(w_.programDirectory);
    const auto start = std::chrono::steady_clock::now();

    BusyWindow busy(&runner_, w_.window);
    busy.placeOver(w_.window);
    std::optional<Runner::End> end;
    auto connection = connect(&runner_, &Runner::ended, this, [&end](Runner::End e) { end = e; });

    if (!runner_.start()) {
        disconnect(connection);
        showStop(kMessageCannotRun);
        runner_.deleteMarker();
        // Nothing ran: the previous result must not pass for this one's.
        runStatus_ = false;
        return;
    }
    busy_ = &busy;
    QTimer::singleShot(0, this, [this] {
        if (busy_)
            emit waiting();
    });
    if (!end)
        busy.exec();
    busy_ = nullptr;
    disconnect(connection);

    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    w_.window->raise();
    w_.window->activateWindow();

    if (end == Runner::End::Canceled) {
        runStatus_ = false;
        lastRunCanceled_ = true;
        setStatus(QString::fromUtf8(kStatusCanceled));
        return;
    }
    showOutcome(seconds);
}

void SearchSession::showOutcome(std::int64_t seconds) {
    if (resultIsEmpty()) {
        runStatus_ = false;
        if (w_.narrowing->isChecked())
            w_.narrowing->setChecked(false); // the clean-up runs from the change
        else if (step_ > 0)
            endNarrowing();
        step_ = 0;
        currentResult_ = kNormalResultName;
        w_.narrowing->setEnabled(false);
        setStatus(qt(nothingMatchedStatus(seconds)));
        if (w_.tinySwitch && w_.tinySwitch->isChecked())
            w_.window->setWindowTitle(QString::fromUtf8(kStatusNoLinesMatched));
    } else if (runStatus_) {
        w_.narrowing->setEnabled(true);
        setStatus(qt(matchedStatus(seconds)));
    }
}

void SearchSession::narrowingChanged() {
    if (step_ > 0) {
        endNarrowing();
        return;
    }
    // Only a tick asks for a usable result; the untick below comes back here.
    if (w_.narrowing->isChecked() && currentResult_ == kNormalResultName) {
        auto length = platform::fileLength(resultPath());
        if (!length || *length == 0) {
            w_.narrowing->setChecked(false);
            showStop(kMessageSearchFirst);
        }
    }
}

void SearchSession::endNarrowing() {
    for (int i = 1; i <= step_; ++i)
        if (auto path = platform::findCaseInsensitive(w_.programDirectory, resultFileName(i)))
            platform::deleteFile(*path);
    step_ = 0;
    currentResult_ = kNormalResultName;
    w_.narrowing->setEnabled(false);
}

void SearchSession::narrowingLimitReached() {
    showStop(kMessageNarrowingLimit);
    if (w_.narrowing->isChecked())
        w_.narrowing->setChecked(false);
    else
        endNarrowing();
    step_ = 0;
    currentResult_ = kNormalResultName;
    runStatus_ = false;
}

void SearchSession::autoRun() {
    if (inGrep_)
        return;
    autoRun_ = true;
    grep();
    if (!runStatus_)
        return;
    if (resultIsEmpty()) {
        setStatus(QString::fromUtf8(kStatusNoLinesMatched));
        return;
    }
    editor();
}

void SearchSession::editor() {
    if (!runStatus_)
        return;
    const std::string editorPath = trimmed(w_.editorValue);
    if (!namesExistingFile(editorPath)) {
        showStop(kMessageEditorMissing);
        return;
    }
    QStringList arguments;
    if (!resultIsEmpty())
        arguments << qt(resultPath()); // one argument, blanks and case kept
    if (!w_.ui->startProgram(qt(editorPath), arguments))
        showStop(kMessageProgramMissing);
}

void SearchSession::runCommandSet(int menuIndex) {
    if (inGrep_)
        return;
    const std::string& dir = w_.programDirectory;
    TemplateInputs in;
    in.templateText = trimBlanks(platform::getProfileString(
        platform::systemFilePath(dir, kCommandSetFileName), kCommandSetSection,
        commandLineKey(menuIndex), "", kTemplateBufferSize));
    in.editorPath = trimmed(w_.editorPath);
    in.programNumber = w_.programNumber();
    in.pattern = utf8(w_.pattern->currentText());
    in.fileBoxText = trimBlanks(utf8(w_.files->currentText()));
    in.narrowing = w_.narrowing->isChecked();
    in.currentResultName = currentResult_;

    const Expansion expansion = expandCommandSet(in);
    switch (expansion.kind) {
    case Expansion::Kind::MissingInput:
        showStop(expansion.message.c_str());
        return;
    case Expansion::Kind::NarrowingLimit:
        narrowingLimitReached();
        return;
    case Expansion::Kind::DirectLaunch: {
        currentResult_ = expansion.target.resultName;
        step_ = expansion.target.step;
        if (!namesExistingFile(in.editorPath)) {
            showStop(kMessageEditorMissing);
            return;
        }
        // Relative names such as RESULT00.TXT mean the program directory's.
        platform::setCurrentDirectory(dir);
        QStringList words = platform::splitCommandLine(qt(expansion.text));
        const QString program = words.isEmpty() ? QString() : words.takeFirst();
        if (program.isEmpty() || !w_.ui->startProgram(program, words))
            showStop(kMessageProgramMissing);
        return;
    }
    case Expansion::Kind::Run:
        break;
    }

    currentResult_ = expansion.target.resultName;
    step_ = expansion.target.step;
    commandSetRun_ = true;
    commandLine_ = qt(expansion.text);
    setStatus(commandLine_);
    grep();
    commandSetRun_ = false;
    if (lastRunCanceled_)
        return;
    if (resultIsEmpty()) {
        setStatus(QString::fromUtf8(kStatusNoLinesMatched));
        return;
    }
    editor();
}

} // namespace talvo::run
