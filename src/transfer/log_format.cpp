#include "log_format.h"

#include <cstring>

#include "hex_text.h"
#include "log_time.h"

namespace {

const std::uint8_t kBs = 8, kTab = 9, kLf = 10, kCr = 13, kDel = 0x7F;
const std::uint32_t kHexRowBytes = 16;
// Offset (up to 16 digits), a blank, a blank and a pair per byte, two
// blanks, the text.
const std::uint32_t kHexRowChars = 16 + 1 + 3 * kHexRowBytes + 2 + kHexRowBytes;
const char kachDigits[] = "0123456789ABCDEF";
const LogDir kanDirs[] = {kLogReceived, kLogSent};

const char *const kapszMark[kLogMarkCount] = {"log started", "log stopped",     "port opened",
                                              "port closed", "port lost",       "port reopened",
                                              "Break sent",  "settings changed"};

std::uint32_t fnRoom(const LogWriter &st)
{
    return kLogOutChars - st.m_dwOut;
}

// Callers see to the room for a whole line first; the bound holds anyway.
void fnOut(LogWriter &st, const char *pch, std::uint32_t cch)
{
    const std::uint32_t cchPut = cch < fnRoom(st) ? cch : fnRoom(st);
    std::memcpy(st.m_achOut + st.m_dwOut, pch, cchPut);
    st.m_dwOut += cchPut;
}

// Digits of qw in nBase (10 or 16), at least nMin (up to 20) of them. The
// digits of a number that fits 32 bits come from 32-bit divisions: on i686 a
// 64-bit one is a library call, and a stamp or an offset takes several.
std::uint32_t fnPutNumber(char *pch, std::uint64_t qw, std::uint32_t nMin, std::uint32_t nBase)
{
    char ach[20];
    std::uint32_t n = 0;
    for (; qw > 0xFFFFFFFFu; qw /= nBase) {
        ach[n++] = kachDigits[qw % nBase];
    }
    std::uint32_t dw = static_cast<std::uint32_t>(qw);
    do {
        ach[n++] = kachDigits[dw % nBase];
        dw /= nBase;
    } while (dw != 0 || n < nMin);
    for (std::uint32_t i = 0; i < n; ++i) {
        pch[i] = ach[n - 1 - i];
    }
    return n;
}

// A field of a date or time and the character after it.
std::uint32_t fnPutField(char *pch, std::uint32_t nValue, std::uint32_t nDigits, char chAfter)
{
    const std::uint32_t n = fnPutNumber(pch, nValue, nDigits, 10);
    pch[n] = chAfter;
    return n + 1;
}

// At most 29 characters: a year beyond 9999 only widens its field.
std::uint32_t fnMakeStamp(const LogWriter &st, char *pch, std::uint64_t qwMs)
{
    if (st.m_nStamp == kLogStampSeconds) {
        const std::uint64_t qwSince = qwMs > st.m_qwStartMs ? qwMs - st.m_qwStartMs : 0;
        const std::uint32_t n = fnPutNumber(pch, qwSince / 1000, 1, 10);
        pch[n] = '.';
        return n + 1 + fnPutNumber(pch + n + 1, qwSince % 1000, 3, 10);
    }
    const LogDate stDate = fnLogDateOf(qwMs);
    std::uint32_t n = 0;
    if (st.m_nStamp == kLogStampDateTime) {
        n += fnPutField(pch + n, stDate.m_nYear, 4, '-');
        n += fnPutField(pch + n, stDate.m_nMonth, 2, '-');
        n += fnPutField(pch + n, stDate.m_nDay, 2, ' ');
    }
    n += fnPutField(pch + n, stDate.m_nHour, 2, ':');
    n += fnPutField(pch + n, stDate.m_nMinute, 2, ':');
    n += fnPutField(pch + n, stDate.m_nSecond, 2, '.');
    return n + fnPutNumber(pch + n, stDate.m_nMs, 3, 10);
}

// Lines that come within one millisecond share their stamp, made once.
std::uint32_t fnPutStamp(LogWriter &st, char *pch, std::uint64_t qwMs)
{
    if (st.m_nStampLen == 0 || st.m_qwStampMs != qwMs) {
        st.m_nStampLen = fnMakeStamp(st, st.m_achStamp, qwMs);
        st.m_qwStampMs = qwMs;
    }
    std::memcpy(pch, st.m_achStamp, st.m_nStampLen);
    return st.m_nStampLen;
}

const char *fnHead(const LogWriter &st, LogDir nDir)
{
    if (!st.m_bBoth) {
        return "";
    }
    return nDir == kLogSent ? "> " : "< ";
}

// One log line: stamp, separator, head (at most 2 characters), text, CR LF.
void fnEmit(LogWriter &st, std::uint64_t qwMs, char chSep, const char *pszHead, const char *pch,
            std::uint32_t cch)
{
    char achPrefix[kLogPrefixMax];
    std::uint32_t n = fnPutStamp(st, achPrefix, qwMs);
    achPrefix[n++] = chSep;
    for (; *pszHead != '\0'; ++pszHead) {
        achPrefix[n++] = *pszHead;
    }
    fnOut(st, achPrefix, n);
    fnOut(st, pch, cch);
    fnOut(st, "\r\n", 2);
}

void fnWriteLine(LogWriter &st, LogDir nDir)
{
    LogLine &stLine = st.m_astLine[nDir];
    fnEmit(st, stLine.m_qwFirstMs, stLine.m_bMore ? '+' : ' ', fnHead(st, nDir), stLine.m_ach, stLine.m_nLen);
    stLine.m_nLen = 0;
    stLine.m_nCol = 0;
    stLine.m_bOpen = false;
}

// An open line written before its line end: what follows goes on from it.
void fnWriteOpen(LogWriter &st, LogDir nDir)
{
    LogLine &stLine = st.m_astLine[nDir];
    if (stLine.m_nLen > 0) {
        fnWriteLine(st, nDir);
        stLine.m_bMore = true;
    }
    stLine.m_bOpen = false;
}

// The time a pause or more from the last byte either way: the other
// direction's reads may come a little out of order, a clock set back must
// not hold the line.
bool fnDue(const LogWriter &st, const LogLine &stLine, std::uint64_t qwNowMs)
{
    const std::uint64_t qwHold = static_cast<std::uint64_t>(kLogHoldPauses) * st.m_dwPauseMs;
    const std::uint64_t qwAway =
        qwNowMs > stLine.m_qwLastMs ? qwNowMs - stLine.m_qwLastMs : stLine.m_qwLastMs - qwNowMs;
    return stLine.m_bOpen && (qwAway >= st.m_dwPauseMs ||
                              (qwNowMs > stLine.m_qwFirstMs && qwNowMs - stLine.m_qwFirstMs >= qwHold));
}

void fnWriteDue(LogWriter &st, std::uint64_t qwNowMs)
{
    for (LogDir nDir : kanDirs) {
        if (fnDue(st, st.m_astLine[nDir], qwNowMs)) {
            fnWriteOpen(st, nDir);
        }
    }
}

void fnTouch(LogLine &stLine, std::uint64_t qwMs)
{
    if (!stLine.m_bOpen) {
        stLine.m_bOpen = true;
        stLine.m_qwFirstMs = qwMs;
    }
    stLine.m_qwLastMs = qwMs;
}

// byEnd: the CR or LF that ended the line just before this byte, or 0.
void fnLineEnd(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint8_t byEnd, std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    if (byEnd != 0 && byEnd != by) {
        return;
    }
    fnTouch(stLine, qwMs);
    // The end of a line whose text a pause already wrote adds no empty line.
    if (stLine.m_nLen > 0 || !stLine.m_bMore) {
        fnWriteLine(st, nDir);
    }
    stLine.m_bOpen = false;
    stLine.m_bMore = false;
    stLine.m_byEnd = by;
}

void fnPut(LogWriter &st, LogDir nDir, const char *pch, std::uint32_t cch, std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    if (stLine.m_nCol + cch > kLogLineChars) {
        fnWriteLine(st, nDir);
        stLine.m_bMore = true;
    }
    fnTouch(stLine, qwMs);
    std::memcpy(stLine.m_ach + stLine.m_nCol, pch, cch);
    stLine.m_nCol += cch;
    if (stLine.m_nLen < stLine.m_nCol) {
        stLine.m_nLen = stLine.m_nCol;
    }
}

void fnPutChar(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint64_t qwMs)
{
    const char ch = static_cast<char>(by);
    fnPut(st, nDir, &ch, 1, qwMs);
}

void fnPutControl(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint64_t qwMs)
{
    const char ach[6] = {'<', '0', 'x', kachDigits[by >> 4], kachDigits[by & 0x0F], '>'};
    fnPut(st, nDir, ach, sizeof ach, qwMs);
}

void fnPlainByte(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint8_t byEnd, std::uint64_t qwMs)
{
    if (by == kCr || by == kLf) {
        fnLineEnd(st, nDir, by, byEnd, qwMs);
    } else if (by == kTab || (by >= 0x20 && by != kDel)) {
        fnPutChar(st, nDir, by, qwMs);
    } else {
        fnPutControl(st, nDir, by, qwMs);
    }
}

// A C0 control the console parser hands over; NUL is padding.
void fnExecute(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint8_t byEnd, std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    if (by == kCr || by == kLf) {
        fnLineEnd(st, nDir, by, byEnd, qwMs);
    } else if (by == kTab) {
        fnPutChar(st, nDir, by, qwMs);
    } else if (by == kBs) {
        stLine.m_nCol -= stLine.m_nCol > 0 ? 1 : 0;
    } else if (by != 0) {
        fnPutControl(st, nDir, by, qwMs);
    }
}

void fnConsoleByte(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint8_t byEnd, std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    switch (fnVtFeed(stLine.m_stVt, by)) {
    case kVtPrint:
        fnPutChar(st, nDir, by, qwMs);
        break;
    case kVtExecute:
        fnExecute(st, nDir, by, byEnd, qwMs);
        break;
    case kVtCsi: // erase to the end of the line: the rest is not shown
        if (by == 'K' && stLine.m_stVt.m_chMarker == 0 && fnVtParam(stLine.m_stVt, 0, 0) == 0) {
            stLine.m_nLen = stLine.m_nCol;
        }
        break;
    default:
        break;
    }
}

void fnTextByte(LogWriter &st, LogDir nDir, std::uint8_t by, std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    const std::uint8_t byEnd = stLine.m_byEnd;
    stLine.m_byEnd = 0;
    if (st.m_bConsole) {
        fnConsoleByte(st, nDir, by, byEnd, qwMs);
    } else {
        fnPlainByte(st, nDir, by, byEnd, qwMs);
    }
}

void fnHexRow(LogWriter &st, LogDir nDir, const std::uint8_t *pby, std::uint32_t dwRow, std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    char ach[kHexRowChars + 1]; // fnByteToHexStr adds a terminator
    std::uint32_t n = fnPutNumber(ach, stLine.m_qwOffset, 8, 16);
    ach[n++] = ' ';
    for (std::uint32_t i = 0; i < kHexRowBytes; ++i) {
        ach[n++] = ' ';
        if (i < dwRow) {
            fnByteToHexStr(pby + i, ach + n);
        } else {
            ach[n] = ach[n + 1] = ' ';
        }
        n += 2;
    }
    ach[n++] = ' ';
    ach[n++] = ' ';
    for (std::uint32_t i = 0; i < dwRow; ++i) {
        ach[n++] = pby[i] >= 0x20 && pby[i] < kDel ? static_cast<char>(pby[i]) : '.';
    }
    fnEmit(st, qwMs, stLine.m_bMore ? '+' : ' ', fnHead(st, nDir), ach, n);
}

std::uint32_t fnHexFeed(LogWriter &st, LogDir nDir, const std::uint8_t *pby, std::uint32_t dwCount,
                        std::uint64_t qwMs)
{
    LogLine &stLine = st.m_astLine[nDir];
    std::uint32_t dwDone = 0;
    while (dwDone < dwCount && fnRoom(st) >= kLogLineMax) {
        const std::uint32_t dwRow = dwCount - dwDone < kHexRowBytes ? dwCount - dwDone : kHexRowBytes;
        fnHexRow(st, nDir, pby + dwDone, dwRow, qwMs);
        stLine.m_bMore = true;
        stLine.m_qwOffset += dwRow;
        dwDone += dwRow;
    }
    // A read cut short by a full buffer goes on in the next call.
    stLine.m_bMore = dwDone < dwCount;
    return dwDone;
}

void fnLineReset(LogLine &stLine)
{
    fnVtReset(stLine.m_stVt);
    stLine.m_bMore = false;
    stLine.m_byEnd = 0;
}

// The detail in one line: control characters become blanks.
std::uint32_t fnPutDetail(char *pch, const char *pszDetail)
{
    std::uint32_t n = 0;
    for (; n < kLogDetailChars && pszDetail[n] != '\0'; ++n) {
        const std::uint8_t by = static_cast<std::uint8_t>(pszDetail[n]);
        pch[n] = by < 0x20 || by == kDel ? ' ' : pszDetail[n];
    }
    return n;
}

} // namespace

void fnLogStart(LogWriter &st, const LogSettings &stSet, bool bConsole, std::uint64_t qwNowMs)
{
    st.m_nFormat = stSet.m_nFormat <= kLogRaw ? static_cast<LogFormat>(stSet.m_nFormat) : kLogText;
    st.m_nStamp =
        stSet.m_nStamp <= kLogStampSeconds ? static_cast<LogStampStyle>(stSet.m_nStamp) : kLogStampDateTime;
    st.m_bBoth = stSet.m_nDirs == kLogBothDirections;
    st.m_bConsole = bConsole;
    st.m_dwPauseMs = stSet.m_dwPauseMs >= kLogPauseMsMin && stSet.m_dwPauseMs <= kLogPauseMsMax
                         ? stSet.m_dwPauseMs
                         : kLogPauseMsDefault;
    st.m_qwStartMs = qwNowMs;
    st.m_nStampLen = 0;
    for (LogLine &stLine : st.m_astLine) {
        fnLineReset(stLine);
        stLine.m_nLen = 0;
        stLine.m_nCol = 0;
        stLine.m_qwOffset = 0;
        stLine.m_bOpen = false;
    }
    st.m_dwOut = 0;
}

void fnLogConsole(LogWriter &st, bool bConsole)
{
    st.m_bConsole = bConsole;
    for (LogLine &stLine : st.m_astLine) {
        fnVtReset(stLine.m_stVt);
    }
}

std::uint32_t fnLogFeed(LogWriter &st, LogDir nDir, const std::uint8_t *pby, std::uint32_t dwCount,
                        std::uint64_t qwMs)
{
    if (st.m_nFormat == kLogRaw || (nDir == kLogSent && !st.m_bBoth)) {
        return dwCount;
    }
    if (fnRoom(st) < 2 * kLogLineMax) {
        return 0;
    }
    if (st.m_nFormat == kLogHex) {
        return fnHexFeed(st, nDir, pby, dwCount, qwMs);
    }
    fnWriteDue(st, qwMs);
    std::uint32_t dwDone = 0;
    for (; dwDone < dwCount && fnRoom(st) >= kLogLineMax; ++dwDone) {
        fnTextByte(st, nDir, pby[dwDone], qwMs);
    }
    return dwDone;
}

bool fnLogTick(LogWriter &st, std::uint64_t qwNowMs)
{
    if (fnRoom(st) < 2 * kLogLineMax) {
        return false;
    }
    fnWriteDue(st, qwNowMs);
    return true;
}

bool fnLogMark(LogWriter &st, LogMark nMark, const char *pszDetail, std::uint64_t qwMs)
{
    if (st.m_nFormat == kLogRaw) {
        return true;
    }
    if (fnRoom(st) < 3 * kLogLineMax) {
        return false;
    }
    for (LogDir nDir : kanDirs) {
        fnWriteOpen(st, nDir);
        if (nMark == kLogMarkOpened || nMark == kLogMarkReopened) {
            fnLineReset(st.m_astLine[nDir]);
        }
    }
    char ach[32 + 2 + kLogDetailChars];
    const std::uint32_t cchLabel = static_cast<std::uint32_t>(std::strlen(kapszMark[nMark]));
    std::memcpy(ach, kapszMark[nMark], cchLabel);
    std::uint32_t n = cchLabel;
    if (pszDetail != nullptr && pszDetail[0] != '\0') {
        ach[n++] = ':';
        ach[n++] = ' ';
        n += fnPutDetail(ach + n, pszDetail);
    }
    fnEmit(st, qwMs, '*', " ", ach, n);
    return true;
}
