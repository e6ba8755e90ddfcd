// The controls of the main window and their places, in twips: the button panel
// across the top, the pattern box with the tiny switch below it, the file box,
// the status frame, and the option area in the part that a collapsed window
// cuts off.
#include "app/main_window.h"

#include "grep/option_panel.h"
#include "grep/twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace talvo::app {

namespace {

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

QComboBox* makeCombo(QWidget* parent, const char* name) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    // The histories are kept by the search run, not by the box.
    box->setInsertPolicy(QComboBox::NoInsert);
    // The text is used as typed: a completer would replace it with the spelling
    // of a history entry (case-insensitively, or inline to a longer entry).
    box->setCompleter(nullptr);
    box->setMaxVisibleItems(12);
    return box;
}

} // namespace

void MainWindow::buildControls() {
    using grep::placeInTwips;
    setObjectName("Form1");
    setWindowTitle("GREP Sondel");

    // Button panel: two rows of command buttons.
    panel3d1_ = new QFrame(this);
    panel3d1_->setObjectName("Panel3D1");
    panel3d1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    placeInTwips(panel3d1_, 0, 0, kWidth, kPanelHeight);
    struct ButtonPlace {
        int number; // 0 stands for SSCommand1
        const char* caption;
        int row, column;
    };
    const ButtonPlace places[] = {
        {1, "&Grep", 0, 0},    {6, "&Auto", 0, 1},   {2, "&Editor", 0, 2},
        {9, "&List", 0, 3},    {8, "&Choose", 0, 4}, {7, "&Options", 1, 0},
        {5, "&Setting", 1, 1}, {0, "&Help", 1, 2},   {3, "&Quit", 1, 4},
    };
    for (const ButtonPlace& b : places) {
        auto* button = new QPushButton(u8(b.caption), panel3d1_);
        button->setObjectName(b.number ? QString("Command3D%1").arg(b.number) : "SSCommand1");
        button->setAutoDefault(false);
        placeInTwips(button, 120 + b.column * 1880, 120 + b.row * 540, 1800, 480);
        button->installEventFilter(this);
        if (b.number)
            buttons_[static_cast<std::size_t>(b.number)] = button;
        else
            sscommand1_ = button;
    }

    // Pattern box and the tiny switch beside it.
    panel3d4_ = new QLabel(u8("検索する語(&K)"), this);
    panel3d4_->setObjectName("Panel3D4");
    placeInTwips(panel3d4_, 120, kPatternTop, 2040, 330);
    combo1_ = makeCombo(this, "Combo1");
    placeInTwips(combo1_, 2220, kPatternTop, 6660, 330);
    panel3d4_->setBuddy(combo1_);
    checkA2_ = new QCheckBox(this);
    checkA2_->setObjectName("CheckA2");
    checkA2_->setAutoFillBackground(true);
    placeInTwips(checkA2_, 9000, kSwitchTop, 300, 270);

    // File box and Browse.
    panel3d5_ = new QLabel(u8("検索するファイル(&F)"), this);
    panel3d5_->setObjectName("Panel3D5");
    placeInTwips(panel3d5_, 120, 1800, 2040, 330);
    combo2_ = makeCombo(this, "Combo2");
    placeInTwips(combo2_, 2220, 1800, 5700, 330);
    panel3d5_->setBuddy(combo2_);
    buttons_[4] = new QPushButton(u8("参照(&R)"), this);
    buttons_[4]->setObjectName("Command3D4");
    buttons_[4]->setAutoDefault(false);
    buttons_[4]->installEventFilter(this);
    placeInTwips(buttons_[4], 8040, 1785, 1440, 360);

    narrowing_ = new QCheckBox(u8("絞り込み検索(&N)"), this);
    narrowing_->setObjectName("Narrowing");
    placeInTwips(narrowing_, 2220, 2250, 3600, 300);

    // Status frame: the status line, or in the settings mode the start-up boxes.
    frame3d2_ = new QGroupBox(u8(" 実行記録 "), this);
    frame3d2_->setObjectName("Frame3D2");
    placeInTwips(frame3d2_, 120, 2640, 9360, 1380);
    frame3d2_->installEventFilter(this);
    label1_ = new QLabel("GREP Sondel 1.00", frame3d2_);
    label1_->setObjectName("Label1");
    label1_->setTextFormat(Qt::PlainText);
    label1_->setWordWrap(true);
    label1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeInTwips(label1_, 180, 360, 9000, 900);
    label1_->installEventFilter(this);
    panel3d4_->installEventFilter(this);
    panel3d5_->installEventFilter(this);

    // Option area, below what a collapsed window shows.
    panel3d6_ = new QFrame(this);
    panel3d6_->setObjectName("Panel3D6");
    placeInTwips(panel3d6_, 0, 4110, kWidth, 2745);
    // The bare panels take the mouse events that would reach the window.
    panel3d1_->installEventFilter(this);
    panel3d6_->installEventFilter(this);
    sstab1_ = new grep::OptionPanel(panel3d6_, frame3d2_);
    placeInTwips(sstab1_, 120, 60, 9360, 2580);
    for (int i : {grep::kShowOptionsBox, grep::kDefaultFileBox}) {
        QCheckBox* box = sstab1_->box(i);
        placeInTwips(box, 180, 360 + (i - grep::kShowOptionsBox) * 420, 6000, 330);
        box->hide(); // shown in the settings mode only
        grep::setInTabOrder(box, false);
    }

    commandMenu_ = new QMenu(u8("CommandSet"), this);
    commandMenu_->setObjectName("MnuCommand");
    commandMenu_->addAction(u8("CommandSet"));

    setFixedWidth(grep::toPixels(this, kWidth));
    setHeightTwips(kExpandedHeight);
    setFocusPolicy(Qt::ClickFocus);
}

} // namespace talvo::app
