// What the user reads about a protocol transfer: the figures of its progress
// dialog and the one message at its end. Pure code: the Win32 side gathers
// the outcome, this words it.
#ifndef ZEVRIK_XFER_REPORT_H
#define ZEVRIK_XFER_REPORT_H

#include "xfer_core.h"

// "12.5 KB/s" for qwBytes moved in dwMs; "-" before any time has passed.
void fnXferRateText(std::uint64_t qwBytes, std::uint32_t dwMs, char *pch, std::size_t cch);

// "done of total" bytes, or "done" alone when the total is unknown.
void fnXferBytesText(std::uint64_t qwDone, std::uint64_t qwTotal, bool bTotalKnown, char *pch,
                     std::size_t cch);

// "m:ss" (or "h:mm:ss") the qwLeft bytes take at the rate of qwBytes in dwMs;
// "-" while nothing has moved yet.
void fnXferTimeLeftText(std::uint64_t qwLeft, std::uint64_t qwBytes, std::uint32_t dwMs, char *pch,
                        std::size_t cch);

struct XferOutcome {
    const char *m_pszProtocol; // "XMODEM", "YMODEM", "ZMODEM"
    bool m_bSend;
    XferResult m_nResult;
    const char *m_pszGlueReason; // a failure around the engine (the port went); null for none
    std::uint32_t m_dwMs;
    std::uint32_t m_dwFiles; // files moved whole
    std::uint64_t m_qwBytes; // their bytes
    std::uint32_t m_dwSkipped;
    // The file that a failure cut short: a receive keeps it, incomplete.
    bool m_bCut;
    char m_achCutName[kXferNameMax];
    std::uint64_t m_qwCutDone;
    std::uint64_t m_qwCutSize; // a send's size; 0 for a receive
    // Received files saved under another name because the name was taken:
    // how many, and the first of them.
    std::uint32_t m_dwRenamed;
    char m_achRenamedFrom[kXferNameMax];
    char m_achRenamedTo[kXferNameMax];
};

// The end message: success with the files, bytes, time and rate, or the
// failure and its reason, what a cut file holds and which files came whole.
void fnXferReportText(const XferOutcome &st, char *pch, std::size_t cch);

#endif
