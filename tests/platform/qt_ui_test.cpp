// The Qt user interface: message boxes as shown, the file dialog's filters,
// and the help window on the program directory's help file.
#include "platform/help_window.h"
#include "platform/qt_ui.h"
#include "tests/support/program_dir.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

using namespace talvo::platform;
using talvo::test::ProgramDir;

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

const QString kDesignFilters =
    "Text File (*.TXT)|*.TXT|LZH File (*.LZH)|*.LZH|All Files (*.*)|*.*|";

// The patterns inside the last parentheses of a Qt filter.
QStringList patternsOf(const QString& filter) {
    qsizetype open = filter.lastIndexOf('(');
    return filter.mid(open + 1, filter.size() - open - 2).split(' ');
}

bool matchesCaseSensitively(const QStringList& patterns, const QString& name) {
    for (const QString& p : patterns)
        if (QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(name).hasMatch())
            return true;
    return false;
}

// Runs check on the message box once it is shown, then presses button.
void onMessageBox(std::function<void(QMessageBox*)> check, QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [check, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        check(box);
        box->button(button)->click();
    });
}

TEST(FileDialogFilters, DesignFiltersBecomeCaseFoldedQtFilters) {
    EXPECT_EQ(qtNameFilters(kDesignFilters),
              (QStringList{"Text File (*.TXT) (*.[tT][xX][tT])",
                           "LZH File (*.LZH) (*.[lL][zZ][hH])", "All Files (*.*) (*)"}));
    EXPECT_EQ(qtNameFilters("C (*.c;*.H)|*.c;*.H"), (QStringList{"C (*.c;*.H) (*.[cC] *.[hH])"}));
    EXPECT_EQ(qtNameFilters("Result|RESULT?0.TXT|"),
              (QStringList{"Result ([rR][eE][sS][uU][lL][tT]?0.[tT][xX][tT])"}));
    EXPECT_EQ(qtNameFilters(""), (QStringList{"* (*)"}));
    EXPECT_EQ(qtNameFilters("Lonely caption"), (QStringList{"* (*)"}));
}

TEST(FileDialogFilters, PatternsMatchNamesInAnyCase) {
    QStringList filters = qtNameFilters(kDesignFilters);
    QStringList text = patternsOf(filters[0]);
    for (const char* name : {"a.txt", "B.TXT", "c.TxT", "で.txt"})
        EXPECT_TRUE(matchesCaseSensitively(text, name)) << name;
    for (const char* name : {"a.txt.bak", "atxt", "a.lzh"})
        EXPECT_FALSE(matchesCaseSensitively(text, name)) << name;
    QStringList all = patternsOf(filters[2]);
    for (const char* name : {"README", "a.b", ".hidden", "x.LZH"})
        EXPECT_TRUE(matchesCaseSensitively(all, name)) << name;
}

TEST(FileDialog, OpensOnTheStartDirectoryWithTheFirstFilterAndTheDesignTitle) {
    ProgramDir dir;
    auto dialog =
        QtUserInterface::makeFileDialog(nullptr, "ファイルを開く", kDesignFilters, q(dir.path()));
    EXPECT_EQ(dialog->windowTitle(), "ファイルを開く");
    EXPECT_EQ(dialog->nameFilters().size(), 3);
    // The user sees the caption as written; the list filters by the folded patterns.
    EXPECT_EQ(dialog->selectedNameFilter(), "Text File (*.TXT)");
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->nameFilters(), QStringList{"*.[tT][xX][tT]"});
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(q(dir.path())).canonicalPath());
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
}

TEST(MessageBoxes, ShowTheRightIconButtonsAndTitle) {
    QtUserInterface ui("/nonexistent/");
    auto expect = [](QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                     const QString& text) {
        return [=](QMessageBox* box) {
            EXPECT_EQ(box->icon(), icon);
            EXPECT_EQ(box->standardButtons(), buttons);
            EXPECT_EQ(box->windowTitle(), QString(kApplicationTitle));
            EXPECT_EQ(box->text(), text);
        };
    };
    onMessageBox(expect(QMessageBox::Critical, QMessageBox::Ok, "止まります"), QMessageBox::Ok);
    ui.showStop(nullptr, "止まります");
    onMessageBox(expect(QMessageBox::Information, QMessageBox::Ok, "info"), QMessageBox::Ok);
    ui.showInformation(nullptr, "info");
    auto question = expect(QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel,
                           "現在の設定を保存します");
    onMessageBox(question, QMessageBox::Ok);
    EXPECT_TRUE(ui.askOkCancel(nullptr, "現在の設定を保存します"));
    onMessageBox(question, QMessageBox::Cancel);
    EXPECT_FALSE(ui.askOkCancel(nullptr, "現在の設定を保存します"));
}

// Records stop messages instead of showing them.
class ProbeUserInterface : public QtUserInterface {
public:
    using QtUserInterface::QtUserInterface;
    void showStop(QWidget*, const QString& text) override { stops << text; }
    QStringList stops;
};

std::string helpDocument() {
    std::string html = "<html><body><h1>Talvo</h1><h2>Contents</h2>"
                       "<p><a href=\"#context-7000\">Grep programs</a></p>"
                       "<p><a href=\"other.html\">Other page</a></p>";
    for (int i = 0; i < 200; ++i)
        html += "<p>filler paragraph " + std::to_string(i) + "</p>";
    html += "<h2 id=\"context-7000\">Grep programs</h2><h3>Replacing one</h3>"
            "<p>the needle is here</p>";
    for (int i = 0; i < 200; ++i)
        html += "<p>more filler " + std::to_string(i) + "</p>";
    return html + "</body></html>";
}

TEST(Help, AMissingHelpFileGivesAStopMessage) {
    ProgramDir dir;
    ProbeUserInterface ui(dir.path());
    ui.showHelpIndex(nullptr);
    ui.showHelpContext(nullptr, kHelpContextGrepPrograms);
    ASSERT_EQ(ui.stops.size(), 2);
    EXPECT_TRUE(ui.stops[0].contains("talvo.html"));
    EXPECT_EQ(ui.helpWindow(), nullptr);
}

TEST(Help, IndexShowsTheTopAndAContextScrollsToItsTopic) {
    ProgramDir dir;
    dir.write("TALVO.HTML", helpDocument()); // found regardless of case
    dir.write("other.html", "<h1>Other</h1>");
    ProbeUserInterface ui(dir.path());

    ui.showHelpContext(nullptr, kHelpContextGrepPrograms);
    HelpWindow* help = ui.helpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(ui.stops.isEmpty());
    EXPECT_TRUE(help->isVisible());
    QScrollBar* scroll = help->browser()->verticalScrollBar();
    QTRY_VERIFY(scroll->value() > 0);
    int topicTop = scroll->value();

    ui.showHelpIndex(nullptr);
    EXPECT_EQ(ui.helpWindow(), help); // one window, reused
    EXPECT_EQ(scroll->value(), 0);

    // The contents pane lists the headings, nested by level.
    QTreeWidget* pane = help->contentsPane();
    ASSERT_EQ(pane->topLevelItemCount(), 1);
    QTreeWidgetItem* top = pane->topLevelItem(0);
    EXPECT_EQ(top->text(0), "Talvo");
    ASSERT_EQ(top->childCount(), 2);
    EXPECT_EQ(top->child(1)->text(0), "Grep programs");
    EXPECT_EQ(top->child(1)->child(0)->text(0), "Replacing one");
    emit pane->itemClicked(top->child(1), 0);
    EXPECT_EQ(scroll->value(), topicTop);

    // An unknown context shows the top.
    EXPECT_FALSE(help->showContext(1234));
    EXPECT_EQ(scroll->value(), 0);
}

TEST(Help, LinksBackAndFind) {
    ProgramDir dir;
    dir.write("talvo.html", helpDocument());
    dir.write("other.html", "<h1>Other</h1>");
    ProbeUserInterface ui(dir.path());
    ui.showHelpIndex(nullptr);
    HelpWindow* help = ui.helpWindow();
    ASSERT_NE(help, nullptr);
    QTextBrowser* browser = help->browser();

    EXPECT_FALSE(help->backButton()->isEnabled());
    browser->setSource(QUrl("other.html"));
    EXPECT_TRUE(browser->toPlainText().startsWith("Other"));
    EXPECT_TRUE(help->backButton()->isEnabled());
    help->backButton()->click();
    EXPECT_TRUE(browser->toPlainText().startsWith("Talvo"));

    help->findField()->setText("needle");
    EXPECT_TRUE(help->findNext());
    EXPECT_EQ(browser->textCursor().selectedText(), "needle");
    EXPECT_TRUE(help->findNext()); // wraps around to the same place
    EXPECT_EQ(browser->textCursor().selectedText(), "needle");
    help->findField()->setText("absent words");
    EXPECT_FALSE(help->findNext());
}

} // namespace
