// Command table of the main window. Each row names the handler of one menu
// command; the toolbar's bitmap buttons arrive here with the same identifiers.
#include "commands.h"

#include "about_dialog.h"
#include "break_dialog.h"
#include "command_line.h"
#include "cominfo_dialog.h"
#include "comset_dialog.h"
#include "console_view.h"
#include "csi_file.h"
#include "flow_dialog.h"
#include "log_window.h"
#include "main_window.h"
#include "port.h"
#include "plot_window.h"
#include "port_scan.h"
#include "resource.h"
#include "rxcheck_window.h"
#include "settings.h"
#include "terminal_display.h"
#include "termopt_dialog.h"
#include "timeouts_dialog.h"
#include "transfer.h"
#include "ui_state.h"
#include "window_records.h"

namespace {

typedef void (*CommandHandler)(HWND hWnd);

struct CommandEntry {
    WORD wId;
    CommandHandler pfnHandler;
};

// The ports present are looked up each time the dialog opens.
bool fnRunComSetDialog(HWND hWnd)
{
    static PortPresence s_stPresence;
    fnScanPorts(s_stPresence);
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_COMSET), hWnd, fnComSetProc,
                           reinterpret_cast<LPARAM>(&s_stPresence)) == 1;
}

// A failed opening has reported itself and left the port closed.
void fnAfterPortOpen(int iResult)
{
    if (iResult == kOpenOk) {
        fnUiRefresh(gstCommx.m_bCommOpen);
    }
}

// A successful load opens the port with the loaded settings.
void fnAfterCsiLoad(HWND hWnd, int iResult)
{
    if (iResult == kCsiLoaded) {
        fnTerminalFitConsole();
        fnAfterPortOpen(fnOpenPort(hWnd));
    }
}

void OnCmdOpenCsi(HWND hWnd)
{
    fnAfterCsiLoad(hWnd, fnCsiLoad());
}

// Without a current file the save asks for a name, as "Save csi File As".
void OnCmdSaveCsi(HWND hWnd)
{
    if (gstCsi.m_bHaveFile == 1) {
        fnCsiSave();
    } else {
        SendMessageA(hWnd, WM_COMMAND, IDM_SAVE_CSI_AS, 0);
    }
}

void OnCmdSaveCsiAs(HWND)
{
    fnCsiSaveAs();
}

void OnCmdExit(HWND hWnd)
{
    SendMessageA(hWnd, WM_CLOSE, 0, 0);
}

// Edit > Copy takes the whole terminal text, from whichever view shows it.
void OnCmdCopy(HWND)
{
    if (IsWindowVisible(gstTerminal.m_hView)) {
        SendMessageA(gstTerminal.m_hView, WM_COPY, 0, 0);
        return;
    }
    SendMessageA(gstTerminal.m_hEdit, EM_SETSEL, 0, -1);
    SendMessageA(gstTerminal.m_hEdit, WM_COPY, 0, 0);
}

// The edit control is switched to the new font before the old one is
// deleted, so it never draws with a deleted font.
void OnCmdFont(HWND hWnd)
{
    gstTerminal.m_stChooseFont.hwndOwner = hWnd;
    if (ChooseFontA(&gstTerminal.m_stChooseFont) != 1) {
        return;
    }
    HFONT hOldFont = gstTerminal.m_hFont;
    gstTerminal.m_hFont = CreateFontIndirectA(&gstTerminal.m_stLogFont);
    SendMessageA(gstTerminal.m_hEdit, WM_SETFONT, reinterpret_cast<WPARAM>(gstTerminal.m_hFont), 1);
    fnTerminalFitConsole();
    InvalidateRect(gstTerminal.m_hView, NULL, TRUE);
    if (hOldFont != NULL) {
        DeleteObject(hOldFont);
    }
}

void OnCmdComOpen(HWND hWnd)
{
    if (fnRunComSetDialog(hWnd)) {
        fnAfterPortOpen(fnOpenPort(hWnd));
    }
}

void OnCmdComClose(HWND hWnd)
{
    if (fnClosePort(hWnd) == 0) {
        fnUiRefresh(gstCommx.m_bCommOpen);
    }
}

void OnCmdComSet(HWND hWnd)
{
    if (fnRunComSetDialog(hWnd) && fnApplyPortSettings(hWnd) == 0) {
        fnUiRefresh(gstCommx.m_bCommOpen);
    }
}

void OnCmdFlowControl(HWND hWnd)
{
    if (fnFlowCtrlDialog(hWnd) == 1 && fnApplyFlowControl(hWnd) == 0) {
        fnUiRefresh(gstCommx.m_bCommOpen);
    }
}

// The time-outs reach the open port here; the port connection has no step
// of its own for them.
void OnCmdTimeouts(HWND hWnd)
{
    if (fnTimeoutsDialog(hWnd) != 1) {
        return;
    }
    fnRebuildCommx();
    if (!SetCommTimeouts(gstCommx.m_hComm, &gstCommx.m_stTimeouts)) {
        MessageBoxA(hWnd, "INF001:SetCommTimeouts() Error!", "ZEVRIK", MB_OK);
    }
}

void OnCmdComInfo(HWND hWnd)
{
    fnComInfoDialog(hWnd);
}

// The dialog commits and refreshes the window state itself.
void OnCmdTerminalOption(HWND hWnd)
{
    fnTermOptDialog(hWnd);
}

void OnCmdAbout(HWND hWnd)
{
    fnAboutDialog(hWnd);
}

void OnCmdToolbar(HWND hWnd)
{
    gstMainWnd.m_bShowToolbar = gstMainWnd.m_bShowToolbar ? 0 : 1;
    CheckMenuItem(ghMainMenu, IDM_TOOLBAR,
                  MF_BYCOMMAND | (gstMainWnd.m_bShowToolbar ? MF_CHECKED : MF_UNCHECKED));
    SendMessageA(hWnd, WM_SIZE, 0, gstMainWnd.m_lClientSize);
}

// The receive thread empties the terminal on its next pass.
void OnCmdClearScreen(HWND)
{
    gstTerminal.m_bClearScreen = 1;
}

void OnCmdFileTransfer(HWND hWnd)
{
    fnRunFileTransfer(hWnd);
}

void OnCmdDataTransfer(HWND hWnd)
{
    fnRunDataTransfer(hWnd);
}

void OnCmdRxCheck(HWND hWnd)
{
    fnRxCheckWindowOpen(hWnd);
}

void OnCmdSendBreak(HWND hWnd)
{
    fnSendBreakDialog(hWnd);
}

void OnCmdXferAutoStart(HWND hWnd)
{
    fnRunAutoReceive(hWnd);
}

void OnCmdLog(HWND hWnd)
{
    fnLogWindowOpen(hWnd);
}

void OnCmdPlot(HWND hWnd)
{
    fnPlotWindowOpen(hWnd);
}

const CommandEntry kCommands[] = {
    {IDM_OPEN_CSI, OnCmdOpenCsi},
    {IDM_SAVE_CSI, OnCmdSaveCsi},
    {IDM_SAVE_CSI_AS, OnCmdSaveCsiAs},
    {IDM_EXIT, OnCmdExit},
    {IDM_COPY, OnCmdCopy},
    {IDM_FONT, OnCmdFont},
    {IDM_COM_OPEN, OnCmdComOpen},
    {IDM_COM_CLOSE, OnCmdComClose},
    {IDM_COM_SET, OnCmdComSet},
    {IDM_FLOW_CONTROL, OnCmdFlowControl},
    {IDM_TIMEOUTS, OnCmdTimeouts},
    {IDM_COM_INFO, OnCmdComInfo},
    {IDM_TERMINAL_OPTION, OnCmdTerminalOption},
    {IDM_FILE_TRANSFER, OnCmdFileTransfer},
    {IDM_DATA_TRANSFER, OnCmdDataTransfer},
    {IDM_TOOLBAR, OnCmdToolbar},
    {IDM_CLEAR_SCREEN, OnCmdClearScreen},
    {IDM_ABOUT, OnCmdAbout},
    {IDM_RX_CHECK, OnCmdRxCheck},
    {IDM_SEND_BREAK, OnCmdSendBreak},
    {IDM_XFER_AUTOSTART, OnCmdXferAutoStart},
    {IDM_LOG, OnCmdLog},
    {IDM_PLOT, OnCmdPlot},
};

} // namespace

void fnDispatchCommand(HWND hWnd, WPARAM wParam)
{
    for (const CommandEntry &stEntry : kCommands) {
        if (wParam == stEntry.wId) {
            stEntry.pfnHandler(hWnd);
            return;
        }
    }
}

// A name too long to hold comes back empty, and opening it fails as for a
// missing file.
void fnOpenCsiFromCommandLine(HWND hWnd, const char *pszCmdLine)
{
    char achPath[sizeof gstCsi.m_achFileName];
    if (fnFirstArgument(pszCmdLine, achPath, sizeof achPath) == kArgNone) {
        return;
    }
    fnAfterCsiLoad(hWnd, fnCsiLoadFile(achPath));
}
