// The command-set menu: items built from the file's names, the rebuild, and
// choosing an item.
#include "command_set_test_files.h"
#include "commandsets/command_set_edits.h"
#include "commandsets/command_set_menu.h"

#include <QAction>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace talvo::commandsets;
using namespace talvo::commandsets::test;
using talvo::test::ProgramDir;

namespace {
QStringList captions(const CommandSetMenu& menu) {
    QStringList out;
    for (QAction* action : menu.actions())
        out << action->text();
    return out;
}
} // namespace

TEST(CommandSetMenuTest, BeforeTheFirstScanOnlyThePlaceholder) {
    ProgramDir dir;
    CommandSetMenu menu(dir.path());
    EXPECT_EQ(menu.objectName(), "MnuCommand");
    EXPECT_EQ(menu.title(), "CommandSet");
    EXPECT_EQ(captions(menu), QStringList{"CommandSet"});
    EXPECT_EQ(menu.rebuild(), -1);
    EXPECT_EQ(captions(menu), QStringList{"CommandSet"});
}

TEST(CommandSetMenuTest, FifteenSetsGetDigitsZeroAndLetters) {
    ProgramDir dir;
    writeNumberedSets(dir, 15);
    CommandSetMenu menu(dir.path());
    EXPECT_EQ(menu.rebuild(), 14);
    const QStringList items = captions(menu);
    ASSERT_EQ(items.size(), 15);
    EXPECT_EQ(items[0], "&1: set1");
    EXPECT_EQ(items[8], "&9: set9");
    EXPECT_EQ(items[9], "&0: set10");
    EXPECT_EQ(items[10], "&A: set11");
    EXPECT_EQ(items[14], "&E: set15");
    for (QAction* action : menu.actions()) {
        EXPECT_EQ(action->objectName(), "MnuCommandSetArray");
        EXPECT_FALSE(action->isCheckable());
    }
}

TEST(CommandSetMenuTest, RebuildFollowsTheFileAndAGapEndsIt) {
    ProgramDir dir;
    writeNumberedSets(dir, 5);
    CommandSetMenu menu(dir.path());
    menu.rebuild();
    writeCommandSetFile(dir, {"名前[1]=a", "コマンドライン[1]=ca", "名前[2]=b",
                              "コマンドライン[2]=cb", "名前[4]=d", "コマンドライン[4]=cd"});
    EXPECT_EQ(menu.rebuild(), 1);
    EXPECT_EQ(captions(menu), (QStringList{"&1: a", "&2: b"}));
}

TEST(CommandSetMenuTest, AfterEveryDeletedSetItemZeroIsThePlaceholderAgain) {
    ProgramDir dir;
    writeNumberedSets(dir, 2);
    CommandSetMenu menu(dir.path());
    menu.rebuild();
    CommandSetFile file(dir.path());
    deleteSet(file, 2, 0);
    deleteSet(file, 1, 0);
    EXPECT_EQ(menu.rebuild(), -1);
    EXPECT_EQ(captions(menu), QStringList{"CommandSet"});
    QSignalSpy spy(&menu, &CommandSetMenu::runCommandSet);
    menu.item(0)->trigger();
    EXPECT_EQ(spy.count(), 0);
}

TEST(CommandSetMenuTest, ChoosingItemKRunsItsSet) {
    ProgramDir dir;
    writeNumberedSets(dir, 3);
    CommandSetMenu menu(dir.path());
    QSignalSpy spy(&menu, &CommandSetMenu::runCommandSet);
    menu.item(0)->trigger(); // no scan yet: the placeholder does nothing
    EXPECT_EQ(spy.count(), 0);
    menu.rebuild();
    menu.item(0)->trigger();
    menu.item(2)->trigger();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 0);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 2);
}

TEST(CommandSetMenuTest, EmptyCommandLineIsStillOfferedByName) {
    ProgramDir dir;
    writeCommandSetFile(dir, {"名前[1]=a", "コマンドライン[1]=ca", "名前[2]=no-line",
                              "名前[3]=", "コマンドライン[3]=no-name"});
    CommandSetMenu menu(dir.path());
    EXPECT_EQ(menu.rebuild(), 1);
    EXPECT_EQ(captions(menu), (QStringList{"&1: a", "&2: no-line"}));
}
