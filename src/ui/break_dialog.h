// The Send Break dialog (resource 131): holds the line in the break state for
// the chosen time, then releases it and closes.
#ifndef ZEVRIK_BREAK_DIALOG_H
#define ZEVRIK_BREAK_DIALOG_H

#include <windows.h>

// "Send Break" (Port Manage menu). Refused with a message while a file is
// being sent; returns 1 when a break was sent.
INT_PTR fnSendBreakDialog(HWND hOwner);

#endif
