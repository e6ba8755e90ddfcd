// The option area in daily use: showing and hiding it with the tab order,
// page changes and the boxes they enable, the exclusive groups per program,
// and the keys and right mouse button inside the area.
#include "grep/option_panel.h"
#include "grep/programs.h"
#include "grep/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <initializer_list>

using namespace talvo::grep;

namespace {

// A window standing in for the main window: it follows the panel's height
// requests and answers the panel's questions.
class AreaRig {
public:
    explicit AreaRig(int program, int height = OptionPanel::kExpandedHeight)
        : frame(&window), panel(&window, &frame), height_(height) {
        panel.window.heightTwips = [this] { return height_; };
        panel.window.tinyMode = [this] { return tiny; };
        panel.window.tinySwitchUsable = [this] { return teal; };
        QObject::connect(&panel, &OptionPanel::windowHeightRequested,
                         [this](int twips) { height_ = twips; });
        panel.applyProgram(programOptions(program), [](std::string_view) { return 0; });
    }

    int height() const { return height_; }
    QCheckBox* box(int i) const { return panel.box(i); }
    void tick(const std::vector<int>& boxes) {
        for (int b : boxes)
            box(b)->setChecked(true);
    }
    std::vector<int> ticked() const {
        std::vector<int> out;
        for (int i = 12; i < kBoxCount; ++i)
            if (panel.box(i)->isChecked())
                out.push_back(i);
        return out;
    }
    std::vector<int> enabledOn(int first, int last) const {
        std::vector<int> out;
        for (int i = first; i <= last; ++i)
            if (panel.box(i)->isEnabled())
                out.push_back(i);
        return out;
    }

    QWidget window;
    QWidget frame;
    OptionPanel panel;
    bool tiny = false;
    bool teal = true;

private:
    int height_;
};

using Boxes = std::vector<int>;

} // namespace

TEST(OptionArea, ToggleSetsHeightAndTabOrderOfThePageShown) {
    AreaRig rig(CGREP, OptionPanel::kCollapsedHeight);
    EXPECT_FALSE(rig.panel.optionsShown());
    rig.panel.toggleOptionArea();
    EXPECT_EQ(rig.height(), 6855);
    EXPECT_TRUE(isInTabOrder(rig.panel.tabBar()));
    EXPECT_TRUE(isInTabOrder(rig.box(0)));
    EXPECT_TRUE(isInTabOrder(rig.box(9)));

    rig.panel.toggleOptionArea();
    EXPECT_EQ(rig.height(), 4150);
    EXPECT_FALSE(isInTabOrder(rig.panel.tabBar()));
    for (int i : {0, 9, 12, 27})
        EXPECT_FALSE(isInTabOrder(rig.box(i))) << i;

    // Shown again while page 1 is up: only page 1 is reachable, and a later
    // page change does not add page 2.
    rig.panel.setCurrentIndex(1);
    rig.panel.toggleOptionArea();
    EXPECT_TRUE(isInTabOrder(rig.box(12)));
    EXPECT_TRUE(isInTabOrder(rig.box(19)));
    EXPECT_FALSE(isInTabOrder(rig.box(0)));
    rig.panel.setCurrentIndex(2);
    EXPECT_FALSE(isInTabOrder(rig.box(20)));
}

TEST(OptionArea, ThresholdSeparatesCollapsedFromShown) {
    AreaRig collapsed(CGREP, 4500);
    EXPECT_FALSE(collapsed.panel.optionsShown());
    collapsed.panel.toggleOptionArea();
    EXPECT_EQ(collapsed.height(), 6855);
    AreaRig shown(CGREP, 4501);
    shown.panel.toggleOptionArea();
    EXPECT_EQ(shown.height(), 4150);
}

TEST(OptionArea, PageChangeEnablesOnlyTheBoxesInUse) {
    AreaRig rig(IZGREP);
    EXPECT_EQ(rig.enabledOn(0, 9), (Boxes{0, 1, 2, 3, 4, 6, 8, 9}));
    rig.panel.setCurrentIndex(1);
    EXPECT_EQ(rig.enabledOn(0, 9), Boxes{});
    EXPECT_EQ(rig.enabledOn(12, 19), (Boxes{12, 13, 14}));
    rig.panel.setCurrentIndex(2);
    EXPECT_EQ(rig.enabledOn(12, 27), Boxes{}); // IZGREP has nothing on page 2
    rig.panel.setCurrentIndex(0);
    EXPECT_EQ(rig.enabledOn(0, 9), (Boxes{0, 1, 2, 3, 4, 6, 8, 9}));

    AreaRig dgrep(DGREP);
    dgrep.panel.setCurrentIndex(1);
    dgrep.panel.setCurrentIndex(0);
    EXPECT_EQ(dgrep.enabledOn(0, 9), (Boxes{1, 2, 3, 4, 7, 8, 9}));
}

TEST(OptionArea, ExclusiveGroupsPerProgram) {
    struct Case {
        int program;
        Boxes ticks;
        Boxes expected;
    };
    const Case cases[] = {
        {WGREP, {16, 18}, {18}},
        {WGREP, {20, 21}, {20, 21}}, // display-format sums combine
        {JGREP, {12, 13}, {12, 13}},
        {JGREP, {12, 13, 14}, {14}},
        {JGREP, {14, 12}, {12}},
        {CGREP, {15, 12}, {12}},
        {YGREP, {13, 15}, {15}},
        {JGREP, {22, 25}, {25}},
        {JGREP, {12, 22}, {12, 22}}, // the two JGREP groups are separate
        {DGREP, {12, 13, 14}, {12, 13, 14}},
        {IZGREP, {12, 13, 14}, {12, 13, 14}},
        {CGREP, {16, 17, 18}, {16, 17, 18}},
    };
    for (const Case& c : cases) {
        AreaRig rig(c.program);
        rig.tick(c.ticks);
        EXPECT_EQ(rig.ticked(), c.expected) << "program " << c.program;
    }
}

TEST(OptionArea, ExclusionRunsForTicksReadBackOnApply) {
    AreaRig rig(CGREP);
    rig.panel.applyProgram(programOptions(CGREP), [](std::string_view key) {
        return key.find("１行") != std::string_view::npos || key.find("２行") != key.npos ? 1 : 0;
    });
    EXPECT_EQ(rig.ticked(), Boxes{14}); // 12 and 13, then 14 clearing them
}

TEST(OptionArea, PageDownCyclesThePagesAndMovesTheFocus) {
    AreaRig rig(IZGREP);
    rig.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
    QSignalSpy toPattern(&rig.panel, &OptionPanel::patternBoxFocusRequested);

    rig.box(3)->setFocus();
    QTest::keyClick(rig.box(3), Qt::Key_PageDown);
    EXPECT_EQ(rig.panel.currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), rig.box(12));
    QTest::keyClick(rig.box(12), Qt::Key_PageDown);
    EXPECT_EQ(rig.panel.currentIndex(), 2);
    EXPECT_EQ(toPattern.count(), 1); // box 20 is disabled for IZGREP
    QTest::keyClick(rig.box(12), Qt::Key_PageDown);
    EXPECT_EQ(rig.panel.currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), rig.box(0));

    AreaRig dgrep(DGREP);
    dgrep.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dgrep.window));
    QSignalSpy dgrepToPattern(&dgrep.panel, &OptionPanel::patternBoxFocusRequested);
    dgrep.panel.setCurrentIndex(1);
    QTest::keyClick(dgrep.box(12), Qt::Key_PageDown);
    EXPECT_EQ(dgrepToPattern.count(), 1);
    QTest::keyClick(dgrep.box(20), Qt::Key_PageDown);
    EXPECT_EQ(dgrep.panel.currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), dgrep.box(1)); // box 0 stays disabled
}

TEST(OptionArea, PageKeysInABoxShowHideAndAskForTinyMode) {
    AreaRig rig(CGREP, OptionPanel::kCollapsedHeight);
    QSignalSpy tiny(&rig.panel, &OptionPanel::tinyModeRequested);
    QTest::keyClick(rig.box(2), Qt::Key_PageDown);
    EXPECT_EQ(rig.height(), 6855);
    EXPECT_EQ(rig.panel.currentIndex(), 0); // showing does not turn the page
    QTest::keyClick(rig.box(2), Qt::Key_PageUp);
    EXPECT_EQ(rig.height(), 4150);
    EXPECT_EQ(tiny.count(), 0);
    QTest::keyClick(rig.box(2), Qt::Key_PageUp);
    EXPECT_EQ(tiny.count(), 1);

    rig.teal = false; // an empty file box refuses tiny mode
    QTest::keyClick(rig.box(2), Qt::Key_PageUp);
    EXPECT_EQ(tiny.count(), 1);

    rig.tiny = true; // in tiny mode the page keys change nothing here
    QTest::keyClick(rig.box(2), Qt::Key_PageDown);
    QTest::keyClick(rig.box(2), Qt::Key_PageUp);
    EXPECT_EQ(rig.height(), 4150);
    EXPECT_EQ(tiny.count(), 1);
}

TEST(OptionArea, EnterAndEscapeInABoxGoToTheWindow) {
    AreaRig rig(CGREP);
    QSignalSpy enter(&rig.panel, &OptionPanel::enterPressed);
    QSignalSpy escape(&rig.panel, &OptionPanel::escapePressed);
    QTest::keyClick(rig.box(1), Qt::Key_Return);
    QTest::keyClick(rig.box(1), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(rig.box(1), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QTest::keyClick(rig.box(1), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(enter.count(), 4);
    using M = Qt::KeyboardModifiers;
    EXPECT_EQ(enter[0][0].value<M>(), M(Qt::NoModifier));
    EXPECT_EQ(enter[1][0].value<M>(), M(Qt::ShiftModifier));
    EXPECT_EQ(enter[2][0].value<M>(), M(Qt::ControlModifier));
    EXPECT_EQ(enter[3][0].value<M>(), M(Qt::ControlModifier | Qt::ShiftModifier));

    // A held Enter repeats: the repeats start nothing.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QApplication::sendEvent(rig.box(1), &repeat);
    EXPECT_EQ(enter.count(), 4);

    QTest::keyClick(rig.box(1), Qt::Key_Escape);
    EXPECT_EQ(escape.count(), 1);
    EXPECT_FALSE(rig.box(1)->isChecked());
    QTest::keyClick(rig.box(1), Qt::Key_Space);
    EXPECT_TRUE(rig.box(1)->isChecked()); // other keys keep the box's handling
}

TEST(OptionArea, RightButtonPopsTheMenuAndLeavesTheTick) {
    AreaRig rig(CGREP);
    rig.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.window));
    QSignalSpy menu(&rig.panel, &OptionPanel::commandMenuRequested);
    rig.box(4)->setChecked(true);
    QTest::mouseClick(rig.box(4), Qt::RightButton);
    QTest::mouseClick(rig.box(6), Qt::RightButton);
    EXPECT_EQ(menu.count(), 2);
    EXPECT_TRUE(rig.box(4)->isChecked());
    EXPECT_FALSE(rig.box(6)->isChecked());
    QTest::mouseClick(rig.panel.tabBar(), Qt::RightButton);
    EXPECT_EQ(menu.count(), 3);
    EXPECT_EQ(rig.panel.currentIndex(), 0);
}

TEST(OptionArea, TabStripKeys) {
    AreaRig rig(CGREP);
    QSignalSpy menu(&rig.panel, &OptionPanel::commandMenuRequested);
    QSignalSpy toPattern(&rig.panel, &OptionPanel::patternBoxFocusRequested);
    QTest::keyClick(rig.panel.tabBar(), Qt::Key_F5);
    EXPECT_EQ(menu.count(), 1);
    EXPECT_EQ(toPattern.count(), 0);
    QTest::keyClick(rig.panel.tabBar(), Qt::Key_PageDown);
    EXPECT_EQ(rig.panel.currentIndex(), 1);
    EXPECT_EQ(toPattern.count(), 1);
    QTest::keyClick(rig.panel.tabBar(), Qt::Key_PageUp);
    EXPECT_EQ(rig.height(), 4150);
    EXPECT_EQ(toPattern.count(), 2);
}
