// Option ticks in talvo.ini: every key of the program written, sections of
// other programs untouched, JGSLIM and JGREP kept apart, garbage read as clear.
#include "grep/option_store.h"
#include "grep/programs.h"
#include "tests/support/program_dir.h"

#include <gtest/gtest.h>

using namespace talvo::grep;
using talvo::test::ProgramDir;

TEST(OptionStore, SaveWritesEveryKeyOfTheProgramAndTheCommonSection) {
    ProgramDir dir;
    const std::string ini = dir.file("talvo.ini");
    dir.write("talvo.ini", "[WGREP\x8c\xc5\x97\x4c\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\r\n"
                           "keep=this\r\n");
    Ticks ticks{};
    ticks[2] = 1;
    ticks[14] = 1;
    saveOptionStates(ini, programOptions(CGREP), "CGREP", ticks);

    const StoredTick cgrep = storedProgramTicks(ini, "CGREP");
    EXPECT_EQ(cgrep("前後表示 一致行の前後２行"), 1);
    EXPECT_EQ(cgrep("前後表示 一致行の後１行"), 0);
    EXPECT_EQ(readCommonTicks(ini)[2], 1);
    EXPECT_EQ(readCommonTicks(ini)[3], 0);

    const std::string text = dir.read("talvo.ini");
    // Zeros are written too: all twelve CGREP keys and all ten common keys.
    EXPECT_NE(text.find("keep=this"), std::string::npos);
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("=0\r\n", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 11u + 9u);
}

TEST(OptionStore, JgslimAndJgrepKeepSeparateSections) {
    ProgramDir dir;
    const std::string ini = dir.file("talvo.ini");
    Ticks ticks{};
    ticks[13] = 1;
    saveOptionStates(ini, programOptions(JGREP), "JGSLIM", ticks);
    EXPECT_EQ(storedProgramTicks(ini, "JGSLIM")("前後表示 一致行の前１行"), 1);
    EXPECT_EQ(storedProgramTicks(ini, "JGREP")("前後表示 一致行の前１行"), 0);
    EXPECT_NE(dir.read("talvo.ini").find("JGSLIM"), std::string::npos);
}

TEST(OptionStore, StoredGarbageReadsAsClear) {
    ProgramDir dir;
    // "共通オプション" in code page 932, with odd values.
    dir.write("talvo.ini",
              "[\x8b\xa4\x92\xca\x83\x49\x83\x76\x83\x56\x83\x87\x83\x93]\r\n"
              "\x83\x8f\x81\x5b\x83\x68\x83\x54\x81\x5b\x83\x60=7\r\n"
              "\x8d\x73\x94\xd4\x8d\x86\x82\xcc\x95\x74\x89\xc1=abc\r\n"
              "\x83\x7d\x83\x62\x83\x60\x8d\x73\x90\x94\x82\xcc\x95\x5c\x8e\xa6=1\r\n");
    const CommonTicks ticks = readCommonTicks(dir.file("talvo.ini"));
    EXPECT_EQ(ticks[9], 0); // ワードサーチ=7
    EXPECT_EQ(ticks[4], 0); // 行番号の付加=abc
    EXPECT_EQ(ticks[1], 1); // マッチ行数の表示=1
}
