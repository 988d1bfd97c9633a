// Brings menus, toolbar, terminal colours and status bar in step with the port.
#ifndef ZEVRIK_UI_STATE_H
#define ZEVRIK_UI_STATE_H

#include <windows.h>

extern HINSTANCE ghInstance;
extern HMENU ghMainMenu;

void fnUiRefresh(LONG bCommOpen);

#endif
