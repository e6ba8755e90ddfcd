// The "&List" button: the order of its key handling, storing the current
// search once per press, and the editor it opens with the menu rebuilt after.
#include "command_set_test_files.h"
#include "commandsets/command_set_editor.h"
#include "commandsets/command_set_menu.h"
#include "commandsets/list_button.h"
#include "platform/recording_ui.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace talvo::commandsets;
using namespace talvo::commandsets::test;
using talvo::platform::RecordedCall;
using talvo::platform::RecordingUserInterface;
using talvo::test::ProgramDir;

namespace {

class ListButtonTest : public ::testing::Test {
protected:
    ListButtonTest() : menu(dir.path()) {
        button = new QPushButton("&List", &mainWindow);
        button->setObjectName("Command3D9");
        ListButtonHooks hooks;
        hooks.popUpMenu = [this] { ++menuPopUps; };
        hooks.pageKey = [this](QKeyEvent* event) { pageKeys.push_back(event->key()); };
        hooks.inSettingsMode = [this] { return settingsMode; };
        hooks.minimise = [this] { ++minimised; };
        hooks.currentSearch = [this] { return search; };
        list = new ListButton(button, &menu, dir.path(), ui, &mainWindow, hooks);
        menu.rebuild();
    }

    // A key press as the window system delivers it.
    void press(int key, Qt::KeyboardModifiers modifiers = {}, bool autoRepeat = false) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, QString(), autoRepeat);
        QApplication::sendEvent(button, &event);
    }
    std::vector<RecordedCall> infos() const { return ui.of(RecordedCall::Kind::Information); }
    QStringList captions() const {
        QStringList out;
        for (QAction* action : menu.actions())
            out << action->text();
        return out;
    }

    ProgramDir dir;
    RecordingUserInterface ui;
    QWidget mainWindow;
    CommandSetMenu menu;
    QPushButton* button;
    ListButton* list;
    int menuPopUps = 0;
    int minimised = 0;
    bool settingsMode = false;
    std::vector<int> pageKeys;
    CurrentSearch search{1, "CGREP", " -i -n"};
};

} // namespace

TEST_F(ListButtonTest, ShiftStoresTheCurrentSearchAsTheNextSet) {
    writeNumberedSets(dir, 3);
    press(Qt::Key_Shift, Qt::ShiftModifier);
    ASSERT_EQ(infos().size(), 1u);
    EXPECT_EQ(infos()[0].text, "コマンドセットを4に登録しました。");
    EXPECT_EQ(CommandSetFile(dir.path()).read(4),
              (CommandSet{"（無題）", "CGREP.EXE  -i -n $K $F > RESULT00.TXT"}));
}

TEST_F(ListButtonTest, ShiftWithoutModifierStateStillStores) {
    press(Qt::Key_Shift); // some window systems report Shift's own press without it
    ASSERT_EQ(infos().size(), 1u);
    EXPECT_EQ(infos()[0].text, "コマンドセットを1に登録しました。");
}

TEST_F(ListButtonTest, StoringWithoutSetsLeavesTheMenuUntilTheRebuild) {
    search = {5, "WGREP", ""};
    press(Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(CommandSetFile(dir.path()).read(1),
              (CommandSet{"（無題）", "WGREP.COM  $K $F > RESULT00.TXT"}));
    EXPECT_EQ(captions(), QStringList{"CommandSet"});
    menu.rebuild();
    EXPECT_EQ(captions(), QStringList{"&1: （無題）"});
}

TEST_F(ListButtonTest, FifteenSetsGiveTheTwoLineMessageAndWriteNothing) {
    writeNumberedSets(dir, 15);
    const std::string before = dir.read("talvolst.ini");
    press(Qt::Key_Shift, Qt::ShiftModifier);
    const auto stops = ui.of(RecordedCall::Kind::Stop);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_EQ(stops[0].text, "すでにコマンドセットが１５個あります。\nこれ以上登録できません。");
    EXPECT_TRUE(infos().empty());
    EXPECT_EQ(dir.read("talvolst.ini"), before);
}

TEST_F(ListButtonTest, ConfirmationNamesTheSetWrittenNotTheCount) {
    writeCommandSetFile(
        dir, {"名前[1]=a", "コマンドライン[1]=ca", "名前[2]=", "コマンドライン[2]=keep"});
    search = {4, "JGSLIM", " -i"};
    press(Qt::Key_Shift, Qt::ShiftModifier);
    ASSERT_EQ(infos().size(), 1u);
    EXPECT_EQ(infos()[0].text, "コマンドセットを3に登録しました。");
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.readCommandLine(2), "keep");
    EXPECT_EQ(file.readCommandLine(3), "JGSLIM.EXE  $K $F -i > RESULT00.TXT");
}

TEST_F(ListButtonTest, AutoRepeatedShiftStoresNothing) {
    press(Qt::Key_Shift, Qt::ShiftModifier);
    press(Qt::Key_Shift, Qt::ShiftModifier, true);
    press(Qt::Key_Shift, Qt::ShiftModifier, true);
    EXPECT_EQ(infos().size(), 1u);
    EXPECT_TRUE(CommandSetFile(dir.path()).read(2).empty());
}

TEST_F(ListButtonTest, ShiftF5AndShiftPageKeysStoreNothing) {
    press(Qt::Key_F5, Qt::ShiftModifier);
    EXPECT_EQ(menuPopUps, 1);
    press(Qt::Key_PageDown, Qt::ShiftModifier);
    press(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(pageKeys, (std::vector<int>{Qt::Key_PageDown, Qt::Key_PageUp}));
    press(Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(minimised, 1);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_FALSE(dir.exists("talvolst.ini"));
}

TEST_F(ListButtonTest, InTheSettingsModePageUpFallsThroughAndEscapeOnlyIsSwallowed) {
    settingsMode = true;
    press(Qt::Key_PageDown);
    press(Qt::Key_PageUp);
    EXPECT_EQ(pageKeys, std::vector<int>{Qt::Key_PageDown});
    press(Qt::Key_Escape);
    EXPECT_EQ(minimised, 0);
    press(Qt::Key_PageUp, Qt::ShiftModifier); // reaches the Shift step
    EXPECT_EQ(infos().size(), 1u);
}

TEST_F(ListButtonTest, ShiftTabStoresOnceAndMovesTheFocus) {
    auto* before = new QLineEdit(&mainWindow);
    QWidget::setTabOrder(before, button);
    mainWindow.show();
    QApplication::setActiveWindow(&mainWindow);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&mainWindow));
    button->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), button);
    QTest::keyClick(button, Qt::Key_Tab, Qt::ShiftModifier); // Shift's press, then Tab
    EXPECT_EQ(infos().size(), 1u);
    EXPECT_NE(QApplication::focusWidget(), button);
}

TEST_F(ListButtonTest, RightButtonPopsUpTheMenu) {
    QTest::mousePress(button, Qt::RightButton);
    EXPECT_EQ(menuPopUps, 1);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(ListButtonTest, ClickOpensTheEditorAndTheMenuFollowsTheFileWhenItCloses) {
    writeNumberedSets(dir, 1);
    menu.rebuild();
    QSignalSpy shown(list, &ListButton::editorShown);
    QObject::connect(list, &ListButton::editorShown, [](CommandSetEditor* editor) {
        EXPECT_EQ(editor->setList()->count(), 1);
        editor->nameBox()->setText("two");
        editor->commandBox()->setPlainText("c2");
        editor->addButton()->click();
        editor->okButton()->click();
    });
    button->click();
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(captions(), (QStringList{"&1: set1", "&2: two"}));
    // "&OK" keeps the dialog for the next opening.
    EXPECT_NE(list->editor(), nullptr);
}

TEST_F(ListButtonTest, AFrameCloseDiscardsTheEditorAndStillRebuilds) {
    writeNumberedSets(dir, 2);
    QObject::connect(list, &ListButton::editorShown, [this](CommandSetEditor* editor) {
        CommandSetFile file(dir.path());
        file.write(1, {});
        file.write(2, {});
        editor->close();
    });
    menu.rebuild();
    list->openEditor();
    EXPECT_EQ(list->editor(), nullptr);
    EXPECT_EQ(captions(), QStringList{"CommandSet"});
}
