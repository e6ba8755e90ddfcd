// Browse, and the keys of the pattern and file boxes once the window is joined
// to the search run.
#include "app/search_wiring.h"
#include "commandsets/command_set_editor.h"
#include "grep/option_panel.h"
#include "tests/app/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace talvo;
using platform::RecordedCall;
using test::WindowRig;

TEST(Browse, KeepsTheChosenPathAsItIsAndCancelChangesNothing) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.start();
    w.fileBox()->setEditText("*.c");

    rig.ui.fileChoices.push_back(std::nullopt);
    w.commandButton(4)->click();
    EXPECT_EQ(w.fileBox()->currentText(), "*.c");

    rig.ui.fileChoices.push_back(QString("/home/Taro/Src/Main.TXT"));
    w.commandButton(4)->click();
    EXPECT_EQ(w.fileBox()->currentText(), "/home/Taro/Src/Main.TXT");

    const auto dialogs = rig.ui.of(RecordedCall::Kind::FileDialog);
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].text, QString::fromUtf8("ファイル選択"));
    EXPECT_TRUE(dialogs[0].arguments.contains(
        "Text File (*.TXT)|*.TXT|LZH File (*.LZH)|*.LZH|All Files (*.*)|*.*|"));
}

TEST(BoxKeys, EnterRunsNothingWhileGrepIsDisabledOrTheKeyRepeats) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.create();
    app::SearchWiring wiring(w);
    w.load();
    QLineEdit* pattern = w.patternBox()->lineEdit();
    ASSERT_NE(pattern, nullptr);

    w.patternBox()->setEditText("");
    w.fileBox()->setEditText("");
    QTest::keyClick(pattern, Qt::Key_Return);
    EXPECT_FALSE(rig.dir.exists("WWW.BAT"));

    w.patternBox()->setEditText("abc");
    w.fileBox()->setEditText("*.txt");
    ASSERT_TRUE(w.commandButton(1)->isEnabled());
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(pattern, &repeated);
    EXPECT_FALSE(rig.dir.exists("WWW.BAT"));
}

TEST(BoxKeys, PageKeysInTheFileBoxShowAndHideTheOptions) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.create();
    app::SearchWiring wiring(w);
    w.load();
    w.show();
    QLineEdit* files = w.fileBox()->lineEdit();
    ASSERT_NE(files, nullptr);
    const bool shownAtStart = w.optionsShown();
    QTest::keyClick(files, shownAtStart ? Qt::Key_PageUp : Qt::Key_PageDown);
    EXPECT_NE(w.optionsShown(), shownAtStart);
    QTest::keyClick(files, shownAtStart ? Qt::Key_PageDown : Qt::Key_PageUp);
    EXPECT_EQ(w.optionsShown(), shownAtStart);
}

TEST(SettingsMode, EditsTheEditorAndDefaultFileThenRestoresTheSearch) {
    WindowRig rig({"cgrep.exe", "jgrep.exe"});
    app::MainWindow& w = rig.start();
    w.patternBox()->setEditText("needle");
    w.fileBox()->setEditText("*.txt");
    const QString editor = QString::fromStdString(w.editorValue());

    w.commandButton(5)->click();
    EXPECT_TRUE(w.inSettingsMode());
    EXPECT_EQ(w.commandButton(5)->text(), "&OK");
    EXPECT_EQ(w.patternBox()->currentText(), editor);
    for (int n : {1, 2, 6, 7, 8})
        EXPECT_FALSE(w.commandButton(n)->isEnabled()) << n;
    EXPECT_FALSE(w.optionBox(10)->isHidden());
    // Typing never enables the run buttons in this mode.
    w.patternBox()->setEditText("sh");
    w.fileBox()->setEditText("memo.txt");
    EXPECT_FALSE(w.commandButton(1)->isEnabled());

    // An editor that is neither a file nor a program on PATH keeps the mode.
    w.patternBox()->setEditText("  no-such-editor-here  ");
    w.commandButton(5)->click();
    EXPECT_TRUE(w.inSettingsMode());
    ASSERT_EQ(rig.ui.of(RecordedCall::Kind::Stop).size(), 1u);
    EXPECT_FALSE(rig.dir.exists("talvo.ini"));

    // A program found on PATH is accepted; Cancel writes nothing but leaves.
    w.patternBox()->setEditText("sh");
    rig.ui.answers.push_back(false);
    w.commandButton(5)->click();
    EXPECT_FALSE(w.inSettingsMode());
    EXPECT_EQ(rig.ui.of(RecordedCall::Kind::Question).size(), 1u);
    EXPECT_FALSE(rig.dir.exists("talvo.ini"));
    EXPECT_EQ(w.patternBox()->currentText(), "needle");
    EXPECT_EQ(w.fileBox()->currentText(), "*.txt");
    EXPECT_TRUE(w.commandButton(1)->isEnabled());
    EXPECT_TRUE(w.optionBox(10)->isHidden());

    // OK saves: the editor is read back as typed.
    w.commandButton(5)->click();
    w.patternBox()->setEditText("sh");
    w.commandButton(5)->click();
    EXPECT_FALSE(w.inSettingsMode());
    EXPECT_TRUE(rig.dir.exists("talvo.ini"));
    EXPECT_EQ(w.editorValue(), "sh");
}

namespace {
// Counts the command-set editors that appear and closes each one at once.
class EditorCounter : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show)
            if (auto* editor = qobject_cast<commandsets::CommandSetEditor*>(o)) {
                ++shown;
                QMetaObject::invokeMethod(editor, &QDialog::reject, Qt::QueuedConnection);
            }
        return false;
    }
};
} // namespace

TEST(ListButton, OnePressOpensTheCommandSetEditorOnce) {
    WindowRig rig({"cgrep.exe"});
    app::MainWindow& w = rig.create();
    app::SearchWiring wiring(w);
    w.load();
    w.show();
    EditorCounter counter;
    qApp->installEventFilter(&counter);
    w.commandButton(9)->click();
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(counter.shown, 1);
}
