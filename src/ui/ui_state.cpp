#include "ui_state.h"

#include "resource.h"
#include "settings.h"
#include "window_records.h"

HINSTANCE ghInstance;
HMENU ghMainMenu;

namespace {

// Menu items that follow the port state, in the order they are switched;
// bOpenState tells whether the item is enabled while the port is open.
struct MenuState {
    UINT uId;
    bool bOpenState;
};

const MenuState kMenuStates[] = {
    {IDM_OPEN_CSI, false},     {IDM_SAVE_CSI, true},
    {IDM_SAVE_CSI_AS, true},   {IDM_COPY, true},
    {IDM_FONT, true},          {IDM_COM_OPEN, false},
    {IDM_COM_CLOSE, true},     {IDM_COM_SET, true},
    {IDM_FLOW_CONTROL, true},  {IDM_TIMEOUTS, true},
    {IDM_COM_INFO, true},      {IDM_FILE_TRANSFER, true},
    {IDM_DATA_TRANSFER, true}, {IDM_TERMINAL_OPTION, true},
    {IDM_CLEAR_SCREEN, true},  {IDM_SEND_BREAK, true},
};

// Toolbar controls that follow the port state; "Exit" is always usable.
struct ButtonState {
    int iControl;
    bool bOpenState;
};

const ButtonState kButtonStates[] = {
    {IDC_TB_FILEOPEN, false},    {IDC_TB_FILESAVE, true},     {IDC_TB_COMOPEN, false},
    {IDC_TB_COMCLOSE, true},     {IDC_TB_COMSET, true},       {IDC_TB_CLEAR, true},
    {IDC_TB_FILETRANSFER, true}, {IDC_TB_DATATRANSFER, true}, {IDC_TB_ASCII, true},
    {IDC_TB_HEX, true},          {IDC_TB_RE, true},
};

void fnSetMenus(bool bOpen)
{
    for (const MenuState &stItem : kMenuStates) {
        const bool bEnable = stItem.bOpenState == bOpen;
        EnableMenuItem(ghMainMenu, stItem.uId,
                       MF_BYCOMMAND | (bEnable ? MF_ENABLED : MF_DISABLED | MF_GRAYED));
    }
}

void fnSetButtons(bool bOpen)
{
    for (const ButtonState &stButton : kButtonStates) {
        EnableWindow(gstToolbar.m_ahButton[stButton.iControl - IDC_TB_FILEOPEN],
                     stButton.bOpenState == bOpen);
    }
}

// Disabling and enabling the edit control makes it repaint in the colours of
// the port state.
void fnRepaintTerminal()
{
    EnableWindow(gstTerminal.m_hEdit, FALSE);
    EnableWindow(gstTerminal.m_hEdit, TRUE);
    InvalidateRect(gstTerminal.m_hView, NULL, TRUE);
}

void fnEnableIndicators(BOOL bEnable)
{
    EnableWindow(gstStatusBar.m_hDsr, bEnable);
    EnableWindow(gstStatusBar.m_hCts, bEnable);
    EnableWindow(gstStatusBar.m_hRi, bEnable);
    EnableWindow(gstStatusBar.m_hDcd, bEnable);
}

void fnSetSummary(const char *pszText)
{
    SetWindowTextA(gstStatusBar.m_hSummary, pszText);
}

// Sets a switch button and its line from the wanted state.
void fnDriveLine(HWND hButton, LONG bOn, DWORD dwSet, DWORD dwClear)
{
    SendMessageA(hButton, BM_SETCHECK, bOn ? BST_CHECKED : BST_UNCHECKED, 0);
    EscapeCommFunction(gstCommx.m_hComm, bOn == 1 ? dwSet : dwClear);
}

// With handshake the driver owns the line and the button is disabled.
void fnSetDtr()
{
    switch (gstCommx.m_stDcb.fDtrControl) {
    case DTR_CONTROL_DISABLE:
        fnDriveLine(gstStatusBar.m_hDtr, gstStatusBar.m_bDtr, SETDTR, CLRDTR);
        EnableWindow(gstStatusBar.m_hDtr, FALSE);
        break;
    case DTR_CONTROL_ENABLE:
        fnDriveLine(gstStatusBar.m_hDtr, gstStatusBar.m_bDtr, SETDTR, CLRDTR);
        EnableWindow(gstStatusBar.m_hDtr, TRUE);
        break;
    case DTR_CONTROL_HANDSHAKE:
        EnableWindow(gstStatusBar.m_hDtr, FALSE);
        break;
    default:
        break;
    }
}

// With handshake or toggle the driver owns the line and the button is disabled.
void fnSetRts()
{
    switch (gstCommx.m_stDcb.fRtsControl) {
    case RTS_CONTROL_DISABLE:
        fnDriveLine(gstStatusBar.m_hRts, gstStatusBar.m_bRts, SETRTS, CLRRTS);
        EnableWindow(gstStatusBar.m_hRts, FALSE);
        break;
    case RTS_CONTROL_ENABLE:
        fnDriveLine(gstStatusBar.m_hRts, gstStatusBar.m_bRts, SETRTS, CLRRTS);
        EnableWindow(gstStatusBar.m_hRts, TRUE);
        break;
    default:
        EnableWindow(gstStatusBar.m_hRts, FALSE);
        break;
    }
}

void fnSetDisplayRadios()
{
    HWND hAscii = gstToolbar.m_ahButton[IDC_TB_ASCII - IDC_TB_FILEOPEN];
    HWND hHex = gstToolbar.m_ahButton[IDC_TB_HEX - IDC_TB_FILEOPEN];
    switch (gstTermOpt.m_stCur.m_nDisplay) {
    case 0:
        SendMessageA(hAscii, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageA(hHex, BM_SETCHECK, BST_UNCHECKED, 0);
        break;
    case 1:
        SendMessageA(hAscii, BM_SETCHECK, BST_UNCHECKED, 0);
        SendMessageA(hHex, BM_SETCHECK, BST_CHECKED, 0);
        break;
    default:
        break;
    }
}

void fnShowClosed()
{
    fnSetMenus(false);
    fnSetButtons(false);
    fnRepaintTerminal();
    fnEnableIndicators(FALSE);
    EnableWindow(gstStatusBar.m_hDtr, FALSE);
    EnableWindow(gstStatusBar.m_hRts, FALSE);
    gstStatusBar.m_achSummary[0] = '\0';
    fnSetSummary(gstStatusBar.m_achSummary);
}

void fnShowOpen()
{
    fnSetMenus(true);
    fnSetButtons(true);
    fnRepaintTerminal();
    fnEnableIndicators(TRUE);
    fnSetDtr();
    fnSetRts();
    fnCommxSummary(gstStatusBar.m_achSummary, sizeof(gstStatusBar.m_achSummary));
    fnSetSummary(gstStatusBar.m_achSummary);
}

// A port that waits for its device looks closed, but COM Close can end the
// wait and the summary says what it waits for.
void fnShowWaiting()
{
    fnShowClosed();
    EnableMenuItem(ghMainMenu, IDM_COM_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    EnableWindow(gstToolbar.m_ahButton[IDC_TB_COMCLOSE - IDC_TB_FILEOPEN], TRUE);
    fnCommxSummary(gstStatusBar.m_achSummary, sizeof(gstStatusBar.m_achSummary));
    fnSetSummary(gstStatusBar.m_achSummary);
}

} // namespace

void fnUiRefresh(LONG bCommOpen)
{
    if (bCommOpen == 0 && gstCommx.m_bWaiting != 0) {
        fnShowWaiting();
    } else if (bCommOpen == 0) {
        fnShowClosed();
    } else {
        fnShowOpen();
    }
    fnSetDisplayRadios();
}
