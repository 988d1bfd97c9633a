// The modem-line indicators of the status bar, as the modem-status thread
// keeps them.
#ifndef ZEVRIK_MODEM_LINES_H
#define ZEVRIK_MODEM_LINES_H

#include <windows.h>

// Every line whose event bit (EV_DSR, EV_CTS, EV_RING, EV_RLSD) is set in
// dwEvents takes its state from the modem status word (MS_*_ON bits) and its
// indicator is repainted by the user-interface thread (greyed while the port
// is closed); the other lines stay as they are.
void fnUpdateModemLines(DWORD dwEvents, DWORD dwModemStatus);

#endif
