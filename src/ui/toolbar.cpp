#include "toolbar.h"

#include <commctrl.h>

#include "resource.h"
#include "rx_display.h"
#include "settings.h"
#include "ui_state.h"
#include "window_records.h"

namespace {

struct ButtonCommand {
    WORD wButton;
    WORD wCommand;
};

const ButtonCommand kButtonCommands[] = {
    {IDC_TB_FILEOPEN, IDM_OPEN_CSI},
    {IDC_TB_FILESAVE, IDM_SAVE_CSI},
    {IDC_TB_EXIT, IDM_EXIT},
    {IDC_TB_COMOPEN, IDM_COM_OPEN},
    {IDC_TB_COMCLOSE, IDM_COM_CLOSE},
    {IDC_TB_COMSET, IDM_COM_SET},
    {IDC_TB_CLEAR, IDM_CLEAR_SCREEN},
    {IDC_TB_FILETRANSFER, IDM_FILE_TRANSFER},
    {IDC_TB_DATATRANSFER, IDM_DATA_TRANSFER},
    {IDC_TB_RXCHECK, IDM_RX_CHECK},
    {IDC_TB_LOG, IDM_LOG},
    {IDC_TB_PLOT, IDM_PLOT},
};

// The tool-tip class and the progress bar of the File Transmit dialog come
// from the common controls, registered here before any of them is created.
void fnInitCommonControls()
{
    INITCOMMONCONTROLSEX stInit;
    stInit.dwSize = sizeof(stInit);
    stInit.dwICC = ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&stInit);
}

// A tip that cannot be made is left out without a message.
void fnAddToolTip(HWND hDlg, HWND hControl, char *pszText)
{
    if (ghInstance == NULL || hDlg == NULL || hControl == NULL || pszText[0] == '\0') {
        return;
    }
    HWND hTip = CreateWindowExA(0, TOOLTIPS_CLASSA, NULL, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hDlg, NULL, ghInstance, NULL);
    if (hTip == NULL) {
        return;
    }
    TTTOOLINFOA stTool = TTTOOLINFOA();
    stTool.cbSize = TTTOOLINFOA_V2_SIZE;
    stTool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    stTool.hwnd = hDlg;
    stTool.uId = reinterpret_cast<UINT_PTR>(hControl);
    stTool.lpszText = pszText;
    SendMessageA(hTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&stTool));
}

INT_PTR OnInitDialog(HWND hDlg)
{
    fnInitCommonControls();
    gstToolbar.m_hDlg = hDlg;
    for (int i = 0; i < kToolbarButtons; ++i) {
        gstToolbar.m_ahButton[i] = GetDlgItem(hDlg, IDC_TB_FILEOPEN + i);
    }
    for (int i = 0; i < kToolbarButtons; ++i) {
        fnAddToolTip(hDlg, gstToolbar.m_ahButton[i], gstToolbar.m_aachTip[i]);
    }
    static char achRxCheckTip[] = "Receive Check";
    fnAddToolTip(hDlg, GetDlgItem(hDlg, IDC_TB_RXCHECK), achRxCheckTip);
    static char achLogTip[] = "Log";
    fnAddToolTip(hDlg, GetDlgItem(hDlg, IDC_TB_LOG), achLogTip);
    static char achPlotTip[] = "Plot";
    fnAddToolTip(hDlg, GetDlgItem(hDlg, IDC_TB_PLOT), achPlotTip);
    return FALSE;
}

// Bitmap buttons act exactly like the menu item of the same command.
bool fnForwardButton(HWND hDlg, WPARAM wParam)
{
    for (const ButtonCommand &stEntry : kButtonCommands) {
        if (wParam == stEntry.wButton) {
            SendMessageA(GetParent(hDlg), WM_COMMAND, stEntry.wCommand, 0);
            return true;
        }
    }
    return false;
}

INT_PTR OnCommand(HWND hDlg, WPARAM wParam)
{
    if (fnForwardButton(hDlg, wParam)) {
        return FALSE;
    }
    switch (wParam) {
    case IDC_TB_ASCII:
        gstTermOpt.m_stCur.m_nDisplay = 0;
        fnDisplaySetOptions(gstTermOpt.m_stCur);
        break;
    case IDC_TB_HEX:
        gstTermOpt.m_stCur.m_nDisplay = 1;
        fnDisplaySetOptions(gstTermOpt.m_stCur);
        break;
    case IDC_TB_RE:
        gstToolbar.m_bRxEnable =
            SendMessageA(gstToolbar.m_ahButton[IDC_TB_RE - IDC_TB_FILEOPEN], BM_GETCHECK, 0, 0) == BST_CHECKED
                ? 1
                : 0;
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

INT_PTR CALLBACK fnToolbarProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}
