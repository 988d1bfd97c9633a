#include "rx_display.h"

#include <cstring>

#include "console_view.h"
#include "hex_text.h"
#include "line_end.h"
#include "resource.h"
#include "settings.h"
#include "show_pace.h"
#include "window_records.h"

namespace {

const int kConvertChars = 2048;
const int kTrimAt = 2048;
const int kKeepChars = 1987;
// Bytes converted per piece so that the text with its terminator fits
// kConvertChars: up to two characters per byte in ASCII, three in HEX.
const DWORD kAsciiPiece = (kConvertChars - 1) / 2;
const DWORD kHexPiece = (kConvertChars - 1) / 3;

// Marking the history and console view for painting costs next to nothing,
// so every block does it.
const DWORD kViewIntervalMs = 0;

// Whether the control still shows an older text, and when it was written.
ShowPace gstDisplayPace;
// The options the control's text was made with (fnViewKey); 0 for the
// classic text.
DWORD gdwViewKey;

// Keeps the last kKeepChars characters once the text has reached kTrimAt;
// the cut may fall inside a CR LF pair or a hexadecimal group.
void fnTrimText()
{
    if (gstTerminal.m_iTextLen >= kTrimAt) {
        std::memmove(gstTerminal.m_achText, gstTerminal.m_achText + gstTerminal.m_iTextLen - kKeepChars,
                     kKeepChars + 1);
    }
}

// The text before this append is below kTrimAt characters and a piece is
// below kConvertChars, so the sum stays far inside the 8000-byte buffer.
void fnAppendPiece(const char *pch, int iLen)
{
    if (iLen == 0) {
        return;
    }
    gstDisplayPace.m_bOwed = TRUE;
    const int iOld = static_cast<int>(std::strlen(gstTerminal.m_achText));
    std::memcpy(gstTerminal.m_achText + iOld, pch, static_cast<size_t>(iLen));
    gstTerminal.m_achText[iOld + iLen] = '\0';
    gstTerminal.m_iTextLen = iOld + iLen;
    fnTrimText();
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

void fnWriteControl()
{
    if (gdwViewKey != 0) {
        fnViewWrite();
        fnPaceShown(gstDisplayPace);
        return;
    }
    SetDlgItemTextA(gstTerminal.m_hDlg, IDC_TERM_EDIT, gstTerminal.m_achText);
    gstTerminal.m_iLineCount = static_cast<int>(SendMessageA(gstTerminal.m_hEdit, EM_GETLINECOUNT, 0, 0));
    SendMessageA(gstTerminal.m_hEdit, EM_LINESCROLL, 0, gstTerminal.m_iLineCount);
    fnPaceShown(gstDisplayPace);
}

// Text made with other options than the current ones is let go, with what
// the control shows of it.
void fnFollowOptions(const TermOptBlock &stOpt)
{
    const DWORD dwKey = fnViewKey(stOpt);
    if (dwKey == gdwViewKey) {
        return;
    }
    fnDisplayClear();
    gdwViewKey = dwKey;
    if (dwKey != 0) {
        fnViewReset(stOpt);
    } else {
        fnViewShow(FALSE);
    }
}

} // namespace

void fnDisplayReset()
{
    gstTerminal.m_achText[0] = '\0';
    gstTerminal.m_iTextLen = 0;
    fnPaceReset(gstDisplayPace);
    gdwViewKey = 0;
}

void fnDisplayBlock(const BYTE *pby, DWORD dwCount, DWORD nDisplay, DWORD nCrTrans, DWORD nLfTrans,
                    BOOL bEcho)
{
    const TermOptBlock stOpt = gstTermOpt.m_stCur;
    fnFollowOptions(stOpt);
    if (gdwViewKey != 0) {
        gstDisplayPace.m_bOwed = TRUE;
        fnViewBlock(pby, dwCount, stOpt, bEcho);
    } else if (nDisplay == 0) {
        fnAppendAscii(pby, dwCount, nCrTrans, nLfTrans);
    } else if (nDisplay == 1) {
        fnAppendHex(pby, dwCount);
    }
}

// An empty control needs neither its line count nor a scroll.
void fnDisplayClear()
{
    const DWORD dwKey = gdwViewKey;
    fnDisplayReset();
    SetWindowTextA(gstTerminal.m_hEdit, "");
    gdwViewKey = dwKey;
    if (dwKey != 0) {
        fnViewReset(gstTermOpt.m_stCur);
    }
}

BOOL fnDisplayOwed()
{
    return gstDisplayPace.m_bOwed;
}

void fnDisplayShow()
{
    if (gstDisplayPace.m_bOwed) {
        fnWriteControl();
    }
}

void fnDisplayShowIfDue()
{
    if (fnPaceDueAfter(gstDisplayPace, gdwViewKey != 0 ? kViewIntervalMs : kShowIntervalMs)) {
        fnWriteControl();
    }
}
