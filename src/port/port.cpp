#include "port.h"

#include "log_file.h"
#include "log_status.h"
#include "port_reopen.h"
#include "settings.h"
#include "terminal_display.h"
#include "window_records.h"

namespace {

const char kCaption[] = "ZEVRIK";

} // namespace

// A new opening ends any wait for a lost port first.
int fnOpenPort(HWND hOwner)
{
    fnReopenCancel();
    return fnOpenSteps(hOwner, TRUE);
}

int fnApplyPortSettings(HWND hOwner)
{
    fnRebuildCommx();
    if (!SetCommState(gstCommx.m_hComm, &gstCommx.m_stDcb)) {
        MessageBoxA(hOwner, "INF012:SetCommState() Error!", kCaption, MB_OK);
        return 1;
    }
    fnReadBack(gstCommx.m_hComm);
    gstCommx.m_bCommOpen = 1;
    fnLogSettingsChanged();
    return 0;
}

int fnApplyFlowControl(HWND hOwner)
{
    fnRebuildCommx();
    if (!SetCommState(gstCommx.m_hComm, &gstCommx.m_stDcb)) {
        MessageBoxA(hOwner, "INF013:SetCommState() Error!", kCaption, MB_OK);
        return 1;
    }
    fnReadBack(gstCommx.m_hComm);
    if (gstCommx.m_stDcb.fDtrControl == DTR_CONTROL_DISABLE) {
        gstStatusBar.m_bDtr = 0;
    } else if (gstCommx.m_stDcb.fDtrControl == DTR_CONTROL_ENABLE) {
        gstStatusBar.m_bDtr = 1;
    }
    if (gstCommx.m_stDcb.fRtsControl == RTS_CONTROL_DISABLE) {
        gstStatusBar.m_bRts = 0;
    } else if (gstCommx.m_stDcb.fRtsControl == RTS_CONTROL_ENABLE) {
        gstStatusBar.m_bRts = 1;
    }
    gstCommx.m_bCommOpen = 1;
    fnLogSettingsChanged();
    return 0;
}

// With no port open there is nothing to close; the terminal is emptied here
// as well, since a receive thread that already ended cannot do it. A port
// that waits for its device stops waiting.
int fnClosePort(HWND hOwner)
{
    if (fnReopenCancel()) {
        fnTerminalEmpty();
        fnLogEvent(kLogMarkClosed, gstCommx.m_achCurCommNumShort);
    }
    if (gstCommx.m_hComm == INVALID_HANDLE_VALUE) {
        gstCommx.m_bCommOpen = 0;
        return 0;
    }
    if (!fnEndSession()) {
        MessageBoxA(hOwner, "INF011:Close COM Port Error! CloseHandle() return NULL!",
                    gstCommx.m_achCurCommNumShort, MB_OK);
        return 1;
    }
    fnTerminalEmpty();
    fnLogEvent(kLogMarkClosed, gstCommx.m_achCurCommNumShort);
    return 0;
}
