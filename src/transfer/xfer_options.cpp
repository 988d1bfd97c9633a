#include "xfer_options.h"

#include <shlobj.h>

#include "dialog_place.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"

XferFolderRecord gstXferFolder;

namespace {

const char kCaption[] = "ZEVRIK";
const char *const kapszProtocols[] = {"None (raw bytes)", "XMODEM", "YMODEM", "ZMODEM"};
const char *const kapszBlocks[] = {"128 bytes, checksum", "128 bytes, CRC-16", "1K bytes, CRC-16"};
const ZDWORD kProtocolYmodem = 2;

void fnFillList(HWND hDlg, int iId, const char *const *papszItems, int iCount, ZDWORD nSelected)
{
    for (int i = 0; i < iCount; ++i) {
        SendDlgItemMessageA(hDlg, iId, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(papszItems[i]));
    }
    SendDlgItemMessageA(hDlg, iId, CB_SETCURSEL, nSelected, 0);
}

ZDWORD fnListChoice(HWND hDlg, int iId)
{
    const LRESULT lSel = SendDlgItemMessageA(hDlg, iId, CB_GETCURSEL, 0, 0);
    return lSel < 0 ? 0 : static_cast<ZDWORD>(lSel);
}

// The folder box and its button serve only the batch protocols.
void fnShowFolderUse(HWND hDlg)
{
    const BOOL bBatch = fnListChoice(hDlg, IDC_FD_PROTOCOL) >= kProtocolYmodem;
    EnableWindow(GetDlgItem(hDlg, IDC_FD_FOLDER), bBatch);
    EnableWindow(GetDlgItem(hDlg, IDC_FD_BROWSE), bBatch);
}

int CALLBACK fnBrowseStart(HWND hWnd, UINT uMsg, LPARAM, LPARAM lpData)
{
    if (uMsg == BFFM_INITIALIZED) {
        SendMessageA(hWnd, BFFM_SETSELECTIONA, TRUE, lpData);
    }
    return 0;
}

// The shell hands the chosen folder back as an item list it allocated; it
// is given back at once.
void OnRowBrowse(HWND hDlg)
{
    char achFolder[kXferPathChars];
    GetDlgItemTextA(hDlg, IDC_FD_FOLDER, achFolder, sizeof achFolder);
    char achDisplay[MAX_PATH];
    BROWSEINFOA stInfo = {};
    stInfo.hwndOwner = hDlg;
    stInfo.pszDisplayName = achDisplay;
    stInfo.lpszTitle = "Receive files into this folder:";
    stInfo.ulFlags = BIF_RETURNONLYFSDIRS;
    stInfo.lpfn = fnBrowseStart;
    stInfo.lParam = reinterpret_cast<LPARAM>(achFolder);
    LPITEMIDLIST pidl = SHBrowseForFolderA(&stInfo);
    if (pidl == NULL) {
        return;
    }
    char achPath[MAX_PATH];
    if (SHGetPathFromIDListA(pidl, achPath)) {
        SetDlgItemTextA(hDlg, IDC_FD_FOLDER, achPath);
    }
    CoTaskMemFree(pidl);
}

// A dialog of its own, owned by the File Transfer dialog.
void OnRowOptions(HWND hDlg)
{
    DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_XFEROPTIONS), hDlg, fnXferOptionsProc, 0);
}

// ---- Protocol Options dialog (160) ----

void fnShowOptions(HWND hDlg, const XferChoice &st)
{
    SendDlgItemMessageA(hDlg, IDC_XO_XBLOCK, CB_SETCURSEL, st.m_nXmodemVariant, 0);
    CheckDlgButton(hDlg, IDC_XO_ESCAPE, st.m_bEscapeAll ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hDlg, IDC_XO_CRC32, st.m_bCrc32 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hDlg, IDC_XO_AUTOSTART, st.m_bAutoStart ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(hDlg, IDC_XO_WAIT, st.m_dwFirstWait, FALSE);
}

BOOL OnOptionsInit(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    const XferChoice &st = gstDataTrans.m_stXfer;
    fnFillList(hDlg, IDC_XO_XBLOCK, kapszBlocks, 3, st.m_nXmodemVariant);
    fnShowOptions(hDlg, st);
    return TRUE;
}

// A wait out of range is refused with a message; the dialog stays.
void OnOptionsOk(HWND hDlg)
{
    const ZDWORD dwWait = fnGetDlgUint(hDlg, IDC_XO_WAIT);
    if (dwWait < 1 || dwWait > kXferFirstWaitMax) {
        MessageBoxA(hDlg, "The wait for the far end must be 1 to 3600 seconds.", kCaption, MB_OK);
        return;
    }
    XferChoice &st = gstDataTrans.m_stXfer;
    st.m_nXmodemVariant = fnListChoice(hDlg, IDC_XO_XBLOCK);
    st.m_bEscapeAll = IsDlgButtonChecked(hDlg, IDC_XO_ESCAPE) == BST_CHECKED;
    st.m_bCrc32 = IsDlgButtonChecked(hDlg, IDC_XO_CRC32) == BST_CHECKED;
    st.m_bAutoStart = IsDlgButtonChecked(hDlg, IDC_XO_AUTOSTART) == BST_CHECKED;
    st.m_dwFirstWait = dwWait;
    EndDialog(hDlg, 1);
}

BOOL OnOptionsCommand(HWND hDlg, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOptionsOk(hDlg);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    case IDC_XO_DEFAULT:
        fnShowOptions(hDlg, fnDefaultXferChoice());
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

// The user's Documents folder to begin with, as other programs save there;
// the working folder where there is none.
void fnXferRowInit(HWND hDlg)
{
    char *pszFolder = gstXferFolder.m_achFolder;
    if (pszFolder[0] == '\0' && SHGetFolderPathA(NULL, CSIDL_PERSONAL, NULL, 0, pszFolder) != S_OK) {
        GetCurrentDirectoryA(sizeof gstXferFolder.m_achFolder, pszFolder);
    }
    fnFillList(hDlg, IDC_FD_PROTOCOL, kapszProtocols, 4, gstDataTrans.m_stXfer.m_nProtocol);
    SetDlgItemTextA(hDlg, IDC_FD_FOLDER, gstXferFolder.m_achFolder);
    fnShowFolderUse(hDlg);
}

BOOL fnXferRowCommand(HWND hDlg, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_FD_PROTOCOL:
        if (HIWORD(wParam) == CBN_SELENDOK || HIWORD(wParam) == CBN_SELCHANGE) {
            fnShowFolderUse(hDlg);
        }
        return TRUE;
    case IDC_FD_OPTIONS:
        OnRowOptions(hDlg);
        return TRUE;
    case IDC_FD_BROWSE:
        OnRowBrowse(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL fnXferRowCommit(HWND hDlg, LONG nDirection)
{
    const ZDWORD nProtocol = fnListChoice(hDlg, IDC_FD_PROTOCOL);
    char achFolder[kXferPathChars];
    GetDlgItemTextA(hDlg, IDC_FD_FOLDER, achFolder, sizeof achFolder);
    if (nDirection == 1 && nProtocol >= kProtocolYmodem && !fnXferFolderReady(hDlg, achFolder)) {
        return FALSE;
    }
    gstDataTrans.m_stXfer.m_nProtocol = nProtocol;
    lstrcpynA(gstXferFolder.m_achFolder, achFolder, sizeof gstXferFolder.m_achFolder);
    return TRUE;
}

BOOL fnXferFolderReady(HWND hOwner, const char *pszFolder)
{
    const DWORD dwAttributes = GetFileAttributesA(pszFolder);
    if (pszFolder[0] != '\0' && dwAttributes != INVALID_FILE_ATTRIBUTES &&
        (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return TRUE;
    }
    char achText[kXferPathChars + 64];
    wsprintfA(achText, "The folder to receive into does not exist:\r\n%s", pszFolder);
    MessageBoxA(hOwner, achText, kCaption, MB_OK);
    return FALSE;
}

INT_PTR CALLBACK fnXferOptionsProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnOptionsInit(hDlg);
    case WM_COMMAND:
        return OnOptionsCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}
