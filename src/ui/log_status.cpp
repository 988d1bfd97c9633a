#include "log_status.h"

#include <cstdio>
#include <cstring>

#include "log_file.h"
#include "resource.h"
#include "settings.h"
#include "window_records.h"

namespace {

const UINT kStatusMs = 500;
const char kTitle[] = "Log";

struct LogStatusRecord {
    UINT_PTR m_uTimer;
    char m_achShown[96];
    char m_achOwed[kLogReasonChars]; // a reason not told yet
    bool m_bTelling;                 // its box is up
};

LogStatusRecord gstLogStatus;

HWND fnField()
{
    return GetDlgItem(gstStatusBar.m_hDlg, IDC_SB_LOG);
}

// Bytes as the status bar has room for them.
void fnFormatSize(ULONGLONG qw, char *pch, int cch)
{
    if (qw < 1024) {
        std::snprintf(pch, cch, "%lu bytes", static_cast<unsigned long>(qw));
    } else if (qw < (1u << 20)) {
        std::snprintf(pch, cch, "%lu KiB", static_cast<unsigned long>(qw >> 10));
    } else {
        const ULONGLONG qwTenths = qw * 10 >> 20;
        std::snprintf(pch, cch, "%lu.%lu MiB", static_cast<unsigned long>(qwTenths / 10),
                      static_cast<unsigned long>(qwTenths % 10));
    }
}

// "Log 1.2 MiB COM5-20240501-134507.log": the size first, as the field is
// cut at the window's edge.
void fnShowField()
{
    LogProgress st;
    fnLogProgressOf(st);
    const char *pszLeaf = st.m_achPath;
    for (const char *pch = st.m_achPath; *pch != '\0'; ++pch) {
        pszLeaf = *pch == '\\' || *pch == '/' ? pch + 1 : pszLeaf;
    }
    char achSize[24];
    fnFormatSize(st.m_qwFileBytes, achSize, sizeof achSize);
    char achText[sizeof gstLogStatus.m_achShown];
    std::snprintf(achText, sizeof achText, "Log %s %s", achSize, pszLeaf);
    if (std::strcmp(achText, gstLogStatus.m_achShown) != 0) {
        lstrcpynA(gstLogStatus.m_achShown, achText, sizeof gstLogStatus.m_achShown);
        SetWindowTextA(fnField(), achText);
    }
}

void CALLBACK fnOnStatusTimer(HWND, UINT, UINT_PTR, DWORD);

// The timer runs while the log does or a reason is owed.
void fnSync()
{
    const bool bRunning = fnLogRunning() != FALSE;
    const bool bWanted = bRunning || fnLogBroken() || gstLogStatus.m_achOwed[0] != '\0';
    if (bWanted && gstLogStatus.m_uTimer == 0) {
        gstLogStatus.m_uTimer = SetTimer(NULL, 0, kStatusMs, fnOnStatusTimer);
    } else if (!bWanted && gstLogStatus.m_uTimer != 0) {
        KillTimer(NULL, gstLogStatus.m_uTimer);
        gstLogStatus.m_uTimer = 0;
    }
    if (bRunning) {
        fnShowField();
    }
    ShowWindow(fnField(), bRunning ? SW_SHOW : SW_HIDE);
}

// Told from the timer, never inside the opening or the failure that caused
// it; its box runs a message loop, in which the timer must not tell again.
void fnTellOwed()
{
    if (gstLogStatus.m_bTelling || gstLogStatus.m_achOwed[0] == '\0') {
        return;
    }
    char achReason[kLogReasonChars];
    lstrcpynA(achReason, gstLogStatus.m_achOwed, sizeof achReason);
    gstLogStatus.m_achOwed[0] = '\0';
    fnSync();
    gstLogStatus.m_bTelling = true;
    MessageBoxA(GetParent(gstStatusBar.m_hDlg), achReason, kTitle, MB_OK);
    gstLogStatus.m_bTelling = false;
}

// A log that stopped by itself is collected, and its reason owed.
void fnCollectStopped()
{
    if (fnLogBroken()) {
        char achReason[kLogReasonChars];
        fnLogEnd(achReason);
        lstrcpynA(gstLogStatus.m_achOwed, achReason, sizeof gstLogStatus.m_achOwed);
    }
}

void CALLBACK fnOnStatusTimer(HWND, UINT, UINT_PTR, DWORD)
{
    fnCollectStopped();
    fnSync();
    fnTellOwed();
}

bool fnBegin(char (&achReason)[kLogReasonChars])
{
    fnCollectStopped();
    char achDetail[100];
    fnLogSummary(achDetail, sizeof achDetail);
    return fnLogBegin(gstCommx.m_achCurCommNumShort, achDetail, achReason) != FALSE;
}

} // namespace

void fnLogSummary(char *pchOut, int cchOut)
{
    if (gstCommx.m_bCommOpen != 0) {
        fnCommxLineSummary(pchOut, cchOut);
    } else if (gstCommx.m_bWaiting != 0) {
        fnCommxSummary(pchOut, cchOut);
    } else {
        std::snprintf(pchOut, cchOut, "%s closed", gstCommx.m_achCurCommNumShort);
    }
}

BOOL fnLogStartNow(HWND hOwner)
{
    char achReason[kLogReasonChars];
    const bool bStarted = fnBegin(achReason);
    fnSync();
    if (!bStarted) {
        MessageBoxA(hOwner, achReason, kTitle, MB_OK);
    }
    return bStarted ? TRUE : FALSE;
}

// A log that had stopped by itself meanwhile still has its reason told.
void fnLogStopNow()
{
    char achReason[kLogReasonChars];
    fnLogEnd(achReason);
    if (achReason[0] != '\0') {
        lstrcpynA(gstLogStatus.m_achOwed, achReason, sizeof gstLogStatus.m_achOwed);
    }
    fnSync();
}

void fnLogSettingsChanged()
{
    char achSummary[100];
    fnCommxSummary(achSummary, sizeof achSummary);
    fnLogEvent(kLogMarkSettings, achSummary);
}

void fnLogBreakSent(DWORD dwMs)
{
    char achDetail[24];
    std::snprintf(achDetail, sizeof achDetail, "%lu ms", static_cast<unsigned long>(dwMs));
    fnLogEvent(kLogMarkBreak, achDetail);
}

void fnLogOnOpened(BOOL bReopened)
{
    fnLogSetPort(gstCommx.m_achCurCommNumShort);
    char achReason[kLogReasonChars];
    if (gstLogSet.m_bOnOpening != 0 && !fnLogRunning() && !fnBegin(achReason)) {
        lstrcpynA(gstLogStatus.m_achOwed, achReason, sizeof gstLogStatus.m_achOwed);
    }
    char achSummary[100];
    fnCommxLineSummary(achSummary, sizeof achSummary);
    fnLogEvent(bReopened ? kLogMarkReopened : kLogMarkOpened, achSummary);
    fnSync();
}
