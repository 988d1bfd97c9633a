// The terminal text of the receive thread. gstTerminal.m_achText holds it and
// only the receive thread changes it; the edit control shows a copy that is
// written when the text changed and the data pauses, or at most once per
// kShowIntervalMs while bytes keep coming. With a history or console mode
// chosen, the control gets only what changed (console_view.h).
#ifndef ZEVRIK_RX_DISPLAY_H
#define ZEVRIK_RX_DISPLAY_H

#include <windows.h>

// Empty text, nothing kept back; the control is empty at this point.
void fnDisplayReset();

// Appends a block of received (or echoed, bEcho) bytes to the text; with
// other terminal options than the text was made with, it starts afresh.
void fnDisplayBlock(const BYTE *pby, DWORD dwCount, DWORD nDisplay, DWORD nCrTrans, DWORD nLfTrans,
                    BOOL bEcho = FALSE);

// Empties the text and the control at once.
void fnDisplayClear();

// The text changed since the control was last written.
BOOL fnDisplayOwed();

// Writes the text to the control if it changed: at once, or only when the
// interval since the last write has passed.
void fnDisplayShow();
void fnDisplayShowIfDue();

#endif
