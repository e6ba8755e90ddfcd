// The command-line editor "Form2": lets the user change a built command line
// before it runs. "&OK" (or Enter) gives the text without surrounding blanks;
// "&Cancel", Escape and a close through the window frame give nothing.
#pragma once

#include <QDialog>

#include <optional>

class QPlainTextEdit;
class QPushButton;

namespace talvo::commandsets {

class CommandLineEditor : public QDialog {
    Q_OBJECT
public:
    explicit CommandLineEditor(const QString& line, QWidget* parent = nullptr);

    // Left edge at the main window's left edge, top at the main window's top
    // plus the pattern box's top and height plus 300 twips.
    void placeBelowPatternBox(const QWidget* mainWindow, const QWidget* patternBox);

    // The confirmed command line, or nullopt when cancelled.
    std::optional<QString> result() const { return result_; }

    QPlainTextEdit* textBox() const { return text_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void confirm();
    int px(double twips) const;

    QPlainTextEdit* text_;
    QPushButton* ok_;
    QPushButton* cancel_;
    std::optional<QString> result_;
};

// Shows the editor modally below the pattern box and returns the confirmed
// line, or nullopt when the user cancelled.
std::optional<QString> editCommandLine(QWidget* mainWindow, QWidget* patternBox,
                                       const QString& line);

} // namespace talvo::commandsets
