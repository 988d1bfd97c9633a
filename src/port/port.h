// Opening, re-configuring and closing the serial port. All run on the
// user-interface thread and report their own failures with a message box.
#ifndef ZEVRIK_PORT_H
#define ZEVRIK_PORT_H

#include <windows.h>

#include "port_session.h"

// fnOpenPort returns the result codes of port_session.h.
int fnOpenPort(HWND hOwner);
int fnApplyPortSettings(HWND hOwner);
int fnApplyFlowControl(HWND hOwner);
int fnClosePort(HWND hOwner);

#endif
