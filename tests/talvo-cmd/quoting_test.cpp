// How a command line becomes the argument list a program receives: blanks,
// double quotes, \" inside and outside quotes, backslashes, operators in quotes.
#include <gtest/gtest.h>

#include "tests/talvo-cmd/batch_run.h"

namespace talvo::test {
namespace {

class Quoting : public ::testing::Test {
protected:
    void SetUp() override { writeArgumentPrinter(dir, "show.sh"); }
    // The arguments show.sh receives from the rest of a command line.
    std::string argumentsOf(const std::string& rest) {
        auto r = runBatch(dir, "show.sh " + rest + "\r\n");
        EXPECT_EQ(r.err, "");
        return r.out;
    }
    ProgramDir dir;
};

TEST_F(Quoting, BlanksSeparateAndQuotesGroup) {
    EXPECT_EQ(argumentsOf("a  b\tc"), "[a]\n[b]\n[c]\n");
    EXPECT_EQ(argumentsOf("\"a b\" c"), "[a b]\n[c]\n");
    EXPECT_EQ(argumentsOf("-e\"a b\"c"), "[-ea bc]\n");
    EXPECT_EQ(argumentsOf("\"\" x \"\""), "[]\n[x]\n[]\n");
    EXPECT_EQ(argumentsOf("\"unterminated  blank"), "[unterminated  blank]\n");
}

TEST_F(Quoting, OperatorsInsideQuotesArePlainCharacters) {
    EXPECT_EQ(argumentsOf("\"a>b\" \"c<d\" \"e|f\" \"g>>h\""), "[a>b]\n[c<d]\n[e|f]\n[g>>h]\n");
    EXPECT_FALSE(dir.exists("b"));
    EXPECT_FALSE(dir.exists("h"));
}

TEST_F(Quoting, EscapedQuotes) {
    EXPECT_EQ(argumentsOf("\"say \\\"hi\\\"\""), "[say \"hi\"]\n");
    EXPECT_EQ(argumentsOf("\"say \\\"hi > there\\\"\""), "[say \"hi > there\"]\n");
    EXPECT_EQ(argumentsOf("\\\"bare\\\""), "[\"bare\"]\n");
}

TEST_F(Quoting, BackslashesAreKeptAsWritten) {
    EXPECT_EQ(argumentsOf("c:\\grep\\ a\\\\b \"x\\y z\""), "[c:\\grep\\]\n[a\\\\b]\n[x\\y z]\n");
    // Before a quote each pair of backslashes gives one, and an odd one out
    // makes the quote literal.
    EXPECT_EQ(argumentsOf("\"a b\\\\\" next"), "[a b\\]\n[next]\n");
    EXPECT_EQ(argumentsOf("\"\\\\\\\"hi\" \\\\\\\\\"x y\""), "[\\\"hi]\n[\\\\x y]\n");
    EXPECT_EQ(argumentsOf("\"abc\\|def\""), "[abc\\|def]\n");
}

TEST_F(Quoting, NoVariableExpansion) {
    EXPECT_EQ(argumentsOf("-% %PATH% %1 $HOME * ^a &b"),
              "[-%]\n[%PATH%]\n[%1]\n[$HOME]\n[*]\n[^a]\n[&b]\n");
}

} // namespace
} // namespace talvo::test
