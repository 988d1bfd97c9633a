// How the plain loops open a port: as ZEVRIK does (overlapped, the default
// time-outs, driver queues of 2048 and 1024 bytes), so that they measure the
// same path the program takes.
#pragma once

#include <windows.h>

#include <cstdio>

inline HANDLE OpenPort(const char* pszName)
{
    char achPath[32];
    std::snprintf(achPath, sizeof achPath, "\\\\.\\%s", pszName);
    HANDLE hPort = CreateFileA(achPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hPort == INVALID_HANDLE_VALUE) return hPort;
    COMMTIMEOUTS timeouts = {1, 0, 0, 0, 0};
    SetCommTimeouts(hPort, &timeouts);
    SetupComm(hPort, 2048, 1024);
    return hPort;
}
