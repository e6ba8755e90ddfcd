// The user-interface seam as the program shows it: Qt message boxes, the help
// window on the help file of the program directory, Qt's file dialog and
// detached program starts.
#pragma once

#include "platform/ui.h"

#include <QPointer>
#include <QStringList>

#include <memory>
#include <string>

class QFileDialog;

namespace talvo::platform {

class HelpWindow;

// The file dialog's filters from the form "Text File (*.TXT)|*.TXT|All Files
// (*.*)|*.*|": one Qt filter per pair, matching names regardless of case
// ("*.TXT" becomes "*.[tT][xX][tT]") and "*.*" matching every name, also one
// without a dot. The caption keeps its own text.
QStringList qtNameFilters(const QString& filters);

// The help file's name in the program directory (found regardless of case).
inline constexpr const char* kHelpFileName = "talvo.html";

class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(std::string programDirectory);
    ~QtUserInterface() override;

    void showStop(QWidget* owner, const QString& text) override;
    void showInformation(QWidget* owner, const QString& text) override;
    bool askOkCancel(QWidget* owner, const QString& text) override;
    void showHelpIndex(QWidget* owner) override;
    void showHelpContext(QWidget* owner, int context) override;
    std::optional<QString> openFileDialog(QWidget* owner, const QString& title,
                                          const QString& filters,
                                          const QString& startDirectory) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;

    // The dialog openFileDialog shows, set up but not yet shown.
    static std::unique_ptr<QFileDialog> makeFileDialog(QWidget* owner, const QString& title,
                                                       const QString& filters,
                                                       const QString& startDirectory);
    // The one help window, once help was shown; null before.
    HelpWindow* helpWindow() const { return help_; }

private:
    // Opens the help window on the help file; null (after a stop message) when
    // there is no help file.
    HelpWindow* openHelp(QWidget* owner);

    std::string programDirectory_;
    QPointer<HelpWindow> help_;
};

} // namespace talvo::platform
