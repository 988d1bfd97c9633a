// The worker of a protocol transfer (XMODEM, YMODEM, ZMODEM): a thread of
// its own per transfer runs the engine of xfer_session.h. The receive thread
// hands it the port's bytes through a bounded inbox and an event; it writes
// the engine's output itself, with overlapped writes under the port lock, and
// tells the progress dialog how far it is, a few times a second.
#ifndef ZEVRIK_XFER_THREAD_H
#define ZEVRIK_XFER_THREAD_H

#include <windows.h>

#include "xfer_session.h"

// The receive thread's mode while a protocol transfer runs (0 shows, 1
// captures into a file).
const LONG kRxModeXfer = 2;

// Posted to the progress dialog: a new snapshot to show, and the end.
const UINT kWmXferProgress = WM_APP + 20;
const UINT kWmXferEnded = WM_APP + 21;

struct XferJob {
    XferSettings m_stSet;
    bool m_bSend;
    XferSource *m_pSource; // for a send
    XferSink *m_pSink;     // for a receive
    HWND m_hDlg;           // gets the two messages above
};

// How far the transfer is: the engine's progress and the time since the far
// end first spoke.
struct XferSnapshot {
    XferProgress m_stProg;
    DWORD m_dwMs;
};

struct XferEndInfo {
    XferResult m_nResult;
    const char *m_pszGlueReason; // the port failed under the engine; null for none
    XferSnapshot m_stLast;
};

// Turns the receive thread to the inbox and starts the worker; FALSE (with
// the display given back) when no thread could be made.
BOOL fnXferThreadStart(const XferJob &stJob);
// Esc or Cancel: the worker sends the abort and ends.
void fnXferThreadCancel();
// The latest snapshot; a later kWmXferProgress is posted only after this.
void fnXferThreadSnapshot(XferSnapshot &st);
// After kWmXferEnded: waits for the worker, gives the received bytes back to
// the display and tells how the transfer ended.
void fnXferThreadFinish(XferEndInfo &st);

// For the receive thread while it is in kRxModeXfer: queues the bytes for the
// worker, waiting for room rather than dropping any.
void fnXferInboxPut(const BYTE *pby, DWORD dwCount);
// For the receive thread while it shows bytes: with auto-start on, a far sz's
// start posts IDM_XFER_AUTOSTART to the main window.
void fnXferWatchAutoStart(const BYTE *pby, DWORD dwCount);

#endif
