// Qt implementation of the user-interface seam. The file dialog is Qt's own
// (not the desktop's) so that its case-folded filter patterns work everywhere.
#include "platform/qt_ui.h"

#include "platform/files.h"
#include "platform/help_window.h"
#include "platform/process.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>

namespace talvo::platform {

namespace {

QString caseFolded(const QString& pattern) {
    if (pattern == QLatin1String("*.*"))
        return QStringLiteral("*");
    QString out;
    for (QChar c : pattern) {
        if (c.isLetter() && c.unicode() < 128 && c.toLower() != c.toUpper())
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            out += c;
    }
    return out;
}

int showMessage(QWidget* owner, QMessageBox::Icon icon, const QString& text,
                QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), text, buttons, owner);
    if (buttons & QMessageBox::Cancel)
        box.setEscapeButton(QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec();
}

// Qt's file dialog reads and writes its own settings file (the folder visited
// last, its history) in the user's configuration directory. Nothing of this
// program lasts outside its two settings files, so those settings go to a
// scratch directory that is removed when the program ends.
void keepDialogSettingsAway() {
    static QTemporaryDir scratch;
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString path = scratch.isValid() ? scratch.path() : QStringLiteral("/nonexistent");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
}

} // namespace

QStringList qtNameFilters(const QString& filters) {
    QStringList parts = filters.split(QLatin1Char('|'));
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << caseFolded(p.trimmed());
        if (patterns.isEmpty())
            continue;
        out << QStringLiteral("%1 (%2)").arg(parts[i].trimmed(), patterns.join(QLatin1Char(' ')));
    }
    if (out.isEmpty())
        out << QStringLiteral("* (*)");
    return out;
}

QtUserInterface::QtUserInterface(std::string programDirectory)
    : programDirectory_(std::move(programDirectory)) {}

QtUserInterface::~QtUserInterface() {
    delete help_.data();
}

void QtUserInterface::showStop(QWidget* owner, const QString& text) {
    showMessage(owner, QMessageBox::Critical, text, QMessageBox::Ok);
}

void QtUserInterface::showInformation(QWidget* owner, const QString& text) {
    showMessage(owner, QMessageBox::Information, text, QMessageBox::Ok);
}

bool QtUserInterface::askOkCancel(QWidget* owner, const QString& text) {
    return showMessage(owner, QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

HelpWindow* QtUserInterface::openHelp(QWidget* owner) {
    auto path = findCaseInsensitive(programDirectory_, kHelpFileName);
    if (!path) {
        showStop(owner, QStringLiteral("ヘルプファイル %1 が見つかりません。")
                            .arg(QString::fromStdString(
                                systemFilePath(programDirectory_, kHelpFileName))));
        return nullptr;
    }
    if (!help_)
        help_ = new HelpWindow;
    if (!help_->openFile(QString::fromStdString(*path))) {
        showStop(
            owner,
            QStringLiteral("ヘルプファイル %1 を読めません。").arg(QString::fromStdString(*path)));
        return nullptr;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
    return help_;
}

void QtUserInterface::showHelpIndex(QWidget* owner) {
    if (HelpWindow* help = openHelp(owner))
        help->showContents();
}

void QtUserInterface::showHelpContext(QWidget* owner, int context) {
    if (HelpWindow* help = openHelp(owner))
        help->showContext(context);
}

std::unique_ptr<QFileDialog> QtUserInterface::makeFileDialog(QWidget* owner, const QString& title,
                                                             const QString& filters,
                                                             const QString& startDirectory) {
    keepDialogSettingsAway();
    // Without a start directory the dialog starts in the current one, not in
    // the folder visited last.
    auto dialog = std::make_unique<QFileDialog>(
        owner, title, startDirectory.isEmpty() ? QDir::currentPath() : startDirectory);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // Show "Text File (*.TXT)" as written, not the case-folded patterns.
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    QStringList list = qtNameFilters(filters);
    dialog->setNameFilters(list);
    dialog->selectNameFilter(list.first());
    return dialog;
}

std::optional<QString> QtUserInterface::openFileDialog(QWidget* owner, const QString& title,
                                                       const QString& filters,
                                                       const QString& startDirectory) {
    auto dialog = makeFileDialog(owner, title, filters, startDirectory);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    return dialog->selectedFiles().first();
}

bool QtUserInterface::startProgram(const QString& program, const QStringList& arguments) {
    return startDetached(program, arguments);
}

} // namespace talvo::platform
