// Quit from the button and from the window's close request, what they write,
// and the next start restoring it; the settings save of the settings mode.
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

namespace {

// The same session in a window: a program switch, ticks, history, a move.
void useWindow(app::MainWindow& w) {
    w.commandButton(8)->click();
    w.optionBox(1)->setChecked(true);
    w.optionBox(13)->setChecked(true);
    w.fileBox()->addItem("*.cpp");
    w.fileBox()->addItem(" src/*.H ");
    w.move(200, 100);
}

} // namespace

TEST(Quit, ButtonAndCloseRequestWriteTheSameBytes) {
    WindowRig byButton(test::kAllPrograms);
    WindowRig byClose(test::kAllPrograms);
    useWindow(byButton.start());
    useWindow(byClose.start());

    byButton.window().commandButton(3)->click();
    EXPECT_TRUE(byClose.window().close());
    EXPECT_EQ(byButton.ended, 1);
    EXPECT_EQ(byClose.ended, 1);
    ASSERT_FALSE(byButton.ini().empty());
    EXPECT_EQ(byButton.ini(), byClose.ini());

    // A close after Quit neither saves again nor ends twice.
    byButton.dir.remove("talvo.ini");
    byButton.window().close();
    EXPECT_EQ(byButton.ended, 1);
    EXPECT_FALSE(byButton.dir.exists("talvo.ini"));
}

TEST(Quit, NextStartRestoresPositionHistoryProgramAndTicks) {
    WindowRig rig(test::kAllPrograms);
    app::MainWindow& first = rig.start();
    useWindow(first);
    const std::int32_t left = first.leftTwips();
    const std::int32_t top = first.topTwips();
    first.quit();

    app::MainWindow& w = rig.start();
    EXPECT_EQ(w.selectedProgram(), 2);
    EXPECT_EQ(w.windowTitle(), "DGREP Sondel");
    EXPECT_EQ(w.leftTwips(), left);
    EXPECT_EQ(w.topTwips(), top);
    EXPECT_EQ(w.pos(), QPoint(200, 100));
    EXPECT_TRUE(w.optionBox(1)->isChecked());
    EXPECT_TRUE(w.optionBox(13)->isChecked());
    ASSERT_EQ(w.fileBox()->count(), 3);
    EXPECT_EQ(w.fileBox()->itemText(1), "*.cpp");
    EXPECT_EQ(w.fileBox()->itemText(2), "src/*.H");

    // And an unmoved window saves exactly what it read.
    const std::string before = rig.ini();
    w.quit();
    EXPECT_EQ(rig.ini(), before);
}

TEST(Quit, HistoryPushedOutDoesNotComeBack) {
    WindowRig rig(test::kAllPrograms);
    std::string ini = "[\x8c\x9f\x8d\xf5\x83\x74\x83\x40\x83\x43\x83\x8b\x83\x71\x83\x58\x83\x67"
                      "\x83\x8a\x81\x5b]\r\n";
    for (int n = 1; n <= 10; ++n)
        ini += cp::kFileName + "[" + std::to_string(n) + "]=f" + std::to_string(n) + "\r\n";
    rig.writeIni(ini);
    app::MainWindow& w = rig.start();
    ASSERT_EQ(w.fileBox()->count(), 11);
    w.quit();
    // The default file takes no entry: all ten come back.
    app::MainWindow& again = rig.start();
    EXPECT_EQ(again.fileBox()->count(), 11);
    EXPECT_EQ(again.fileBox()->itemText(10), "f10");
    // A new search pushes the last entry out for good.
    again.fileBox()->insertItem(0, "new");
    again.fileBox()->removeItem(again.fileBox()->count() - 1);
    again.quit();
    app::MainWindow& third = rig.start();
    EXPECT_EQ(third.fileBox()->count(), 11);
    EXPECT_EQ(third.fileBox()->itemText(1), "new");
    EXPECT_EQ(third.fileBox()->itemText(10), "f9");
}

TEST(SettingsSave, StoresEditorAndDefaultFileWithTheirCaseAndRefreshesTheEditorPath) {
    WindowRig rig(test::kAllPrograms);
    app::MainWindow& w = rig.start();
    w.patternBox()->setEditText("  /opt/Edit/MyEditor  ");
    w.fileBox()->setEditText(" Docs/*.TXT ");
    w.optionBox(10)->setChecked(true);
    w.saveSettings();
    EXPECT_EQ(w.statusLabel()->text(), QString::fromStdString("write " + w.settingsFile()));
    EXPECT_EQ(w.editorValue(), "/opt/Edit/MyEditor");
    EXPECT_EQ(w.editorPath(), "/opt/Edit/MyEditor");
    EXPECT_EQ(w.defaultFile(), "Docs/*.TXT");

    w.quit();
    app::MainWindow& again = rig.start();
    EXPECT_EQ(again.editorPath(), "/opt/Edit/MyEditor");
    EXPECT_EQ(again.defaultFile(), "Docs/*.TXT");
    EXPECT_EQ(again.heightTwips(), 6855); // options shown at start
    EXPECT_TRUE(again.optionBox(10)->isChecked());
}
