// The option tab control: page layout in twips, the mirroring of the plain
// option-box state onto the check boxes, and the behaviour of the option area.
#include "grep/option_panel.h"

#include "grep/option_rules.h"
#include "grep/twips.h"

#include <QCheckBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTabBar>

namespace talvo::grep {

namespace {

constexpr int kColumnLeft[2] = {240, 4800};
constexpr int kColumnWidth = 4300;
constexpr int kRowHeight = 330;
constexpr int kRowStep = 360;
constexpr int kPageTop = 120;
constexpr int kGroupedTop = 450; // boxes below a group label

const char* const kPageCaptions[3] = {"共通オプション &X ", "固有オプション &Y ",
                                      "固有オプション &Z "};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

OptionPanel::OptionPanel(QWidget* parent, QWidget* startupBoxParent) : QTabWidget(parent) {
    setObjectName("SSTab1");
    std::array<QWidget*, 3> pages{};
    for (int p = 0; p < 3; ++p) {
        pages[static_cast<std::size_t>(p)] = new QWidget(this);
        pages[static_cast<std::size_t>(p)]->setObjectName(QString("SSTab1_page%1").arg(p));
        addTab(pages[static_cast<std::size_t>(p)], QString::fromUtf8(kPageCaptions[p]));
    }
    for (int k = 0; k < kGroupLabelCount; ++k) {
        QWidget* page = pages[static_cast<std::size_t>(1 + k / 2)];
        auto* label = new QLabel(page);
        label->setObjectName(QString("Panel3D%1").arg(7 + k));
        placeInTwips(label, kColumnLeft[k % 2], 60, kColumnWidth, kRowHeight);
        labels_[static_cast<std::size_t>(k)] = label;
    }
    // Panel3D7 keeps its framed design style; the others follow their text.
    labels_[0]->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    const OptionBoxes initial = initialBoxes();
    for (int i = 0; i < kBoxCount; ++i) {
        const int page = pageOfBox(i);
        QWidget* owner = page < 0 ? startupBoxParent : pages[static_cast<std::size_t>(page)];
        auto* box = new QCheckBox(owner);
        box->setObjectName(QString("CheckA1_%1").arg(i));
        box->setText(qs(initial.boxes[static_cast<std::size_t>(i)].caption));
        if (page == 0) {
            placeInTwips(box, kColumnLeft[i / 5], kPageTop + (i % 5) * kRowStep, kColumnWidth,
                         kRowHeight);
        } else if (page > 0) {
            const int inPage = (i - 12) % 8;
            placeInTwips(box, kColumnLeft[inPage / 4], kGroupedTop + (inPage % 4) * kRowStep,
                         kColumnWidth, kRowHeight);
        }
        boxes_[static_cast<std::size_t>(i)] = box;
        if (page >= 0) {
            box->installEventFilter(this);
            connect(box, &QCheckBox::toggled, this,
                    [this, i](bool ticked) { boxTickChanged(i, ticked); });
        }
    }
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::currentChanged, this, &OptionPanel::pageChanged);
}

Ticks OptionPanel::ticks() const {
    Ticks ticks{};
    for (int i = 0; i < kBoxCount; ++i)
        ticks[static_cast<std::size_t>(i)] =
            boxes_[static_cast<std::size_t>(i)]->isChecked() ? 1 : 0;
    return ticks;
}

void OptionPanel::setCommonTicks(const CommonTicks& ticks) {
    for (int i = 0; i < kCommonBoxCount; ++i)
        boxes_[static_cast<std::size_t>(i)]->setChecked(ticks[static_cast<std::size_t>(i)] == 1);
}

OptionBoxes OptionPanel::snapshot() const {
    OptionBoxes state;
    for (int i = 0; i < kBoxCount; ++i) {
        const QCheckBox* box = boxes_[static_cast<std::size_t>(i)];
        OptionBox& b = state.boxes[static_cast<std::size_t>(i)];
        b.tick = box->isChecked() ? 1 : 0;
        b.caption = box->text().toStdString();
        b.enabled = box->isEnabled();
    }
    state.flags = flags_;
    for (int k = 0; k < kGroupLabelCount; ++k)
        state.groupLabels[static_cast<std::size_t>(k)] =
            labels_[static_cast<std::size_t>(k)]->text().toStdString();
    return state;
}

void OptionPanel::display(const OptionBoxes& state) {
    // Ascending box order, as the change handling of each box expects.
    for (int i = 0; i < kBoxCount; ++i) {
        QCheckBox* box = boxes_[static_cast<std::size_t>(i)];
        const OptionBox& b = state.boxes[static_cast<std::size_t>(i)];
        box->setText(qs(b.caption));
        box->setChecked(b.tick == 1);
        box->setEnabled(b.enabled);
    }
    for (int k = 0; k < kGroupLabelCount; ++k)
        labels_[static_cast<std::size_t>(k)]->setText(
            qs(state.groupLabels[static_cast<std::size_t>(k)]));
    for (int k = 1; k < kGroupLabelCount; ++k)
        labels_[static_cast<std::size_t>(k)]->setFrameStyle(
            state.groupFramed[static_cast<std::size_t>(k - 1)] ? QFrame::Panel | QFrame::Sunken
                                                               : QFrame::NoFrame);
    flags_ = state.flags;
}

void OptionPanel::applyProgram(const ProgramOptions& program, const StoredTick& storedTick) {
    // The new program's exclusive groups already hold for the ticks it reads back.
    program_ = &program;
    OptionBoxes state = snapshot();
    grep::applyProgram(state, program, storedTick, currentIndex());
    display(state);
}

void OptionPanel::setTabStripInTabOrder(bool inOrder) {
    setInTabOrder(tabBar(), inOrder);
    setInTabOrder(this, inOrder);
}

void OptionPanel::setBoxesInTabOrder(int first, int last, bool inOrder) {
    for (int i = first; i <= last; ++i)
        if (i != kShowOptionsBox && i != kDefaultFileBox)
            setInTabOrder(boxes_[static_cast<std::size_t>(i)], inOrder);
}

// ---- Showing, hiding and pages ---------------------------------------------------

int OptionPanel::windowHeight() const {
    return window.heightTwips ? window.heightTwips() : requestedHeight_;
}

bool OptionPanel::optionsShown() const {
    return windowHeight() > kShownThreshold;
}

void OptionPanel::requestHeight(int twips) {
    requestedHeight_ = twips;
    emit windowHeightRequested(twips);
}

void OptionPanel::toggleOptionArea() {
    if (!optionsShown()) {
        requestHeight(kExpandedHeight);
        setTabStripInTabOrder(true);
        const BoxRange page = boxesOfPage(currentIndex());
        setBoxesInTabOrder(page.first, page.last, true);
    } else {
        requestHeight(kCollapsedHeight);
        setTabStripInTabOrder(false);
        setBoxesInTabOrder(0, kBoxCount - 1, false);
    }
}

void OptionPanel::nextOptionPage() {
    setCurrentIndex(nextPage(currentIndex()));
}

void OptionPanel::pageChanged(int shown) {
    const BoxRange left = boxesOfPage(shownPage_);
    for (int i = left.first; i <= left.last; ++i)
        box(i)->setEnabled(false);
    const BoxRange now = boxesOfPage(shown);
    for (int i = now.first; i <= now.last; ++i) {
        const bool captionEmpty = box(i)->text().isEmpty();
        box(i)->setEnabled(program_ ? enabledWhenShown(*program_, i, captionEmpty) : !captionEmpty);
    }
    shownPage_ = shown;
}

void OptionPanel::boxTickChanged(int index, bool ticked) {
    if (!ticked || !program_)
        return;
    // Each clearing comes back here for a box that is now clear and stops.
    for (int other : boxesClearedByTick(program_->number, index))
        box(other)->setChecked(false);
}

// ---- Keys and the right mouse button -------------------------------------------

bool OptionPanel::sharedPageKey(int key) {
    const bool tiny = window.tinyMode && window.tinyMode();
    switch (key) {
    case Qt::Key_PageUp:
        if (tiny)
            return true;
        if (optionsShown())
            toggleOptionArea();
        else if (!window.tinySwitchUsable || window.tinySwitchUsable())
            emit tinyModeRequested();
        return true;
    case Qt::Key_PageDown:
        if (tiny)
            return false;
        if (optionsShown())
            nextOptionPage();
        else
            toggleOptionArea();
        return true;
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}

bool OptionPanel::boxKeyDown(QKeyEvent* event) {
    const bool tiny = window.tinyMode && window.tinyMode();
    switch (event->key()) {
    case Qt::Key_PageUp:
        if (tiny)
            return false;
        if (!optionsShown()) {
            if (!window.tinySwitchUsable || window.tinySwitchUsable())
                emit tinyModeRequested();
        } else {
            toggleOptionArea();
        }
        return true;
    case Qt::Key_PageDown: {
        if (tiny)
            return false;
        if (!optionsShown()) {
            toggleOptionArea();
            return true;
        }
        const int before = currentIndex();
        nextOptionPage();
        const int target =
            focusAfterPageDown(before, [this](int b) { return box(b)->isEnabled(); });
        if (target == kPatternBoxFocus)
            emit patternBoxFocusRequested();
        else
            box(target)->setFocus(Qt::TabFocusReason);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A held key acts once per press.
        if (!event->isAutoRepeat())
            emit enterPressed(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
        return true;
    case Qt::Key_Escape:
        emit escapePressed();
        return true;
    default:
        return false; // Space and the rest: the box's own handling
    }
}

bool OptionPanel::tabStripKeyDown(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5) {
        emit commandMenuRequested(QCursor::pos());
        return true;
    }
    if (!sharedPageKey(event->key()))
        return false; // arrows, Tab and the rest keep the strip's own handling
    emit patternBoxFocusRequested();
    return true;
}

bool OptionPanel::eventFilter(QObject* watched, QEvent* event) {
    // Filtered are the tab strip and the boxes on the pages.
    const bool onStrip = watched == tabBar();
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            // The tick stays as it is; only the menu comes up.
            if (event->type() == QEvent::MouseButtonPress)
                emit commandMenuRequested(mouse->globalPosition().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (onStrip ? tabStripKeyDown(key) : boxKeyDown(key)) {
            event->accept();
            return true;
        }
    }
    return QTabWidget::eventFilter(watched, event);
}

} // namespace talvo::grep
