// The terminal pane's two views of the receive display (rx_display.h): the
// classic edit control (IDC_TERM_EDIT) and the history and console view
// (IDC_TERM_VIEW), each with its own id, one of them shown. All run on the
// user-interface thread.
#ifndef ZEVRIK_TERMINAL_DISPLAY_H
#define ZEVRIK_TERMINAL_DISPLAY_H

#include <windows.h>

#include "settings_data.h"

// Takes the pane's edit control, makes the view beside it, and has the
// receive display's notices sent to the pane.
void fnTerminalViewsInit(HWND hPane);

// The pane got kWmDisplayChanged: shows what changed.
void fnTerminalShowChanges();

// Terminal Option replaces stOld with stNew: the pane shows the chosen view
// at once, not with the next byte received.
void fnTerminalChooseView(const TermOptBlock &stNew, const TermOptBlock &stOld);

// Empties what either view shows, at once.
void fnTerminalEmpty();

#endif
