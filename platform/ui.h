// The one seam between the program and what it shows or starts outside its own
// windows: message boxes, help, the file-open dialog and detached program
// starts. The Qt implementation shows them; the recording one (tests) records
// them and answers questions from a queue.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace talvo::platform {

// Title of every message box.
inline constexpr const char* kApplicationTitle = "Talvo";

// Help context of the topic on the grep programs.
inline constexpr int kHelpContextGrepPrograms = 7000;

class UserInterface {
public:
    virtual ~UserInterface() = default;
    virtual void showStop(QWidget* owner, const QString& text) = 0;
    virtual void showInformation(QWidget* owner, const QString& text) = 0;
    // Question icon, OK and Cancel; true for OK.
    virtual bool askOkCancel(QWidget* owner, const QString& text) = 0;
    virtual void showHelpIndex(QWidget* owner) = 0;
    virtual void showHelpContext(QWidget* owner, int context) = 0;
    // filters in the form "Text File (*.TXT)|*.TXT|All Files (*.*)|*.*|".
    virtual std::optional<QString> openFileDialog(QWidget* owner, const QString& title,
                                                  const QString& filters,
                                                  const QString& startDirectory) = 0;
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

} // namespace talvo::platform
