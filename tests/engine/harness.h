// Test support for the communication engine under Wine: checks, a message
// pump, a watcher that reads and dismisses every message box of the process,
// stand-ins for the windows the engine writes to, the far end of the cable,
// and the process's thread, handle and CPU figures.
#ifndef ZEVRIK_ENGINE_HARNESS_H
#define ZEVRIK_ENGINE_HARNESS_H

#include <windows.h>

#include <string>

// ---- checks ---------------------------------------------------------------
void fnCheck(bool bOk, const char *pszWhat, const char *pszFile, int iLine);
#define CHECK(cond) fnCheck((cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ_STR(a, b) fnCheckEqStr((a), (b), #a, __FILE__, __LINE__)
#define CHECK_EQ_INT(a, b)                                                                                   \
    fnCheckEqInt(static_cast<long long>(a), static_cast<long long>(b), #a " == " #b, __FILE__, __LINE__)
void fnCheckEqStr(const std::string &a, const std::string &b, const char *pszWhat, const char *pszFile,
                  int iLine);
void fnCheckEqInt(long long a, long long b, const char *pszWhat, const char *pszFile, int iLine);
int fnFailures();
void fnBeginGroup(const char *pszName);
void fnNote(const char *pszFormat, ...);

// ---- message pump -----------------------------------------------------------
// Serves messages (the workers' SendMessage calls among them) for dwMs.
void fnPump(DWORD dwMs);
// Pumps until fnDone returns true or dwTimeoutMs pass; true when it did.
bool fnPumpUntil(bool (*fnDone)(), DWORD dwTimeoutMs);

// ---- message boxes ------------------------------------------------------------
struct BoxRecord {
    char m_achCaption[64];
    char m_achText[256];
    HWND m_hOwner;
    DWORD m_dwTick;
};
void fnStartBoxWatcher();
// Number of boxes seen so far whose text begins with pszPrefix.
int fnBoxCount(const char *pszPrefix);
// Waits (pumping) until that number reaches iCount; the last such box.
bool fnWaitBox(const char *pszPrefix, int iCount, DWORD dwTimeoutMs, BoxRecord *pstOut);
int fnBoxTotal();

// ---- stand-in windows -----------------------------------------------------------
// A hidden host holding the terminal edit control and the controls of the
// dialogs the engine reports to; handles go into the window records. The
// terminal's host gets the receive display's notices, so the edit control
// shows the text once the messages are pumped.
void fnCreateHostWindows();
std::string fnTerminalText();
void fnSetTerminalText(const char *psz);
std::string fnControlText(HWND hDlg, int iId);
int fnProgressPos();
// The Data Transmit Information stand-in is handed back to gstTxInfo before
// each data job, as the real dialog does when it opens.
void fnShowTxInfoDialog();
extern volatile LONG gnTxInfoOk;
extern volatile LONG gnFileTxCancel;
extern volatile LONG gnFileRxOk;

// ---- far end of the cable ---------------------------------------------------------
bool fnFarOpen(const char *pszCom);
void fnFarClose();
void fnFarWrite(const void *pv, DWORD dwCount);
// Reads until dwWant bytes came or dwTimeoutMs passed, pumping meanwhile.
std::string fnFarRead(DWORD dwWant, DWORD dwTimeoutMs);
void fnFarDrain(DWORD dwQuietMs);

// ---- process figures ------------------------------------------------------------
int fnThreadCount();
int fnHandleCount();
double fnCpuSeconds();

#endif
