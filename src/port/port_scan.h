// The COM ports this machine has now, as its serial device map and its DOS
// device names list them.
#ifndef ZEVRIK_PORT_SCAN_H
#define ZEVRIK_PORT_SCAN_H

#include "port_names.h"

void fnScanPorts(PortPresence &stPresence);

#endif
