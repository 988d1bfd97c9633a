// Which COM ports this machine has, from the names the system lists, and the
// port list's item texts that say so.
#ifndef ZEVRIK_PORT_NAMES_H
#define ZEVRIK_PORT_NAMES_H

#include "settings_data.h"

struct PortPresence {
    bool m_abPresent[kPortCount]; // by port index (port number - 1)
};

// The index of "COM1" to "COM256" (any case, no leading zero, nothing after),
// read from at most cchName characters; -1 for any other name.
int fnPortIndexOfName(const char *pchName, std::size_t cchName);

// Marks every port named in a list of NUL-ended names (a device list or one
// registry value). The list ends at an empty name or after cchList characters;
// a last name without its NUL still counts.
void fnMarkNamedPorts(const char *pchList, std::size_t cchList, PortPresence &stPresence);

// The port list's item: "COM3", or "COM3 (present)".
void fnFormatPortItem(char *pchOut, std::size_t cchOut, const char *pszName, bool bPresent);

#endif
