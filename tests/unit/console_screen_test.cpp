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
    const std::uint64_t qwFirst = fnScreenFirst(gstScreen);
    for (std::uint64_t qw = qwFirst; qw < qwFirst + fnScreenLines(gstScreen); ++qw) {
        strView += qw != qwFirst ? "\r\n" : "";
        strView.append(achLine, fnScreenLineText(gstScreen, qw, achLine));
    }
    return strView;
}

std::string Reply()
{
    char ach[kReplyChars];
    return std::string(ach, fnScreenTakeReply(gstScreen, ach, sizeof ach));
}

// "nFrom\r\n" to "nTo\r\n", as seq prints them.
std::string Seq(int nFrom, int nTo)
{
    std::string str;
    for (int i = nFrom; i <= nTo; ++i) {
        str += std::to_string(i) + "\r\n";
    }
    return str;
}

void Feed(const std::string &str, std::int32_t nStamp = kNoStamp)
{
    fnScreenFeed(gstScreen, reinterpret_cast<const std::uint8_t *>(str.data()),
                 static_cast<std::uint32_t>(str.size()), nStamp);
}

// Fed whole, and once more byte by byte: a sequence split across feeds
// acts the same and answers the same. The view, and what was answered.
std::string Show(const std::string &str, bool bConsole, std::string *pstrReply = nullptr,
                 int nCols = kDefaultCols, int nRows = kDefaultRows)
{
    std::string astrView[2], astrReply[2];
    for (int iPass = 0; iPass < 2; ++iPass) {
        fnScreenReset(gstScreen, bConsole, kHistoryChars);
        fnScreenSize(gstScreen, nCols, nRows);
        const size_t cbStep = iPass == 0 ? str.size() : 1;
        for (size_t i = 0; i < str.size(); i += cbStep) {
            Feed(str.substr(i, cbStep));
        }
        astrView[iPass] = View();
        astrReply[iPass] = Reply();
    }
    EXPECT_EQ(astrView[0], astrView[1]) << str;
    EXPECT_EQ(astrReply[0], astrReply[1]) << str;
    if (pstrReply != nullptr) {
        *pstrReply = astrReply[0];
    }
    return astrView[0];
}

struct Case {
    std::string m_strIn;
    std::string m_strView;
    std::string m_strReply = "";
    int m_nCols = kDefaultCols;
    int m_nRows = kDefaultRows;
};

const std::string kW80(kDefaultCols, 'w');

std::string Letters(int nCount)
{
    std::string str;
    for (int i = 0; i < nCount; ++i) {
        str += static_cast<char>('a' + i % 26);
    }
    return str;
}

} // namespace

TEST(ConsoleScreen, SequencesConsumedAndActedOn)
{
    // A 150-character command typed at bash's prompt, as bash echoes it in
    // 80 columns (TERM=vt100), and its output.
    const std::string strCmd = "echo " + Letters(145);
    const Case astCase[] = {
        {"\x1b[?2004h$ " + strCmd.substr(0, 78) + " \r" + strCmd.substr(78) + "\r\n\x1b[?2004l\r" +
             Letters(145) + "\r\n",
         "$ " + strCmd.substr(0, 78) + "\r\n" + strCmd.substr(78) + "\r\n" + Letters(80) + "\r\n" +
             Letters(145).substr(80) + "\r\n"},
        // Deferred wrap: CR LF after the last column makes no empty line, BS
        // leaves the last column, DECAWM off overwrites it.
        {kW80 + "w\r\n" + kW80 + "\r\nx\r\n" + kW80 + "\by",
         kW80 + "\r\nw\r\n" + kW80 + "\r\nx\r\n" + kW80.substr(2) + "yw"},
        {"\x1b[?7l" + kW80 + "wwwx\x1b[?7hyz", kW80.substr(1) + "y\r\nz"},
        {"ab\r\ncde\x1b[6n" + kW80.substr(3) + "\x1b[6n", "ab\r\ncde" + kW80.substr(3),
         "\x1b[2;4R\x1b[2;80R"},
        {"\x1b[5n\x1b[c\x1b[0c\x1b[>c\x1b[?6n\x1b[18t", "", "\x1b[0n\x1b[?1;2c\x1b[?1;2c\x1b[8;30;100t", 100,
         30},
        // resize: save, no region, far corner, where is the cursor?
        {"$ \x1b"
         "7\x1b[r\x1b[9999;9999H\x1b[6n\x1b"
         "8",
         "$ ", "\x1b[24;80R"},
        // Scroll regions: a line scrolled off the screen's top goes into the
        // history, one off a region below it is lost; reverse index, insert
        // and delete lines, scroll up and down act within the region.
        {"1\r\n2\r\n3\x1b[1;2r\x1b[2H\nX", "1\r\n2\r\nX\r\n3"},
        {"1\r\n2\r\n3\r\n4\x1b[2;3r\x1b[3H\nX", "1\r\n3\r\nX\r\n4"},
        {"1\r\n2\r\n3\x1b[2;3r\x1b[2H\x1bMX", "1\r\nX\r\n2"},
        {"a\x1bMb", " b\r\na"},
        {"1\r\n2\r\n3\x1b[2H\x1b[L\x1b[3;1H\x1b[M", "1\r\n\r\n3"},
        {"1\r\n2\r\n3\x1b[2S\x1b[H\x1b[T", "1\r\n2\r\n\r\n3"},
        {"\x1b[3;5r\x1b[?6h\x1b[1;1HX\x1b[9;1HY\x1b[6n\x1b[?6l\x1b[6n\x1b[2;3H\x1b[4;4r\x1b[6n",
         "\r\n\r\nX\r\n\r\nY", "\x1b[3;2R\x1b[1;1R\x1b[2;3R", 80, 5},
        {"abc\x1b[2G\x1b[4hXY\x1b[4lZ", "aXYZc"},
        // A string without its end ends after kVtStringMax bytes (here at the
        // CR of 841).
        {"\x1bX" + Seq(1, 5000), "\r\n" + Seq(842, 5000)},
        {"\x1b[?2004h$ echo typo-4x\b \b2\r\n\x1b[?2004l\rtypo-42\r\n", "$ echo typo-42\r\ntypo-42\r\n"},
        {"a\rb\n", "b\r\n"},
        {"\x1b[31mred\x1b[0m \x1b[1;32mgreen", "red green"},
        {"abc\x1b[2D\x1b[K", "a"},
        {"abc\x1b[1GX\x1b[5G!", "Xbc !"},
        {"12345\r\x1b[3C\x1b[K", "123"},
        {"abcdef\x1b[4D\x1b[1K", "   def"},
        {"abc\x1b[2K", ""},
        {"l1\r\nl2\r\n\x1b[2Ax\x1b[By", "x1\r\nly"},
        {"a\r\nb\x1b[1;2Hz\x1b[3;1Hc", "az\r\nb\r\nc"},
        {"a\r\nb\x1b[H\x1b[J", "a\r\nb\r\n"},
        {"a\r\nb\x1b[1;2H\x1b[J", "a"},
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
         "ab\x01"},
        {"\x1b[1;2;3;99999999;5;6;7;8;9;10;11;12;13;14;15;16;17mx\x1b[?1;2\x18y\x1b[1:2mz", "xyz"},
        {"\xc3\xa9\x1b\x1b[Ax", "\xc3\xa9x"},
    };
    for (const Case &stCase : astCase) {
        std::string strReply;
        EXPECT_EQ(stCase.m_strView, Show(stCase.m_strIn, true, &strReply, stCase.m_nCols, stCase.m_nRows))
            << stCase.m_strIn;
        EXPECT_EQ(stCase.m_strReply, strReply) << stCase.m_strIn;
    }
    // Without console mode every byte but a CR LF pair is shown, lines are
    // kRowChars wide whatever the size, and nothing is answered.
    std::string strReply;
    EXPECT_EQ("a\x1b[31mb\r\nc\rd\n\x1b[6n", Show("a\x1b[31mb\r\nc\rd\n\x1b[6n", false, &strReply, 9, 2));
    EXPECT_EQ("", strReply);
    EXPECT_EQ(std::string(kRowChars, 'w') + "\r\nw", Show(std::string(kRowChars + 1, 'w'), false));
}

// A smaller screen: the rows above it go into the history, the lines are
// cut at the new width, the far end is told the new size.
TEST(ConsoleScreen, SizeChangedWithText)
{
    fnScreenReset(gstScreen, true, kHistoryChars);
    Feed("1\r\n2\r\n3\r\n" + std::string(100, 'x'));
    fnScreenSize(gstScreen, 40, 2);
    Feed("\x1b[18t\x1b[6n\x1b[H!");
    EXPECT_EQ("1\r\n2\r\n3\r\n!" + std::string(39, 'x') + "\r\n" + std::string(20, 'x'), View());
    EXPECT_EQ("\x1b[8;2;40t\x1b[2;21R", Reply());

    // The same size again (a window resized within a character) keeps the
    // far end's scroll region.
    fnScreenReset(gstScreen, true, kHistoryChars);
    Feed("1\r\n2\r\n3\r\n4\x1b[2;3r");
    fnScreenSize(gstScreen, kDefaultCols, kDefaultRows);
    Feed("\x1b[3H\nX");
    EXPECT_EQ("1\r\n3\r\nX\r\n4", View());
}

// A window's size in whole cells, within the screen's bounds.
TEST(ConsoleScreen, FitsWholeCellsWithinBounds)
{
    const int aanCase[][6] = {
        // width, height, cell width, cell height -> columns, rows
        {800, 480, 8, 16, 100, 30},
        {799, 479, 8, 16, 99, 29},
        {100, 30, 8, 16, kMinFitCols, kMinFitRows},
        {-5, -5, 8, 16, kMinFitCols, kMinFitRows},
        {640, 480, 0, 0, kMinFitCols, kMinFitRows},
        {100000, 100000, 1, 1, kRowChars, kLiveRows},
    };
    for (const int *an : aanCase) {
        int nCols = 0, nRows = 0;
        fnScreenFit(an[0], an[1], an[2], an[3], nCols, nRows);
        EXPECT_EQ(an[4], nCols) << an[0] << "x" << an[1];
        EXPECT_EQ(an[5], nRows) << an[0] << "x" << an[1];
    }
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
    } astCase[] = {{kHistoryChars, 20000, 20001},
                   {kHistoryChars, 70000, kHistoryLines + kDefaultRows},
                   {2048, 1000, 706}};
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
    const std::uint64_t qw = fnScreenFirst(gstScreen);
    const struct {
        ScreenPos m_stFrom, m_stTo;
        std::uint32_t m_dwRoom;
        const char *m_pszText;
    } astCase[] = {
        {{0, 0}, {~0ull, 99}, 99, "ab\r\ncdef\r\ngh"},
        {{qw + 1, 3}, {qw, 1}, 99, "b\r\ncde"},
        {{qw + 1, 1}, {qw + 1, 3}, 99, "de"},
        {{qw + 1, 9}, {qw + 2, 1}, 99, "\r\ng"},
        {{qw + 1, 2}, {qw + 1, 2}, 99, ""},
        {{qw + 5, 0}, {qw + 6, 0}, 99, ""},
        {{qw, 0}, {qw + 9, 99}, 4, "ab\r\n"},
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

// A selection names lines by number: it keeps its text while older lines
// drop, loses the part that dropped, and is gone once all of it has, as
// after a reset (the view's Clear).
TEST(ConsoleScreen, SelectionKeepsItsLines)
{
    fnScreenReset(gstScreen, true, 2048);
    const std::uint64_t qwOne = fnScreenFirst(gstScreen); // seq's "1"
    Feed(Seq(1, 1000));
    Feed(Seq(1001, 1100)); // "1" to about "395" drop
    const std::string strView = View();
    const struct {
        int m_nFrom, m_nFromCol, m_nTo, m_nToCol;
        bool m_bSelected;
        std::string m_strText;
    } astCase[] = {
        {900, 0, 900, 9, true, "900"},
        {901, 1, 899, 0, true, "899\r\n900\r\n9"},
        {1, 2, 900, 2, true, strView.substr(0, strView.find("\r\n900\r\n") + 4)},
        {1, 0, 300, 9, false, ""},
    };
    for (int iReset = 0; iReset < 2; ++iReset) {
        for (const auto &stCase : astCase) {
            ScreenPos stFrom = {qwOne + stCase.m_nFrom - 1, static_cast<std::uint32_t>(stCase.m_nFromCol)};
            ScreenPos stTo = {qwOne + stCase.m_nTo - 1, static_cast<std::uint32_t>(stCase.m_nToCol)};
            char ach[kHistoryChars / 4];
            EXPECT_EQ(iReset == 0 ? stCase.m_strText : "",
                      std::string(ach, fnScreenText(gstScreen, stFrom, stTo, ach, sizeof ach)));
            EXPECT_EQ(iReset == 0 && stCase.m_bSelected, fnScreenSelection(gstScreen, stFrom, stTo));
        }
        fnScreenReset(gstScreen, true, 2048);
    }
}
