// Start-up of the main window: detection with its messages and title, the
// result-file clean-up, the settings read, placement and the collapse rule.
#include "grep/option_panel.h"
#include "grep/twips.h"
#include "platform/editor.h"
#include "tests/app/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

using namespace talvo;
using test::WindowRig;
using Kind = platform::RecordedCall::Kind;
namespace cp = test::cp932;

namespace {

QStringList items(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

int px(const QWidget& w, int twips) {
    return grep::toPixels(&w, twips);
}

} // namespace

TEST(Startup, WithoutTalvoIni) {
    WindowRig rig(test::kAllPrograms);
    app::MainWindow& w = rig.start();
    EXPECT_EQ(w.windowTitle(), "CGREP Sondel");
    EXPECT_EQ(w.objectName(), "Form1");
    EXPECT_EQ(w.heightTwips(), 4150);
    EXPECT_EQ(w.height(), px(w, 4150));
    EXPECT_FALSE(grep::isInTabOrder(w.optionPanel()->tabBar()));
    EXPECT_FALSE(grep::isInTabOrder(w.optionBox(0)));

    // Centred for the design size of the window.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(w.pos().x(), screen.x() + (screen.width() - px(w, 9600)) / 2.0, 1.0);
    EXPECT_NEAR(w.pos().y(), screen.y() + (screen.height() - px(w, 6855)) / 2.0, 1.0);

    EXPECT_EQ(items(w.fileBox()), QStringList{"feng*.*"});
    EXPECT_EQ(w.fileBox()->currentText(), "");
    for (int i = 0; i < 28; ++i)
        EXPECT_FALSE(w.optionBox(i)->isChecked()) << i;
    EXPECT_EQ(w.editorValue(), platform::defaultEditor());
    EXPECT_EQ(w.editorPath(), platform::defaultEditor());
    EXPECT_TRUE(rig.ui.calls.empty());
    EXPECT_TRUE(rig.dir.exists("RESULT00.TXT"));
    EXPECT_FALSE(rig.dir.exists("talvo.ini"));
    EXPECT_EQ(w.statusLabel()->text(), "GREP Sondel 1.00");
}

TEST(Startup, NoGrepProgramShowsTheMessageThenHelpTopic7000) {
    WindowRig rig({});
    app::MainWindow& w = rig.start();
    ASSERT_EQ(rig.ui.calls.size(), 2u);
    EXPECT_EQ(rig.ui.calls[0].kind, Kind::Stop);
    EXPECT_EQ(rig.ui.calls[0].text,
              QString::fromUtf8(
                  "GREP Sondel のディレクトリーにGREPプログラムが一つも見つかりません。\n"
                  "詳しくはヘルプの「対応GREPプログラムの入手先とインストール」をご覧ください。"));
    EXPECT_EQ(rig.ui.calls[1].kind, Kind::HelpContext);
    EXPECT_EQ(rig.ui.calls[1].context, 7000);
    EXPECT_EQ(w.windowTitle(), "YGREP Sondel");
    EXPECT_EQ(w.selectedProgram(), 6);
}

TEST(Startup, ExactlyOneProgramBlanksAndDisablesChoose) {
    WindowRig rig({"WGREP.COM"}); // found whatever the case of its name
    app::MainWindow& w = rig.start();
    QPushButton* choose = w.commandButton(8);
    EXPECT_FALSE(choose->isEnabled());
    EXPECT_EQ(choose->text(), " ");
    EXPECT_FALSE(choose->icon().isNull());
    EXPECT_EQ(w.windowTitle(), "WGREP Sondel");
    EXPECT_TRUE(rig.ui.calls.empty());
}

TEST(Startup, JgslimAloneRunsAsProgramFour) {
    WindowRig rig({"jgslim.exe"});
    rig.writeIni(cp::kGrep + cp::kGrepNumber + "=4\r\n");
    app::MainWindow& w = rig.start();
    EXPECT_EQ(w.windowTitle(), "JGSLIM Sondel");
    EXPECT_EQ(w.selectedProgram(), 4);
    EXPECT_EQ(w.baseName(), "JGSLIM");
    w.optionBox(12)->setChecked(true);
    w.quit();
    // JGSLIM固有オプション
    EXPECT_NE(rig.ini().find("[JGSLIM\x8c\xc5\x97\x4c\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]"),
              std::string::npos);
}

TEST(Startup, StoredNumberOutOfRangeReadsAsOne) {
    for (const char* stored : {"0", "7", "-1", "99999999999", "abc"}) {
        WindowRig rig(test::kAllPrograms);
        rig.writeIni(cp::kGrep + cp::kGrepNumber + "=" + stored + "\r\n");
        EXPECT_EQ(rig.start().selectedProgram(), 1) << stored;
    }
}

TEST(Startup, StaleResultFileAndMarkerAreCleanedUp) {
    WindowRig rig(test::kAllPrograms);
    rig.dir.write("result00.txt", "old matches\n");
    rig.dir.write("xxx.bat", "");
    rig.start();
    EXPECT_FALSE(rig.dir.exists("result00.txt"));
    EXPECT_TRUE(rig.dir.exists("RESULT00.TXT"));
    EXPECT_EQ(rig.dir.read("RESULT00.TXT"), "");
    EXPECT_FALSE(rig.dir.exists("xxx.bat"));
}

TEST(Startup, CollapseRule) {
    {
        SCOPED_TRACE("options shown at start");
        WindowRig rig(test::kAllPrograms);
        rig.writeIni(cp::kTalvoOptions + cp::kShowOptions + "=1\r\n");
        app::MainWindow& w = rig.start();
        EXPECT_EQ(w.heightTwips(), 6855);
        EXPECT_TRUE(w.optionsShown());
        EXPECT_TRUE(grep::isInTabOrder(w.optionPanel()->tabBar()));
        EXPECT_TRUE(grep::isInTabOrder(w.optionBox(0)));
    }
    {
        SCOPED_TRACE("tiny flag 1 without the default file at start");
        WindowRig rig(test::kAllPrograms);
        rig.writeIni(cp::kTiny + cp::kFlag + "=1\r\n" + cp::kTalvoOptions + cp::kShowOptions +
                     "=1\r\n");
        app::MainWindow& w = rig.start();
        EXPECT_FALSE(w.isTinyMode());
        EXPECT_EQ(w.heightTwips(), 4150);
        EXPECT_EQ(w.windowTitle(), "CGREP Sondel");
        w.quit();
        EXPECT_NE(rig.ini().find(cp::kFlag + "=0\r\n"), std::string::npos);
    }
    {
        SCOPED_TRACE("tiny flag 1 with the default file at start");
        WindowRig rig(test::kAllPrograms);
        rig.writeIni(cp::kTiny + cp::kFlag + "=1\r\n" + cp::kTalvoOptions +
                     cp::kDefaultFileAtStart + "=1\r\n" + cp::kDefaultFileSection + cp::kFileName +
                     "= Src/*.TXT \r\n");
        app::MainWindow& w = rig.start();
        EXPECT_TRUE(w.isTinyMode());
        EXPECT_EQ(w.fileBox()->currentText(), "Src/*.TXT");
        EXPECT_EQ(w.heightTwips(), app::MainWindow::kPanelHeight);
        EXPECT_EQ(w.windowTitle(), "CGREP < src/*.txt");
        EXPECT_EQ(w.patternBox()->y(), px(w, 70));
        EXPECT_EQ(items(w.fileBox()), QStringList{"Src/*.TXT"});
        w.quit();
        EXPECT_NE(rig.ini().find(cp::kFlag + "=1\r\n"), std::string::npos);
    }
}

TEST(Startup, StoredPositionIsRestoredAndOffScreenIsCentred) {
    {
        WindowRig rig(test::kAllPrograms);
        rig.writeIni(cp::kPosition + cp::kLeft + "=1500\r\n" + cp::kTop + "=750\r\n");
        app::MainWindow& w = rig.start();
        EXPECT_EQ(w.pos(), QPoint(px(w, 1500), px(w, 750)));
        EXPECT_EQ(w.leftTwips(), 1500);
        EXPECT_EQ(w.topTwips(), 750);
    }
    {
        WindowRig rig(test::kAllPrograms);
        rig.writeIni(cp::kPosition + cp::kLeft + "=900000\r\n" + cp::kTop + "=-70000\r\n");
        app::MainWindow& w = rig.start();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_NEAR(w.pos().x(), screen.x() + (screen.width() - px(w, 9600)) / 2.0, 1.0);
        EXPECT_TRUE(screen.contains(w.pos()));
    }
}

TEST(Startup, BrokenBinaryOrAbsurdTalvoIniStartsWithDefaults) {
    WindowRig rig(test::kAllPrograms);
    using namespace std::string_literals;
    std::string junk = "\xff\xfe\x00\x00[\x88\xca\x92\x75\r\n\x8d\xb6=\x01\x02zz\r\n"s;
    junk += cp::kTiny + cp::kFlag + "=12345678901234567890\r\n";
    junk += cp::kTalvoOptions + cp::kShowOptions + "=2\r\n";
    junk += std::string(70000, '\x82') + "\r\n";
    junk += "[\x8b\xa4\x92\xca\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\r\n"
            "\x83\x8f\x81\x5b\x83\x68\x83\x54\x81\x5b\x83\x60=0x7fffffff\r\n";
    rig.writeIni(junk);
    app::MainWindow& w = rig.start();
    EXPECT_EQ(w.windowTitle(), "CGREP Sondel");
    EXPECT_FALSE(w.isTinyMode());
    EXPECT_EQ(w.heightTwips(), 4150);
    EXPECT_FALSE(w.optionBox(9)->isChecked());
    EXPECT_FALSE(w.optionBox(10)->isChecked());
    EXPECT_EQ(items(w.fileBox()), QStringList{"feng*.*"});
    w.quit();
    EXPECT_EQ(rig.ended, 1);
}
