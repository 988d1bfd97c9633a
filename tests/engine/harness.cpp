#include "harness.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "jobs.h"
#include "resource.h"
#include "rx_display.h"
#include "terminal_display.h"
#include "window_records.h"

// ---- checks ---------------------------------------------------------------

namespace {

int giFailures = 0;
const char *gpszGroup = "";

std::string fnPrintable(const std::string &s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char ach[8];
            std::snprintf(ach, sizeof ach, "\\x%02X", c);
            out += ach;
        }
    }
    if (out.size() > 300) {
        out = out.substr(0, 140) + " ... " + out.substr(out.size() - 140);
    }
    return out;
}

} // namespace

void fnCheck(bool bOk, const char *pszWhat, const char *pszFile, int iLine)
{
    if (!bOk) {
        ++giFailures;
        std::printf("FAIL [%s] %s:%d: %s\n", gpszGroup, pszFile, iLine, pszWhat);
        std::fflush(stdout);
    }
}

void fnCheckEqStr(const std::string &a, const std::string &b, const char *pszWhat, const char *pszFile,
                  int iLine)
{
    if (a != b) {
        ++giFailures;
        std::printf("FAIL [%s] %s:%d: %s\n   got  \"%s\"\n   want \"%s\"\n", gpszGroup, pszFile, iLine,
                    pszWhat, fnPrintable(a).c_str(), fnPrintable(b).c_str());
        std::fflush(stdout);
    }
}

void fnCheckEqInt(long long a, long long b, const char *pszWhat, const char *pszFile, int iLine)
{
    if (a != b) {
        ++giFailures;
        std::printf("FAIL [%s] %s:%d: %s (got %lld, want %lld)\n", gpszGroup, pszFile, iLine, pszWhat, a, b);
        std::fflush(stdout);
    }
}

int fnFailures()
{
    return giFailures;
}

void fnBeginGroup(const char *pszName)
{
    gpszGroup = pszName;
    std::printf("== %s\n", pszName);
    std::fflush(stdout);
}

void fnNote(const char *pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::printf("   ");
    std::vprintf(pszFormat, args);
    std::printf("\n");
    std::fflush(stdout);
    va_end(args);
}

// ---- message pump -----------------------------------------------------------

namespace {

void fnPumpOnce(DWORD dwWaitMs)
{
    MSG stMsg;
    while (PeekMessageA(&stMsg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&stMsg);
        DispatchMessageA(&stMsg);
    }
    MsgWaitForMultipleObjects(0, NULL, FALSE, dwWaitMs, QS_ALLINPUT);
}

} // namespace

void fnPump(DWORD dwMs)
{
    const DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < dwMs) {
        fnPumpOnce(5);
    }
}

bool fnPumpUntil(bool (*fnDone)(), DWORD dwTimeoutMs)
{
    const DWORD dwStart = GetTickCount();
    for (;;) {
        if (fnDone()) {
            return true;
        }
        if (GetTickCount() - dwStart >= dwTimeoutMs) {
            return false;
        }
        fnPumpOnce(5);
    }
}

// ---- message boxes ------------------------------------------------------------

namespace {

const int kMaxBoxes = 1024;
const int kMaxHandled = 64;

CRITICAL_SECTION gcsBoxes;
BoxRecord gastBoxes[kMaxBoxes];
int giBoxes = 0;
HWND gahHandled[kMaxHandled];

bool fnAlreadyHandled(HWND hBox)
{
    for (HWND &h : gahHandled) {
        if (h != NULL && !IsWindow(h)) {
            h = NULL;
        }
    }
    for (HWND h : gahHandled) {
        if (h == hBox) {
            return true;
        }
    }
    for (HWND &h : gahHandled) {
        if (h == NULL) {
            h = hBox;
            break;
        }
    }
    return false;
}

void fnReadText(HWND hWnd, char *pch, int cch)
{
    pch[0] = '\0';
    DWORD_PTR dwResult = 0;
    SendMessageTimeoutA(hWnd, WM_GETTEXT, static_cast<WPARAM>(cch), reinterpret_cast<LPARAM>(pch), SMTO_BLOCK,
                        500, &dwResult);
    pch[cch - 1] = '\0';
}

BOOL CALLBACK fnOnTopWindow(HWND hWnd, LPARAM)
{
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    char achClass[32];
    if (dwPid != GetCurrentProcessId() || !GetClassNameA(hWnd, achClass, sizeof achClass) ||
        std::strcmp(achClass, "#32770") != 0 || !IsWindowVisible(hWnd) || fnAlreadyHandled(hWnd)) {
        return TRUE;
    }
    BoxRecord stBox = {};
    fnReadText(hWnd, stBox.m_achCaption, sizeof stBox.m_achCaption);
    HWND hStatic = GetDlgItem(hWnd, 0xFFFF);
    if (hStatic != NULL) {
        fnReadText(hStatic, stBox.m_achText, sizeof stBox.m_achText);
    }
    stBox.m_hOwner = GetWindow(hWnd, GW_OWNER);
    stBox.m_dwTick = GetTickCount();
    EnterCriticalSection(&gcsBoxes);
    if (giBoxes < kMaxBoxes) {
        gastBoxes[giBoxes++] = stBox;
    }
    LeaveCriticalSection(&gcsBoxes);
    PostMessageA(hWnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}

DWORD WINAPI fnBoxWatcher(LPVOID)
{
    for (;;) {
        EnumWindows(fnOnTopWindow, 0);
        Sleep(20);
    }
}

} // namespace

void fnStartBoxWatcher()
{
    InitializeCriticalSection(&gcsBoxes);
    HANDLE hThread = CreateThread(NULL, 0, fnBoxWatcher, NULL, 0, NULL);
    CloseHandle(hThread);
}

int fnBoxCount(const char *pszPrefix)
{
    int iCount = 0;
    const size_t cch = std::strlen(pszPrefix);
    EnterCriticalSection(&gcsBoxes);
    for (int i = 0; i < giBoxes; ++i) {
        if (std::strncmp(gastBoxes[i].m_achText, pszPrefix, cch) == 0) {
            ++iCount;
        }
    }
    LeaveCriticalSection(&gcsBoxes);
    return iCount;
}

int fnBoxTotal()
{
    EnterCriticalSection(&gcsBoxes);
    const int iCount = giBoxes;
    LeaveCriticalSection(&gcsBoxes);
    return iCount;
}

namespace {

const char *gpszWaitPrefix;
int giWaitCount;

bool fnBoxArrived()
{
    return fnBoxCount(gpszWaitPrefix) >= giWaitCount;
}

} // namespace

bool fnWaitBox(const char *pszPrefix, int iCount, DWORD dwTimeoutMs, BoxRecord *pstOut)
{
    gpszWaitPrefix = pszPrefix;
    giWaitCount = iCount;
    const bool bArrived = fnPumpUntil(fnBoxArrived, dwTimeoutMs);
    if (bArrived && pstOut != NULL) {
        const size_t cch = std::strlen(pszPrefix);
        EnterCriticalSection(&gcsBoxes);
        for (int i = 0; i < giBoxes; ++i) {
            if (std::strncmp(gastBoxes[i].m_achText, pszPrefix, cch) == 0) {
                *pstOut = gastBoxes[i];
            }
        }
        LeaveCriticalSection(&gcsBoxes);
    }
    return bArrived;
}

// ---- stand-in windows -----------------------------------------------------------

volatile LONG gnTxInfoOk = 0;
volatile LONG gnFileTxCancel = 0;
volatile LONG gnFileRxOk = 0;

namespace {

const char kHostClass[] = "ZevrikEngineHost";
HWND ghTxInfoHost;

void fnCloseJobFile()
{
    if (gstFileTrans.m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(gstFileTrans.m_hFile);
        gstFileTrans.m_hFile = INVALID_HANDLE_VALUE;
    }
}

// What the real dialogs do when the threads send them OK or Cancel.
LRESULT OnCommand(HWND hWnd, WPARAM wParam)
{
    if (hWnd == ghTxInfoHost && LOWORD(wParam) == IDOK) {
        InterlockedIncrement(&gnTxInfoOk);
        fnStopDataJob();
    } else if (hWnd == gstFileTx.m_hDlg && LOWORD(wParam) == IDCANCEL) {
        InterlockedIncrement(&gnFileTxCancel);
        fnStopFileTx();
        fnCloseJobFile();
    } else if (hWnd == gstFileRx.m_hDlg && LOWORD(wParam) == IDOK) {
        InterlockedIncrement(&gnFileRxOk);
        fnStopFileRx();
        FlushFileBuffers(gstFileTrans.m_hFile);
        fnCloseJobFile();
    }
    return 0;
}

LRESULT CALLBACK fnHostProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COMMAND:
        return OnCommand(hWnd, wParam);
    case kWmDisplayChanged:
        fnTerminalShowChanges();
        return 0;
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

HWND fnHost()
{
    return CreateWindowExA(0, kHostClass, "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL,
                           GetModuleHandleA(NULL), NULL);
}

HWND fnChild(HWND hParent, const char *pszClass, DWORD dwStyle, int iId)
{
    return CreateWindowExA(0, pszClass, "", WS_CHILD | WS_VISIBLE | dwStyle, 0, 0, 300, 200, hParent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(iId)), GetModuleHandleA(NULL), NULL);
}

} // namespace

void fnCreateHostWindows()
{
    INITCOMMONCONTROLSEX stIcc = {sizeof stIcc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&stIcc);
    WNDCLASSA stClass = {};
    stClass.lpfnWndProc = fnHostProc;
    stClass.hInstance = GetModuleHandleA(NULL);
    stClass.lpszClassName = kHostClass;
    RegisterClassA(&stClass);

    gstTerminal.m_hDlg = fnHost();
    gstTerminal.m_hEdit = fnChild(gstTerminal.m_hDlg, "EDIT",
                                  ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL, IDC_TERM_EDIT);
    fnDisplaySetWindow(gstTerminal.m_hDlg);
    gstToolbar.m_hDlg = fnHost();
    for (int i = 0; i < kToolbarButtons; ++i) {
        gstToolbar.m_ahButton[i] = fnChild(gstToolbar.m_hDlg, "BUTTON", BS_AUTOCHECKBOX, 1001 + i);
    }
    gstStatusBar.m_hDlg = fnHost();
    gstStatusBar.m_hDsr = fnChild(gstStatusBar.m_hDlg, "STATIC", 0, IDC_SB_DSR);
    gstStatusBar.m_hCts = fnChild(gstStatusBar.m_hDlg, "STATIC", 0, IDC_SB_CTS);
    gstStatusBar.m_hRi = fnChild(gstStatusBar.m_hDlg, "STATIC", 0, IDC_SB_RI);
    gstStatusBar.m_hDcd = fnChild(gstStatusBar.m_hDlg, "STATIC", 0, IDC_SB_DCD);
    ghTxInfoHost = fnHost();
    gstTxInfo.m_hDlg = ghTxInfoHost;
    gstTxInfo.m_hCount = fnChild(ghTxInfoHost, "STATIC", 0, IDC_TI_COUNT);
    gstFileTx.m_hDlg = fnHost();
    gstFileTx.m_hLength = fnChild(gstFileTx.m_hDlg, "STATIC", 0, IDC_FT_LENGTH);
    gstFileTx.m_hProgress = fnChild(gstFileTx.m_hDlg, PROGRESS_CLASSA, 0, 1028);
    gstFileRx.m_hDlg = fnHost();
    gstFileRx.m_hLength = fnChild(gstFileRx.m_hDlg, "STATIC", 0, IDC_FR_LENGTH);
}

void fnShowTxInfoDialog()
{
    gstTxInfo.m_hDlg = ghTxInfoHost;
}

std::string fnTerminalText()
{
    static char achText[16384];
    achText[0] = '\0';
    GetWindowTextA(gstTerminal.m_hEdit, achText, sizeof achText);
    return achText;
}

void fnSetTerminalText(const char *psz)
{
    SetWindowTextA(gstTerminal.m_hEdit, psz);
}

std::string fnControlText(HWND hDlg, int iId)
{
    char ach[256];
    ach[0] = '\0';
    GetDlgItemTextA(hDlg, iId, ach, sizeof ach);
    return ach;
}

int fnProgressPos()
{
    return static_cast<int>(SendMessageA(gstFileTx.m_hProgress, PBM_GETPOS, 0, 0));
}

// ---- far end of the cable ---------------------------------------------------------

namespace {

HANDLE ghFar = INVALID_HANDLE_VALUE;

} // namespace

bool fnFarOpen(const char *pszCom)
{
    char achPath[32];
    std::snprintf(achPath, sizeof achPath, "\\\\.\\%s", pszCom);
    ghFar = CreateFileA(achPath, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (ghFar == INVALID_HANDLE_VALUE) {
        return false;
    }
    // Reads return at once with whatever has arrived.
    COMMTIMEOUTS stTo = {MAXDWORD, 0, 0, 0, 0};
    SetCommTimeouts(ghFar, &stTo);
    return true;
}

void fnFarClose()
{
    if (ghFar != INVALID_HANDLE_VALUE) {
        CloseHandle(ghFar);
        ghFar = INVALID_HANDLE_VALUE;
    }
}

void fnFarWrite(const void *pv, DWORD dwCount)
{
    DWORD dwWritten = 0;
    WriteFile(ghFar, pv, dwCount, &dwWritten, NULL);
}

std::string fnFarRead(DWORD dwWant, DWORD dwTimeoutMs)
{
    std::string out;
    const DWORD dwStart = GetTickCount();
    while (out.size() < dwWant && GetTickCount() - dwStart < dwTimeoutMs) {
        char ach[4096];
        DWORD dwRead = 0;
        if (ReadFile(ghFar, ach, sizeof ach, &dwRead, NULL) && dwRead > 0) {
            out.append(ach, dwRead);
        } else {
            fnPumpOnce(5);
        }
    }
    return out;
}

void fnFarDrain(DWORD dwQuietMs)
{
    while (!fnFarRead(1 << 20, dwQuietMs).empty()) {
    }
}

// ---- process figures ------------------------------------------------------------

int fnThreadCount()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE) {
        return -1;
    }
    THREADENTRY32 stEntry = {};
    stEntry.dwSize = sizeof stEntry;
    int iCount = 0;
    for (BOOL b = Thread32First(hSnap, &stEntry); b; b = Thread32Next(hSnap, &stEntry)) {
        if (stEntry.th32OwnerProcessID == GetCurrentProcessId()) {
            ++iCount;
        }
    }
    CloseHandle(hSnap);
    return iCount;
}

// Wine's GetProcessHandleCount reports 0; there the open handles are counted
// by asking the system about every handle value in use.
int fnHandleCount()
{
    typedef BOOL(WINAPI * GetCountFn)(HANDLE, PDWORD);
    static GetCountFn pfn = reinterpret_cast<GetCountFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
    DWORD dwCount = 0;
    if (pfn != NULL && pfn(GetCurrentProcess(), &dwCount) && dwCount > 0) {
        return static_cast<int>(dwCount);
    }
    int iCount = 0;
    for (UINT_PTR uValue = 4; uValue < 0x10000; uValue += 4) {
        DWORD dwFlags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(uValue), &dwFlags)) {
            ++iCount;
        }
    }
    return iCount;
}

double fnCpuSeconds()
{
    FILETIME stCreate, stExit, stKernel, stUser;
    GetProcessTimes(GetCurrentProcess(), &stCreate, &stExit, &stKernel, &stUser);
    ULARGE_INTEGER k, u;
    k.LowPart = stKernel.dwLowDateTime;
    k.HighPart = stKernel.dwHighDateTime;
    u.LowPart = stUser.dwLowDateTime;
    u.HighPart = stUser.dwHighDateTime;
    return static_cast<double>(k.QuadPart + u.QuadPart) / 1e7;
}
