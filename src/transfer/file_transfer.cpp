#include "file_transfer.h"

#include <commctrl.h>

#include "ccc.h"
#include "dialog_place.h"
#include "jobs.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"
#include "window_records.h"
#include "xfer_options.h"

FileDirRecord gstFileDir;

namespace {

const DWORD kChooserNameChars = 260;
const UINT_PTR kRxTimerId = 1;
const UINT kRxTimerMs = 1000;

// Every close leaves INVALID_HANDLE_VALUE behind, so a handle is never
// closed twice.
void fnCloseTransferFile(BOOL bFlush)
{
    if (gstFileTrans.m_hFile == INVALID_HANDLE_VALUE) {
        return;
    }
    if (bFlush) {
        FlushFileBuffers(gstFileTrans.m_hFile);
    }
    CloseHandle(gstFileTrans.m_hFile);
    gstFileTrans.m_hFile = INVALID_HANDLE_VALUE;
}

BOOL fnOpenTransferFile(DWORD dwAccess, DWORD dwCreation)
{
    gstFileTrans.m_hFile =
        CreateFileA(gstFileTrans.m_achFileName, dwAccess, FILE_SHARE_READ, NULL, dwCreation, 0, NULL);
    return gstFileTrans.m_hFile != INVALID_HANDLE_VALUE;
}

// ---- Direction dialog (127) ----

BOOL OnDirInit(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstFileDir.m_hDlg = hDlg;
    gstFileDir.m_hTransmit = GetDlgItem(hDlg, IDC_FD_TRANSMIT);
    gstFileDir.m_hReceive = GetDlgItem(hDlg, IDC_FD_RECEIVE);
    gstFileDir.m_nEditDirection = gstFileDir.m_nDirection;
    if (gstFileDir.m_nEditDirection == 0 || gstFileDir.m_nEditDirection == 1) {
        bool bTransmit = gstFileDir.m_nEditDirection == 0;
        CheckDlgButton(hDlg, IDC_FD_TRANSMIT, bTransmit ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(hDlg, IDC_FD_RECEIVE, bTransmit ? BST_UNCHECKED : BST_CHECKED);
    }
    fnXferRowInit(hDlg);
    return TRUE;
}

void OnDirOk(HWND hDlg)
{
    if (IsDlgButtonChecked(hDlg, IDC_FD_TRANSMIT) == BST_CHECKED) {
        gstFileDir.m_nEditDirection = 0;
    }
    if (IsDlgButtonChecked(hDlg, IDC_FD_RECEIVE) == BST_CHECKED) {
        gstFileDir.m_nEditDirection = 1;
    }
    if (!fnXferRowCommit(hDlg, gstFileDir.m_nEditDirection)) {
        return;
    }
    gstFileDir.m_nDirection = gstFileDir.m_nEditDirection;
    EndDialog(hDlg, 1);
}

BOOL OnDirCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        OnDirOk(hDlg);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    default:
        return fnXferRowCommand(hDlg, wParam);
    }
}

// ---- File Transmit dialog (128) ----

BOOL OnTxInit(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstFileTx.m_hDlg = hDlg;
    gstFileTx.m_hPort = GetDlgItem(hDlg, IDC_FT_PORT);
    gstFileTx.m_hName = GetDlgItem(hDlg, IDC_FT_NAME);
    gstFileTx.m_hSize = GetDlgItem(hDlg, IDC_FT_SIZE);
    gstFileTx.m_hLength = GetDlgItem(hDlg, IDC_FT_LENGTH);
    gstFileTx.m_hProgress = GetDlgItem(hDlg, IDC_FT_PROGRESS);
    SetDlgItemTextA(hDlg, IDC_FT_PORT, gstCommx.m_achCurCommNumShort);
    SetDlgItemTextA(hDlg, IDC_FT_NAME, gstFileTrans.m_achFileName);
    SetDlgItemInt(hDlg, IDC_FT_SIZE, gstFileTrans.m_dwFileSize, FALSE);
    SendMessageA(gstFileTx.m_hProgress, PBM_SETRANGE32, 0, static_cast<LPARAM>(gstFileTrans.m_dwFileSize));
    fnStartFileTx();
    return TRUE;
}

// The button, the Esc key, or the transmit thread at the end of the file or
// after a failed read.
void OnTxCancel(HWND hDlg)
{
    // A lock rather than a close by the worker: the transmit thread reads
    // under the hand-over lock and only while the job is on, and the stop
    // takes that lock, so the file is closed here with no read on it and
    // the next transfer never meets this one's handle.
    fnStopFileTx();
    fnCloseTransferFile(FALSE);
    EndDialog(hDlg, 0);
}

// OK has no button here; Enter sends it anyway. Ending the dialog without
// stopping the job would leave the file sending with nothing to show or stop
// it, so it is ignored.
BOOL OnTxCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        return TRUE;
    case IDCANCEL:
        OnTxCancel(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- File Receive dialog (129) ----

BOOL OnRxInit(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstFileRx.m_hDlg = hDlg;
    gstFileRx.m_hPort = GetDlgItem(hDlg, IDC_FR_PORT);
    gstFileRx.m_hName = GetDlgItem(hDlg, IDC_FR_NAME);
    gstFileRx.m_hLength = GetDlgItem(hDlg, IDC_FR_LENGTH);
    SetDlgItemTextA(hDlg, IDC_FR_PORT, gstCommx.m_achCurCommNumShort);
    SetDlgItemTextA(hDlg, IDC_FR_NAME, gstFileTrans.m_achFileName);
    SetDlgItemInt(hDlg, IDC_FR_LENGTH, 0, FALSE);
    gstFileRx.m_dwIdleSeconds = 0;
    fnStartFileRx();
    gstFileRx.m_uTimer = SetTimer(hDlg, kRxTimerId, kRxTimerMs, NULL);
    return TRUE;
}

// OK, Esc, the idle time-out or the receive thread after a failed write. Once
// the stop has returned, the receive thread shows what it reads and never
// writes the file again, so it can be closed here.
void OnRxEnd(HWND hDlg)
{
    fnStopFileRx();
    fnCloseTransferFile(TRUE);
    KillTimer(hDlg, gstFileRx.m_uTimer);
    EndDialog(hDlg, 1);
}

// The receive thread sets the count back to 0 for every block; the increment
// is atomic so that such a reset is never lost.
void OnRxTimer(HWND hDlg)
{
    volatile LONG *plIdle = reinterpret_cast<volatile LONG *>(&gstFileRx.m_dwIdleSeconds);
    if (static_cast<DWORD>(InterlockedIncrement(plIdle)) < kRxIdleSeconds) {
        return;
    }
    SendMessageA(hDlg, WM_COMMAND, IDOK, 0);
    MessageBoxA(hDlg, "Receive File Timeouts!", gstCommx.m_achCurCommNumShort, MB_OK);
}

BOOL OnRxCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
    case IDCANCEL:
        OnRxEnd(hDlg);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- Choosing and opening the file ----

void fnFillChooser(OPENFILENAMEA &stOfn, HWND hOwner, const char *pszFilter, const char *pszTitle,
                   DWORD dwFlags)
{
    stOfn = OPENFILENAMEA();
    stOfn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    stOfn.hwndOwner = hOwner;
    stOfn.lpstrFilter = pszFilter;
    stOfn.nFilterIndex = 1;
    stOfn.lpstrFile = gstFileTrans.m_achFileName;
    stOfn.nMaxFile = kChooserNameChars;
    stOfn.lpstrTitle = pszTitle;
    stOfn.Flags = dwFlags;
}

int fnStartTransmit(HWND hMain)
{
    if (!GetOpenFileNameA(&gstFileTrans.m_stTxOfn)) {
        return kFileJobCancelled;
    }
    fnCloseTransferFile(FALSE);
    if (!fnOpenTransferFile(GENERIC_READ, OPEN_EXISTING)) {
        MessageBoxA(hMain, "INF016:Open Transmit File Error! CreateFile() Return INVALID_HANDLE_VALUE!",
                    "ZEVRIK", MB_OK);
        return kFileJobOpenFailed;
    }
    gstFileTrans.m_dwFileSize = GetFileSize(gstFileTrans.m_hFile, &gstFileTrans.m_dwFileSizeHigh);
    // Nothing will read a file refused here, so it is not kept open.
    if (gstFileTrans.m_dwFileSizeHigh != 0) {
        MessageBoxA(hMain, "INF015:Transmited File's Size is Larger than 4G!", "ZEVRIK", MB_OK);
        fnCloseTransferFile(FALSE);
        return kFileJobTooLarge;
    }
    gstCcc.m_stTx.m_stFile.m_dwSent = 0;
    gstCcc.m_stTx.m_stFile.m_dwRest = 0;
    gstCcc.m_stTx.m_stFile.m_dwRemain = gstFileTrans.m_dwFileSize;
    DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_FILETX), hMain, fnFileTxProc, 0);
    return kFileJobRan;
}

int fnStartReceive(HWND hMain)
{
    if (!GetSaveFileNameA(&gstFileTrans.m_stRxOfn)) {
        return kFileJobCancelled;
    }
    fnCloseTransferFile(FALSE);
    if (!fnOpenTransferFile(GENERIC_WRITE, CREATE_ALWAYS)) {
        MessageBoxA(hMain, "INF017:Open Receive File Error! CreateFile() Return INVALID_HANDLE_VALUE!",
                    "ZEVRIK", MB_OK);
        return kFileJobOpenFailed;
    }
    SetFilePointer(gstFileTrans.m_hFile, 0, NULL, FILE_BEGIN);
    DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_FILERX), hMain, fnFileRxProc, 0);
    return kFileJobRan;
}

} // namespace

INT_PTR CALLBACK fnFileDirProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnDirInit(hDlg);
    case WM_COMMAND:
        return OnDirCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK fnFileTxProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnTxInit(hDlg);
    case WM_COMMAND:
        return OnTxCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK fnFileRxProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnRxInit(hDlg);
    case WM_TIMER:
        OnRxTimer(hDlg);
        return TRUE;
    case WM_COMMAND:
        return OnRxCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}

void fnPrepareFileDialogs(HWND hOwner)
{
    fnFillChooser(gstFileTrans.m_stTxOfn, hOwner, gstFileTrans.m_achTxFilter, "Open Transmit File",
                  OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
    fnFillChooser(gstFileTrans.m_stRxOfn, hOwner, gstFileTrans.m_achRxFilter, "Save Receive File",
                  OFN_CREATEPROMPT | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
}

int fnOpenAndStartFile(HWND hMain)
{
    switch (gstFileDir.m_nDirection) {
    case 0:
        return fnStartTransmit(hMain);
    case 1:
        return fnStartReceive(hMain);
    default:
        return kFileJobCancelled;
    }
}
