// Joins the main window to the search run and the command sets: "&Grep",
// "&Auto", "&Editor", Narrowing and Enter go through the search session; the
// command-set menu is scanned into MnuCommand and its items run their sets;
// "&List" opens the set editor and stores the current search. It also gives
// the pattern and file boxes their keys: Enter with its modifiers, the page
// keys of the option area and Escape.
#pragma once

#include <QObject>

#include <memory>

namespace talvo::run {
class SearchSession;
}
namespace talvo::commandsets {
class CommandSetMenu;
class ListButton;
} // namespace talvo::commandsets

namespace talvo::app {

class MainWindow;

class SearchWiring : public QObject {
    Q_OBJECT
public:
    // Wire before MainWindow::load, so the start-up builds the menu.
    explicit SearchWiring(MainWindow& window);
    ~SearchWiring() override;

    run::SearchSession& session() { return *session_; }
    commandsets::CommandSetMenu& menu() { return *menu_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Enter in a box or the option area: Ctrl asks for the command-line editor
    // first, Shift runs "&Grep", no Shift runs "&Auto". Only while "&Grep" is
    // enabled and no search runs, and once per press.
    void enter(Qt::KeyboardModifiers modifiers);

    MainWindow& window_;
    std::unique_ptr<run::SearchSession> session_;
    commandsets::CommandSetMenu* menu_ = nullptr; // owned by the window
    commandsets::ListButton* list_ = nullptr;     // child of this
};

} // namespace talvo::app
