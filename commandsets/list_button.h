// The main window's "&List" button: a click opens the command-set editor and
// rebuilds the menu when it closes; the right button pops up the menu; keys
// are handled in this order: F5 pops up the menu, the page keys go to the
// main window's page-key handler, Escape is swallowed (minimising outside the
// settings mode), and any other key pressed with Shift held stores the
// current search as a new command set, once per press.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <string>

class QAbstractButton;
class QKeyEvent;

namespace talvo::platform {
class UserInterface;
}

namespace talvo::commandsets {

class CommandSetEditor;
class CommandSetMenu;

struct CurrentSearch {
    int programNumber = 1;    // 1 … 6
    std::string baseName;     // "CGREP", "JGSLIM" …
    std::string optionString; // flags each preceded by one blank
};

// What belongs to the main window. Empty hooks do nothing (popUpMenu then
// shows the menu at the mouse pointer).
struct ListButtonHooks {
    std::function<void()> popUpMenu;
    std::function<void(QKeyEvent*)> pageKey;
    std::function<bool()> inSettingsMode;
    std::function<void()> minimise;
    std::function<CurrentSearch()> currentSearch;
};

class ListButton : public QObject {
    Q_OBJECT
public:
    // mainWindow places the editor and owns the message boxes.
    ListButton(QAbstractButton* button, CommandSetMenu* menu, std::string programDirectory,
               platform::UserInterface& ui, QWidget* mainWindow, ListButtonHooks hooks);

    // The click: the editor, modally; then the menu rebuild.
    void openEditor();
    // Stores the current search in the first free set and says which.
    void storeCurrentSearch();

    // The editor while it exists (kept after "&OK", discarded after a close
    // through the window frame).
    CommandSetEditor* editor() const { return editor_; }

signals:
    void editorShown(talvo::commandsets::CommandSetEditor* editor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool handleKey(QKeyEvent* event);
    void popUpMenu();

    QAbstractButton* button_;
    CommandSetMenu* menu_;
    std::string programDirectory_;
    platform::UserInterface& ui_;
    QWidget* mainWindow_;
    ListButtonHooks hooks_;
    QPointer<CommandSetEditor> editor_;
};

} // namespace talvo::commandsets
