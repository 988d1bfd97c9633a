#include "console_screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ConsoleScreen gstScreen;

// The view's text: every kept line as the view paints it, joined by CR LF.
std::string View()
{
    std::string strView;
    char achLine[kLineTextMax];
    for (std::uint32_t i = 0; i < fnScreenLines(gstScreen); ++i) {
        strView += i != 0 ? "\r\n" : "";
        strView.append(achLine, fnScreenLineText(gstScreen, i, achLine));
    }
    return strView;
}

void Feed(const std::string &str, std::int32_t nStamp = kNoStamp)
{
    fnScreenFeed(gstScreen, reinterpret_cast<const std::uint8_t *>(str.data()),
                 static_cast<std::uint32_t>(str.size()), nStamp);
}

// Fed whole, and once more byte by byte: a sequence split across feeds
// acts the same.
std::string Show(const std::string &str, bool bConsole)
{
    fnScreenReset(gstScreen, bConsole, kHistoryChars);
    Feed(str);
    const std::string strWhole = View();
    fnScreenReset(gstScreen, bConsole, kHistoryChars);
    for (char ch : str) {
        Feed(std::string(1, ch));
    }
    EXPECT_EQ(strWhole, View()) << str;
    return strWhole;
}

struct Case {
    const char *m_pszIn;
    const char *m_pszView;
};

} // namespace

TEST(ConsoleScreen, SequencesConsumedAndActedOn)
{
    const Case astCase[] = {
        {"\x1b[?2004h$ echo typo-4x\b \b2\r\n\x1b[?2004l\rtypo-42\r\n", "$ echo typo-42\r\ntypo-42\r\n"},
        {"a\rb\n", "b\r\n"},
        {"\x1b[31mred\x1b[0m \x1b[1;32mgreen", "red green"},
        {"abc\x1b[2D\x1b[K", "a"},
        {"abc\x1b[1GX\x1b[5G!", "Xbc !"},
        {"12345\r\x1b[3C\x1b[K", "123"},
        {"abcdef\x1b[4D\x1b[1K", "   def"},
        {"abc\x1b[2K", ""},
        {"l1\r\nl2\r\n\x1b[2Ax\x1b[By", "x1\r\nly\r\n"},
        {"a\r\nb\x1b[1;2Hz\x1b[3;1Hc", "az\r\nb\r\nc"},
        {"a\r\nb\x1b[H\x1b[J", ""},
        {"a\r\nb\x1b[2Jc\x1b[3Jd", "a\r\nb\r\n c\r\n  d"},
        {"abcd\x1b[2D\x1b[P", "abd"},
        {"abcd\x1b[3D\x1b[2@", "a  bcd"},
        {"abcd\x1b[3D\x1b[2X", "a  d"},
        {"a\tb\x1b"
         "7\r\n\x1b"
         "8c\x1b"
         "E"
         "d\x1bMe",
         "ae      bc\r\nd"},
        {"\x1b]0;title\x07ok\x1b]2;t\x1b\\!", "ok!"},
        {"\x1bP1$r0m\x1b\\dcs\x1b_apc\x1b\\\x1b(B.", "dcs."},
        {"a\x07\x7f"
         "b\x01\x1b"
         "c\x0e",
         "ab\x01\x0e"},
        {"\x1b[1;2;3;99999999;5;6;7;8;9;10;11;12;13;14;15;16;17mx\x1b[?1;2\x18y\x1b[1:2mz", "xyz"},
        {"\xc3\xa9\x1b\x1b[Ax", "\xc3\xa9x"},
    };
    for (const Case &stCase : astCase) {
        EXPECT_EQ(stCase.m_pszView, Show(stCase.m_pszIn, true)) << stCase.m_pszIn;
    }
    // Without console mode every byte but a CR LF pair is shown.
    EXPECT_EQ("a\x1b[31mb\r\nc\rd\n", Show("a\x1b[31mb\r\nc\rd\n", false));
    EXPECT_EQ(std::string(kRowChars, 'w') + "\r\nw", Show(std::string(kRowChars + 1, 'w'), true));
}

TEST(ConsoleScreen, StampsOnReceivedLinesOnly)
{
    fnScreenReset(gstScreen, true, kHistoryChars);
    Feed("$ ", 3723004);
    Feed("ls\r", kNoStamp); // echoed keys
    Feed("\r\nfile\r\n", 86399999);
    Feed("k", kNoStamp);
    Feed("\x1b[1Gx\r\n", 0);
    EXPECT_EQ("01:02:03.004 $ ls\r\n23:59:59.999 file\r\n00:00:00.000 x\r\n", View());
}

// The history keeps whole lines up to its limits, losing the oldest first.
TEST(ConsoleScreen, HistoryBoundedInLinesAndText)
{
    const struct {
        std::uint32_t m_dwLimit;
        int m_nLines;
        std::uint32_t m_dwKept;
    } astCase[] = {
        {kHistoryChars, 20000, 20001}, {kHistoryChars, 70000, kHistoryLines + kLiveRows}, {2048, 1000, 706}};
    for (const auto &stCase : astCase) {
        fnScreenReset(gstScreen, true, stCase.m_dwLimit);
        std::string strAll;
        for (int i = 1; i <= stCase.m_nLines; ++i) {
            const std::string strLine = std::to_string(i) + "\r\n";
            strAll += strLine;
            Feed(strLine);
        }
        const std::string strView = View();
        EXPECT_EQ(stCase.m_dwKept, fnScreenLines(gstScreen));
        ASSERT_GE(strAll.size(), strView.size());
        EXPECT_EQ(strAll.substr(strAll.size() - strView.size()), strView);
        EXPECT_EQ(0u, strView.find(std::to_string(stCase.m_nLines - stCase.m_dwKept + 2) + "\r\n"));
    }
}

// Selections in either direction, past line ends and the last line, and a
// buffer too small for the text.
TEST(ConsoleScreen, TextBetweenPlaces)
{
    fnScreenReset(gstScreen, false, kHistoryChars);
    Feed("ab\r\ncdef\r\ngh");
    const struct {
        ScreenPos m_stFrom, m_stTo;
        std::uint32_t m_dwRoom;
        const char *m_pszText;
    } astCase[] = {
        {{0, 0}, {9, 99}, 99, "ab\r\ncdef\r\ngh"},
        {{1, 3}, {0, 1}, 99, "b\r\ncde"},
        {{1, 1}, {1, 3}, 99, "de"},
        {{1, 9}, {2, 1}, 99, "\r\ng"},
        {{1, 2}, {1, 2}, 99, ""},
        {{5, 0}, {6, 0}, 99, ""},
        {{0, 0}, {9, 99}, 4, "ab\r\n"},
    };
    for (const auto &stCase : astCase) {
        char ach[99];
        const std::uint32_t dwLen =
            fnScreenText(gstScreen, stCase.m_stFrom, stCase.m_stTo, ach, stCase.m_dwRoom);
        EXPECT_EQ(std::string(ach, dwLen), stCase.m_pszText);
        if (stCase.m_dwRoom == 99) {
            EXPECT_EQ(fnScreenText(gstScreen, stCase.m_stFrom, stCase.m_stTo, nullptr, 0), dwLen);
        }
    }
}
