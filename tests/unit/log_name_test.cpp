#include "log_name.h"
#include "log_rotate.h"
#include "log_time.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::uint64_t kStart = fnLogMsOf({2024, 3, 5, 7, 8, 9, 10});

struct NameCase {
    std::string m_strPattern;
    const char *m_pszPort;
    std::uint32_t m_nCounter;
    LogNameResult m_nResult;
    const char *m_pszName;
};

} // namespace

TEST(LogName, FieldsLimitsAndForbiddenNames)
{
    // 259 characters and one more.
    std::string strLong, strYears;
    for (int i = 0; i < 64; ++i) {
        strLong += "%Y";
        strYears += i < 63 ? "2024" : "abc.log";
    }
    const NameCase astCase[] = {
        {"%P-%Y%m%d-%H%M%S.log", "COM3", 0, kLogNameOk, "COM3-20240305-070809.log"},
        {"C:\\logs\\%P_%N.txt", "COM12", 7, kLogNameOk, "C:\\logs\\COM12_007.txt"},
        {"d/%N", "COM1", 12345, kLogNameOk, "d/12345"},
        {"100%%-%x-%", "COM1", 0, kLogNameOk, "100%-%x-%"},
        {strLong.substr(2) + "abc.log", "", 0, kLogNameOk, strYears.c_str()},
        {strLong + ".log", "", 0, kLogNameTooLong, ""},
        {"a<b.log", "COM1", 0, kLogNameBadChar, ""},
        {"ab:c.log", "COM1", 0, kLogNameBadChar, ""},
        {"C:\\a\tb.log", "COM1", 0, kLogNameBadChar, ""},
        {"log?*.txt", "COM1", 0, kLogNameBadChar, ""},
        {"%P.log", "COM3\\x", 0, kLogNameBadChar, ""},
        {"%P.log", "COM3:", 0, kLogNameBadChar, ""},
        {"", "COM1", 0, kLogNameNoFile, ""},
        {"logs\\", "COM1", 0, kLogNameNoFile, ""},
        {"C:", "COM1", 0, kLogNameNoFile, ""},
        {"%P.log", "COM3", 0, kLogNameDevice, ""},
        {"logs\\nul", "COM3", 0, kLogNameDevice, ""},
        {"Con .txt", "COM3", 0, kLogNameDevice, ""},
        {"%P.log", "COM10", 0, kLogNameOk, "COM10.log"},
        {"console.log", "COM3", 0, kLogNameOk, "console.log"},
    };
    for (const NameCase &st : astCase) {
        char ach[kLogPathChars];
        const std::uint32_t cchPattern = static_cast<std::uint32_t>(st.m_strPattern.size() + 1);
        EXPECT_EQ(st.m_nResult, fnLogExpandName(st.m_strPattern.c_str(), cchPattern, st.m_pszPort, kStart,
                                                st.m_nCounter, ach, sizeof ach))
            << st.m_strPattern;
        EXPECT_STREQ(st.m_pszName, ach) << st.m_strPattern;
    }

    // The pattern's bound is kept without a terminator; a small output fails
    // whole.
    const char achPattern[] = {'a', '%', 'N'};
    char ach[8] = "zzzzzzz";
    EXPECT_EQ(kLogNameOk, fnLogExpandName(achPattern, 2, "COM1", kStart, 3, ach, sizeof ach));
    EXPECT_STREQ("a%", ach);
    EXPECT_EQ(kLogNameTooLong, fnLogExpandName(achPattern, 3, "COM1", kStart, 1234567, ach, sizeof ach));
    EXPECT_STREQ("", ach);
}

// Blocks written the way the Win32 side does: each asks how much goes in,
// the rest into new files. Every file keeps its limit (text: whole lines),
// and the files together are the blocks.
TEST(LogRotate, SizeCutsLoseNothing)
{
    for (LogFormat nFormat : {kLogRaw, kLogText}) {
        LogSettings st = fnLogDefaults();
        st.m_nFormat = nFormat;
        st.m_nRotate = kLogRotateSize;
        st.m_dwRotateBytes = 100; // counts as kLogRotateBytesMin
        std::vector<std::string> vecFile(1, std::string(1000, '\n'));
        std::string strAll = vecFile[0];
        for (std::uint32_t i = 0; i < 40; ++i) {
            std::string strBlock;
            while (strBlock.size() < i * 997 % 40000) {
                strBlock += std::string(i * 7 % 90, static_cast<char>('a' + i % 26)) + "\r\n";
            }
            strAll += strBlock;
            for (std::uint32_t dwDone = 0; dwDone < strBlock.size();) {
                const std::uint32_t dwRest = static_cast<std::uint32_t>(strBlock.size()) - dwDone;
                const std::uint32_t dwPart =
                    fnLogCut(st, vecFile.back().size(), kStart, kStart + i, strBlock.data() + dwDone, dwRest);
                ASSERT_LE(dwPart, dwRest);
                ASSERT_TRUE(dwPart > 0 || !vecFile.back().empty());
                vecFile.back() += strBlock.substr(dwDone, dwPart);
                dwDone += dwPart;
                if (dwDone < strBlock.size()) {
                    vecFile.emplace_back();
                }
            }
        }
        std::string strJoined;
        for (const std::string &strFile : vecFile) {
            EXPECT_LE(strFile.size(), kLogRotateBytesMin);
            EXPECT_TRUE(nFormat == kLogRaw || strFile.back() == '\n');
            strJoined += strFile;
        }
        EXPECT_EQ(strAll, strJoined);
        EXPECT_GT(vecFile.size(), 40u);
    }
}

TEST(LogRotate, MidnightAndLongLines)
{
    LogSettings st = fnLogDefaults();
    const std::uint64_t qwLate = fnLogMsOf({2024, 12, 31, 23, 59, 59, 999});
    const char achLine[] = "line\r\n";
    EXPECT_EQ(6u, fnLogCut(st, 1u << 30, qwLate, qwLate + 1, achLine, 6));
    st.m_nRotate = kLogRotateMidnight;
    EXPECT_EQ(6u, fnLogCut(st, 1u << 30, qwLate - 86399999, qwLate, achLine, 6));
    EXPECT_EQ(0u, fnLogCut(st, 5, qwLate, qwLate + 1, achLine, 6));

    // A line longer than the limit goes whole into an empty file only.
    st.m_nRotate = kLogRotateSize;
    st.m_dwRotateBytes = kLogRotateBytesMin;
    const std::string strLong = std::string(kLogRotateBytesMin + 10, 'x') + "\r\nab\r\n";
    const std::uint32_t cch = static_cast<std::uint32_t>(strLong.size());
    EXPECT_EQ(cch - 4, fnLogCut(st, 0, qwLate, qwLate, strLong.data(), cch));
    EXPECT_EQ(0u, fnLogCut(st, 1, qwLate, qwLate, strLong.data(), cch));
    // A line that just fits.
    const char achTwo[] = "line\r\nab\r\n";
    EXPECT_EQ(6u, fnLogCut(st, kLogRotateBytesMin - 6, qwLate, qwLate, achTwo, 10));
    EXPECT_EQ(0u, fnLogCut(st, kLogRotateBytesMin, qwLate, qwLate, achTwo, 10));
}
