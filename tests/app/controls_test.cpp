// The controls as a user meets them: typed text stays as typed, the page keys
// on the buttons, the bare panels, "&Choose" with one program, which files
// count as grep programs, and the layouts of the settings and tiny modes.
#include "app/search_wiring.h"
#include "grep/option_panel.h"
#include "grep/twips.h"
#include "platform/files.h"
#include "tests/app/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace talvo;
using platform::RecordedCall;
using test::WindowRig;
namespace cp = test::cp932;

namespace {

// The line edit loses the focus the way a click elsewhere takes it.
void leaveBox(QComboBox* box) {
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(box->lineEdit(), &out);
    QApplication::sendEvent(box, &out);
}

} // namespace

TEST(TypedText, IsUsedAsTypedWhateverTheHistoryHolds) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    w.show();
    for (QComboBox* box : {w.patternBox(), w.fileBox()}) {
        box->addItem("abc");
        box->addItem("abcdef.txt");
        box->setEditText("");
        QTest::keyClicks(box->lineEdit(), "ABC");
        leaveBox(box);
        EXPECT_EQ(box->currentText(), "ABC") << box->objectName().toStdString();
        box->setEditText("");
        QTest::keyClicks(box->lineEdit(), "ab");
        EXPECT_EQ(box->lineEdit()->text(), "ab");
        leaveBox(box);
        EXPECT_EQ(box->currentText(), "ab") << box->objectName().toStdString();
    }
}

TEST(ButtonKeys, PageKeysOnTheCommandButtonsAndBrowseShowHideAndShrink) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    w.show();
    w.fileBox()->setEditText("*.c");
    QList<QPushButton*> buttons{w.helpButton()};
    for (int n = 1; n <= 8; ++n)
        buttons << w.commandButton(n);
    for (QPushButton* button : buttons) {
        const std::string name = button->objectName().toStdString();
        ASSERT_FALSE(w.optionsShown()) << name;
        QTest::keyClick(button, Qt::Key_PageDown);
        EXPECT_TRUE(w.optionsShown()) << name;
        QTest::keyClick(button, Qt::Key_PageUp);
        EXPECT_FALSE(w.optionsShown()) << name;
    }
    // Page Up with the options hidden and a file box text: tiny mode.
    QTest::keyClick(w.commandButton(4), Qt::Key_PageUp);
    EXPECT_TRUE(w.isTinyMode());
}

TEST(Mouse, TheBarePanelsDoNothingWhileButtonsAndLabelsPopUpTheMenu) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    int popups = 0;
    w.onPopupCommandMenu = [&popups](QPoint) { ++popups; };
    w.toggleOptionArea();
    w.show();
    for (const char* name : {"Panel3D1", "Panel3D6"}) {
        auto* panel = w.findChild<QWidget*>(name);
        ASSERT_NE(panel, nullptr) << name;
        // A corner of the panel that no control covers.
        QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(2, 2));
        QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(2, 2));
        EXPECT_EQ(popups, 0) << name;
    }
    QTest::mouseClick(w.commandButton(1), Qt::RightButton);
    EXPECT_EQ(popups, 1);
    QTest::mouseClick(w.statusLabel(), Qt::RightButton);
    EXPECT_EQ(popups, 2);
}

TEST(Choose, AltCInTinyModeRunsTheSwitchAlsoWithOneProgram) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.create();
    app::SearchWiring wiring(w);
    w.load();
    w.show();
    ASSERT_FALSE(w.commandButton(8)->isEnabled());
    w.fileBox()->setEditText("  *.C ");
    w.tinySwitch()->setChecked(true);
    ASSERT_TRUE(w.isTinyMode());
    w.optionBox(0)->setChecked(true);
    ASSERT_FALSE(rig.dir.exists("talvo.ini"));
    QTest::keyClick(w.patternBox()->lineEdit(), Qt::Key_C, Qt::AltModifier);
    // The options of the program were saved and read back, the title set.
    EXPECT_TRUE(rig.dir.exists("talvo.ini"));
    EXPECT_TRUE(w.optionBox(0)->isChecked());
    EXPECT_EQ(w.windowTitle(), "CGREP < *.c");
}

TEST(Choose, LeavingTheSettingsModeEnablesOptionsAndChooseInAnyCase) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    ASSERT_FALSE(w.commandButton(8)->isEnabled());
    w.commandButton(5)->click();
    w.patternBox()->setEditText("sh");
    rig.ui.answers.push_back(false);
    w.commandButton(5)->click();
    ASSERT_FALSE(w.inSettingsMode());
    EXPECT_TRUE(w.commandButton(7)->isEnabled());
    EXPECT_TRUE(w.commandButton(8)->isEnabled());
    w.commandButton(8)->click();
    EXPECT_EQ(w.windowTitle(), "CGREP Sondel");
}

TEST(Detection, OnlyAFileOrALinkToAFileCountsAsAProgram) {
    WindowRig rig({"ygrep.exe"});
    std::filesystem::create_directory(rig.dir.file("cgrep.exe"));
    std::filesystem::create_symlink(rig.dir.file("missing"), rig.dir.file("dgrep.exe"));
    std::filesystem::create_symlink(rig.dir.file("ygrep.exe"), rig.dir.file("WGREP.COM"));
    app::MainWindow& w = rig.start();
    EXPECT_FALSE(w.programs().isAvailable(1));
    EXPECT_FALSE(w.programs().isAvailable(2));
    EXPECT_TRUE(w.programs().isAvailable(5));
    EXPECT_TRUE(w.programs().isAvailable(6));
    EXPECT_EQ(w.windowTitle(), "YGREP Sondel");

    EXPECT_FALSE(platform::findCaseInsensitiveFile(rig.dir.path(), "CGREP.EXE"));
    EXPECT_EQ(platform::findCaseInsensitiveFile(rig.dir.path(), "wgrep.com"),
              rig.dir.file("WGREP.COM"));
}

TEST(Browse, StartsInTheCurrentDirectory) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    w.commandButton(4)->click();
    const auto dialogs = rig.ui.of(RecordedCall::Kind::FileDialog);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].arguments.contains(QString::fromStdString(platform::currentDirectory())))
        << dialogs[0].arguments.join(",").toStdString();
}

TEST(Layout, TheSettingsModeCaptionsFitTheirLabels) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    w.show();
    w.commandButton(5)->click();
    for (const char* name : {"Panel3D4", "Panel3D5"}) {
        auto* label = w.findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr);
        QString shown = label->text();
        shown.remove('&');
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(shown),
                  label->contentsRect().width())
            << shown.toStdString();
    }
    EXPECT_EQ(w.findChild<QLabel*>("Panel3D5")->text(),
              QString::fromUtf8("起動時に指定するファイル名(&D)"));
}

TEST(Layout, TinyModeIsNoHigherThanItsBoxes) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    w.show();
    w.fileBox()->setEditText("*.c");
    w.tinySwitch()->setChecked(true);
    const int margin = grep::toPixels(&w, 70);
    EXPECT_EQ(w.height(), w.patternBox()->geometry().bottom() + 1 + margin);
    EXPECT_LE(w.tinySwitch()->geometry().bottom(), w.height());
    w.tinySwitch()->setChecked(false);
    EXPECT_EQ(w.height(), grep::toPixels(&w, 4150));
}

TEST(Layout, ARefusedTinyStartCollapsesTheOptionArea) {
    WindowRig rig({"cgrep.exe"});
    rig.writeIni(cp::kTiny + cp::kFlag + "=1\r\n" + cp::kTalvoOptions + cp::kDefaultFileAtStart +
                 "=1\r\n" + cp::kDefaultFileSection + cp::kFileName + "=\r\n");
    app::MainWindow& w = rig.start();
    EXPECT_FALSE(w.isTinyMode());
    EXPECT_EQ(w.heightTwips(), 4150);
    EXPECT_FALSE(w.optionsShown());
}
