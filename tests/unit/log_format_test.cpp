#include "log_format.h"
#include "log_time.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

LogWriter gstLog;
// 2024-02-29 23:59:59.998, a leap day just before midnight.
const std::uint64_t kT0 = fnLogMsOf({2024, 2, 29, 23, 59, 59, 998});

// A read ('<' received, '>' sent) or a tick ('t') at kT0 + m_nMs.
struct Step {
    char m_chKind;
    std::uint32_t m_nMs;
    std::string m_str;
};

std::string Drain()
{
    std::string str(gstLog.m_achOut, gstLog.m_dwOut);
    gstLog.m_dwOut = 0;
    return str;
}

// Feeds as the Win32 side does: the output written out after each call,
// which then must take something.
std::string Feed(LogDir nDir, const std::string &str, std::uint64_t qwMs)
{
    std::string strOut;
    for (std::uint32_t dwDone = 0; dwDone < str.size();) {
        const std::uint32_t dwTaken =
            fnLogFeed(gstLog, nDir, reinterpret_cast<const std::uint8_t *>(str.data()) + dwDone,
                      static_cast<std::uint32_t>(str.size()) - dwDone, kT0 + qwMs);
        strOut += Drain();
        if (dwTaken == 0) {
            ADD_FAILURE() << "nothing taken";
            break;
        }
        dwDone += dwTaken;
    }
    return strOut;
}

std::string Log(LogFormat nFormat, LogStampStyle nStamp, bool bBoth, bool bConsole,
                const std::vector<Step> &vec)
{
    LogSettings stSet = fnLogDefaults();
    stSet.m_nFormat = nFormat;
    stSet.m_nStamp = nStamp;
    stSet.m_nDirs = bBoth ? kLogBothDirections : kLogReceivedOnly;
    fnLogStart(gstLog, stSet, bConsole, kT0);
    std::string strOut;
    for (const Step &st : vec) {
        if (st.m_chKind == 't') {
            EXPECT_TRUE(fnLogTick(gstLog, kT0 + st.m_nMs));
            strOut += Drain();
        } else {
            strOut += Feed(st.m_chKind == '<' ? kLogReceived : kLogSent, st.m_str, st.m_nMs);
        }
    }
    return strOut;
}

std::string Lines(const std::string &strPrefix, const std::string &strText, std::size_t cchLine)
{
    std::string strOut;
    for (std::size_t n = 0; n < strText.size(); n += cchLine) {
        strOut += (n == 0 ? strPrefix : "0.000+") + strText.substr(n, cchLine) + "\r\n";
    }
    return strOut;
}

// ' ' received only, 'b' both directions, 'c' received only, console view.
struct TextCase {
    char m_chMode;
    std::vector<Step> m_vecStep;
    std::string m_strWant;
};

} // namespace

TEST(LogText, LinesPausesDirectionsAndSequences)
{
    const std::string strLong(10000, 'a');
    const std::string strControls(1000, '\x01');
    std::string strTokens;
    for (int i = 0; i < 1000; ++i) {
        strTokens += "<0x01>";
    }
    std::vector<Step> vecSlow;
    for (std::uint32_t i = 0; i <= 12; ++i) {
        vecSlow.push_back({'<', i * 900, "x"});
    }
    vecSlow.push_back({'t', 11799, ""});
    vecSlow.push_back({'t', 11800, ""});
    const TextCase astCase[] = {
        // Every line end; the partner of a CR or LF is its second half.
        {' ',
         {{'<', 0, "a\r\nb\nc\rd\n\re\n\nf\r\rg\r\r\nh\r\n\r\ni\r\n"}},
         "0.000 a\r\n0.000 b\r\n0.000 c\r\n0.000 d\r\n"
         "0.000 e\r\n0.000 \r\n0.000 f\r\n0.000 g\r\n0.000 h\r\n0.000 \r\n0.000 i\r\n"},
        // A CR at the end of a read, its LF in the next one.
        {' ', {{'<', 0, "abc\r"}, {'<', 2000, "\ndef\r"}, {'<', 2100, "\n"}}, "0.000 abc\r\n2.000 def\r\n"},
        // A prompt written at the pause, its rest as a continuation.
        {' ',
         {{'<', 0, "$ "}, {'t', 999, ""}, {'t', 1000, ""}, {'<', 3000, "ls\r\n"}, {'<', 3500, "x\n"}},
         "0.000 $ \r\n3.000+ls\r\n3.500 x\r\n"},
        // The pause seen by the next read without a tick; a line end after it
        // adds no empty line.
        {' ', {{'<', 0, "ab"}, {'<', 1500, "cd"}, {'<', 2600, "\r\n"}}, "0.000 ab\r\n1.500+cd\r\n"},
        // A slow stream is written after kLogHoldPauses pauses; the line
        // after it is not held back either.
        {' ', vecSlow, "0.000 " + std::string(12, 'x') + "\r\n10.800+x\r\n"},
        // Each direction has its own line; received only drops sent data.
        {'b',
         {{'<', 0, "ab"}, {'>', 100, "ls\r\r"}, {'<', 200, "c\r\n"}},
         "0.100 > ls\r\n0.100 > \r\n0.000 < abc\r\n"},
        {' ', {{'<', 0, "ab"}, {'>', 100, "ls\r"}, {'<', 200, "c\r\n"}}, "0.000 abc\r\n"},
        // Long lines are cut; a spelled-out control is never split.
        {' ', {{'<', 0, strLong + "\n"}}, Lines("0.000 ", strLong, kLogLineChars)},
        {' ', {{'<', 0, strControls + "\r"}}, Lines("0.000 ", strTokens, kLogLineChars / 6 * 6)},
        // Controls: shown, or acted on in the console view; a sequence split
        // across reads is still removed.
        {' ', {{'<', 0, "a\tb\x07\x1b[1m\x7f\0\n"s}}, "0.000 a\tb<0x07><0x1B>[1m<0x7F><0x00>\r\n"},
        {'c',
         {{'<', 0, "\x1b[3"}, {'<', 10, "1mre\x1b"}, {'<', 20, "[0md\x1b]0;title\x07\x07\0\xc3\xa9\n"s}},
         "0.010 red<0x07>\xc3\xa9\r\n"},
        {'c',
         {{'<', 0, "typo-4x\b \b2\r\n\x1b[?2004l\rabc\b\b\x1b[K!\r\n"}},
         "0.000 typo-42\r\n0.000 a!\r\n"},
    };
    for (const TextCase &st : astCase) {
        EXPECT_EQ(st.m_strWant,
                  Log(kLogText, kLogStampSeconds, st.m_chMode == 'b', st.m_chMode == 'c', st.m_vecStep))
            << st.m_vecStep[0].m_str.substr(0, 40);
    }
}

TEST(LogHex, RowsOffsetsAndDirections)
{
    const std::string strPad(47, ' ');
    EXPECT_EQ("23:59:59.998 < 00000000  48 65 6C 6C 6F 2C 20 77 6F 72 6C 64 21 0D 0A 00  Hello, world!...\r\n"
              "23:59:59.998+< 00000010  7F FF 1B" +
                  strPad.substr(8) + "  ...\r\n" + "23:59:59.999 > 00000000  41 54 0D" + strPad.substr(8) +
                  "  AT.\r\n" + "00:00:00.000 < 00000013  4F 4B" + strPad.substr(5) + "  OK\r\n",
              Log(kLogHex, kLogStampTime, true, false,
                  {{'<', 0, "Hello, world!\r\n\x00\x7f\xff\x1b"s}, {'>', 1, "AT\r"}, {'<', 2, "OK"}}));
    EXPECT_EQ(
        "2024-02-29 23:59:59.998 00000000  41 54" + strPad.substr(5) + "  AT\r\n" +
            "2024-03-01 00:00:00.000 00000002  4F 4B" + strPad.substr(5) + "  OK\r\n",
        Log(kLogHex, kLogStampDateTime, false, false, {{'<', 0, "AT"}, {'>', 1, "AT"}, {'<', 2, "OK"}}));

    // A read larger than the output takes several calls and stays one record.
    const std::string strBig =
        Log(kLogHex, kLogStampSeconds, false, false, {{'<', 0, std::string(8192, 'z')}});
    std::size_t nRows = 0;
    for (std::size_t n = 0; n < strBig.size(); n = strBig.find('\n', n) + 1, ++nRows) {
        char achWant[24];
        std::snprintf(achWant, sizeof achWant, "0.000%c%08zX  7A", nRows == 0 ? ' ' : '+', nRows * 16);
        ASSERT_EQ(achWant, strBig.substr(n, 18));
    }
    EXPECT_EQ(512u, nRows);
}

TEST(LogMarks, OpenLinesFirstOpeningsAfresh)
{
    LogSettings stSet = fnLogDefaults();
    stSet.m_nDirs = kLogBothDirections;
    stSet.m_nStamp = kLogStampTime;
    fnLogStart(gstLog, stSet, true, kT0);
    std::string strOut = Feed(kLogReceived, "abc", 0);
    strOut += Feed(kLogSent, "x", 1);
    EXPECT_TRUE(fnLogMark(gstLog, kLogMarkLost, nullptr, kT0 + 2));
    strOut += Drain() + Feed(kLogReceived, "def\r\n\x1b[3", 3);
    EXPECT_TRUE(fnLogMark(gstLog, kLogMarkReopened, "COM3\r\n9600", kT0 + 4));
    strOut += Drain() + Feed(kLogReceived, "1mZ\n", 5);
    EXPECT_TRUE(fnLogMark(gstLog, kLogMarkSettings, std::string(300, 'd').c_str(), kT0 + 6));
    EXPECT_EQ(
        "23:59:59.998 < abc\r\n23:59:59.999 > x\r\n00:00:00.000* port lost\r\n00:00:00.001+< def\r\n"
        "00:00:00.002* port reopened: COM3  9600\r\n00:00:00.003 < 1mZ\r\n00:00:00.004* settings changed: " +
            std::string(kLogDetailChars, 'd') + "\r\n",
        strOut + Drain());

    // Without room for what it may write a call does nothing.
    Feed(kLogReceived, "open", 7);
    gstLog.m_dwOut = kLogOutChars - 2 * kLogLineMax + 1;
    EXPECT_FALSE(fnLogMark(gstLog, kLogMarkBreak, nullptr, kT0 + 9000));
    EXPECT_FALSE(fnLogTick(gstLog, kT0 + 9000));
    EXPECT_EQ(0u,
              fnLogFeed(gstLog, kLogReceived, reinterpret_cast<const std::uint8_t *>("a"), 1, kT0 + 9000));
    EXPECT_EQ(kLogOutChars - 2 * kLogLineMax + 1, gstLog.m_dwOut);
}
