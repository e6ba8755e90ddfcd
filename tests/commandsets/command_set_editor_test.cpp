// The command-set editor dialog: refill, selection, the enabling rules, the
// buttons' effects on list and file, the list's keys and mouse, the refusals
// and the layout in twips.
#include "command_set_test_files.h"
#include "commandsets/command_set_editor.h"
#include "platform/recording_ui.h"
#include "platform/units.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace talvo::commandsets;
using namespace talvo::commandsets::test;
using talvo::platform::RecordedCall;
using talvo::platform::RecordingUserInterface;
using talvo::test::ProgramDir;

namespace {

class CommandSetEditorTest : public ::testing::Test {
protected:
    void open(int sets) {
        writeNumberedSets(dir, sets);
        openAsIs();
    }
    void openAsIs() {
        editor = std::make_unique<CommandSetEditor>(dir.path(), ui);
        editor->show();
    }
    QStringList lines() const {
        QStringList out;
        for (int i = 0; i < editor->setList()->count(); ++i)
            out << editor->setList()->item(i)->text();
        return out;
    }
    void type(const QString& name, const QString& command) {
        editor->nameBox()->setText(name);
        editor->commandBox()->setPlainText(command);
    }
    int px(double twips) const {
        return talvo::platform::twipsToPixels(twips, editor->logicalDpiY());
    }
    std::vector<RecordedCall> stops() const { return ui.of(RecordedCall::Kind::Stop); }

    ProgramDir dir;
    RecordingUserInterface ui;
    std::unique_ptr<CommandSetEditor> editor;
};

} // namespace

TEST_F(CommandSetEditorTest, OpensWithTheFilesSetsAndNothingSelected) {
    writeCommandSetFile(dir,
                        {"名前[1]=grep-c", "コマンドライン[1]=CGREP.EXE -i $K $F > RESULT00.TXT",
                         "名前[2]=", "コマンドライン[2]=two[↓]lines", "名前[3]=no-line"});
    openAsIs();
    EXPECT_EQ(editor->objectName(), "Form4");
    EXPECT_EQ(editor->windowTitle(), " Edit Command Set");
    EXPECT_EQ(lines(), (QStringList{"grep-c：CGREP.EXE -i $K $F > RESULT00.TXT", "：two[↓]lines"}));
    EXPECT_EQ(editor->setList()->currentRow(), -1);
    EXPECT_TRUE(editor->nameBox()->text().isEmpty());
    EXPECT_FALSE(editor->addButton()->isEnabled());
    EXPECT_FALSE(editor->deleteButton()->isEnabled());
    EXPECT_FALSE(editor->renewButton()->isEnabled());
    EXPECT_TRUE(editor->clearButton()->isEnabled());
    EXPECT_TRUE(editor->okButton()->isEnabled());
    EXPECT_EQ(editor->renewButton()->text(), "&Renew");
    EXPECT_EQ(editor->addButton()->text(), "&Add");
    EXPECT_EQ(editor->deleteButton()->text(), "&Delete");
    EXPECT_EQ(editor->clearButton()->text(), "&Clear");
}

TEST_F(CommandSetEditorTest, EachShowingListsTheFileAfresh) {
    open(2);
    type("typed", "text");
    editor->setList()->setCurrentRow(1);
    editor->hide();
    writeNumberedSets(dir, 3);
    editor->show();
    EXPECT_EQ(lines().size(), 3);
    EXPECT_EQ(editor->setList()->currentRow(), -1);
    EXPECT_TRUE(editor->nameBox()->text().isEmpty());
    EXPECT_FALSE(editor->deleteButton()->isEnabled());
}

TEST_F(CommandSetEditorTest, SelectingALineShowsItsStoredLinesAsLines) {
    writeCommandSetFile(dir, {"名前[1]=two", "コマンドライン[1]=a[↓]b"});
    openAsIs();
    EXPECT_EQ(lines(), QStringList{"two：a[↓]b"});
    editor->setList()->setCurrentRow(0);
    EXPECT_EQ(editor->nameBox()->text(), "two");
    EXPECT_EQ(editor->commandBox()->toPlainText(), "a\nb");
    EXPECT_TRUE(editor->deleteButton()->isEnabled());
    EXPECT_TRUE(editor->renewButton()->isEnabled());
    EXPECT_TRUE(editor->addButton()->isEnabled());
}

TEST_F(CommandSetEditorTest, AddAppendsWithoutSelectionAndInsertsBeforeTheSelectedLine) {
    open(3);
    type("four", "c4\nsecond");
    editor->addButton()->click();
    EXPECT_EQ(lines().last(), "four：c4[↓]second");
    EXPECT_EQ(CommandSetFile(dir.path()).read(4), (CommandSet{"four", "c4[↓]second"}));

    editor->setList()->setCurrentRow(1);
    type("inserted", "ci");
    editor->addButton()->click();
    EXPECT_EQ(lines(), (QStringList{"set1：cmd1", "inserted：ci", "set2：cmd2", "set3：cmd3",
                                    "four：c4[↓]second"}));
    CommandSetFile file(dir.path());
    EXPECT_EQ(file.read(2), (CommandSet{"inserted", "ci"}));
    EXPECT_EQ(file.read(5), (CommandSet{"four", "c4[↓]second"}));
    // The boxes keep their text, and the selection is on the set they show.
    EXPECT_EQ(editor->nameBox()->text(), "inserted");
    EXPECT_EQ(editor->setList()->currentRow(), 1);
}

TEST_F(CommandSetEditorTest, AddedLinesKeepTheBlanksTypedWhileTheFileDoesNot) {
    open(1);
    type(" spaced  ", "  a b\n c ");
    editor->addButton()->click();
    EXPECT_EQ(lines().last(), " spaced  ：  a b[↓] c ");
    EXPECT_EQ(CommandSetFile(dir.path()).read(2), (CommandSet{"spaced", "a b[↓] c"}));
}

TEST_F(CommandSetEditorTest, TheBorderIsFixedAndOnlyMaximizingChangesTheSize) {
    open(1);
    const QSize loaded = editor->size();
    EXPECT_EQ(editor->minimumSize(), loaded);
    EXPECT_EQ(editor->maximumSize(), loaded);
    editor->showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(editor->width() > loaded.width(), 5000);
    EXPECT_GT(editor->setList()->width(), px(5910));
    editor->showNormal();
    QTRY_COMPARE_WITH_TIMEOUT(editor->size(), loaded, 5000);
    EXPECT_EQ(editor->maximumSize(), loaded);
}

TEST_F(CommandSetEditorTest, FifteenthSetIsAddedAndTheSixteenthRefused) {
    open(14);
    type("fifteen", "c15");
    editor->addButton()->click();
    EXPECT_EQ(lines().size(), 15);
    EXPECT_TRUE(stops().empty());
    const std::string before = dir.read("talvolst.ini");
    editor->addButton()->click();
    ASSERT_EQ(stops().size(), 1u);
    EXPECT_EQ(stops()[0].text, "これ以上登録できません");
    EXPECT_EQ(lines().size(), 15);
    EXPECT_EQ(dir.read("talvolst.ini"), before);
}

TEST_F(CommandSetEditorTest, RenewKeepsTheSelectionAndTheTypedTexts) {
    open(3);
    editor->setList()->setCurrentRow(1);
    type("  renamed ", "x\ny");
    editor->renewButton()->click();
    EXPECT_EQ(editor->setList()->currentRow(), 1);
    EXPECT_EQ(editor->nameBox()->text(), "  renamed ");
    EXPECT_EQ(editor->commandBox()->toPlainText(), "x\ny");
    // The line shows the name as typed, blanks included.
    EXPECT_EQ(lines()[1], "  renamed ：x[↓]y");
    EXPECT_EQ(CommandSetFile(dir.path()).read(2), (CommandSet{"renamed", "x[↓]y"}));
    EXPECT_TRUE(editor->renewButton()->isEnabled());
    EXPECT_TRUE(editor->deleteButton()->isEnabled());
    // The next selection is not swallowed.
    editor->setList()->setCurrentRow(2);
    EXPECT_EQ(editor->nameBox()->text(), "set3");
}

TEST_F(CommandSetEditorTest, DeleteMovesLaterSetsDownAndKeepsTheBoxes) {
    open(3);
    editor->setList()->setCurrentRow(0);
    editor->deleteButton()->click();
    EXPECT_EQ(lines(), (QStringList{"set2：cmd2", "set3：cmd3"}));
    EXPECT_EQ(editor->setList()->currentRow(), -1);
    EXPECT_FALSE(editor->deleteButton()->isEnabled());
    EXPECT_FALSE(editor->renewButton()->isEnabled());
    EXPECT_EQ(editor->nameBox()->text(), "set1");
    EXPECT_TRUE(editor->addButton()->isEnabled());
    EXPECT_NE(fileText(dir).find("名前[3]=\r\n"), std::string::npos);
}

TEST_F(CommandSetEditorTest, ClearEmptiesTheBoxesAndKeepsTheSelection) {
    open(2);
    editor->setList()->setCurrentRow(1);
    editor->clearButton()->click();
    EXPECT_TRUE(editor->nameBox()->text().isEmpty());
    EXPECT_TRUE(editor->commandBox()->toPlainText().isEmpty());
    EXPECT_EQ(editor->setList()->currentRow(), 1);
    EXPECT_TRUE(editor->deleteButton()->isEnabled());
    EXPECT_FALSE(editor->renewButton()->isEnabled());
    EXPECT_FALSE(editor->addButton()->isEnabled());
}

TEST_F(CommandSetEditorTest, BoxesHoldingOnlyBlanksCountAsEmpty) {
    open(2);
    type("   ", "cmd");
    EXPECT_FALSE(editor->addButton()->isEnabled());
    type("name", "  ");
    EXPECT_FALSE(editor->addButton()->isEnabled());
    editor->setList()->setCurrentRow(0);
    type("   ", "cmd");
    EXPECT_FALSE(editor->renewButton()->isEnabled());
    EXPECT_FALSE(editor->addButton()->isEnabled());
    type("name", "cmd");
    EXPECT_TRUE(editor->renewButton()->isEnabled());
    // A line break alone is text: it is stored as the marker.
    type("name", "\n");
    EXPECT_TRUE(editor->addButton()->isEnabled());
}

TEST_F(CommandSetEditorTest, SelectingASetWithoutNameLeavesRenewDisabled) {
    writeCommandSetFile(dir, {"名前[1]=", "コマンドライン[1]=c1"});
    openAsIs();
    editor->setList()->setCurrentRow(0);
    EXPECT_TRUE(editor->nameBox()->text().isEmpty());
    EXPECT_FALSE(editor->renewButton()->isEnabled());
    EXPECT_TRUE(editor->deleteButton()->isEnabled());
}

TEST_F(CommandSetEditorTest, ValuesThatWouldNotReadBackWholeAreRefused) {
    open(2);
    const std::string before = dir.read("talvolst.ini");
    type(QString(500, 'n'), "cmd");
    editor->addButton()->click();
    editor->setList()->setCurrentRow(0);
    type("name", QString(300, QChar(0x3042))); // 600 bytes in code page 932
    editor->renewButton()->click();
    ASSERT_EQ(stops().size(), 2u);
    EXPECT_NE(stops()[0].text.indexOf("名前"), -1);
    EXPECT_NE(stops()[0].text.indexOf("499"), -1);
    EXPECT_NE(stops()[1].text.indexOf("コマンドライン"), -1);
    EXPECT_EQ(dir.read("talvolst.ini"), before);
    EXPECT_EQ(lines(), (QStringList{"set1：cmd1", "set2：cmd2"}));
    // Nothing typed is lost to the refusal.
    EXPECT_EQ(editor->commandBox()->toPlainText(), QString(300, QChar(0x3042)));
}

// A stop message takes the activation from its owner while it is shown.
class DeactivatingUserInterface : public RecordingUserInterface {
public:
    void showStop(QWidget* owner, const QString& text) override {
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(owner, &deactivate);
        RecordingUserInterface::showStop(owner, text);
    }
};

TEST(CommandSetEditorActivation, ActivationRefillsButNotAfterTheOwnStopMessage) {
    ProgramDir dir;
    DeactivatingUserInterface ui;
    writeNumberedSets(dir, 2);
    CommandSetEditor editor(dir.path(), ui);
    editor.show();
    editor.nameBox()->setText("typed");
    editor.setList()->setCurrentRow(0);
    writeNumberedSets(dir, 3); // changed while another window was active
    QEvent deactivate(QEvent::WindowDeactivate);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&editor, &deactivate);
    QApplication::sendEvent(&editor, &activate);
    EXPECT_EQ(editor.setList()->count(), 3);
    EXPECT_EQ(editor.setList()->currentRow(), -1);
    EXPECT_TRUE(editor.nameBox()->text().isEmpty());

    editor.nameBox()->setText(QString(500, 'n'));
    editor.commandBox()->setPlainText("cmd");
    editor.addButton()->click();
    ASSERT_EQ(ui.of(RecordedCall::Kind::Stop).size(), 1u);
    QApplication::sendEvent(&editor, &activate);
    EXPECT_EQ(editor.nameBox()->text(), QString(500, 'n')); // kept for correcting
    QApplication::sendEvent(&editor, &activate);
    EXPECT_TRUE(editor.nameBox()->text().isEmpty()); // later activations refill again
}

TEST_F(CommandSetEditorTest, RightButtonOnTheListRemovesTheSelectionAndEmptiesTheBoxes) {
    open(3);
    editor->setList()->setCurrentRow(1);
    const QRect itemRect = editor->setList()->visualItemRect(editor->setList()->item(2));
    QTest::mousePress(editor->setList()->viewport(), Qt::RightButton, {}, itemRect.center());
    EXPECT_EQ(editor->setList()->currentRow(), -1);
    EXPECT_TRUE(editor->setList()->selectedItems().isEmpty());
    EXPECT_TRUE(editor->nameBox()->text().isEmpty());
    EXPECT_TRUE(editor->commandBox()->toPlainText().isEmpty());
    EXPECT_FALSE(editor->addButton()->isEnabled());
    EXPECT_FALSE(editor->deleteButton()->isEnabled());
    EXPECT_FALSE(editor->renewButton()->isEnabled());
}

TEST_F(CommandSetEditorTest, EnterInTheListMovesTheFocusOn) {
    open(2);
    QApplication::setActiveWindow(editor.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
    editor->setList()->setFocus();
    editor->setList()->setCurrentRow(0);
    QTest::keyClick(editor->setList(), Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), editor->setList());
    EXPECT_EQ(editor->setList()->currentRow(), 0);
    EXPECT_TRUE(ui.calls.empty());
}

TEST_F(CommandSetEditorTest, LoadedLayoutInTwips) {
    open(1);
    EXPECT_EQ(editor->commandBox()->size(), QSize(px(5925), px(1695)));
    EXPECT_EQ(editor->setList()->geometry(), QRect(px(120), px(4245), px(5910), px(1485)));
    EXPECT_EQ(editor->setList()->x(), editor->commandBox()->x());
    EXPECT_EQ(editor->listLabel()->y(), px(4245) - px(360));
    EXPECT_EQ(editor->listLabel()->text(), "Command Set &List");
}

TEST_F(CommandSetEditorTest, EnlargedLayoutIsComputedFromTheLoadedSizeEveryTime) {
    open(1);
    const QSize loaded = editor->size();
    const QRect loadedBox = editor->commandBox()->geometry();
    const QRect loadedList = editor->setList()->geometry();
    // What maximizing does: the border's fixed size is lifted.
    editor->setMinimumSize(0, 0);
    editor->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const int enlargedHeight = static_cast<int>(px(1695) * 1.5);
    for (int extra : {200, 300, 250}) {
        editor->resize(loaded.width() + extra, loaded.height() + extra);
        QTRY_COMPARE_WITH_TIMEOUT(editor->width(), loaded.width() + extra, 5000);
        const QRect box = editor->commandBox()->geometry();
        EXPECT_EQ(box.topLeft(), loadedBox.topLeft());
        EXPECT_EQ(box.height(), enlargedHeight);
        EXPECT_EQ(box.width(), editor->width() - 2 * box.x());
        const QRect list = editor->setList()->geometry();
        EXPECT_EQ(list.top(), box.y() + box.height() + px(500));
        EXPECT_EQ(list.height(), static_cast<int>(enlargedHeight * 1.5));
        EXPECT_EQ(editor->listLabel()->y(), list.top() - px(360));
    }
    editor->resize(loaded);
    QTRY_COMPARE_WITH_TIMEOUT(editor->size(), loaded, 5000);
    EXPECT_EQ(editor->commandBox()->geometry(), loadedBox);
    EXPECT_EQ(editor->setList()->geometry(), loadedList);
}

TEST_F(CommandSetEditorTest, OpensBelowTheMainWindowsTop) {
    QWidget mainWindow;
    mainWindow.setGeometry(200, 150, 400, 300);
    mainWindow.show();
    open(1);
    editor->placeBelow(&mainWindow);
    EXPECT_EQ(editor->frameGeometry().left(), mainWindow.frameGeometry().left());
    EXPECT_EQ(editor->frameGeometry().top(), mainWindow.frameGeometry().top() + px(300));
}
