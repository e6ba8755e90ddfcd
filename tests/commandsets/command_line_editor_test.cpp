// The command-line editor: when "&OK" may confirm, Enter and Escape, the
// trimmed result, a close through the window frame, and its placement.
#include "commandsets/command_line_editor.h"
#include "platform/units.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using talvo::commandsets::CommandLineEditor;
using talvo::commandsets::editCommandLine;

namespace {

// Runs action on the editor once editCommandLine has shown it.
void whenShown(std::function<void(CommandLineEditor*)> action) {
    QTimer::singleShot(0, qApp, [action] {
        auto* editor = qobject_cast<CommandLineEditor*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        action(editor);
        if (editor->isVisible()) {
            ADD_FAILURE() << "the editor is still open";
            editor->reject();
        }
    });
}

} // namespace

TEST(CommandLineEditorTest, LooksAsDesigned) {
    CommandLineEditor editor("CGREP.EXE -e abc *.c > RESULT00.TXT");
    EXPECT_EQ(editor.objectName(), "Form2");
    EXPECT_EQ(editor.windowTitle(), "WGREP Sondel - Edit Command Lines");
    EXPECT_EQ(editor.textBox()->objectName(), "Text1");
    EXPECT_EQ(editor.textBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(editor.okButton()->text(), "&OK");
    EXPECT_EQ(editor.cancelButton()->text(), "&Cancel");
    EXPECT_FALSE(editor.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(editor.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(editor.minimumSize(), editor.maximumSize());
}

TEST(CommandLineEditorTest, OkIsEnabledExactlyWhileThereIsText) {
    CommandLineEditor editor("");
    EXPECT_FALSE(editor.okButton()->isEnabled());
    editor.textBox()->setPlainText("x");
    EXPECT_TRUE(editor.okButton()->isEnabled());
    editor.textBox()->clear();
    EXPECT_FALSE(editor.okButton()->isEnabled());
    editor.textBox()->setPlainText(" ");
    EXPECT_TRUE(editor.okButton()->isEnabled());
}

TEST(CommandLineEditorTest, EnterWithAnEmptyTextDoesNotConfirm) {
    whenShown([](CommandLineEditor* editor) {
        editor->textBox()->clear();
        QTest::keyClick(editor->textBox(), Qt::Key_Return);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_TRUE(editor->textBox()->toPlainText().isEmpty()); // no line break typed
        QTest::keyClick(editor->textBox(), Qt::Key_Escape);
    });
    EXPECT_EQ(editCommandLine(nullptr, nullptr, "abc"), std::nullopt);
}

TEST(CommandLineEditorTest, EnterConfirmsTheTextWithoutSurroundingBlanks) {
    whenShown([](CommandLineEditor* editor) {
        editor->textBox()->setPlainText("  CGREP.EXE -e x *.c > RESULT00.TXT  ");
        QTest::keyClick(editor->textBox(), Qt::Key_Enter);
    });
    EXPECT_EQ(editCommandLine(nullptr, nullptr, "old"),
              QString("CGREP.EXE -e x *.c > RESULT00.TXT"));
}

TEST(CommandLineEditorTest, OkButtonConfirmsAndKeepsCrLfLines) {
    whenShown([](CommandLineEditor* editor) {
        EXPECT_EQ(editor->textBox()->toPlainText(), "a\nb");
        editor->okButton()->click();
    });
    EXPECT_EQ(editCommandLine(nullptr, nullptr, "a\r\nb"), QString("a\r\nb"));
}

TEST(CommandLineEditorTest, EscapeCancelButtonAndFrameCloseAllCancel) {
    whenShown([](CommandLineEditor* editor) {
        editor->textBox()->setPlainText("changed");
        QTest::keyClick(editor->textBox(), Qt::Key_Escape);
    });
    EXPECT_EQ(editCommandLine(nullptr, nullptr, "abc"), std::nullopt);
    whenShown([](CommandLineEditor* editor) { editor->cancelButton()->click(); });
    EXPECT_EQ(editCommandLine(nullptr, nullptr, "abc"), std::nullopt);
    whenShown([](CommandLineEditor* editor) { editor->close(); });
    EXPECT_EQ(editCommandLine(nullptr, nullptr, "abc"), std::nullopt);
}

TEST(CommandLineEditorTest, PlacedJustBelowThePatternBox) {
    QWidget mainWindow;
    mainWindow.setGeometry(100, 120, 500, 400);
    auto* patternBox = new QLineEdit(&mainWindow);
    patternBox->setGeometry(30, 40, 200, 25);
    mainWindow.show();
    CommandLineEditor editor("x", &mainWindow);
    editor.placeBelowPatternBox(&mainWindow, patternBox);
    const int px300 = talvo::platform::twipsToPixels(300, editor.logicalDpiY());
    EXPECT_EQ(editor.frameGeometry().left(), mainWindow.frameGeometry().left());
    EXPECT_EQ(editor.frameGeometry().top(), mainWindow.frameGeometry().top() + 40 + 25 + px300);
}
