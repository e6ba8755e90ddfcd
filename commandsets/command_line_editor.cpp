// The command-line editor; see command_line_editor.h.
#include "commandsets/command_line_editor.h"

#include "commandsets/command_set_text.h"
#include "platform/units.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace talvo::commandsets {

namespace {
// Layout in twips.
constexpr int kMargin = 120;
constexpr int kTextWidth = 6600;
constexpr int kTextHeight = 1200;
constexpr int kButtonWidth = 1000;
constexpr int kButtonHeight = 375;
constexpr int kButtonGap = 120;
constexpr int kClientWidth = kMargin + kTextWidth + kMargin;
constexpr int kClientHeight = kMargin + kTextHeight + kMargin + kButtonHeight + kMargin;
constexpr int kBelowPatternBox = 300;
} // namespace

CommandLineEditor::CommandLineEditor(const QString& line, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("Form2");
    setWindowTitle("WGREP Sondel - Edit Command Lines");

    text_ = new QPlainTextEdit(this);
    text_->setObjectName("Text1");
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setTabChangesFocus(true);
    ok_ = new QPushButton("&OK", this);
    ok_->setObjectName("Command3D1");
    cancel_ = new QPushButton("&Cancel", this);
    cancel_->setObjectName("Command3D2");
    for (QPushButton* button : {ok_, cancel_})
        button->setAutoDefault(false);

    text_->setGeometry(px(kMargin), px(kMargin), px(kTextWidth), px(kTextHeight));
    const int buttonTop = px(kMargin + kTextHeight + kMargin);
    cancel_->setGeometry(px(kClientWidth - kMargin - kButtonWidth), buttonTop, px(kButtonWidth),
                         px(kButtonHeight));
    ok_->setGeometry(px(kClientWidth - kMargin - 2 * kButtonWidth - kButtonGap), buttonTop,
                     px(kButtonWidth), px(kButtonHeight));
    setFixedSize(px(kClientWidth), px(kClientHeight));

    connect(text_, &QPlainTextEdit::textChanged, this,
            [this] { ok_->setEnabled(!text_->toPlainText().isEmpty()); });
    connect(ok_, &QPushButton::clicked, this, &CommandLineEditor::confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    text_->installEventFilter(this);

    // Lines of a batch command end in CR LF; the box shows them as lines.
    QString shown = line;
    shown.replace("\r\n", "\n");
    text_->setPlainText(shown);
    ok_->setEnabled(!shown.isEmpty());
    text_->setFocus();
}

int CommandLineEditor::px(double value) const {
    return platform::twipsToPixels(value, logicalDpiY());
}

void CommandLineEditor::placeBelowPatternBox(const QWidget* mainWindow, const QWidget* patternBox) {
    const QRect frame = mainWindow->frameGeometry();
    const int boxTop = patternBox->mapTo(mainWindow, QPoint(0, 0)).y();
    move(frame.left(), frame.top() + boxTop + patternBox->height() + px(kBelowPatternBox));
}

bool CommandLineEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == text_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (ok_->isEnabled())
                confirm();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CommandLineEditor::confirm() {
    QString line = QString::fromStdString(trimBlanks(text_->toPlainText().toStdString()));
    line.replace("\n", "\r\n");
    result_ = line;
    accept();
}

std::optional<QString> editCommandLine(QWidget* mainWindow, QWidget* patternBox,
                                       const QString& line) {
    CommandLineEditor editor(line, mainWindow);
    if (mainWindow && patternBox)
        editor.placeBelowPatternBox(mainWindow, patternBox);
    editor.exec();
    return editor.result();
}

} // namespace talvo::commandsets
