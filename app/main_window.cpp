// The main window's operations: start-up, Quit, the settings read and saves,
// program selection, the option area, the tiny switch and the window events.
#include "app/main_window.h"

#include "app/program_icons.h"
#include "grep/option_panel.h"
#include "grep/option_store.h"
#include "grep/twips.h"
#include "platform/editor.h"
#include "platform/files.h"
#include "platform/progdir.h"
#include "platform/ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

namespace talvo::app {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Adds an item to a combo box's list without touching the text it shows.
void appendKeepingText(QComboBox* box, const QString& item) {
    const QString text = box->currentText();
    box->addItem(item);
    if (box->currentText() != text)
        box->setEditText(text);
}

constexpr const char* kNoProgramLine1 =
    "GREP Sondel のディレクトリーにGREPプログラムが一つも見つかりません。";
constexpr const char* kNoProgramLine2 =
    "詳しくはヘルプの「対応GREPプログラムの入手先とインストール」をご覧ください。";

const QColor kSwitchUsable(0, 128, 128);
const QColor kSwitchRefused(192, 192, 192);

// Sets a box label's caption in the window's font, made smaller as far as the
// caption needs to fit the label whole ("起動時に指定するファイル名(&D)" is
// longer than the label the layout gives it).
void setFittedCaption(QLabel* label, const QString& caption) {
    label->setText(caption);
    QFont font = label->parentWidget()->font();
    QString shown = caption;
    shown.remove(QLatin1Char('&'));
    const int room = label->contentsRect().width();
    for (int step = 0; step < 12; ++step) {
        if (QFontMetrics(font).horizontalAdvance(shown) <= room)
            break;
        if (font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * 0.92);
        else
            font.setPixelSize(std::max(1, font.pixelSize() - 1));
    }
    label->setFont(font);
}

TwipRect rectInTwips(const QWidget* w, const QRect& r) {
    return {grep::toTwips(w, r.x()), grep::toTwips(w, r.y()), grep::toTwips(w, r.width()),
            grep::toTwips(w, r.height())};
}

} // namespace

MainWindow::MainWindow(std::string programDirectory, platform::UserInterface& ui, QWidget* parent)
    : QWidget(parent), programDir_(platform::withTrailingSlash(std::move(programDirectory))),
      ui_(ui) {
    buildControls();
    connect(buttons_[1], &QPushButton::clicked, this, [this] {
        if (onGrep)
            onGrep();
    });
    connect(buttons_[2], &QPushButton::clicked, this, [this] {
        if (onEditor)
            onEditor();
    });
    connect(buttons_[3], &QPushButton::clicked, this, &MainWindow::quit);
    connect(buttons_[4], &QPushButton::clicked, this, [this] {
        if (onBrowse)
            onBrowse();
        else
            browse();
    });
    connect(buttons_[5], &QPushButton::clicked, this, [this] {
        if (onSetting)
            onSetting();
        else
            toggleSettingsMode();
    });
    connect(buttons_[6], &QPushButton::clicked, this, [this] {
        if (onAuto)
            onAuto();
    });
    connect(buttons_[7], &QPushButton::clicked, this, &MainWindow::toggleOptionArea);
    // The option area reads the window's height and tiny mode, and asks it for
    // the height, tiny mode, the command-set menu, runs and the pattern box.
    sstab1_->window.heightTwips = [this] { return heightTw_; };
    sstab1_->window.tinyMode = [this] { return isTinyMode(); };
    sstab1_->window.tinySwitchUsable = [this] { return tinySwitchUsable(); };
    connect(sstab1_, &grep::OptionPanel::windowHeightRequested, this, &MainWindow::setHeightTwips);
    connect(sstab1_, &grep::OptionPanel::tinyModeRequested, this,
            [this] { checkA2_->setChecked(true); });
    connect(sstab1_, &grep::OptionPanel::commandMenuRequested, this, &MainWindow::popupCommandMenu);
    connect(sstab1_, &grep::OptionPanel::patternBoxFocusRequested, this,
            [this] { combo1_->setFocus(); });
    connect(sstab1_, &grep::OptionPanel::enterPressed, this, [this](Qt::KeyboardModifiers m) {
        if (!buttons_[1]->isEnabled())
            return;
        if ((m & Qt::ControlModifier) && onEditBeforeRun)
            onEditBeforeRun();
        const auto& run = (m & Qt::ShiftModifier) ? onGrep : onAuto;
        if (run)
            run();
    });
    connect(sstab1_, &grep::OptionPanel::escapePressed, this, [this] {
        if (buttons_[5]->text() != "&OK")
            showMinimized();
    });
    connect(buttons_[8], &QPushButton::clicked, this, &MainWindow::selectNextProgram);
    connect(buttons_[9], &QPushButton::clicked, this, [this] {
        if (onList)
            onList();
    });
    connect(sscommand1_, &QPushButton::clicked, this, [this] { ui_.showHelpIndex(this); });
    connect(checkA2_, &QCheckBox::toggled, this, &MainWindow::tinySwitchChanged);
    connect(combo1_, &QComboBox::editTextChanged, this, [this] { updateRunButtons(combo1_); });
    connect(combo2_, &QComboBox::editTextChanged, this, [this] {
        updateRunButtons(combo2_);
        updateTinySwitchColour();
    });
    updateRunButtons(combo1_);
    updateTinySwitchColour();
}

MainWindow::~MainWindow() = default;

QCheckBox* MainWindow::optionBox(int index) const {
    return sstab1_->box(index);
}

QPushButton* MainWindow::commandButton(int n) const {
    return n >= 1 && n <= 9 ? buttons_[static_cast<std::size_t>(n)] : nullptr;
}

void MainWindow::setCommandMenu(QMenu* menu) {
    if (!menu || menu == commandMenu_)
        return;
    menu->setParent(this, menu->windowFlags());
    delete commandMenu_;
    commandMenu_ = menu;
}

// ---- Start-up --------------------------------------------------------------

void MainWindow::load() {
    // The help file and the system menu are the user-interface layer's and the
    // window manager's here; the program directory is current for every run.
    platform::setCurrentDirectory(programDir_);
    detectPrograms();
    cleanUpResultFiles();
    readSettings();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (onBuildCommandMenu)
        highestMenuIndex_ = onBuildCommandMenu(*commandMenu_);
    applyCollapseRule();
    QApplication::restoreOverrideCursor();
}

void MainWindow::detectPrograms() {
    const std::string& dir = programDir_;
    registry_.detect(
        [&dir](std::string_view name) {
            return platform::findCaseInsensitiveFile(dir, name).has_value();
        },
        readStoredProgramNumber(settingsFile()));
    const grep::Detection& d = registry_.detection();
    if (d.reportNoProgram) {
        ui_.showStop(this, QString::fromUtf8(kNoProgramLine1) + "\n" +
                               QString::fromUtf8(kNoProgramLine2));
        ui_.showHelpContext(this, platform::kHelpContextGrepPrograms);
    } else if (!d.chooseEnabled) {
        buttons_[8]->setEnabled(false);
        buttons_[8]->setText(" ");
    }
    buttons_[8]->setIcon(programIcon(registry_.selected()));
    setTitle();
}

void MainWindow::cleanUpResultFiles() {
    // An empty result file always exists after start-up; a stale marker is gone.
    if (auto old = platform::findCaseInsensitive(programDir_, "RESULT00.TXT"))
        platform::deleteFile(*old);
    platform::createEmptyFile(platform::systemFilePath(programDir_, "RESULT00.TXT"));
    if (auto marker = platform::findCaseInsensitive(programDir_, "XXX.BAT"))
        platform::deleteFile(*marker);
}

void MainWindow::readSettings() {
    const std::string path = settingsFile();
    const Settings s = Settings::read(path, platform::defaultEditor());
    sstab1_->setCommonTicks(s.common);
    sstab1_->box(grep::kShowOptionsBox)->setChecked(s.showOptionsAtStart == 1);
    sstab1_->box(grep::kDefaultFileBox)->setChecked(s.defaultFileAtStart == 1);
    applySelectedProgram();
    placeWindow(s);
    tinyFlag_ = s.tinyFlag;
    editorValue_ = s.editorValue;
    editorPath_ = s.editorPath;
    defaultFile_ = s.defaultFile;
    const bool defaultFileAtStart = s.defaultFileAtStart == 1;
    if (defaultFileAtStart)
        combo2_->setEditText(qs(defaultFile_));
    if (tinyFlag_ == 1 && defaultFileAtStart)
        checkA2_->setChecked(true); // refused, and left clear, with an empty file box
    appendKeepingText(combo2_, qs(defaultFile_));
    for (const std::string& entry : s.history)
        appendKeepingText(combo2_, qs(entry));
}

void MainWindow::applySelectedProgram() {
    const std::string& base = registry_.selectedBaseName();
    sstab1_->applyProgram(grep::programOptions(registry_.selected()),
                          grep::storedProgramTicks(settingsFile(), base));
}

void MainWindow::placeWindow(const Settings& s) {
    QScreen* primary = screen() ? screen() : QGuiApplication::primaryScreen();
    std::vector<TwipRect> screens;
    for (QScreen* sc : QGuiApplication::screens())
        screens.push_back(rectInTwips(this, sc->availableGeometry()));
    const TwipRect primaryRect =
        primary ? rectInTwips(this, primary->availableGeometry()) : TwipRect{0, 0, 0, 0};
    // Centring uses the design size of the window, before the collapse rule.
    placedTwips_ = app::placeWindow(s.left, s.top, kWidth, heightTw_, primaryRect, screens);
    placedPixels_ =
        QPoint(grep::toPixels(this, placedTwips_.first), grep::toPixels(this, placedTwips_.second));
    move(placedPixels_);
    placed_ = true;
}

void MainWindow::applyCollapseRule() {
    const bool showOptions = sstab1_->box(grep::kShowOptionsBox)->isChecked();
    const bool defaultFileAtStart = sstab1_->box(grep::kDefaultFileBox)->isChecked();
    // A tiny start that was refused (empty file box) is a full-mode start.
    if ((!showOptions && !isTinyMode()) || (tinyFlag_ == 1 && !defaultFileAtStart)) {
        setHeightTwips(kCollapsedHeight);
        sstab1_->setTabStripInTabOrder(false);
        sstab1_->setBoxesInTabOrder(0, grep::kCommonBoxCount - 1, false);
    }
}

// ---- Quit and saves ----------------------------------------------------------

void MainWindow::quit() {
    if (ended_)
        return;
    ended_ = true;
    ShutdownSave save;
    save.programNumber = registry_.selected();
    save.left = leftTwips();
    save.top = topTwips();
    save.tinyMode = panel3d1_->isHidden();
    for (int i = 0; i < combo2_->count(); ++i)
        save.fileList.push_back(combo2_->itemText(i).toStdString());
    save.defaultFile = defaultFile_;
    const std::string path = settingsFile();
    writeShutdown(path, save);
    grep::saveOptionStates(path, grep::programOptions(registry_.selected()),
                           registry_.selectedBaseName(), sstab1_->ticks());
    if (onEnd)
        onEnd();
    else
        QCoreApplication::exit(0);
}

void MainWindow::saveSettings() {
    const std::string path = settingsFile();
    label1_->setText("write " + qs(path));
    SettingsSave save;
    const grep::Ticks ticks = sstab1_->ticks();
    std::copy_n(ticks.begin(), grep::kCommonBoxCount, save.common.begin());
    save.showOptionsAtStart = ticks[grep::kShowOptionsBox];
    save.defaultFileAtStart = ticks[grep::kDefaultFileBox];
    save.left = leftTwips();
    save.top = topTwips();
    save.editorText = combo1_->currentText().toStdString();
    save.defaultFileText = combo2_->currentText().toStdString();
    writeSettings(path, save);
    // The editor path follows the editor value, so "$EDITOR" starts the new editor too.
    const EditorAndDefaultFile reread = rereadEditorAndDefaultFile(path);
    editorValue_ = reread.editorValue;
    editorPath_ = reread.editorPath;
    defaultFile_ = reread.defaultFile;
}

std::int32_t MainWindow::leftTwips() const {
    if (placed_ && pos() == placedPixels_)
        return placedTwips_.first;
    return static_cast<std::int32_t>(grep::toTwips(this, pos().x()));
}

std::int32_t MainWindow::topTwips() const {
    if (placed_ && pos() == placedPixels_)
        return placedTwips_.second;
    return static_cast<std::int32_t>(grep::toTwips(this, pos().y()));
}

// ---- Programs and options ----------------------------------------------------

std::string MainWindow::optionString() const {
    return grep::buildOptionString(grep::programOptions(registry_.selected()), sstab1_->ticks());
}

void MainWindow::selectNextProgram() {
    const auto next = registry_.next();
    if (!next)
        return;
    grep::saveOptionStates(settingsFile(), grep::programOptions(registry_.selected()),
                           registry_.selectedBaseName(), sstab1_->ticks());
    registry_.select(*next);
    buttons_[8]->setIcon(programIcon(registry_.selected()));
    applySelectedProgram();
    setTitle();
    combo1_->setFocus();
}

void MainWindow::setTitle() {
    setWindowTitle(qs(grep::windowTitle(registry_.selectedBaseName(), isTinyMode(),
                                        combo2_->currentText().toStdString())));
}

void MainWindow::toggleOptionArea() {
    sstab1_->toggleOptionArea(); // asks for the height through windowHeightRequested
}

void MainWindow::setHeightTwips(int twips) {
    heightTw_ = twips;
    setFixedHeight(grep::toPixels(this, twips));
}

// ---- Tiny mode and the run buttons ---------------------------------------------

bool MainWindow::isTinyMode() const {
    return checkA2_->isChecked();
}

bool MainWindow::tinySwitchUsable() const {
    return checkA2_->palette().color(QPalette::Window) == kSwitchUsable;
}

void MainWindow::updateTinySwitchColour() {
    QPalette palette = checkA2_->palette();
    palette.setColor(QPalette::Window,
                     combo2_->currentText().isEmpty() ? kSwitchRefused : kSwitchUsable);
    checkA2_->setPalette(palette);
}

void MainWindow::tinySwitchChanged(bool ticked) {
    using grep::placeInTwips;
    if (ticked && !tinySwitchUsable()) {
        const QSignalBlocker block(checkA2_); // refused: the layout stays as it is
        checkA2_->setChecked(false);
        return;
    }
    const QRect c1 = combo1_->geometry();
    const QRect sw = checkA2_->geometry();
    if (ticked) {
        panel3d1_->hide();
        combo1_->move(c1.x(), grep::toPixels(this, kPatternTinyTop));
        checkA2_->move(sw.x(), grep::toPixels(this, kSwitchTinyTop));
        grep::setInTabOrder(combo2_, false);
        grep::setInTabOrder(buttons_[4], false);
        setHeightTwips(kPanelHeight);
        // The panel's height is the window's outer height; the client area
        // holds the pattern box with the same margin below it as above.
        setFixedHeight(combo1_->geometry().bottom() + 1 + grep::toPixels(this, kPatternTinyTop));
        setTitle();
        sstab1_->setTabStripInTabOrder(false);
        sstab1_->setBoxesInTabOrder(0, grep::kBoxCount - 1, false);
        combo1_->setFocus();
    } else {
        panel3d1_->show();
        combo1_->move(c1.x(), grep::toPixels(this, kPatternTop));
        checkA2_->move(sw.x(), grep::toPixels(this, kSwitchTop));
        grep::setInTabOrder(combo2_, true);
        grep::setInTabOrder(buttons_[4], true);
        setHeightTwips(kCollapsedHeight);
    }
}

void MainWindow::updateRunButtons(QComboBox* changed) {
    QComboBox* other = changed == combo1_ ? combo2_ : combo1_;
    const bool settingsMode = buttons_[5]->text() == "&OK";
    if (changed->currentText().isEmpty()) {
        for (int n : {1, 2, 6})
            buttons_[static_cast<std::size_t>(n)]->setEnabled(false);
    } else if (!other->currentText().isEmpty() && !buttons_[1]->isEnabled() && !settingsMode) {
        for (int n : {1, 2, 6})
            buttons_[static_cast<std::size_t>(n)]->setEnabled(true);
    }
}

// ---- Window events --------------------------------------------------------------

void MainWindow::toggleSettingsMode() {
    if (!inSettingsMode()) {
        if (optionsShown())
            setHeightTwips(kCollapsedHeight);
        narrowing_->hide();
        savedPattern_ = combo1_->currentText();
        savedFiles_ = combo2_->currentText();
        combo1_->setEditText(qs(editorValue_));
        combo2_->setEditText(qs(defaultFile_));
        for (int n : {1, 2, 6, 7, 8})
            buttons_[static_cast<std::size_t>(n)]->setEnabled(false);
        QPalette palette = checkA2_->palette();
        palette.setColor(QPalette::Window, kSwitchUsable);
        checkA2_->setPalette(palette);
        buttons_[5]->setText("&OK");
        setFittedCaption(panel3d4_, QString::fromUtf8("エディタ名(&E)"));
        setFittedCaption(panel3d5_, QString::fromUtf8("起動時に指定するファイル名(&D)"));
        frame3d2_->setTitle(QString::fromUtf8("オプション"));
        label1_->hide();
        for (int i : {grep::kShowOptionsBox, grep::kDefaultFileBox}) {
            sstab1_->box(i)->show();
            grep::setInTabOrder(sstab1_->box(i), true);
        }
        combo1_->setFocus();
        return;
    }
    // An editor is named by a file or, as usual here, by a program on PATH.
    const std::string editor = combo1_->currentText().trimmed().toStdString();
    if (editor.empty() || (!platform::fileExists(editor) && !platform::findOnPath(editor))) {
        ui_.showStop(this, QString::fromUtf8(
                               "指定したエディタが見つかりません。設定をやり直してください。"));
        combo2_->setFocus();
        return;
    }
    if (ui_.askOkCancel(this, QString::fromUtf8("現在の設定を保存します")))
        saveSettings();
    buttons_[5]->setText("&Setting");
    narrowing_->show();
    combo1_->setEditText(savedPattern_);
    combo2_->setEditText(savedFiles_);
    const bool both = !savedPattern_.isEmpty() && !savedFiles_.isEmpty();
    for (int n : {1, 2, 6})
        buttons_[static_cast<std::size_t>(n)]->setEnabled(both);
    buttons_[7]->setEnabled(true);
    buttons_[8]->setEnabled(true);
    setFittedCaption(panel3d4_, QString::fromUtf8("検索する語(&K)"));
    setFittedCaption(panel3d5_, QString::fromUtf8("検索するファイル(&F)"));
    frame3d2_->setTitle(QString::fromUtf8("実行記録 "));
    label1_->show();
    for (int i : {grep::kShowOptionsBox, grep::kDefaultFileBox}) {
        sstab1_->box(i)->hide();
        grep::setInTabOrder(sstab1_->box(i), false);
    }
    updateTinySwitchColour();
    combo1_->setFocus();
}

bool MainWindow::inSettingsMode() const {
    return buttons_[5]->text() == "&OK";
}

void MainWindow::browse() {
    // The path is kept as chosen: on a case-sensitive file system its lower
    // case would name another file.
    const auto chosen =
        ui_.openFileDialog(this, QString::fromUtf8("ファイル選択"),
                           "Text File (*.TXT)|*.TXT|LZH File (*.LZH)|*.LZH|All Files (*.*)|*.*|",
                           QString::fromStdString(platform::currentDirectory()));
    if (!chosen || chosen->isEmpty())
        return;
    combo2_->setEditText(*chosen);
    combo2_->setFocus();
}

void MainWindow::popupCommandMenu(QPoint globalPos) {
    if (onPopupCommandMenu)
        onPopupCommandMenu(globalPos);
    else
        commandMenu_->popup(globalPos);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    quit();
    event->accept();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        popupCommandMenu(QCursor::pos());
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        popupCommandMenu(event->globalPosition().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainWindow::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    combo1_->setFocus();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Mouse events on the bare panels do nothing.
    if (watched == panel3d1_ || watched == panel3d6_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
            return true;
        default:
            return QWidget::eventFilter(watched, event);
        }
    }
    // The buttons, the status frame and the box labels pop up the command-set
    // menu on the right button; the buttons also take F5 and (all but "&List",
    // which has its own) the shared page keys.
    if (event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            popupCommandMenu(mouse->globalPosition().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::KeyPress && qobject_cast<QPushButton*>(watched)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_F5) {
            popupCommandMenu(QCursor::pos());
            return true;
        }
        if (watched != buttons_[9] && sstab1_->sharedPageKey(key))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace talvo::app
