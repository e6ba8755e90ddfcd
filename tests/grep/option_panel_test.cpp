// The option tab control: its pages, the boxes and their names, the start-up
// boxes living in the main window's frame, and Apply program on the widgets.
#include "grep/option_panel.h"
#include "grep/programs.h"

#include <QCheckBox>
#include <QLabel>
#include <QTabBar>
#include <QWidget>

#include <gtest/gtest.h>

using namespace talvo::grep;

namespace {
StoredTick nothingStored() {
    return [](std::string_view) { return 0; };
}
} // namespace

TEST(OptionPanel, PagesBoxesAndNames) {
    QWidget window;
    QWidget frame(&window);
    OptionPanel panel(&window, &frame);
    EXPECT_EQ(panel.objectName(), "SSTab1");
    ASSERT_EQ(panel.count(), 3);
    EXPECT_EQ(panel.tabText(0), QString::fromUtf8("共通オプション &X "));
    EXPECT_EQ(panel.tabText(1), QString::fromUtf8("固有オプション &Y "));
    EXPECT_EQ(panel.tabText(2), QString::fromUtf8("固有オプション &Z "));
    for (int i = 0; i < kBoxCount; ++i) {
        ASSERT_NE(panel.box(i), nullptr);
        EXPECT_EQ(panel.box(i)->objectName(), QString("CheckA1_%1").arg(i));
    }
    EXPECT_EQ(panel.box(10)->parentWidget(), &frame);
    EXPECT_EQ(panel.box(11)->parentWidget(), &frame);
    EXPECT_EQ(panel.box(3)->parentWidget(), panel.widget(0));
    EXPECT_EQ(panel.box(19)->parentWidget(), panel.widget(1));
    EXPECT_EQ(panel.box(20)->parentWidget(), panel.widget(2));
    EXPECT_EQ(panel.box(10)->text(), QString::fromUtf8("起動時にオプションを表示"));
    EXPECT_EQ(panel.groupLabel(0)->objectName(), "Panel3D7");
    EXPECT_EQ(panel.groupLabel(3)->objectName(), "Panel3D10");
    EXPECT_EQ(panel.groupLabel(2)->parentWidget(), panel.widget(2));
}

TEST(OptionPanel, ApplyProgramReachesTheWidgets) {
    QWidget window;
    QWidget frame(&window);
    OptionPanel panel(&window, &frame);
    for (int i = 0; i < kBoxCount; ++i)
        panel.box(i)->setChecked(true);
    panel.applyProgram(programOptions(WGREP), nothingStored());
    EXPECT_FALSE(panel.box(27)->isChecked());
    EXPECT_FALSE(panel.box(27)->isEnabled());
    EXPECT_TRUE(panel.box(27)->text().isEmpty());
    EXPECT_TRUE(panel.box(5)->isChecked()); // common ticks carry over
    EXPECT_TRUE(panel.box(10)->isChecked());
    EXPECT_EQ(panel.box(17)->text(), QString::fromUtf8("ｱｰｶｲﾌﾞﾌｧｲﾙ内でｽｷｯﾌﾟ×(&5)"));
    EXPECT_EQ(panel.groupLabel(3)->text(), QString::fromUtf8(" -s: 改行･タブ･スペース無視"));
    EXPECT_EQ(panel.flags()[16], "-h0");

    panel.applyProgram(programOptions(IZGREP), nothingStored());
    EXPECT_EQ(panel.groupLabel(1)->frameStyle(), static_cast<int>(QFrame::NoFrame));
    EXPECT_NE(panel.groupLabel(2)->frameStyle(), static_cast<int>(QFrame::NoFrame));
    EXPECT_FALSE(panel.box(15)->isChecked());
    EXPECT_EQ(buildOptionString(programOptions(IZGREP), panel.ticks()),
              " -a -c -i -l -n  -t  -v -w");
}
