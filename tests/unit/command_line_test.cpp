#include "command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Split {
    int iResult;
    std::string strArg;
};

Split fnSplit(const char *pszLine, std::size_t cchOut = 64)
{
    char achOut[64] = "untouched";
    const int iResult = fnFirstArgument(pszLine, achOut, cchOut);
    return {iResult, achOut};
}

TEST(FirstArgument, NothingButBlanksIsNoArgument)
{
    EXPECT_EQ(fnSplit("").iResult, kArgNone);
    EXPECT_EQ(fnSplit(" \t ").iResult, kArgNone);
    EXPECT_EQ(fnSplit(" \t ").strArg, "");
}

TEST(FirstArgument, QuotesKeepBlanksAndAreDropped)
{
    const Split stQuoted = fnSplit("  \"C:\\Program Files\\ZEVRIK\\examples\\a b.csi\"  next");
    EXPECT_EQ(stQuoted.iResult, kArgFound);
    EXPECT_EQ(stQuoted.strArg, "C:\\Program Files\\ZEVRIK\\examples\\a b.csi");
    EXPECT_EQ(fnSplit("C:\\\"My Files\"\\x.csi tail").strArg, "C:\\My Files\\x.csi");
    EXPECT_EQ(fnSplit("\"C:\\unclosed name.csi").strArg, "C:\\unclosed name.csi");
    const Split stEmpty = fnSplit("\"\" x");
    EXPECT_EQ(stEmpty.iResult, kArgFound);
    EXPECT_EQ(stEmpty.strArg, "");
}

TEST(FirstArgument, UnquotedEndsAtTheFirstBlank)
{
    EXPECT_EQ(fnSplit("\tC:\\a.csi\tC:\\b.csi").strArg, "C:\\a.csi");
}

// An argument filling the buffer exactly fits; one character more does not,
// and nothing of it is left behind.
TEST(FirstArgument, LongestThatFitsAndOneBeyond)
{
    EXPECT_EQ(fnSplit("\"abcd\"", 5).iResult, kArgFound);
    EXPECT_EQ(fnSplit("\"abcd\"", 5).strArg, "abcd");
    EXPECT_EQ(fnSplit("abcde", 5).iResult, kArgTooLong);
    EXPECT_EQ(fnSplit("abcde", 5).strArg, "");
    EXPECT_EQ(fnSplit("a", 0).iResult, kArgTooLong);
    EXPECT_EQ(fnSplit("a", 0).strArg, "untouched");
}

} // namespace
