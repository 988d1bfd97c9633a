#include "xfer_files.h"

namespace {

// Seconds from 1601 (FILETIME) to 1970 (Unix time), and FILETIME's units.
const ULONGLONG kqwUnixEpoch = 11644473600ull;
const ULONGLONG kqwTicksPerSecond = 10000000ull;
// "name (1).ext" to "name (99).ext" are tried for a name already taken.
const int kRenameTries = 99;

const char *fnAfterNul(const char *psz)
{
    return psz + lstrlenA(psz) + 1;
}

const char *fnBaseName(const char *pszPath)
{
    const char *pszBase = pszPath;
    for (const char *pch = pszPath; *pch != '\0'; ++pch) {
        if (*pch == '\\' || *pch == '/') {
            pszBase = pch + 1;
        }
    }
    return pszBase;
}

// "a" + "\" + "b" into pchOut; FALSE when it does not fit.
BOOL fnJoinPath(const char *pszFolder, const char *pszName, char *pchOut, DWORD cchOut)
{
    const int iFolder = lstrlenA(pszFolder);
    const bool bSlash = iFolder > 0 && pszFolder[iFolder - 1] != '\\' && pszFolder[iFolder - 1] != '/';
    if (static_cast<DWORD>(iFolder + lstrlenA(pszName) + 2) > cchOut) {
        return FALSE;
    }
    wsprintfA(pchOut, bSlash ? "%s\\%s" : "%s%s", pszFolder, pszName);
    return TRUE;
}

DWORD fnUnixTime(const FILETIME &stTime)
{
    const ULONGLONG qw = (static_cast<ULONGLONG>(stTime.dwHighDateTime) << 32) | stTime.dwLowDateTime;
    const ULONGLONG qwSeconds = qw / kqwTicksPerSecond;
    return qwSeconds > kqwUnixEpoch ? static_cast<DWORD>(qwSeconds - kqwUnixEpoch) : 0;
}

FILETIME fnFileTime(DWORD dwUnix)
{
    const ULONGLONG qw = (dwUnix + kqwUnixEpoch) * kqwTicksPerSecond;
    FILETIME st;
    st.dwLowDateTime = static_cast<DWORD>(qw);
    st.dwHighDateTime = static_cast<DWORD>(qw >> 32);
    return st;
}

HANDLE fnOpenRead(const char *pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                       NULL);
}

// The size of a file that a send can carry (below 4 GiB); FALSE otherwise.
BOOL fnSendableSize(const char *pszPath, DWORD *pdwSize)
{
    const HANDLE hFile = fnOpenRead(pszPath);
    if (hFile == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    DWORD dwHigh = 0;
    *pdwSize = GetFileSize(hFile, &dwHigh);
    CloseHandle(hFile);
    return dwHigh == 0 && *pdwSize != INVALID_FILE_SIZE;
}

// "stem (n).ext" of a taken name.
BOOL fnNumberedName(const char *pszName, int iNumber, char *pchOut, DWORD cchOut)
{
    const char *pszDot = NULL;
    for (const char *pch = pszName; *pch != '\0'; ++pch) {
        if (*pch == '.') {
            pszDot = pch;
        }
    }
    const int iStem =
        pszDot != NULL && pszDot != pszName ? static_cast<int>(pszDot - pszName) : lstrlenA(pszName);
    char achNumber[16];
    wsprintfA(achNumber, " (%d)", iNumber);
    if (static_cast<DWORD>(lstrlenA(pszName) + lstrlenA(achNumber) + 1) > cchOut) {
        return FALSE;
    }
    lstrcpynA(pchOut, pszName, iStem + 1);
    lstrcatA(pchOut, achNumber);
    lstrcatA(pchOut, pszName + iStem);
    return TRUE;
}

// A new file of the safe name in the folder, or of a numbered name when that
// one is taken; the name used goes to st.m_achName.
HANDLE fnCreateInFolder(XferFileSink &st, const char *pszSafe)
{
    char achPath[kXferPathChars];
    lstrcpynA(st.m_achName, pszSafe, sizeof st.m_achName);
    for (int iTry = 0; iTry <= kRenameTries; ++iTry) {
        if (iTry > 0 && !fnNumberedName(pszSafe, iTry, st.m_achName, sizeof st.m_achName)) {
            return INVALID_HANDLE_VALUE;
        }
        if (!fnJoinPath(st.m_achFolder, st.m_achName, achPath, sizeof achPath)) {
            return INVALID_HANDLE_VALUE;
        }
        const HANDLE hFile = CreateFileA(achPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW, 0, NULL);
        if (hFile != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
            return hFile;
        }
    }
    return INVALID_HANDLE_VALUE;
}

void fnNoteRename(XferOutcome &stOut, const char *pszAsked, const char *pszSaved)
{
    if (stOut.m_dwRenamed++ == 0) {
        lstrcpynA(stOut.m_achRenamedFrom, pszAsked, sizeof stOut.m_achRenamedFrom);
        lstrcpynA(stOut.m_achRenamedTo, pszSaved, sizeof stOut.m_achRenamedTo);
    }
}

} // namespace

DWORD fnXferListCount(const XferFileList &st)
{
    const char *psz = fnAfterNul(st.m_achList);
    if (*psz == '\0') {
        return st.m_achList[0] != '\0' ? 1 : 0;
    }
    DWORD dwCount = 0;
    for (; *psz != '\0'; psz = fnAfterNul(psz)) {
        ++dwCount;
    }
    return dwCount;
}

BOOL fnXferListPath(const XferFileList &st, DWORD dwIndex, char *pchOut, DWORD cchOut)
{
    const char *psz = fnAfterNul(st.m_achList);
    if (*psz == '\0') {
        lstrcpynA(pchOut, st.m_achList, cchOut);
        return dwIndex == 0 && static_cast<DWORD>(lstrlenA(st.m_achList)) < cchOut;
    }
    for (DWORD i = 0; i < dwIndex && *psz != '\0'; ++i) {
        psz = fnAfterNul(psz);
    }
    return *psz != '\0' && fnJoinPath(st.m_achList, psz, pchOut, cchOut);
}

BOOL fnXferSourceBegin(XferFileSource &st, const XferFileList &stList, ULONGLONG *pqwTotal, char *pchWhy)
{
    st.m_pstList = &stList;
    st.m_dwCount = fnXferListCount(stList);
    st.m_dwNext = 0;
    st.m_hFile = INVALID_HANDLE_VALUE;
    st.m_dwPos = 0;
    st.m_qwBytesLeft = 0;
    char achPath[kXferPathChars];
    for (DWORD i = 0; i < st.m_dwCount; ++i) {
        DWORD dwSize = 0;
        if (!fnXferListPath(stList, i, achPath, sizeof achPath) || !fnSendableSize(achPath, &dwSize)) {
            char achShort[kXferWhyChars - 80];
            lstrcpynA(achShort, achPath, sizeof achShort);
            wsprintfA(pchWhy, "%s cannot be sent: it does not open, or it holds 4 GiB or more.", achShort);
            return FALSE;
        }
        st.m_qwBytesLeft += dwSize;
    }
    st.m_dwFilesLeft = st.m_dwCount;
    *pqwTotal = st.m_qwBytesLeft;
    return TRUE;
}

void fnXferSourceEnd(XferFileSource &st)
{
    if (st.m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(st.m_hFile);
        st.m_hFile = INVALID_HANDLE_VALUE;
    }
}

// The far end learns the files and bytes still to come with each file.
bool XferFileSource::fnNextFile(XferFileInfo &stInfo)
{
    fnXferSourceEnd(*this);
    char achPath[kXferPathChars];
    if (m_dwNext >= m_dwCount || !fnXferListPath(*m_pstList, m_dwNext, achPath, sizeof achPath)) {
        return false;
    }
    ++m_dwNext;
    m_hFile = fnOpenRead(achPath);
    m_dwPos = 0;
    if (m_hFile == INVALID_HANDLE_VALUE) {
        return false;
    }
    stInfo = XferFileInfo();
    lstrcpynA(stInfo.m_achName, fnBaseName(achPath), sizeof stInfo.m_achName);
    stInfo.m_qwSize = GetFileSize(m_hFile, NULL);
    stInfo.m_bSizeKnown = true;
    FILETIME stWritten;
    if (GetFileTime(m_hFile, NULL, NULL, &stWritten)) {
        stInfo.m_dwMtime = fnUnixTime(stWritten);
    }
    stInfo.m_dwFilesLeft = m_dwFilesLeft--;
    stInfo.m_qwBytesLeft = m_qwBytesLeft;
    m_qwBytesLeft -= stInfo.m_qwSize;
    return true;
}

// Most reads follow the one before; a ZMODEM reposition seeks.
std::int32_t XferFileSource::fnRead(std::uint64_t qwAt, std::uint8_t *pby, std::uint32_t cb)
{
    if (m_hFile == INVALID_HANDLE_VALUE || qwAt > 0xFFFFFFFFull) {
        return -1;
    }
    const DWORD dwAt = static_cast<DWORD>(qwAt);
    LONG lHigh = 0;
    if (dwAt != m_dwPos && SetFilePointer(m_hFile, static_cast<LONG>(dwAt), &lHigh, FILE_BEGIN) != dwAt) {
        return -1;
    }
    DWORD dwRead = 0;
    if (!ReadFile(m_hFile, pby, cb, &dwRead, NULL)) {
        m_dwPos = INVALID_FILE_SIZE;
        return -1;
    }
    m_dwPos = dwAt + dwRead;
    return static_cast<std::int32_t>(dwRead);
}

void fnXferSinkBegin(XferFileSink &st, const char *pszFolder, const char *pszPath, XferOutcome *pstOut)
{
    lstrcpynA(st.m_achFolder, pszFolder != NULL ? pszFolder : "", sizeof st.m_achFolder);
    lstrcpynA(st.m_achPath, pszPath != NULL ? pszPath : "", sizeof st.m_achPath);
    st.m_hFile = INVALID_HANDLE_VALUE;
    st.m_achName[0] = '\0';
    st.m_qwWritten = 0;
    st.m_pstOut = pstOut;
}

// XMODEM's chooser has asked before overwriting; names from the far end
// never overwrite: a taken one is numbered, and the end message says so.
XferOpen XferFileSink::fnOpen(const XferFileInfo &stInfo)
{
    m_qwWritten = 0;
    m_dwMtime = stInfo.m_dwMtime;
    if (m_achPath[0] != '\0') {
        lstrcpynA(m_achName, fnBaseName(m_achPath), sizeof m_achName);
        m_hFile = CreateFileA(m_achPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
        return m_hFile != INVALID_HANDLE_VALUE ? kXferOpenOk : kXferOpenFailed;
    }
    char achSafe[kXferNameMax];
    fnXferSafeName(stInfo.m_achName, achSafe, sizeof achSafe);
    m_hFile = fnCreateInFolder(*this, achSafe);
    if (m_hFile == INVALID_HANDLE_VALUE) {
        return kXferOpenFailed;
    }
    if (lstrcmpA(achSafe, m_achName) != 0) {
        fnNoteRename(*m_pstOut, achSafe, m_achName);
    }
    return kXferOpenOk;
}

bool XferFileSink::fnWrite(const std::uint8_t *pby, std::uint32_t cb)
{
    DWORD dwWritten = 0;
    const BOOL bWritten = WriteFile(m_hFile, pby, cb, &dwWritten, NULL);
    m_qwWritten += dwWritten;
    return bWritten && dwWritten == cb;
}

// A whole file gets the sender's time; one cut short keeps what came and is
// named in the end message as incomplete.
void XferFileSink::fnClose(bool bComplete)
{
    if (m_hFile == INVALID_HANDLE_VALUE) {
        return;
    }
    XferOutcome &stOut = *m_pstOut;
    if (bComplete) {
        if (m_dwMtime != 0) {
            const FILETIME stTime = fnFileTime(m_dwMtime);
            SetFileTime(m_hFile, NULL, NULL, &stTime);
        }
        ++stOut.m_dwFiles;
        stOut.m_qwBytes += m_qwWritten;
    } else {
        stOut.m_bCut = true;
        lstrcpynA(stOut.m_achCutName, m_achName, sizeof stOut.m_achCutName);
        stOut.m_qwCutDone = m_qwWritten;
    }
    CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}
