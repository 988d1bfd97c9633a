#include "rx_display.h"

#include <cstring>

#include "console_view.h"
#include "hex_text.h"
#include "line_end.h"
#include "show_pace.h"

namespace {

const int kConvertChars = 2048;
const int kTrimAt = 2048;
const int kKeepChars = 1987;
// Bytes converted per piece so that the text with its terminator fits
// kConvertChars: up to two characters per byte in ASCII, three in HEX.
const DWORD kAsciiPiece = (kConvertChars - 1) / 2;
const DWORD kHexPiece = (kConvertChars - 1) / 3;
// No text made yet: the first block makes the view its options ask for,
// whichever the pane showed before.
const DWORD kNoViewKey = 0xFFFFFFFFu;
// The receive thread waits no longer than this for the pane to rewrite the
// classic control, should the user-interface thread be held up.
const DWORD kServedWaitMs = 500;
// While bytes keep coming, the history and console view is told at most
// this often: each paint costs the user-interface thread some 6 ms under
// Wine, and a stream read in small blocks would otherwise have it paint
// most of the time. A block after a quiet spell (kShowIdleMs) is told at once.
const DWORD kViewFrameMs = 25;

// What the receive and the user-interface thread share, under m_cs.
struct DisplayShared {
    CRITICAL_SECTION m_cs;
    char m_achText[kDisplayTextChars];
    int m_iTextLen;
    DWORD m_dwSerial;   // changes with every change of the text
    DWORD m_dwShownKey; // the view the pane shows (fnDisplayShownKey)
    TermOptBlock m_stOpt;
    HANDLE m_hServed; // set while no notice waits for the pane or is served
    DisplayShared() : m_achText(), m_iTextLen(0), m_dwSerial(0), m_dwShownKey(0), m_stOpt()
    {
        InitializeCriticalSection(&m_cs);
        m_hServed = CreateEventA(NULL, TRUE, TRUE, NULL);
    }
};
DisplayShared gstShared;

// The receive thread's own: a change not told yet, the options the text was
// made with (fnViewKey; 0 for the classic text), and whether they changed
// the view to show since the last notice.
BOOL gbOwed;
DWORD gdwViewKey = kNoViewKey;
BOOL gbViewSwitched;

// The notice: sent and not yet taken; being served; when the classic
// control was last rewritten.
HWND ghWindow;
DisplayWrite gpfnWriter;
volatile LONG gbNotice;
volatile LONG gbServing;
volatile DWORD gdwRewrittenAt;
DWORD gdwViewToldAt;
DWORD gdwBlockAt;
BOOL gbAfterQuiet; // a block came after a quiet spell since the last notice
// The history view was invalidated and its paint has not begun. That paint
// reads the screen once it has begun, so it draws every block fed before:
// those need no notice of their own.
volatile LONG gbPaintOwed;

void fnLock()
{
    EnterCriticalSection(&gstShared.m_cs);
}

void fnUnlock()
{
    LeaveCriticalSection(&gstShared.m_cs);
}

// Caller holds the lock.
void fnEmptyText()
{
    gstShared.m_achText[0] = '\0';
    gstShared.m_iTextLen = 0;
    ++gstShared.m_dwSerial;
}

// Every change has been made before the notice, so the pane reads it. The
// notice is sent, not posted: a message waiting in the queue would keep a
// dialog's modal loop, which shows the dialog once the queue is empty, from
// showing it at all while bytes stream in. A change of the classic text is
// served by the classic writer in this thread (fnDisplaySetWriter); the
// window is told of it only when it must show the classic view. The classic
// control is rewritten before the receive thread reads on, so the stream
// waits in the port meanwhile and leaves the processor to the
// user-interface thread.
void fnTell(BOOL bSwitched)
{
    gbOwed = FALSE;
    if (ghWindow == NULL) {
        return;
    }
    const BOOL bWriter = gdwViewKey == 0 && gpfnWriter != NULL;
    if (InterlockedExchange(&gbNotice, 1) == 0) {
        ResetEvent(gstShared.m_hServed);
        if (bWriter) {
            gpfnWriter();
        }
        if (!bWriter || (bSwitched && InterlockedExchange(&gbNotice, 1) == 0)) {
            ResetEvent(gstShared.m_hServed);
            SendNotifyMessageA(ghWindow, kWmDisplayChanged, 0, 0);
        }
    }
    if (gdwViewKey == 0) {
        WaitForSingleObject(gstShared.m_hServed, kServedWaitMs);
    }
}

// A change of the view to show is told even while a paint is owed.
void fnTellChange()
{
    if (gdwViewKey != 0 && !gbViewSwitched && gbPaintOwed != 0) {
        gbOwed = FALSE;
        return;
    }
    const BOOL bSwitched = gbViewSwitched;
    gbViewSwitched = FALSE;
    gdwViewToldAt = GetTickCount();
    gbAfterQuiet = FALSE;
    fnTell(bSwitched);
}

// The history and console view's last notice has had its frame, a block
// came after a quiet spell, or the view to show changed.
BOOL fnViewDue()
{
    return gbViewSwitched || gbAfterQuiet || GetTickCount() - gdwViewToldAt >= kViewFrameMs;
}

void fnNoteBlockTime()
{
    const DWORD dwNow = GetTickCount();
    gbAfterQuiet = gbAfterQuiet || dwNow - gdwBlockAt >= kShowIdleMs;
    gdwBlockAt = dwNow;
}

// The classic control is not being rewritten, nor about to be, and its last
// rewrite has had its interval.
BOOL fnRewriteDue()
{
    return gbNotice == 0 && gbServing == 0 && GetTickCount() - gdwRewrittenAt >= kShowIntervalMs;
}

// Keeps the last kKeepChars characters once the text has reached kTrimAt;
// the cut may fall inside a CR LF pair or a hexadecimal group. Lock held.
void fnTrimText()
{
    if (gstShared.m_iTextLen >= kTrimAt) {
        std::memmove(gstShared.m_achText, gstShared.m_achText + gstShared.m_iTextLen - kKeepChars,
                     kKeepChars + 1);
    }
}

// The text before this append is below kTrimAt characters and a piece is
// below kConvertChars, so the sum stays far inside the buffer.
void fnAppendPiece(const char *pch, int iLen)
{
    if (iLen == 0) {
        return;
    }
    gbOwed = TRUE;
    fnLock();
    const int iOld = static_cast<int>(std::strlen(gstShared.m_achText));
    std::memcpy(gstShared.m_achText + iOld, pch, static_cast<size_t>(iLen));
    gstShared.m_achText[iOld + iLen] = '\0';
    gstShared.m_iTextLen = iOld + iLen;
    fnTrimText();
    ++gstShared.m_dwSerial;
    fnUnlock();
}

void fnAppendAscii(const BYTE *pby, DWORD dwCount, DWORD nCrTrans, DWORD nLfTrans)
{
    char achAscii[kConvertChars];
    while (dwCount > 0) {
        const DWORD dwPiece = dwCount < kAsciiPiece ? dwCount : kAsciiPiece;
        fnAppendPiece(achAscii, fnTranslateLineEnds(pby, dwPiece, achAscii, nCrTrans, nLfTrans));
        pby += dwPiece;
        dwCount -= dwPiece;
    }
}

void fnAppendHex(const BYTE *pby, DWORD dwCount)
{
    char achHex[kConvertChars];
    while (dwCount > 0) {
        const DWORD dwPiece = dwCount < kHexPiece ? dwCount : kHexPiece;
        fnAppendPiece(achHex, static_cast<int>(3 * fnBufToHexStr(pby, achHex, dwPiece)));
        pby += dwPiece;
        dwCount -= dwPiece;
    }
}

// Text made with other options than the current ones is let go, with what
// the pane shows of it, and the pane is to show the view the options make;
// it is told with the block that follows.
void fnFollowOptions(const TermOptBlock &stOpt)
{
    const DWORD dwKey = fnViewKey(stOpt);
    if (dwKey == gdwViewKey) {
        return;
    }
    gdwViewKey = dwKey;
    gbViewSwitched = TRUE;
    fnLock();
    fnEmptyText();
    gstShared.m_dwShownKey = dwKey;
    fnUnlock();
    if (dwKey != 0) {
        fnViewReset(stOpt);
    } else {
        fnViewEmpty();
    }
    gbOwed = TRUE;
}

} // namespace

void fnDisplayReset()
{
    fnLock();
    fnEmptyText();
    fnUnlock();
    gbOwed = FALSE;
    gdwViewKey = kNoViewKey;
}

void fnDisplayBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho)
{
    fnFollowOptions(stOpt);
    if (gdwViewKey != 0) {
        fnNoteBlockTime();
        gbOwed = TRUE;
        fnViewBlock(pby, dwCount, stOpt, bEcho);
    } else if (stOpt.m_nDisplay == 0) {
        fnAppendAscii(pby, dwCount, stOpt.m_nCrTrans, stOpt.m_nLfTrans);
    } else if (stOpt.m_nDisplay == 1) {
        fnAppendHex(pby, dwCount);
    }
}

void fnDisplayClear()
{
    fnDisplayEmpty();
    fnTell(FALSE);
}

BOOL fnDisplayOwed()
{
    return gbOwed;
}

// While the pane serves a notice, the receive thread's short waits retry.
void fnDisplayShow()
{
    if (gbOwed && gbServing == 0 && (gdwViewKey == 0 || fnViewDue())) {
        fnTellChange();
    }
}

void fnDisplayShowNow()
{
    if (gbOwed) {
        fnTellChange();
    }
}

void fnDisplayShowIfDue()
{
    if (gbOwed && (gdwViewKey != 0 ? fnViewDue() : fnRewriteDue())) {
        fnTellChange();
    }
}

void fnDisplaySetOptions(const TermOptBlock &stOpt)
{
    fnLock();
    gstShared.m_stOpt = stOpt;
    fnUnlock();
}

TermOptBlock fnDisplayOptions()
{
    fnLock();
    const TermOptBlock stOpt = gstShared.m_stOpt;
    fnUnlock();
    return stOpt;
}

void fnDisplaySetWindow(HWND hWnd)
{
    ghWindow = hWnd;
}

void fnDisplaySetWriter(DisplayWrite pfnWrite)
{
    gpfnWriter = pfnWrite;
}

// Serving is marked before the notice is taken, so the receive thread never
// sees the control as idle while it is about to be rewritten.
void fnDisplayNoticeTaken()
{
    InterlockedExchange(&gbServing, 1);
    InterlockedExchange(&gbNotice, 0);
}

DWORD fnDisplayShownKey()
{
    fnLock();
    const DWORD dwKey = gstShared.m_dwShownKey;
    fnUnlock();
    return dwKey;
}

BOOL fnDisplayTextSince(DWORD *pdwSerial, char *pch, DWORD dwRoom)
{
    fnLock();
    const BOOL bChanged = gstShared.m_dwSerial != *pdwSerial;
    if (bChanged) {
        *pdwSerial = gstShared.m_dwSerial;
        lstrcpynA(pch, gstShared.m_achText, static_cast<int>(dwRoom));
    }
    fnUnlock();
    return bChanged;
}

// A notice sent meanwhile keeps the event reset until it is served too.
void fnDisplayNoticeDone(BOOL bRewritten)
{
    if (bRewritten) {
        gdwRewrittenAt = GetTickCount();
    }
    InterlockedExchange(&gbServing, 0);
    if (gbNotice == 0) {
        SetEvent(gstShared.m_hServed);
    }
}

void fnDisplayPaintOwed()
{
    InterlockedExchange(&gbPaintOwed, 1);
}

void fnDisplayPainting()
{
    InterlockedExchange(&gbPaintOwed, 0);
}

void fnDisplayShowView(DWORD dwKey)
{
    fnLock();
    gstShared.m_dwShownKey = dwKey;
    fnUnlock();
}

void fnDisplayEmpty()
{
    fnLock();
    fnEmptyText();
    fnUnlock();
    fnViewEmpty();
}
