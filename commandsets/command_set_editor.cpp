// The command-set editor; see command_set_editor.h.
#include "commandsets/command_set_editor.h"

#include "commandsets/command_set_edits.h"
#include "commandsets/command_set_text.h"
#include "platform/ui.h"
#include "platform/units.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace talvo::commandsets {

namespace {

// Layout in twips at the normal size.
constexpr int kLeft = 120;
constexpr int kButtonTop = 120;
constexpr int kButtonWidth = 1000;
constexpr int kButtonHeight = 375;
constexpr int kButtonGap = 80;
constexpr int kLabelHeight = 240;
constexpr int kNameLabelTop = 615;
constexpr int kNameTop = 855;
constexpr int kNameHeight = 315;
constexpr int kCommandLabelTop = 1290;
constexpr int kCommandTop = 1530;
constexpr int kCommandWidth = 5925;
constexpr int kCommandHeight = 1695;
constexpr int kListTop = 4245;
constexpr int kListWidth = 5910;
constexpr int kListHeight = 1485;
constexpr int kListLabelAbove = 360;
constexpr int kListGapWhenEnlarged = 500;
constexpr int kClientWidth = kLeft + kCommandWidth + kLeft;
constexpr int kClientHeight = kListTop + kListHeight + kLeft;
constexpr int kBelowMainWindowTop = 300;
constexpr double kEnlargement = 1.5;

const char* const kListFullMessage = "これ以上登録できません";
const char* const kNameTooLongMessage = "名前が長すぎます。499バイトを超える名前は登録できません。";
const char* const kCommandLineTooLongMessage =
    "コマンドラインが長すぎます。499バイトを超えるコマンドラインは登録できません。";

QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

CommandSetEditor::CommandSetEditor(std::string programDirectory, platform::UserInterface& ui,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      file_(std::move(programDirectory)), ui_(ui) {
    setObjectName("Form4");
    setWindowTitle(" Edit Command Set");

    auto makeButton = [this](const char* name, const char* caption) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    renewButton_ = makeButton("ChangeCom", "&Renew");
    addButton_ = makeButton("AddCom", "&Add");
    deleteButton_ = makeButton("DelCom", "&Delete");
    clearButton_ = makeButton("ClearCom", "&Clear");
    okButton_ = makeButton("Command3D2", "&OK");

    nameLabel_ = new QLabel(" &Name ", this);
    nameBox_ = new QLineEdit(this);
    nameBox_->setObjectName("Text(0)");
    nameLabel_->setBuddy(nameBox_);

    commandLabel_ = new QLabel(" Command &Set ", this);
    commandBox_ = new QPlainTextEdit(this);
    commandBox_->setObjectName("Text(1)");
    commandBox_->setLineWrapMode(QPlainTextEdit::NoWrap);
    commandBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    commandBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    commandBox_->setTabChangesFocus(true);
    commandLabel_->setBuddy(commandBox_);

    listLabel_ = new QLabel("Command Set &List", this);
    setList_ = new QListWidget(this);
    setList_->setObjectName("SetList");
    listLabel_->setBuddy(setList_);

    setTabOrder(renewButton_, addButton_);
    setTabOrder(addButton_, deleteButton_);
    setTabOrder(deleteButton_, clearButton_);
    setTabOrder(clearButton_, okButton_);
    setTabOrder(okButton_, nameBox_);
    setTabOrder(nameBox_, commandBox_);
    setTabOrder(commandBox_, setList_);

    setList_->installEventFilter(this);
    setList_->viewport()->installEventFilter(this);

    connect(setList_, &QListWidget::currentRowChanged, this, &CommandSetEditor::selectionChanged);
    connect(nameBox_, &QLineEdit::textChanged, this, &CommandSetEditor::updateButtons);
    connect(commandBox_, &QPlainTextEdit::textChanged, this, &CommandSetEditor::updateButtons);
    connect(renewButton_, &QPushButton::clicked, this, &CommandSetEditor::renew);
    connect(addButton_, &QPushButton::clicked, this, &CommandSetEditor::add);
    connect(deleteButton_, &QPushButton::clicked, this, &CommandSetEditor::remove);
    connect(clearButton_, &QPushButton::clicked, this, &CommandSetEditor::clear);
    connect(okButton_, &QPushButton::clicked, this, &CommandSetEditor::confirm);

    const int buttonWidth = px(kButtonWidth);
    const int buttonHeight = px(kButtonHeight);
    int left = kLeft;
    for (QPushButton* button : {renewButton_, addButton_, deleteButton_, clearButton_}) {
        button->setGeometry(px(left), px(kButtonTop), buttonWidth, buttonHeight);
        left += kButtonWidth + kButtonGap;
    }
    okButton_->setGeometry(px(kClientWidth - kLeft - kButtonWidth), px(kButtonTop), buttonWidth,
                           buttonHeight);
    nameLabel_->setGeometry(px(kLeft), px(kNameLabelTop), px(kCommandWidth), px(kLabelHeight));
    nameBox_->setGeometry(px(kLeft), px(kNameTop), px(kCommandWidth), px(kNameHeight));
    commandLabel_->setGeometry(px(kLeft), px(kCommandLabelTop), px(kCommandWidth),
                               px(kLabelHeight));

    // A fixed border: only the title bar's commands (maximize) change the size.
    setFixedSize(px(kClientWidth), px(kClientHeight));
    loadedWidth_ = width();
    loadedCommandHeight_ = px(kCommandHeight);
    layOut();
    updateButtons();
}

int CommandSetEditor::px(double value) const {
    return platform::twipsToPixels(value, logicalDpiY());
}

void CommandSetEditor::placeBelow(const QWidget* mainWindow) {
    const QRect frame = mainWindow->frameGeometry();
    move(frame.left(), frame.top() + px(kBelowMainWindowTop));
}

void CommandSetEditor::refill() {
    suppressNextSelection_ = false;
    {
        const QSignalBlocker blocker(setList_);
        setList_->clear();
        for (const CommandSet& set : file_.editorList())
            setList_->addItem(toQString(listLine(set.name, set.commandLine)));
        setList_->setCurrentRow(-1);
    }
    nameBox_->clear();
    commandBox_->clear();
    nameBox_->setFocus();
    updateButtons();
}

void CommandSetEditor::showEvent(QShowEvent* event) {
    closedThroughFrame_ = false;
    QDialog::showEvent(event);
    refill();
}

bool CommandSetEditor::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate && showingMessage_) {
        keepOnNextActivation_ = true;
    } else if (event->type() == QEvent::WindowActivate) {
        if (keepOnNextActivation_)
            keepOnNextActivation_ = false;
        else if (!showingMessage_)
            refill();
    }
    return QDialog::event(event);
}

void CommandSetEditor::closeEvent(QCloseEvent* event) {
    closedThroughFrame_ = true;
    QDialog::closeEvent(event);
}

void CommandSetEditor::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layOut();
}

void CommandSetEditor::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMaximized() || isFullScreen()) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    } else {
        setFixedSize(px(kClientWidth), px(kClientHeight));
    }
}

void CommandSetEditor::layOut() {
    const int left = px(kLeft);
    if (width() == loadedWidth_) {
        commandBox_->setGeometry(left, px(kCommandTop), px(kCommandWidth), px(kCommandHeight));
        setList_->setGeometry(left, px(kListTop), px(kListWidth), px(kListHeight));
        listLabel_->setGeometry(left, px(kListTop - kListLabelAbove), px(kListWidth),
                                px(kLabelHeight));
        return;
    }
    // Enlarged from the loaded size, so repeated resizes never compound.
    const int boxWidth = std::max(width() - 2 * left, 1);
    const int boxHeight = static_cast<int>(loadedCommandHeight_ * kEnlargement);
    commandBox_->setGeometry(left, px(kCommandTop), boxWidth, boxHeight);
    const int listTop = px(kCommandTop) + boxHeight + px(kListGapWhenEnlarged);
    setList_->setGeometry(left, listTop, boxWidth, static_cast<int>(boxHeight * kEnlargement));
    listLabel_->setGeometry(left, listTop - px(kListLabelAbove), boxWidth, px(kLabelHeight));
}

bool CommandSetEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == setList_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    if (watched == setList_->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        {
            const QSignalBlocker blocker(setList_);
            setList_->setCurrentRow(-1);
        }
        selectionChanged(-1);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CommandSetEditor::selectionChanged(int row) {
    if (suppressNextSelection_) {
        suppressNextSelection_ = false;
        return;
    }
    CommandSet set;
    if (row >= 0)
        set = file_.read(row + 1);
    nameBox_->setText(toQString(set.name));
    commandBox_->setPlainText(toQString(markersToLineBreaks(set.commandLine, "\n")));
    updateButtons();
}

void CommandSetEditor::updateButtons() {
    const bool bothFilled = !isBlank(nameBox_->text().toStdString()) &&
                            !isBlank(commandBox_->toPlainText().toStdString());
    const bool selected = setList_->currentRow() >= 0;
    addButton_->setEnabled(bothFilled);
    renewButton_->setEnabled(bothFilled && selected);
    deleteButton_->setEnabled(selected);
}

CommandSet CommandSetEditor::setFromBoxes() const {
    return {nameToStore(nameBox_->text().toStdString()),
            lineBreaksToMarkers(commandBox_->toPlainText().toStdString())};
}

bool CommandSetEditor::refuse(EditRefusal refusal) {
    if (refusal == EditRefusal::None)
        return false;
    showingMessage_ = true;
    switch (refusal) {
    case EditRefusal::None:
        break;
    case EditRefusal::ListFull:
        ui_.showStop(this, QString::fromUtf8(kListFullMessage));
        break;
    case EditRefusal::NameTooLong:
        ui_.showStop(this, QString::fromUtf8(kNameTooLongMessage));
        break;
    case EditRefusal::CommandLineTooLong:
        ui_.showStop(this, QString::fromUtf8(kCommandLineTooLongMessage));
        break;
    }
    showingMessage_ = false;
    return true;
}

void CommandSetEditor::add() {
    if (!addButton_->isEnabled())
        return;
    const int count = setList_->count();
    const int row = setList_->currentRow();
    const CommandSet set = setFromBoxes();
    const EditResult result =
        addSet(file_, count, row >= 0 ? std::optional<int>(row) : std::nullopt, set);
    if (refuse(result.refusal))
        return;
    // The list line shows the boxes as typed, blanks around them included.
    const QString line =
        toQString(listLine(nameBox_->text().toStdString(),
                           lineBreaksMarked(commandBox_->toPlainText().toStdString())));
    {
        const QSignalBlocker blocker(setList_);
        if (row < 0) {
            setList_->addItem(line);
        } else {
            // The new set takes line row; keep the selection on it so that
            // "&Renew" and "&Delete" act on the set the boxes show.
            setList_->insertItem(row, line);
            setList_->setCurrentRow(row);
        }
    }
    updateButtons();
}

void CommandSetEditor::renew() {
    const int row = setList_->currentRow();
    if (row < 0 || !renewButton_->isEnabled())
        return;
    const CommandSet set = setFromBoxes();
    if (refuse(renewSet(file_, row, set).refusal))
        return;
    {
        const QSignalBlocker blocker(setList_);
        delete setList_->takeItem(row);
        setList_->insertItem(row,
                             toQString(listLine(nameBox_->text().toStdString(), set.commandLine)));
        setList_->setCurrentRow(-1);
    }
    // Selecting the line again must not reload the boxes from the file.
    suppressNextSelection_ = true;
    setList_->setCurrentRow(row);
    suppressNextSelection_ = false;
    updateButtons();
}

void CommandSetEditor::remove() {
    const int row = setList_->currentRow();
    if (row < 0)
        return;
    deleteSet(file_, setList_->count(), row);
    {
        const QSignalBlocker blocker(setList_);
        delete setList_->takeItem(row);
        setList_->setCurrentRow(-1);
    }
    updateButtons();
    nameBox_->setFocus();
}

void CommandSetEditor::clear() {
    nameBox_->clear();
    commandBox_->clear();
    updateButtons();
}

void CommandSetEditor::confirm() {
    closedThroughFrame_ = false;
    accept();
}

} // namespace talvo::commandsets
