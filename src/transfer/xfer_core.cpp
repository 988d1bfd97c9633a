#include "xfer_core.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// Decimal and octal without the C library's 64-bit formats, which differ
// between the runtimes this is built for.
std::size_t fnPutNumber(std::uint64_t qw, unsigned uBase, char *pch)
{
    char achRev[24];
    std::size_t n = 0;
    do {
        achRev[n++] = static_cast<char>('0' + qw % uBase);
        qw /= uBase;
    } while (qw != 0);
    for (std::size_t i = 0; i < n; ++i) {
        pch[i] = achRev[n - 1 - i];
    }
    return n;
}

// The next number of a header field list; false at its end or at text that
// is no number.
bool fnTakeNumber(const char *&pch, const char *pchEnd, unsigned uBase, std::uint64_t &qw)
{
    while (pch < pchEnd && *pch == ' ') {
        ++pch;
    }
    const char *pchStart = pch;
    qw = 0;
    while (pch < pchEnd && *pch >= '0' && *pch < static_cast<char>('0' + uBase)) {
        qw = qw * uBase + static_cast<unsigned>(*pch - '0');
        ++pch;
    }
    return pch != pchStart;
}

// strnlen is not in every runtime this is built for.
std::size_t fnBoundedLen(const char *pch, std::size_t cchMax)
{
    std::size_t n = 0;
    while (n < cchMax && pch[n] != '\0') {
        ++n;
    }
    return n;
}

// CON, PRN, AUX, NUL, COM1 to COM9 and LPT1 to LPT9, with or without an
// extension, name devices in every folder: a file of that name would open the
// device instead.
bool fnIsDeviceName(const char *pszName)
{
    static const char *const kapszDevices[] = {"CON", "PRN", "AUX", "NUL"};
    std::size_t n = 0;
    char achStem[5] = {};
    for (; pszName[n] != '\0' && pszName[n] != '.' && n < 5; ++n) {
        achStem[n] = static_cast<char>(std::toupper(static_cast<unsigned char>(pszName[n])));
    }
    if (n == 3) {
        for (const char *pszDevice : kapszDevices) {
            if (std::memcmp(achStem, pszDevice, 3) == 0) {
                return true;
            }
        }
    }
    const bool bPort = std::memcmp(achStem, "COM", 3) == 0 || std::memcmp(achStem, "LPT", 3) == 0;
    return n == 4 && bPort && achStem[3] >= '1' && achStem[3] <= '9';
}

} // namespace

XferSettings fnXferDefaultSettings()
{
    XferSettings st = {};
    st.m_nProtocol = kXferXmodem;
    st.m_nXmodemVariant = kXmodemCrc;
    st.m_bZmodemEscapeAll = false;
    st.m_bZmodemCrc32 = true;
    st.m_dwFirstWaitSeconds = 60;
    st.m_bAutoStart = false;
    return st;
}

const char *fnXferResultText(XferResult nResult, bool bSend)
{
    switch (nResult) {
    case kXferRunning:
        return "running";
    case kXferSuccess:
        return "complete";
    case kXferTimedOut:
        return bSend ? "time-out waiting for the receiver" : "time-out waiting for the sender";
    case kXferTooManyRetries:
        return "too many retries";
    case kXferCancelledByFar:
        return "cancelled by the far end";
    case kXferCancelledByUser:
        return "cancelled by the user";
    case kXferWriteFailed:
        return "the file could not be written (disk full?)";
    case kXferReadFailed:
        return "the file could not be read";
    default:
        return "protocol error";
    }
}

void fnXferCoreInit(XferCore &st, const XferSettings &stSet, XferSource *pSource, XferSink *pSink,
                    std::uint32_t dwNow)
{
    std::memset(&st, 0, sizeof st);
    st.m_stSet = stSet;
    st.m_pSource = pSource;
    st.m_pSink = pSink;
    st.m_nResult = kXferRunning;
    st.m_dwNow = dwNow;
    st.m_dwDeadline = dwNow + fnXferFirstWaitMs(st);
}

bool fnXferTimeReached(std::uint32_t dwNow, std::uint32_t dwDeadline)
{
    return static_cast<std::int32_t>(dwNow - dwDeadline) >= 0;
}

void fnXferWait(XferCore &st, std::uint32_t dwMs)
{
    st.m_dwDeadline = st.m_dwNow + dwMs;
}

std::uint32_t fnXferFirstWaitMs(const XferCore &st)
{
    const std::uint32_t dwSeconds = st.m_stSet.m_dwFirstWaitSeconds;
    // Within the half of the tick's range that fnXferTimeReached tells apart.
    return dwSeconds == 0 || dwSeconds > 86400 ? 60000 : dwSeconds * 1000;
}

std::uint32_t fnXferRoom(XferCore &st)
{
    if (st.m_dwOutHead == st.m_dwOutEnd) {
        st.m_dwOutHead = st.m_dwOutEnd = 0;
    } else if (st.m_dwOutHead > kXferOutMax / 2) {
        std::memmove(st.m_abyOut, st.m_abyOut + st.m_dwOutHead, st.m_dwOutEnd - st.m_dwOutHead);
        st.m_dwOutEnd -= st.m_dwOutHead;
        st.m_dwOutHead = 0;
    }
    return kXferOutMax - st.m_dwOutEnd;
}

void fnXferPut(XferCore &st, const std::uint8_t *pby, std::size_t cb)
{
    const std::uint32_t dwRoom = fnXferRoom(st);
    const std::size_t cbTake = cb < dwRoom ? cb : dwRoom;
    std::memcpy(st.m_abyOut + st.m_dwOutEnd, pby, cbTake);
    st.m_dwOutEnd += static_cast<std::uint32_t>(cbTake);
}

void fnXferPutByte(XferCore &st, std::uint8_t by)
{
    fnXferPut(st, &by, 1);
}

void fnXferPurge(XferCore &st)
{
    st.m_dwOutHead = st.m_dwOutEnd = 0;
}

void fnXferEnd(XferCore &st, XferResult nResult, bool bAbort)
{
    if (st.m_nResult != kXferRunning) {
        return;
    }
    st.m_nResult = nResult;
    if (st.m_bFileOpen) {
        st.m_bFileOpen = false;
        st.m_pSink->fnClose(nResult == kXferSuccess);
    }
    if (bAbort) {
        static const std::uint8_t kabyAbort[16] = {kXferCan, kXferCan, kXferCan, kXferCan, kXferCan, kXferCan,
                                                   kXferCan, kXferCan, kXferBs,  kXferBs,  kXferBs,  kXferBs,
                                                   kXferBs,  kXferBs,  kXferBs,  kXferBs};
        // Whatever was queued would only delay the abort.
        fnXferPurge(st);
        fnXferPut(st, kabyAbort, sizeof kabyAbort);
    }
}

void fnXferBeginFile(XferCore &st, const XferFileInfo &stInfo)
{
    XferProgress &stProg = st.m_stProg;
    std::memcpy(stProg.m_achName, stInfo.m_achName, sizeof stProg.m_achName);
    stProg.m_achName[kXferNameMax - 1] = '\0';
    stProg.m_qwFileSize = stInfo.m_qwSize;
    stProg.m_bSizeKnown = stInfo.m_bSizeKnown;
    stProg.m_qwFileDone = 0;
    ++stProg.m_dwFiles;
    if (stInfo.m_qwBytesLeft != 0) {
        stProg.m_qwBatchSize = st.m_qwDoneBefore + stInfo.m_qwBytesLeft;
    }
    stProg.m_qwBatchDone = st.m_qwDoneBefore;
}

void fnXferSetFileDone(XferCore &st, std::uint64_t qwDone)
{
    st.m_stProg.m_qwFileDone = qwDone;
    st.m_stProg.m_qwBatchDone = st.m_qwDoneBefore + qwDone;
}

void fnXferEndFile(XferCore &st)
{
    st.m_qwDoneBefore += st.m_stProg.m_qwFileDone;
}

std::size_t fnXferFormatFileHeader(const XferFileInfo &st, std::uint8_t *pby, std::size_t cbMax)
{
    // Longest numbers: 20 + 11 + 11 + 1 + 10 + 20 digits, five spaces, two NULs.
    const std::size_t cchName = fnBoundedLen(st.m_achName, kXferNameMax - 1);
    if (cchName == 0 || cchName + 80 > cbMax) {
        return 0;
    }
    char *pch = reinterpret_cast<char *>(pby);
    std::memcpy(pch, st.m_achName, cchName);
    std::size_t n = cchName;
    pch[n++] = '\0';
    n += fnPutNumber(st.m_qwSize, 10, pch + n);
    pch[n++] = ' ';
    n += fnPutNumber(st.m_dwMtime, 8, pch + n);
    pch[n++] = ' ';
    n += fnPutNumber(st.m_dwMode, 8, pch + n);
    pch[n++] = ' ';
    pch[n++] = '0';
    if (st.m_dwFilesLeft != 0) {
        pch[n++] = ' ';
        n += fnPutNumber(st.m_dwFilesLeft, 10, pch + n);
        pch[n++] = ' ';
        n += fnPutNumber(st.m_qwBytesLeft, 10, pch + n);
    }
    pch[n++] = '\0';
    return n;
}

bool fnXferParseFileHeader(const std::uint8_t *pby, std::size_t cb, XferFileInfo &st)
{
    std::memset(&st, 0, sizeof st);
    const char *pch = reinterpret_cast<const char *>(pby);
    const std::size_t cchName = fnBoundedLen(pch, cb);
    if (cchName == 0 || cchName == cb || cchName >= kXferNameMax) {
        return false;
    }
    std::memcpy(st.m_achName, pch, cchName);
    const char *pchAt = pch + cchName + 1;
    const char *pchEnd = pchAt + fnBoundedLen(pchAt, cb - cchName - 1);
    std::uint64_t qw = 0;
    if (fnTakeNumber(pchAt, pchEnd, 10, qw)) {
        st.m_qwSize = qw;
        st.m_bSizeKnown = true;
    }
    // The rest is optional and only informs.
    if (fnTakeNumber(pchAt, pchEnd, 8, qw)) {
        st.m_dwMtime = static_cast<std::uint32_t>(qw);
    }
    if (fnTakeNumber(pchAt, pchEnd, 8, qw)) {
        st.m_dwMode = static_cast<std::uint32_t>(qw);
    }
    if (fnTakeNumber(pchAt, pchEnd, 10, qw) && fnTakeNumber(pchAt, pchEnd, 10, qw)) {
        st.m_dwFilesLeft = static_cast<std::uint32_t>(qw);
        if (fnTakeNumber(pchAt, pchEnd, 10, qw)) {
            st.m_qwBytesLeft = qw;
        }
    }
    return true;
}

void fnXferSafeName(const char *pszFar, char *pchOut, std::size_t cchOut)
{
    if (cchOut == 0) {
        return;
    }
    const char *pszBase = pszFar;
    for (const char *pch = pszFar; *pch != '\0'; ++pch) {
        if (*pch == '/' || *pch == '\\') {
            pszBase = pch + 1;
        }
    }
    std::size_t n = 0;
    for (const char *pch = pszBase; *pch != '\0' && n + 1 < cchOut; ++pch) {
        const unsigned char uch = static_cast<unsigned char>(*pch);
        pchOut[n++] = uch < 0x20 || std::strchr("<>:\"|?*", uch) != nullptr ? '_' : *pch;
    }
    // Windows drops trailing dots and spaces, which could make "a." into "a".
    while (n > 0 && (pchOut[n - 1] == '.' || pchOut[n - 1] == ' ')) {
        --n;
    }
    pchOut[n] = '\0';
    if (n == 0) {
        std::snprintf(pchOut, cchOut, "%s", "received");
    } else if (fnIsDeviceName(pchOut)) {
        const std::size_t nKeep = n + 2 <= cchOut ? n : cchOut - 2;
        std::memmove(pchOut + 1, pchOut, nKeep);
        pchOut[0] = '_';
        pchOut[nKeep + 1] = '\0';
    }
}
