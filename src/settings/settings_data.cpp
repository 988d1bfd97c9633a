#include "settings_data.h"

#include <cstdio>
#include <cstring>

namespace {

const char *const kapszBaud[kBaudCount] = {
    "50",     "75",     "110",    "150",     "300",     "600",     "1200",    "1800",    "2400",
    "4800",   "7200",   "9600",   "19200",   "38400",   "57600",   "115200",  "128000",  "230400",
    "256000", "460800", "921600", "1228800", "2457600", "3000000", "4915200", "6000000", "User define",
};
const ZDWORD kadwBaud[kBaudUserIndex] = {
    50,    75,    110,    150,    300,    600,    1200,   1800,   2400,    4800,    7200,    9600,    19200,
    38400, 57600, 115200, 128000, 230400, 256000, 460800, 921600, 1228800, 2457600, 3000000, 4915200, 6000000,
};
const char *const kapszDataBits[kDataBitsCount] = {"5", "6", "7", "8"};
const char *const kapszParity[kParityCount] = {"None", "Even", "Odd", "Mark", "Space"};
const char *const kapszStopBits[kStopBitsCount] = {"1", "1.5", "2"};
const ZBYTE kabyParity[kParityCount] = {0, 2, 1, 3, 4};

const char kachDefaultPattern[] = "Hello moRek!! ";

// Copies a text into a fixed slot, cut to fit and always terminated.
template <std::size_t N> void fnSetText(char (&achOut)[N], const char *psz)
{
    std::snprintf(achOut, N, "%s", psz);
}

template <std::size_t N, std::size_t M> void fnSetTexts(char (&aachOut)[M][N], const char *const *apsz)
{
    for (std::size_t i = 0; i < M; ++i) {
        fnSetText(aachOut[i], apsz[i]);
    }
}

// The text at a list position, or an empty text outside the list.
template <std::size_t N, std::size_t M> const char *fnListText(const char (&aach)[M][N], ZDWORD n)
{
    return n < M ? aach[n] : "";
}

} // namespace

ComSetSel fnDefaultComSet()
{
    ComSetSel st = {};
    st.m_nBaud = 11;
    st.m_nDataBits = 3;
    st.m_dwUserBaud = 9600;
    return st;
}

FlowBlock fnDefaultFlow()
{
    FlowBlock st = {};
    st.m_nDtrControl = 1;
    st.m_nRtsControl = 1;
    st.m_chXonChar = 0x11;
    st.m_chXoffChar = 0x13;
    return st;
}

TimeoutsBlock fnDefaultTimeouts()
{
    TimeoutsBlock st = {};
    st.ReadIntervalTimeout = 1;
    return st;
}

TermOptBlock fnDefaultTermOpt()
{
    TermOptBlock st = {};
    st.m_bKeyboard = 1;
    st.m_nCrTrans = 2;
    st.m_nLfTrans = 2;
    return st;
}

PatternBlock fnDefaultPattern()
{
    PatternBlock st = {};
    const ZDWORD dwLen = sizeof kachDefaultPattern - 1;
    std::memcpy(st.m_achAscii, kachDefaultPattern, dwLen);
    st.m_dwAsciiLen = dwLen;
    std::memcpy(st.m_abyHex, kachDefaultPattern, dwLen);
    st.m_dwHexLen = dwLen;
    st.m_byRangeStart = 0x30;
    st.m_byRangeEnd = 0x39;
    st.m_dwRepeatCount = 1;
    st.m_dwInterval = 1;
    return st;
}

void fnKeepUnusedBoxes(PatternBlock &stNew, const PatternBlock &stOld)
{
    if (stNew.m_nPattern != 0 && stNew.m_dwAsciiLen == 0) {
        std::memcpy(stNew.m_achAscii, stOld.m_achAscii, sizeof stNew.m_achAscii);
        stNew.m_dwAsciiLen = stOld.m_dwAsciiLen;
    }
    if (stNew.m_nPattern != 1 && stNew.m_dwHexLen == 0) {
        std::memcpy(stNew.m_abyHex, stOld.m_abyHex, sizeof stNew.m_abyHex);
        stNew.m_dwHexLen = stOld.m_dwHexLen;
    }
    if (stNew.m_nPattern != 2 && stNew.m_byRangeEnd < stNew.m_byRangeStart) {
        stNew.m_byRangeStart = stOld.m_byRangeStart;
        stNew.m_byRangeEnd = stOld.m_byRangeEnd;
    }
    if (stNew.m_nCountMode != 1 && stNew.m_dwRepeatCount == 0) {
        stNew.m_dwRepeatCount = stOld.m_dwRepeatCount;
    }
}

XferChoice fnDefaultXferChoice()
{
    XferChoice st = {};
    st.m_nXmodemVariant = 1;
    st.m_bCrc32 = 1;
    st.m_dwFirstWait = 60;
    return st;
}

ComSetData::ComSetData()
    : m_aachPort(), m_aachBaud(), m_aachDataBits(), m_aachParity(), m_aachStopBits(),
      m_stCur(fnDefaultComSet()), m_stEdit(fnDefaultComSet())
{
    for (int i = 0; i < kPortCount; ++i) {
        fnFormatPortShort(m_aachPort[i], sizeof m_aachPort[i], static_cast<ZDWORD>(i));
    }
    fnSetTexts(m_aachBaud, kapszBaud);
    fnSetTexts(m_aachDataBits, kapszDataBits);
    fnSetTexts(m_aachParity, kapszParity);
    fnSetTexts(m_aachStopBits, kapszStopBits);
}

FlowCtrlData::FlowCtrlData()
    : m_aachDtrControl(), m_aachRtsControl(), m_bXonCharErr(1), m_bXoffCharErr(1), m_stCur(fnDefaultFlow()),
      m_stEdit(fnDefaultFlow())
{
    static const char *const apszDtr[] = {"Enable", "Disable", "Handshake"};
    static const char *const apszRts[] = {"Enable", "Disable", "Handshake", "Toggle"};
    fnSetTexts(m_aachDtrControl, apszDtr);
    fnSetTexts(m_aachRtsControl, apszRts);
}

TimeoutsData::TimeoutsData() : m_stCur(fnDefaultTimeouts()), m_stEdit(fnDefaultTimeouts()) {}

TermOptData::TermOptData()
    : m_aachEnterKey(), m_aachCrTrans(), m_aachLfTrans(), m_stCur(fnDefaultTermOpt()),
      m_stEdit(fnDefaultTermOpt())
{
    static const char *const apszEnter[] = {"CR-LF", "CR", "LF"};
    static const char *const apszCr[] = {"CR-LF", "LF", "No Changed"};
    static const char *const apszLf[] = {"CR-LF", "CR", "No Changed"};
    fnSetTexts(m_aachEnterKey, apszEnter);
    fnSetTexts(m_aachCrTrans, apszCr);
    fnSetTexts(m_aachLfTrans, apszLf);
}

DataTransData::DataTransData()
    : m_bAsciiEmpty(1), m_nHexCheck(3), m_bRangeStartErr(1), m_bRangeEndErr(1), m_bRepeatZero(1),
      m_bInputErr(0), m_stCur(fnDefaultPattern()), m_stEdit(fnDefaultPattern()), m_nRxStream(0),
      m_dwBreakMs(kBreakMsDefault), m_stXfer(fnDefaultXferChoice())
{
}

ZDWORD fnBaudRateOf(ZDWORD nBaud, ZDWORD dwUserBaud)
{
    if (nBaud < static_cast<ZDWORD>(kBaudUserIndex)) {
        return kadwBaud[nBaud];
    }
    return nBaud == static_cast<ZDWORD>(kBaudUserIndex) ? dwUserBaud : 0;
}

ZBYTE fnByteSizeOf(ZDWORD nDataBits)
{
    return nDataBits < static_cast<ZDWORD>(kDataBitsCount) ? static_cast<ZBYTE>(5 + nDataBits) : 0;
}

ZBYTE fnParityOf(ZDWORD nParity)
{
    return nParity < static_cast<ZDWORD>(kParityCount) ? kabyParity[nParity] : 0;
}

ZBYTE fnStopBitsOf(ZDWORD nStopBits)
{
    return nStopBits < static_cast<ZDWORD>(kStopBitsCount) ? static_cast<ZBYTE>(nStopBits) : 0;
}

ZDWORD fnDtrControlOf(ZDWORD nDtrControl)
{
    return nDtrControl <= 2 ? nDtrControl : 0;
}

ZDWORD fnRtsControlOf(ZDWORD nRtsControl)
{
    return nRtsControl <= 3 ? nRtsControl : 0;
}

void fnFormatPortPath(char *pchOut, std::size_t cchOut, ZDWORD nPort)
{
    std::snprintf(pchOut, cchOut, "\\\\.\\COM%lu", static_cast<unsigned long>(nPort + 1));
}

void fnFormatPortShort(char *pchOut, std::size_t cchOut, ZDWORD nPort)
{
    std::snprintf(pchOut, cchOut, "COM%lu", static_cast<unsigned long>(nPort + 1));
}

void fnFormatSummary(char *pchOut, std::size_t cchOut, const char *pszShortName, long lBaudRate,
                     const ComSetData &stComSet)
{
    std::snprintf(pchOut, cchOut, "%s, %ld, %s, %s, %s", pszShortName, lBaudRate,
                  fnListText(stComSet.m_aachDataBits, stComSet.m_stCur.m_nDataBits),
                  fnListText(stComSet.m_aachParity, stComSet.m_stCur.m_nParity),
                  fnListText(stComSet.m_aachStopBits, stComSet.m_stCur.m_nStopBits));
}

ZDWORD fnDialogUint(const char *pszText)
{
    const char *pch = pszText;
    while (*pch == ' ') {
        ++pch;
    }
    unsigned long long ullValue = 0;
    for (; *pch >= '0' && *pch <= '9'; ++pch) {
        ullValue = ullValue * 10 + static_cast<unsigned long long>(*pch - '0');
        if (ullValue > 0xFFFFFFFFull) {
            return kDialogUintOverflow;
        }
    }
    return static_cast<ZDWORD>(ullValue);
}
