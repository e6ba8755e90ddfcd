// The "&List" button; see list_button.h.
#include "commandsets/list_button.h"

#include "commandsets/command_set_editor.h"
#include "commandsets/command_set_edits.h"
#include "commandsets/command_set_menu.h"
#include "commandsets/command_set_text.h"
#include "platform/ui.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QMouseEvent>

namespace talvo::commandsets {

namespace {
const char* const kFullMessage = "すでにコマンドセットが１５個あります。\nこれ以上登録できません。";
} // namespace

ListButton::ListButton(QAbstractButton* button, CommandSetMenu* menu, std::string programDirectory,
                       platform::UserInterface& ui, QWidget* mainWindow, ListButtonHooks hooks)
    : QObject(button), button_(button), menu_(menu), programDirectory_(std::move(programDirectory)),
      ui_(ui), mainWindow_(mainWindow), hooks_(std::move(hooks)) {
    button_->installEventFilter(this);
    connect(button_, &QAbstractButton::clicked, this, &ListButton::openEditor);
}

void ListButton::openEditor() {
    if (!editor_) {
        editor_ = new CommandSetEditor(programDirectory_, ui_, mainWindow_);
        if (mainWindow_)
            editor_->placeBelow(mainWindow_);
    }
    QPointer<CommandSetEditor> editor = editor_;
    QMetaObject::invokeMethod(
        this,
        [this, editor] {
            if (editor && editor->isVisible())
                emit editorShown(editor);
        },
        Qt::QueuedConnection);
    editor->exec();
    // "&OK" keeps the dialog and its position for the next opening; a close
    // through the window frame discards it.
    if (editor && editor->closedThroughFrame()) {
        delete editor;
        editor_ = nullptr;
    }
    if (menu_)
        menu_->rebuild();
}

void ListButton::storeCurrentSearch() {
    const CurrentSearch search = hooks_.currentSearch ? hooks_.currentSearch() : CurrentSearch{};
    const std::string line =
        storedSearchTemplate(search.programNumber, search.baseName, search.optionString);
    const auto setNumber = storeSearch(CommandSetFile(programDirectory_), line);
    QWidget* owner = mainWindow_ ? mainWindow_ : button_->window();
    if (!setNumber) {
        ui_.showStop(owner, QString::fromUtf8(kFullMessage));
        return;
    }
    ui_.showInformation(owner,
                        QString::fromUtf8("コマンドセットを%1に登録しました。").arg(*setNumber));
}

void ListButton::popUpMenu() {
    if (hooks_.popUpMenu)
        hooks_.popUpMenu();
    else if (menu_)
        menu_->popUpAtCursor();
}

bool ListButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched != button_)
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        return handleKey(static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        popUpMenu();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

bool ListButton::handleKey(QKeyEvent* event) {
    const int key = event->key();
    const bool settingsMode = hooks_.inSettingsMode && hooks_.inSettingsMode();
    if (key == Qt::Key_F5) {
        popUpMenu();
        return true;
    }
    if (key == Qt::Key_PageDown || (key == Qt::Key_PageUp && !settingsMode)) {
        if (hooks_.pageKey)
            hooks_.pageKey(event);
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (!settingsMode && hooks_.minimise)
            hooks_.minimise();
        return true;
    }
    // Tab and Shift+Tab move the focus before the button sees them; a held
    // key repeats, but one press stores one set.
    const bool shiftHeld = key == Qt::Key_Shift || (event->modifiers() & Qt::ShiftModifier);
    if (shiftHeld && !event->isAutoRepeat() && key != Qt::Key_Tab && key != Qt::Key_Backtab)
        storeCurrentSearch();
    return false;
}

} // namespace talvo::commandsets
