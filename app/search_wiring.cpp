#include "app/search_wiring.h"

#include "app/main_window.h"
#include "commandsets/command_line_editor.h"
#include "commandsets/command_set_editor.h"
#include "commandsets/command_set_menu.h"
#include "commandsets/list_button.h"
#include "grep/option_panel.h"
#include "run/search_session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace talvo::app {

namespace {

bool inSettingsMode(const MainWindow& w) {
    return w.commandButton(5)->text() == "&OK";
}

} // namespace

SearchWiring::SearchWiring(MainWindow& window) : QObject(&window), window_(window) {
    run::SearchWindow sw;
    sw.window = &window;
    sw.pattern = window.patternBox();
    sw.files = window.fileBox();
    sw.narrowing = window.narrowing();
    sw.status = window.statusLabel();
    sw.tinySwitch = window.tinySwitch();
    sw.optionString = [&window] { return QString::fromStdString(window.optionString()); };
    sw.baseName = [&window] { return QString::fromStdString(window.baseName()); };
    sw.editorValue = [&window] { return QString::fromStdString(window.editorValue()); };
    sw.editorPath = [&window] { return QString::fromStdString(window.editorPath()); };
    sw.programNumber = [&window] { return window.selectedProgram(); };
    sw.programDirectory = window.programDirectory();
    sw.ui = &window.ui();
    sw.editCommandLine = [&window](const QString& line) {
        return commandsets::editCommandLine(&window, window.patternBox(), line);
    };
    session_ = std::make_unique<run::SearchSession>(std::move(sw));

    window.onGrep = [this] { session_->grep(); };
    window.onAuto = [this] { session_->autoRun(); };
    window.onEditor = [this] { session_->editor(); };
    window.onEditBeforeRun = [this] { session_->requestEditBeforeRun(); };

    menu_ = new commandsets::CommandSetMenu(window.programDirectory(), &window);
    menu_->setObjectName("MnuCommand");
    connect(menu_, &commandsets::CommandSetMenu::runCommandSet, this, [this](int k) {
        if (!session_->isRunning())
            session_->runCommandSet(k);
    });
    window.setCommandMenu(menu_);
    window.onBuildCommandMenu = [this](QMenu&) { return menu_->rebuild(); };

    commandsets::ListButtonHooks hooks;
    hooks.popUpMenu = [this] { menu_->popUpAtCursor(); };
    hooks.pageKey = [&window](QKeyEvent* e) { window.optionPanel()->sharedPageKey(e->key()); };
    hooks.inSettingsMode = [&window] { return inSettingsMode(window); };
    hooks.minimise = [&window] { window.showMinimized(); };
    hooks.currentSearch = [&window] {
        return commandsets::CurrentSearch{window.selectedProgram(), window.baseName(),
                                          window.optionString()};
    };
    list_ = new commandsets::ListButton(window.commandButton(9), menu_, window.programDirectory(),
                                        window.ui(), &window, std::move(hooks));
    // The list button opens the editor itself when clicked.
    list_->setParent(this);

    for (QComboBox* box : {window.patternBox(), window.fileBox()}) {
        box->installEventFilter(this);
        if (box->lineEdit())
            box->lineEdit()->installEventFilter(this);
    }
}

SearchWiring::~SearchWiring() = default;

void SearchWiring::enter(Qt::KeyboardModifiers modifiers) {
    if (session_->isRunning() || !window_.commandButton(1)->isEnabled())
        return;
    if (modifiers & Qt::ControlModifier)
        session_->requestEditBeforeRun();
    if (modifiers & Qt::ShiftModifier)
        session_->grep();
    else
        session_->autoRun();
}

bool SearchWiring::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // While a search runs the busy window has the keys; whatever reaches the
    // boxes then is dropped.
    if (session_->isRunning())
        return true;
    const bool inPatternBox =
        watched == window_.patternBox() || watched == window_.patternBox()->lineEdit();
    const bool tiny = window_.isTinyMode();
    switch (key->key()) {
    case Qt::Key_F5:
        menu_->popUpAtCursor();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!key->isAutoRepeat())
            enter(key->modifiers());
        return true;
    case Qt::Key_PageDown:
        if (tiny) {
            if (inPatternBox)
                window_.tinySwitch()->setChecked(false);
            return true;
        }
        window_.optionPanel()->sharedPageKey(key->key());
        return true;
    case Qt::Key_PageUp:
        window_.optionPanel()->sharedPageKey(key->key());
        return true;
    case Qt::Key_Escape:
        if (!inSettingsMode(window_))
            window_.showMinimized();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        // In tiny mode the focus stays in the pattern box.
        return inPatternBox && tiny && !(key->modifiers() & Qt::AltModifier);
    default:
        break;
    }
    // The hidden button panel's access keys that tiny mode keeps.
    if (inPatternBox && tiny && (key->modifiers() & Qt::AltModifier)) {
        const int button = key->key() == Qt::Key_E   ? 2
                           : key->key() == Qt::Key_C ? 8
                           : key->key() == Qt::Key_Q ? 3
                                                     : 0;
        if (button == 8) {
            // Also with "&Choose" disabled, when there is one program only.
            window_.selectNextProgram();
            return true;
        }
        if (button) {
            window_.commandButton(button)->click();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace talvo::app
