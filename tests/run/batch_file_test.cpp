// The batch file's layout and its code page.
#include "run/batch_file.h"

#include <gtest/gtest.h>

namespace talvo::run {
namespace {

TEST(BatchFile, LabelCommandAndMarkerLinesInCrLf) {
    EXPECT_EQ(batchFileText("/home/Me/Grep Dir/", "CGREP.EXE -e abc *.c > RESULT00.TXT"),
              ": 実行ファイル名 → /home/Me/Grep Dir/WWW.BAT\r\n"
              "CGREP.EXE -e abc *.c > RESULT00.TXT\r\n"
              "Copy WWW.BAT XXX.BAT\r\n");
}

TEST(BatchFile, EveryLineBreakOfTheCommandLineBecomesCrLf) {
    EXPECT_EQ(batchFileText("/g/", "a\r\nb\nc\rd"),
              ": 実行ファイル名 → /g/WWW.BAT\r\na\r\nb\r\nc\r\nd\r\nCopy WWW.BAT XXX.BAT\r\n");
    EXPECT_EQ(batchFileText("/g/", ""),
              ": 実行ファイル名 → /g/WWW.BAT\r\n\r\nCopy WWW.BAT XXX.BAT\r\n");
}

TEST(BatchFile, Cp932UnlessACharacterIsMissingThere) {
    const std::string sjis = encodeBatchFile(batchFileText("/g/", "CGREP.EXE -e 漢字 *.c"));
    EXPECT_EQ(sjis.substr(0, 19),
              ": \x8E\xC0\x8D\x73\x83\x74\x83\x40\x83\x43\x83\x8B\x96\xBC \x81\xA8");
    EXPECT_NE(sjis.find("\x8A\xBF\x8E\x9A"), std::string::npos);

    const std::string text = batchFileText("/home/José/", "CGREP.EXE -e café *.c");
    const std::string utf8 = encodeBatchFile(text);
    EXPECT_EQ(utf8, "\xEF\xBB\xBF" + text);
}

} // namespace
} // namespace talvo::run
