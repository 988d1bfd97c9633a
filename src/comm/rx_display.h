// Appends a block of received (or echoed) bytes to the terminal text.
#ifndef ZEVRIK_RX_DISPLAY_H
#define ZEVRIK_RX_DISPLAY_H

#include <windows.h>

void fnDisplayBlock(const BYTE *pby, DWORD dwCount, DWORD nDisplay, DWORD nCrTrans, DWORD nLfTrans);

#endif
