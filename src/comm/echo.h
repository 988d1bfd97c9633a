// Local echo: the terminal pane hands the bytes it sent to the receive thread,
// which shows them like received bytes.
#ifndef ZEVRIK_ECHO_H
#define ZEVRIK_ECHO_H

#include <windows.h>

// Bytes that may wait for the receive thread at one time.
const DWORD kEchoPendingBytes = 256;

// User-interface thread, after TransmitCommChar: queues the bytes behind any
// echo not shown yet and wakes the receive thread. Returns how many were
// queued; fewer than dwCount only when kEchoPendingBytes are already waiting.
DWORD fnPostEcho(const BYTE *pby, DWORD dwCount);

// Receive thread: offers hEvent as the echo event of its run (only while the
// session is live; FALSE otherwise), takes the waiting bytes, and withdraws
// the event before closing it.
BOOL fnEchoPublish(DWORD dwSession, HANDLE hEvent);
DWORD fnEchoTake(HANDLE hEvent, BYTE *pbyOut, DWORD cbOut);
void fnEchoWithdraw(HANDLE hEvent);

// Port close: no echo reaches a run of the closed session any more, and
// bytes still waiting are dropped with the terminal text.
void fnEchoDisconnect();

#endif
