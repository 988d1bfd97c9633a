// Sequences typed at the console (a cursor key's ESC [ A, say) and the
// console's answers to the far end's queries go out in one write each:
// TransmitCommChar takes one character at a time and refuses the next while
// one is pending, so a sequence sent that way can reach the far end cut
// short, a bare ESC that a full-screen program takes for the Esc key.
#ifndef ZEVRIK_KEY_WRITE_H
#define ZEVRIK_KEY_WRITE_H

#include <windows.h>

// Writes the bytes to the open port and waits for them to be taken. FALSE
// with the error when the write failed or did not end in time (nothing sent
// then, or a part); the port closed meanwhile gives ERROR_INVALID_HANDLE.
BOOL fnWriteKeys(const BYTE *pby, DWORD dwCount, DWORD *pdwError);

#endif
