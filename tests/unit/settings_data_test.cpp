#include "settings_data.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char *const kapszBaud[kBaudCount] = {
    "50",      "75",      "110",     "150",     "300",     "600",    "1200",
    "1800",    "2400",    "4800",    "7200",    "9600",    "19200",  "38400",
    "57600",   "115200",  "128000",  "230400",  "256000",  "460800", "921600",
    "1228800", "2457600", "3000000", "4915200", "6000000", "User define"};

void ExpectComSetDefaults(const ComSetSel &st)
{
    EXPECT_EQ(0u, st.m_nPort);
    EXPECT_EQ(11u, st.m_nBaud);
    EXPECT_EQ(3u, st.m_nDataBits);
    EXPECT_EQ(0u, st.m_nParity);
    EXPECT_EQ(0u, st.m_nStopBits);
    EXPECT_EQ(9600u, st.m_dwUserBaud);
}

void ExpectFlowDefaults(const FlowBlock &st)
{
    const ZDWORD adwFlags[] = {st.m_bOutxCtsFlow, st.m_bOutxDsrFlow, st.m_bDsrSensitivity,
                               st.m_bOutX, st.m_bInX, st.m_bTXContinueOnXoff,
                               st.m_dwXonLim, st.m_dwXoffLim};
    for (ZDWORD dw : adwFlags) {
        EXPECT_EQ(0u, dw);
    }
    EXPECT_EQ(1u, st.m_nDtrControl);
    EXPECT_EQ(1u, st.m_nRtsControl);
    EXPECT_EQ(0x11, st.m_chXonChar);
    EXPECT_EQ(0x13, st.m_chXoffChar);
}

void ExpectPatternDefaults(const PatternBlock &st)
{
    const std::string strText("Hello moRek!! ");
    EXPECT_EQ(0u, st.m_nPattern);
    EXPECT_EQ(0u, st.m_nCountMode);
    EXPECT_STREQ(strText.c_str(), st.m_achAscii);
    EXPECT_EQ(strText, std::string(reinterpret_cast<const char *>(st.m_abyHex), 14));
    for (int i = 14; i < kPatternBytes; ++i) {
        ASSERT_EQ(0, st.m_achAscii[i]) << i;
        ASSERT_EQ(0, st.m_abyHex[i]) << i;
    }
    EXPECT_EQ(14u, st.m_dwAsciiLen);
    EXPECT_EQ(14u, st.m_dwHexLen);
    EXPECT_EQ(0x30, st.m_byRangeStart);
    EXPECT_EQ(0x39, st.m_byRangeEnd);
    EXPECT_EQ(1u, st.m_dwRepeatCount);
    EXPECT_EQ(1u, st.m_dwInterval);
}

std::string Summary(const ComSetData &st, const char *pszShort, std::size_t cch = 100)
{
    char ach[100] = {};
    fnFormatSummary(ach, cch, pszShort, fnBaudRateOf(st.m_stCur.m_nBaud, st.m_stCur.m_dwUserBaud),
                    st);
    return ach;
}

} // namespace

TEST(SettingsRecords, ComSetListsAndDefaults)
{
    const ComSetData st;
    for (int i = 0; i < kPortCount; ++i) {
        ASSERT_EQ("COM" + std::to_string(i + 1), st.m_aachPort[i]);
    }
    EXPECT_STREQ("COM256", st.m_aachPort[kPortCount - 1]);
    for (int i = 0; i < kBaudCount; ++i) {
        EXPECT_STREQ(kapszBaud[i], st.m_aachBaud[i]);
    }
    const char *const apszData[] = {"5", "6", "7", "8"};
    const char *const apszParity[] = {"None", "Even", "Odd", "Mark", "Space"};
    const char *const apszStop[] = {"1", "1.5", "2"};
    for (int i = 0; i < kDataBitsCount; ++i) {
        EXPECT_STREQ(apszData[i], st.m_aachDataBits[i]);
    }
    for (int i = 0; i < kParityCount; ++i) {
        EXPECT_STREQ(apszParity[i], st.m_aachParity[i]);
    }
    for (int i = 0; i < kStopBitsCount; ++i) {
        EXPECT_STREQ(apszStop[i], st.m_aachStopBits[i]);
    }
    ExpectComSetDefaults(st.m_stCur);
    ExpectComSetDefaults(st.m_stEdit);
}

TEST(SettingsRecords, FlowTimeoutsTermOptDataTransDefaults)
{
    const FlowCtrlData stFlow;
    EXPECT_STREQ("Enable", stFlow.m_aachDtrControl[0]);
    EXPECT_STREQ("Disable", stFlow.m_aachDtrControl[1]);
    EXPECT_STREQ("Handshake", stFlow.m_aachDtrControl[2]);
    EXPECT_STREQ("Handshake", stFlow.m_aachRtsControl[2]);
    EXPECT_STREQ("Toggle", stFlow.m_aachRtsControl[3]);
    EXPECT_EQ(1u, stFlow.m_bXonCharErr);
    EXPECT_EQ(1u, stFlow.m_bXoffCharErr);
    ExpectFlowDefaults(stFlow.m_stCur);
    ExpectFlowDefaults(stFlow.m_stEdit);

    const TimeoutsData stTo;
    for (const TimeoutsBlock *p : {&stTo.m_stCur, &stTo.m_stEdit}) {
        EXPECT_EQ(1u, p->ReadIntervalTimeout);
        EXPECT_EQ(0u, p->ReadTotalTimeoutMultiplier | p->ReadTotalTimeoutConstant |
                          p->WriteTotalTimeoutMultiplier | p->WriteTotalTimeoutConstant);
    }

    const TermOptData stTerm;
    const char *const apszTexts[3][3] = {{"CR-LF", "CR", "LF"},
                                         {"CR-LF", "LF", "No Changed"},
                                         {"CR-LF", "CR", "No Changed"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(apszTexts[0][i], stTerm.m_aachEnterKey[i]);
        EXPECT_STREQ(apszTexts[1][i], stTerm.m_aachCrTrans[i]);
        EXPECT_STREQ(apszTexts[2][i], stTerm.m_aachLfTrans[i]);
    }
    for (const TermOptBlock *p : {&stTerm.m_stCur, &stTerm.m_stEdit}) {
        const ZDWORD adwGot[] = {p->m_bKeyboard, p->m_bLocalEcho, p->m_nEnterKey,
                                 p->m_nDisplay, p->m_nCrTrans, p->m_nLfTrans};
        const ZDWORD adwWant[] = {1, 0, 0, 0, 2, 2};
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(adwWant[i], adwGot[i]) << i;
        }
    }

    const DataTransData stData;
    const ZDWORD adwGot[] = {stData.m_bAsciiEmpty,   stData.m_nHexCheck,   stData.m_bRangeStartErr,
                             stData.m_bRangeEndErr, stData.m_bRepeatZero, stData.m_bInputErr};
    const ZDWORD adwWant[] = {1, 3, 1, 1, 1, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(adwWant[i], adwGot[i]) << i;
    }
    ExpectPatternDefaults(stData.m_stCur);
    ExpectPatternDefaults(stData.m_stEdit);
}

TEST(ValueTables, IndexToDriverValueAndOutOfRange)
{
    const ComSetData st;
    for (ZDWORD i = 0; i < 26; ++i) {
        EXPECT_EQ(st.m_aachBaud[i], std::to_string(fnBaudRateOf(i, 14400))) << i;
    }
    EXPECT_EQ(14400u, fnBaudRateOf(26, 14400));
    EXPECT_EQ(0u, fnBaudRateOf(27, 14400));
    EXPECT_EQ(0u, fnBaudRateOf(0xFFFFFFFFu, 14400));

    const ZBYTE abySize[] = {5, 6, 7, 8, 0};
    const ZBYTE abyParity[] = {0, 2, 1, 3, 4, 0};
    const ZBYTE abyStop[] = {0, 1, 2, 0};
    const ZDWORD adwDtr[] = {0, 1, 2, 0};
    const ZDWORD adwRts[] = {0, 1, 2, 3, 0};
    for (ZDWORD i = 0; i < 6; ++i) {
        const ZDWORD nOut = 0x80000000u + i;
        EXPECT_EQ(abySize[i < 5 ? i : 4], fnByteSizeOf(i)) << i;
        EXPECT_EQ(abyParity[i], fnParityOf(i)) << i;
        EXPECT_EQ(abyStop[i < 4 ? i : 3], fnStopBitsOf(i)) << i;
        EXPECT_EQ(adwDtr[i < 4 ? i : 3], fnDtrControlOf(i)) << i;
        EXPECT_EQ(adwRts[i < 5 ? i : 4], fnRtsControlOf(i)) << i;
        EXPECT_EQ(0, fnByteSizeOf(nOut) | fnParityOf(nOut) | fnStopBitsOf(nOut));
        EXPECT_EQ(0u, fnDtrControlOf(nOut) | fnRtsControlOf(nOut));
    }
}

TEST(PortNames, PathAndShortNameBounded)
{
    char ach[32];
    fnFormatPortPath(ach, sizeof ach, 0);
    EXPECT_STREQ("\\\\.\\COM1", ach);
    fnFormatPortPath(ach, sizeof ach, 255);
    EXPECT_STREQ("\\\\.\\COM256", ach);
    fnFormatPortShort(ach, sizeof ach, 255);
    EXPECT_STREQ("COM256", ach);
    char achSmall[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
    fnFormatPortPath(achSmall, 5, 2);
    EXPECT_STREQ("\\\\.\\", achSmall);
    EXPECT_EQ('x', achSmall[5]);
}

TEST(Summary, DefaultsUserRateAndBadIndex)
{
    ComSetData st;
    EXPECT_EQ("COM1, 9600, 8, None, 1", Summary(st, "COM1"));
    st.m_stCur.m_nBaud = kBaudUserIndex;
    st.m_stCur.m_dwUserBaud = 14400;
    st.m_stCur.m_nDataBits = 0;
    st.m_stCur.m_nParity = 1;
    st.m_stCur.m_nStopBits = 1;
    EXPECT_EQ("COM256, 14400, 5, Even, 1.5", Summary(st, "COM256"));
    st.m_stCur.m_nParity = 5;
    st.m_stCur.m_nStopBits = 3;
    EXPECT_EQ("COM2, 14400, 5, , ", Summary(st, "COM2"));
    EXPECT_EQ("COM2, 144", Summary(st, "COM2", 10));
}

TEST(DialogUint, DigitsBlanksAndOverflow)
{
    EXPECT_EQ(0u, fnDialogUint(""));
    EXPECT_EQ(0u, fnDialogUint("abc"));
    EXPECT_EQ(7u, fnDialogUint("007"));
    EXPECT_EQ(42u, fnDialogUint("  42"));
    EXPECT_EQ(12u, fnDialogUint("12ab"));
    EXPECT_EQ(4294967295u, fnDialogUint("4294967295"));
    EXPECT_EQ(0u, fnDialogUint("4294967296"));
    EXPECT_EQ(0u, fnDialogUint("99999999999999999999999"));
    // An overflow leaves nothing behind for the next conversion.
    EXPECT_EQ(4294967295u, fnDialogUint("4294967295"));
}
