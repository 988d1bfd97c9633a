#ifndef ZEVRIK_DIALOG_PLACE_H
#define ZEVRIK_DIALOG_PLACE_H

#include <windows.h>

// Moves a modal dialog, from its WM_INITDIALOG, to the centre of its owner,
// inside the work area of the owner's monitor.
void fnCentreOverOwner(HWND hDlg);

// Moves a window without an owner (Wine did not draw an owned modeless
// dialog here) to the main window's right, top to top, kept on the screen.
void fnPlaceBesideMain(HWND hDlg, HWND hMain);

#endif
