// The command-set editor "Form4": lists the sets of the command-set file and
// appends, inserts, renews, deletes and clears them. Every button writes its
// change to the file at once and keeps line i of the list equal to set i + 1.
// Layout figures are twips, converted at the widget boundary.
#pragma once

#include "commandsets/command_set_edits.h"
#include "commandsets/command_set_file.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace talvo::platform {
class UserInterface;
}

namespace talvo::commandsets {

class CommandSetEditor : public QDialog {
    Q_OBJECT
public:
    CommandSetEditor(std::string programDirectory, platform::UserInterface& ui,
                     QWidget* parent = nullptr);

    // Left edge at the main window's left edge, top 300 twips below its top.
    void placeBelow(const QWidget* mainWindow);

    // Empties the list and boxes and lists the file's sets again; run each
    // time the dialog is shown.
    void refill();

    QLineEdit* nameBox() const { return nameBox_; }
    QPlainTextEdit* commandBox() const { return commandBox_; }
    QListWidget* setList() const { return setList_; }
    QPushButton* renewButton() const { return renewButton_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* clearButton() const { return clearButton_; }
    QPushButton* okButton() const { return okButton_; }
    QLabel* listLabel() const { return listLabel_; }

    // True when the last showing ended through the window frame, not "&OK".
    bool closedThroughFrame() const { return closedThroughFrame_; }

protected:
    void showEvent(QShowEvent* event) override;
    // Each activation refills the list from the file, except the return from
    // the dialog's own stop message, which keeps the refused texts to correct.
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void selectionChanged(int row);
    void updateButtons();
    void add();
    void renew();
    void remove();
    void clear();
    void confirm();
    bool refuse(EditRefusal refusal);
    CommandSet setFromBoxes() const;
    void layOut();
    int px(double twips) const;

    CommandSetFile file_;
    platform::UserInterface& ui_;
    bool suppressNextSelection_ = false;
    bool closedThroughFrame_ = false;
    bool showingMessage_ = false;
    bool keepOnNextActivation_ = false;
    int loadedWidth_ = 0;
    int loadedCommandHeight_ = 0;

    QPushButton* renewButton_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QPushButton* clearButton_;
    QPushButton* okButton_;
    QLabel* nameLabel_;
    QLineEdit* nameBox_;
    QLabel* commandLabel_;
    QPlainTextEdit* commandBox_;
    QLabel* listLabel_;
    QListWidget* setList_;
};

} // namespace talvo::commandsets
