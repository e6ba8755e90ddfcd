// The command-set menu; see command_set_menu.h.
#include "commandsets/command_set_menu.h"

#include "commandsets/command_set_file.h"
#include "commandsets/command_set_text.h"

#include <QCursor>

namespace talvo::commandsets {

namespace {
QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
} // namespace

CommandSetMenu::CommandSetMenu(std::string programDirectory, QWidget* parent)
    : QMenu(toQString(kMenuPlaceholder), parent), programDirectory_(std::move(programDirectory)) {
    setObjectName("MnuCommand");
    QAction* first = addAction(toQString(kMenuPlaceholder));
    first->setObjectName("MnuCommandSetArray");
    connect(first, &QAction::triggered, this, [this] { choose(0); });
}

QAction* CommandSetMenu::item(int k) const {
    const auto items = actions();
    return k >= 0 && k < items.size() ? items.at(k) : nullptr;
}

int CommandSetMenu::rebuild() {
    const auto items = actions();
    for (qsizetype k = items.size() - 1; k >= 1; --k) {
        removeAction(items.at(k));
        delete items.at(k);
    }
    const auto names = CommandSetFile(programDirectory_).menuNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int k = static_cast<int>(i);
        const QString caption = toQString(menuCaption(k + 1, names[i]));
        if (k == 0) {
            item(0)->setText(caption);
            continue;
        }
        QAction* action = addAction(caption);
        action->setObjectName("MnuCommandSetArray");
        connect(action, &QAction::triggered, this, [this, k] { choose(k); });
    }
    // With every set gone, item 0 must not go on offering the last one.
    if (names.empty())
        item(0)->setText(toQString(kMenuPlaceholder));
    highestItemIndex_ = static_cast<int>(names.size()) - 1;
    return highestItemIndex_;
}

void CommandSetMenu::choose(int k) {
    if (k < 0 || k > highestItemIndex_)
        return;
    emit runCommandSet(k);
}

void CommandSetMenu::popUpAtCursor() {
    popup(QCursor::pos());
}

} // namespace talvo::commandsets
