#include "port_scan.h"

#include <windows.h>

namespace {

const char kDeviceMapKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Each value of the map names a port ("\Device\Serial0" = "COM1"); a value
// too long to be a port name is passed over.
void fnScanDeviceMap(PortPresence &stPresence)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDeviceMapKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
        return;
    }
    LONG lResult = ERROR_SUCCESS;
    for (DWORD dwIndex = 0; lResult != ERROR_NO_MORE_ITEMS; ++dwIndex) {
        char achName[256];
        DWORD cchName = sizeof achName;
        char achData[16];
        DWORD cbData = sizeof achData;
        DWORD dwType = 0;
        lResult = RegEnumValueA(hKey, dwIndex, achName, &cchName, NULL, &dwType,
                                reinterpret_cast<BYTE *>(achData), &cbData);
        if (lResult == ERROR_SUCCESS && dwType == REG_SZ) {
            fnMarkNamedPorts(achData, cbData, stPresence);
        }
    }
    RegCloseKey(hKey);
}

// A name that exists but whose target does not fit still counts.
bool fnDosNameExists(const char *pszName)
{
    char achTarget[8];
    return QueryDosDeviceA(pszName, achTarget, sizeof achTarget) != 0 ||
           GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// One call lists every DOS device name; should the list not fit, each port
// name is asked for on its own.
void fnScanDosNames(PortPresence &stPresence)
{
    static char s_achNames[65536];
    const DWORD cchNames = QueryDosDeviceA(NULL, s_achNames, sizeof s_achNames);
    if (cchNames != 0) {
        fnMarkNamedPorts(s_achNames, cchNames, stPresence);
        return;
    }
    for (int i = 0; i < kPortCount; ++i) {
        char achName[16];
        wsprintfA(achName, "COM%d", i + 1);
        if (fnDosNameExists(achName)) {
            stPresence.m_abPresent[i] = true;
        }
    }
}

} // namespace

void fnScanPorts(PortPresence &stPresence)
{
    stPresence = PortPresence();
    fnScanDeviceMap(stPresence);
    fnScanDosNames(stPresence);
}
