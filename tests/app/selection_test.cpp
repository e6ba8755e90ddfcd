// "&Choose" on the window: the cyclic switch saving the options it leaves,
// captions and clearing of the new program, titles, and the option string.
#include "grep/option_panel.h"
#include "grep/option_store.h"
#include "tests/app/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace talvo;
using test::WindowRig;
namespace cp = test::cp932;

TEST(Choose, ThreeClicksAcrossOneThreeFiveSaveBeforeEachSwitch) {
    WindowRig rig({"cgrep.exe", "izgrep.exe", "wgrep.com"});
    rig.writeIni(cp::kGrep + cp::kGrepNumber + "=5\r\n");
    app::MainWindow& w = rig.start();
    const std::string ini = w.settingsFile();
    ASSERT_EQ(w.windowTitle(), "WGREP Sondel");

    w.optionBox(12)->setChecked(true); // WGREP: 表示形式 ファイル名小文字表示
    w.commandButton(8)->click();
    EXPECT_EQ(w.windowTitle(), "CGREP Sondel");
    EXPECT_EQ(grep::storedProgramTicks(ini, "WGREP")("表示形式 ファイル名小文字表示"), 1);
    EXPECT_FALSE(w.optionBox(12)->isChecked()); // CGREP has nothing stored yet

    w.optionBox(13)->setChecked(true); // CGREP: 前後表示 一致行の前１行
    w.optionBox(2)->setChecked(true);  // common
    w.commandButton(8)->click();
    EXPECT_EQ(w.windowTitle(), "IZGREP Sondel");
    EXPECT_EQ(grep::storedProgramTicks(ini, "CGREP")("前後表示 一致行の前１行"), 1);
    EXPECT_EQ(grep::readCommonTicks(ini)[2], 1);
    EXPECT_TRUE(w.optionBox(2)->isChecked()); // common ticks carry over

    w.optionBox(14)->setChecked(true); // IZGREP: １行中の複数マッチ許可
    w.commandButton(8)->click();
    EXPECT_EQ(w.windowTitle(), "WGREP Sondel");
    EXPECT_EQ(grep::storedProgramTicks(ini, "IZGREP")("１行中の複数マッチ許可"), 1);
    EXPECT_TRUE(w.optionBox(12)->isChecked()); // WGREP's own ticks are back
    EXPECT_FALSE(w.optionBox(14)->isChecked());
    EXPECT_EQ(w.selectedProgram(), 5);
}

TEST(Choose, UnusedBoxesAreClearedOnSwitchingToWgrepAndCgrep) {
    WindowRig rig({"jgrep.exe", "wgrep.com", "cgrep.exe"});
    rig.writeIni(cp::kGrep + cp::kGrepNumber + "=4\r\n");
    app::MainWindow& w = rig.start();
    for (int i = 12; i < 28; ++i)
        w.optionBox(i)->setChecked(true);
    w.commandButton(8)->click(); // to WGREP
    ASSERT_EQ(w.selectedProgram(), 5);
    EXPECT_FALSE(w.optionBox(27)->isChecked());
    EXPECT_FALSE(w.optionBox(27)->isEnabled());
    EXPECT_TRUE(w.optionBox(27)->text().isEmpty());

    for (int i = 12; i < 28; ++i)
        w.optionBox(i)->setChecked(true);
    w.commandButton(8)->click(); // to CGREP
    ASSERT_EQ(w.selectedProgram(), 1);
    for (int i = 24; i < 28; ++i) {
        EXPECT_FALSE(w.optionBox(i)->isChecked()) << i;
        EXPECT_TRUE(w.optionBox(i)->text().isEmpty()) << i;
    }
}

TEST(Choose, OptionStringFollowsTheSelectedProgram) {
    WindowRig rig(test::kAllPrograms);
    app::MainWindow& w = rig.start();
    w.optionBox(2)->setChecked(true);
    w.optionBox(14)->setChecked(true);
    EXPECT_EQ(w.optionString(), " -i -C");

    w.optionBox(14)->setChecked(false);
    w.optionBox(5)->setChecked(true); // CGREP lacks it: disabled but ticked
    EXPECT_FALSE(w.optionBox(5)->isEnabled());
    EXPECT_EQ(w.optionString(), " -i ");
    w.commandButton(8)->click(); // DGREP
    w.optionBox(2)->setChecked(false);
    w.optionBox(5)->setChecked(false);
    w.optionBox(12)->setChecked(true);
    w.optionBox(14)->setChecked(true);
    EXPECT_EQ(w.optionString(), " -J5");
    EXPECT_EQ(w.optionPanel()->groupLabel(0)->text(),
              QString::fromUtf8(" -J: 日本語同一視（複数可）"));
}

TEST(Choose, TitleInTinyModeShowsTheFileText) {
    WindowRig rig({"ygrep.exe", "cgrep.exe"});
    rig.writeIni(cp::kGrep + cp::kGrepNumber + "=6\r\n");
    app::MainWindow& w = rig.start();
    w.fileBox()->setEditText("  *.TXT ");
    w.tinySwitch()->setChecked(true);
    ASSERT_TRUE(w.isTinyMode());
    EXPECT_EQ(w.windowTitle(), "YGREP < *.txt");
    w.commandButton(8)->click();
    EXPECT_EQ(w.windowTitle(), "CGREP < *.txt");
}

TEST(Choose, WithOneProgramTheSwitchSavesAndReadsBackTheSameProgram) {
    WindowRig rig({"dgrep.exe"});
    app::MainWindow& w = rig.start();
    ASSERT_EQ(w.selectedProgram(), 2);
    w.optionBox(16)->setChecked(true);
    w.selectNextProgram(); // the keyboard shortcut reaches it while the button is disabled
    EXPECT_EQ(w.selectedProgram(), 2);
    EXPECT_TRUE(w.optionBox(16)->isChecked());
    EXPECT_EQ(grep::storedProgramTicks(w.settingsFile(), "DGREP")("その他 ファイル名検索のみ"), 1);
}

TEST(TinySwitch, RefusedWithAnEmptyFileBox) {
    WindowRig rig(test::kAllPrograms);
    app::MainWindow& w = rig.start();
    w.toggleOptionArea();
    ASSERT_EQ(w.heightTwips(), 6855);
    w.tinySwitch()->setChecked(true);
    EXPECT_FALSE(w.isTinyMode());
    EXPECT_EQ(w.heightTwips(), 6855); // layout unchanged
    EXPECT_EQ(w.windowTitle(), "CGREP Sondel");
}
