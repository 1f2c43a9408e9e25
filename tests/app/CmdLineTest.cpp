// The command-line switches: whole tokens only, case ignored on request, quotes ordinary.
#include <gtest/gtest.h>

#include "CmdLine.h"

namespace {

bool Finds(const char* line, const char* switchText = "-hide")
{
    return FindCmdLineSwitch(line, switchText, nullptr, true);
}

} // namespace

TEST(FindCmdLineSwitch, MatchesWholeTokensIgnoringCase)
{
    EXPECT_TRUE(Finds("-hide"));
    EXPECT_TRUE(Finds("-HIDE"));
    EXPECT_TRUE(Finds("-Hide"));
    EXPECT_TRUE(Finds("  foo\t-asio\r\n-hide\v"));
    EXPECT_TRUE(Finds("-asio -hide", "-asio"));
}

TEST(FindCmdLineSwitch, IgnoresTokensThatOnlyResembleTheSwitch)
{
    for (const char* line : {"/hide", "hide", "-hide=1", "--hide", "-hide2", "x-hide", "\"-hide\"",
                             "", "   ", "-hid", "-hide\xA0"})
        EXPECT_FALSE(Finds(line)) << '[' << line << ']';
    EXPECT_FALSE(Finds(nullptr));
}

TEST(FindCmdLineSwitch, ExactComparisonWithoutCaseFlag)
{
    EXPECT_TRUE(FindCmdLineSwitch("-hide", "-hide", nullptr, false));
    EXPECT_FALSE(FindCmdLineSwitch("-HIDE", "-hide", nullptr, false));
}

TEST(FindCmdLineSwitch, ValueReceiverGetsTheNextTokenWhateverItIs)
{
    std::string value = "stale";
    EXPECT_TRUE(FindCmdLineSwitch("a -rate  \"48000 x\" b", "-rate", &value, true));
    EXPECT_EQ("\"48000", value);

    EXPECT_TRUE(FindCmdLineSwitch("-hide -asio", "-hide", &value, true));
    EXPECT_EQ("-asio", value);

    value = "stale";
    EXPECT_TRUE(FindCmdLineSwitch("x -hide  ", "-hide", &value, true));
    EXPECT_EQ("", value);

    value = "stale";
    EXPECT_FALSE(FindCmdLineSwitch("-asio 1", "-hide", &value, true));
    EXPECT_EQ("", value);
}

TEST(FindCmdLineSwitch, FirstMatchCountsForTheValue)
{
    std::string value;
    EXPECT_TRUE(FindCmdLineSwitch("-v one -V two", "-v", &value, true));
    EXPECT_EQ("one", value);
}
