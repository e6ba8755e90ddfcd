// The command-set menu "MnuCommand": a pop-up menu of the main window whose
// items MnuCommandSetArray 0 … 14 stand for sets 1 … 15. Item 0 always
// exists and shows the placeholder "CommandSet" while no set is stored.
#pragma once

#include <QMenu>

#include <string>

namespace talvo::commandsets {

class CommandSetMenu : public QMenu {
    Q_OBJECT
public:
    explicit CommandSetMenu(std::string programDirectory, QWidget* parent = nullptr);

    // Menu scan after removing the items of the last one; returns the highest
    // item index (sets found − 1, or −1 when there is none).
    int rebuild();
    int highestItemIndex() const { return highestItemIndex_; }
    QAction* item(int k) const;

    // Item k runs set k + 1, unless item 0 shows no set.
    void choose(int k);
    // Shows the menu at the mouse pointer.
    void popUpAtCursor();

signals:
    void runCommandSet(int k);

private:
    std::string programDirectory_;
    int highestItemIndex_ = -1;
};

} // namespace talvo::commandsets
