// A UserInterface for tests: records every message, help call, dialog and
// program start, and answers questions and file dialogs from queues.
#pragma once

#include "platform/ui.h"

#include <deque>
#include <vector>

namespace talvo::platform {

struct RecordedCall {
    enum class Kind { Stop, Information, Question, HelpIndex, HelpContext, FileDialog, Start };
    Kind kind;
    QString text;          // message text, dialog title or program
    QStringList arguments; // program arguments, or the dialog's filters and directory
    int context = 0;       // help context
};

class RecordingUserInterface : public UserInterface {
public:
    void showStop(QWidget* owner, const QString& text) override;
    void showInformation(QWidget* owner, const QString& text) override;
    bool askOkCancel(QWidget* owner, const QString& text) override;
    void showHelpIndex(QWidget* owner) override;
    void showHelpContext(QWidget* owner, int context) override;
    std::optional<QString> openFileDialog(QWidget* owner, const QString& title,
                                          const QString& filters,
                                          const QString& startDirectory) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;

    std::vector<RecordedCall> calls;
    std::deque<bool> answers;                       // for askOkCancel; empty means OK
    std::deque<std::optional<QString>> fileChoices; // for openFileDialog; empty means cancel
    bool startSucceeds = true;

    // The calls of one kind, in order.
    std::vector<RecordedCall> of(RecordedCall::Kind kind) const;
    void clear() { calls.clear(); }
};

} // namespace talvo::platform
