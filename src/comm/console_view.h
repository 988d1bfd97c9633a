// The history and console view of the terminal pane: received bytes go into
// a console screen (console_screen.h) and the edit control gets only what
// changed, cut at its start and end and appended, instead of a rewrite of
// its whole text. Receive thread only, like the classic text.
#ifndef ZEVRIK_CONSOLE_VIEW_H
#define ZEVRIK_CONSOLE_VIEW_H

#include <windows.h>

#include "settings_data.h"

// 0 when the options ask for the classic text; otherwise a value that
// changes with every option the view is built on.
DWORD fnViewKey(const TermOptBlock &stOpt);

// Empty screen for these options; the control must be empty.
void fnViewReset(const TermOptBlock &stOpt);

// Adds a block; echoed keys get no time stamp.
void fnViewBlock(const BYTE *pby, DWORD dwCount, const TermOptBlock &stOpt, BOOL bEcho);

// Brings the control up to date, or nearer: TRUE when more is left.
BOOL fnViewWrite();

#endif
