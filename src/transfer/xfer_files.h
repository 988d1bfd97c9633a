// The files of a protocol transfer on Win32: the sender reads the files the
// chooser gave; the receiver writes into a folder under the names the far
// end sends, or into the one file that XMODEM's chooser named.
#ifndef ZEVRIK_XFER_FILES_H
#define ZEVRIK_XFER_FILES_H

#include <windows.h>

#include "xfer_report.h"

const DWORD kXferListChars = 8192;
const DWORD kXferPathChars = 1024;
const DWORD kXferWhyChars = 512;

// The chooser's answer: "path\0\0" for one file, or "folder\0name\0name\0\0"
// for several.
struct XferFileList {
    char m_achList[kXferListChars];
};

DWORD fnXferListCount(const XferFileList &st);
// The full path of file i; FALSE when it does not fit.
BOOL fnXferListPath(const XferFileList &st, DWORD dwIndex, char *pchOut, DWORD cchOut);

struct XferFileSource : XferSource {
    const XferFileList *m_pstList;
    DWORD m_dwCount;
    DWORD m_dwNext;
    HANDLE m_hFile;
    DWORD m_dwPos; // where the file pointer stands
    DWORD m_dwFilesLeft;
    ULONGLONG m_qwBytesLeft;
    bool fnNextFile(XferFileInfo &stInfo) override;
    std::int32_t fnRead(std::uint64_t qwAt, std::uint8_t *pby, std::uint32_t cb) override;
};

// Checks that every file opens and is smaller than 4 GiB and counts their
// bytes; FALSE with the message for the user in pchWhy (kXferWhyChars).
BOOL fnXferSourceBegin(XferFileSource &st, const XferFileList &stList, ULONGLONG *pqwTotal, char *pchWhy);
void fnXferSourceEnd(XferFileSource &st);

// Writes what arrives and keeps the count of the outcome it is given: whole
// files and their bytes, the file cut short, names it had to change.
struct XferFileSink : XferSink {
    char m_achFolder[kXferPathChars]; // with names from the far end, or
    char m_achPath[kXferPathChars];   // the one file XMODEM writes
    HANDLE m_hFile;
    char m_achName[kXferNameMax]; // as saved
    ULONGLONG m_qwWritten;
    DWORD m_dwMtime;
    XferOutcome *m_pstOut;
    XferOpen fnOpen(const XferFileInfo &stInfo) override;
    bool fnWrite(const std::uint8_t *pby, std::uint32_t cb) override;
    void fnClose(bool bComplete) override;
};

// pszFolder for names from the far end, or pszPath for XMODEM's one file.
void fnXferSinkBegin(XferFileSink &st, const char *pszFolder, const char *pszPath, XferOutcome *pstOut);

#endif
