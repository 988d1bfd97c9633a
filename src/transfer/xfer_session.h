// One file transfer, any protocol and direction: the entry the Win32 glue
// uses. The glue owns a session (static or in its thread's record; about
// 12 KB, no allocation) and, on its own thread, loops:
//
//   fnXferStart(st, stSet, bSend, &source, &sink, GetTickCount());
//   while (fnXferRunning(st)) {
//       read the port for at most fnXferWaitMs(st, GetTickCount()) ms;
//       fnXferFeed(st, abyIn, cbRead, GetTickCount()); // cbRead may be 0
//       while ((cb = fnXferTakeOutput(st, abyOut, sizeof abyOut)) > 0) {
//           write abyOut; fnXferFeed(st, nullptr, 0, GetTickCount());
//       }
//       show st.m_stCore.m_stProg; on Cancel: fnXferCancel(st, GetTickCount());
//   }
//   write what fnXferTakeOutput still gives (the abort's CANs), then report
//   fnXferResultText(st.m_stCore.m_nResult, bSend).
//
// Input comes in chunks of any size; a ZMODEM send refills its output from
// the file on every feed, so the glue should poll the port without waiting
// while output keeps coming. A receive that ended early has already closed
// its file with fnClose(false) (incomplete, m_qwFileDone bytes).
#ifndef ZEVRIK_XFER_SESSION_H
#define ZEVRIK_XFER_SESSION_H

#include "xymodem.h"
#include "zmodem.h"

struct XferSession {
    XferCore m_stCore;
    bool m_bSend;
    union {
        XySend m_stXySend;
        XyRecv m_stXyRecv;
        ZSend m_stZSend;
        ZRecv m_stZRecv;
    };
};

// pSource for a send, pSink for a receive; the other may be null.
void fnXferStart(XferSession &st, const XferSettings &stSet, bool bSend, XferSource *pSource, XferSink *pSink,
                 std::uint32_t dwNow);
void fnXferFeed(XferSession &st, const std::uint8_t *pby, std::size_t cb, std::uint32_t dwNow);
// Moves up to cbMax bytes for the wire into pby; the count.
std::size_t fnXferTakeOutput(XferSession &st, std::uint8_t *pby, std::size_t cbMax);
// The user's Cancel: the far end gets the abort sequence.
void fnXferCancel(XferSession &st, std::uint32_t dwNow);
bool fnXferRunning(const XferSession &st);
// Milliseconds from dwNow to the engine's next time-out (0 when due).
std::uint32_t fnXferWaitMs(const XferSession &st, std::uint32_t dwNow);

#endif
