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
}

// The next try for a taken name: "-n" before the file's own extension, and
// nothing at all when it would not fit.
TEST(LogName, NumberedNamesKeepTheExtensionAndTheLimit)
{
    const std::string strFull(kLogPathChars - 5, 'a');
    const struct {
        std::string m_strName;
        std::uint32_t m_nNumber;
        bool m_bOk;
        std::string m_strWant;
    } astCase[] = {
        {"C:\\logs\\COM3-20240305.log", 2, true, "C:\\logs\\COM3-20240305-2.log"},
        {"C:\\logs.d\\COM3", 12, true, "C:\\logs.d\\COM3-12"},
        {"a.b.txt", 3, true, "a.b-3.txt"},
        {strFull + ".x", 9, true, strFull + "-9.x"},
        {strFull + ".x", 10, false, ""},
    };
    for (const auto &st : astCase) {
        char ach[kLogPathChars];
        EXPECT_EQ(st.m_bOk, fnLogNumberedName(st.m_strName.c_str(), st.m_nNumber, ach, sizeof ach))
            << st.m_strName;
        EXPECT_EQ(st.m_strWant, ach);
    }
}

struct CutCase {
    LogRotation m_nRotate;
    LogFormat m_nFormat;
    std::uint64_t m_qwFileBytes;
    bool m_bYesterday; // the file began the day before the block
    std::string m_strBlock;
    std::uint32_t m_dwWant;
};

TEST(LogRotate, CutsBetweenLinesAtTheLimitOrMidnight)
{
    const std::uint32_t kMin = kLogRotateBytesMin; // a limit of 100 counts as this
    const std::string strLong = std::string(kMin + 10, 'x') + "\r\nab\r\n";
    const CutCase astCase[] = {
        {kLogRotateOff, kLogText, 1u << 30, true, "line\r\n", 6},
        {kLogRotateMidnight, kLogText, 1u << 30, false, "line\r\n", 6},
        {kLogRotateMidnight, kLogRaw, 5, true, "line\r\n", 0},
        {kLogRotateSize, kLogText, kMin - 6, true, "line\r\nab\r\n", 6},
        {kLogRotateSize, kLogText, kMin - 7, false, "line\r\nab\r\n", 6},
        {kLogRotateSize, kLogRaw, kMin - 7, false, "line\r\nab\r\n", 7},
        {kLogRotateSize, kLogText, kMin, false, "line\r\nab\r\n", 0},
        {kLogRotateSize, kLogText, kMin - 5, false, "line\r\nab\r\n", 0},
        // A line longer than the limit goes whole into an empty file only.
        {kLogRotateSize, kLogText, 0, false, strLong, kMin + 12},
        {kLogRotateSize, kLogText, 1, false, strLong, 0},
    };
    const std::uint64_t qwNow = fnLogMsOf({2025, 1, 1, 0, 0, 0, 0});
    for (const CutCase &stCase : astCase) {
        LogSettings st = fnLogDefaults();
        st.m_nRotate = stCase.m_nRotate;
        st.m_nFormat = stCase.m_nFormat;
        st.m_dwRotateBytes = 100;
        EXPECT_EQ(stCase.m_dwWant,
                  fnLogCut(st, stCase.m_qwFileBytes, qwNow - (stCase.m_bYesterday ? 1 : 0), qwNow,
                           stCase.m_strBlock.data(), static_cast<std::uint32_t>(stCase.m_strBlock.size())))
            << stCase.m_nRotate << ' ' << stCase.m_qwFileBytes;
    }

    // Blocks written the way the Win32 side does: each part asked for, the
    // rest into new files. Files keep the limit (text: whole lines) and
    // together are the blocks.
    for (LogFormat nFormat : {kLogRaw, kLogText}) {
        LogSettings st = fnLogDefaults();
        st.m_nFormat = nFormat;
        st.m_nRotate = kLogRotateSize;
        st.m_dwRotateBytes = 100;
        std::vector<std::string> vecFile(1, std::string(1000, '\n'));
        std::string strAll = vecFile[0];
        for (std::uint32_t i = 0; i < 40; ++i) {
            std::string strBlock;
            while (strBlock.size() < i * 997 % 40000) {
                strBlock += std::string(i * 7 % 90, 'x') + "\r\n";
            }
            strAll += strBlock;
            for (std::uint32_t dwDone = 0; dwDone < strBlock.size();) {
                const std::uint32_t dwRest = static_cast<std::uint32_t>(strBlock.size()) - dwDone;
                const std::uint32_t dwPart =
                    fnLogCut(st, vecFile.back().size(), qwNow, qwNow, strBlock.data() + dwDone, dwRest);
                ASSERT_TRUE(dwPart <= dwRest && (dwPart > 0 || !vecFile.back().empty()));
                vecFile.back() += strBlock.substr(dwDone, dwPart);
                dwDone += dwPart;
                vecFile.resize(vecFile.size() + (dwDone < strBlock.size() ? 1 : 0));
            }
        }
        std::string strJoined;
        for (const std::string &strFile : vecFile) {
            EXPECT_TRUE(strFile.size() <= kMin && (nFormat == kLogRaw || strFile.back() == '\n'));
            strJoined += strFile;
        }
        EXPECT_EQ(strAll, strJoined);
        EXPECT_GT(vecFile.size(), 40u);
    }
}
