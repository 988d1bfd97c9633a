// The main window's command table: menu items and the toolbar buttons that
// forward the same identifiers.
#ifndef ZEVRIK_COMMANDS_H
#define ZEVRIK_COMMANDS_H

#include <windows.h>

// Runs the command whose identifier equals the whole of wParam, so control
// notifications and accelerators never count as commands.
void fnDispatchCommand(HWND hWnd, WPARAM wParam);

// Loads the settings file named first on the command line, as "Open csi File"
// loads a chosen one; without an argument it does nothing.
void fnOpenCsiFromCommandLine(HWND hWnd, const char *pszCmdLine);

#endif
