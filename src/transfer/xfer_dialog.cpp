#include "xfer_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include "dialog_place.h"
#include "file_transfer.h"
#include "resource.h"
#include "settings.h"
#include "ui_state.h"
#include "xfer_options.h"
#include "xfer_thread.h"

namespace {

const char kCaption[] = "ZEVRIK";
const char *const kapszProtocol[] = {"", "XMODEM", "YMODEM", "ZMODEM"};
const ZDWORD kProtocolXmodem = 1;
const ZDWORD kProtocolZmodem = 3;
const int kBarSteps = 1000;
const int kTextChars = 64;
const int kReportChars = 1024;

struct XferDialogRecord {
    HWND m_hDlg;
    BOOL m_bCancelling;
    XferJob m_stJob;
    XferFileList m_stList;
    XferFileSource m_stSource;
    XferFileSink m_stSink;
    XferOutcome m_stOut;
    ULONGLONG m_qwSendTotal;
    char m_achSavePath[kXferPathChars];
    char m_achWhy[kXferWhyChars];
};

XferDialogRecord gstXferDlg;

XferSettings fnSettingsOf(const XferChoice &stChoice, ZDWORD nProtocol)
{
    XferSettings st = fnXferDefaultSettings();
    st.m_nProtocol = nProtocol == kProtocolXmodem   ? kXferXmodem
                     : nProtocol == kProtocolZmodem ? kXferZmodem
                                                    : kXferYmodem;
    st.m_nXmodemVariant = static_cast<XmodemVariant>(stChoice.m_nXmodemVariant);
    st.m_bZmodemEscapeAll = stChoice.m_bEscapeAll != 0;
    st.m_bZmodemCrc32 = stChoice.m_bCrc32 != 0;
    st.m_dwFirstWaitSeconds = stChoice.m_dwFirstWait;
    st.m_bAutoStart = stChoice.m_bAutoStart != 0;
    return st;
}

void fnBeginJob(ZDWORD nProtocol, BOOL bSend)
{
    XferDialogRecord &st = gstXferDlg;
    st.m_stJob = XferJob();
    st.m_stJob.m_stSet = fnSettingsOf(gstDataTrans.m_stXfer, nProtocol);
    st.m_stJob.m_bSend = bSend != FALSE;
    st.m_stOut = XferOutcome();
    st.m_stOut.m_pszProtocol = kapszProtocol[nProtocol];
    st.m_stOut.m_bSend = bSend != FALSE;
    st.m_qwSendTotal = 0;
}

void fnFillChooser(OPENFILENAMEA &stOfn, HWND hOwner, char *pchFile, DWORD cchFile, const char *pszTitle,
                   DWORD dwFlags)
{
    static const char kachAllFiles[] = "*.*\0*.*\0";
    stOfn = OPENFILENAMEA();
    stOfn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    stOfn.hwndOwner = hOwner;
    stOfn.lpstrFilter = kachAllFiles;
    stOfn.nFilterIndex = 1;
    stOfn.lpstrFile = pchFile;
    stOfn.nMaxFile = cchFile;
    stOfn.lpstrTitle = pszTitle;
    stOfn.Flags = dwFlags | OFN_HIDEREADONLY | OFN_EXPLORER;
    // One file comes back as "path\0" alone: the empty name after it that
    // ends the list is the one left here.
    ZeroMemory(pchFile, cchFile);
}

// XMODEM carries one file; the others a batch of several.
BOOL fnChooseSendFiles(HWND hMain, ZDWORD nProtocol)
{
    static const char *const kapszTitle[] = {"", "Send a File with XMODEM", "Send Files with YMODEM",
                                             "Send Files with ZMODEM"};
    XferDialogRecord &st = gstXferDlg;
    OPENFILENAMEA stOfn;
    const DWORD dwMulti = nProtocol == kProtocolXmodem ? 0 : OFN_ALLOWMULTISELECT;
    // The chooser never reaches the last character, so the list always ends.
    fnFillChooser(stOfn, hMain, st.m_stList.m_achList, kXferListChars - 1, kapszTitle[nProtocol],
                  OFN_FILEMUSTEXIST | dwMulti);
    return GetOpenFileNameA(&stOfn);
}

BOOL fnChooseSaveFile(HWND hMain)
{
    OPENFILENAMEA stOfn;
    fnFillChooser(stOfn, hMain, gstXferDlg.m_achSavePath, kXferPathChars, "Receive a File with XMODEM",
                  OFN_OVERWRITEPROMPT);
    return GetSaveFileNameA(&stOfn);
}

// ---- Progress dialog (161) ----

void fnSetNumber(HWND hDlg, int iId, DWORD dwValue)
{
    SetDlgItemInt(hDlg, iId, dwValue, FALSE);
}

void fnShowState(HWND hDlg, const XferSnapshot &stSnap)
{
    const bool bSend = gstXferDlg.m_stJob.m_bSend;
    const char *pszState = bSend ? "Sending" : "Receiving";
    if (gstXferDlg.m_bCancelling) {
        pszState = "Cancelling: the far end is told to stop";
    } else if (stSnap.m_dwMs == 0) {
        pszState = bSend ? "Waiting for the receiver to start" : "Waiting for the sender to start";
    }
    SetDlgItemTextA(hDlg, IDC_XP_STATE, pszState);
}

void fnShowFile(HWND hDlg, const XferProgress &stProg)
{
    if (stProg.m_achName[0] != '\0') {
        SetDlgItemTextA(hDlg, IDC_XP_FILE, stProg.m_achName);
    }
    char ach[kTextChars] = "";
    const DWORD dwCount = fnXferListCount(gstXferDlg.m_stList);
    if (!gstXferDlg.m_stJob.m_bSend) {
        wsprintfA(ach, "file %lu", static_cast<unsigned long>(stProg.m_dwFiles));
    } else if (dwCount > 1) {
        wsprintfA(ach, "%lu of %lu", static_cast<unsigned long>(stProg.m_dwFiles),
                  static_cast<unsigned long>(dwCount));
    }
    SetDlgItemTextA(hDlg, IDC_XP_FILES, ach);
}

// The batch's total when the far end or the chooser gave it, else the file's.
void fnShowBytes(HWND hDlg, const XferSnapshot &stSnap)
{
    const XferProgress &stProg = stSnap.m_stProg;
    ULONGLONG qwTotal = gstXferDlg.m_stJob.m_bSend ? gstXferDlg.m_qwSendTotal : stProg.m_qwBatchSize;
    bool bKnown = qwTotal != 0 || gstXferDlg.m_stJob.m_bSend;
    if (!bKnown && stProg.m_bSizeKnown) {
        qwTotal = stProg.m_qwFileSize;
        bKnown = true;
    }
    const ULONGLONG qwDone = stProg.m_qwBatchDone;
    char ach[kTextChars];
    fnXferBytesText(qwDone, qwTotal, bKnown, ach, sizeof ach);
    SetDlgItemTextA(hDlg, IDC_XP_BYTES, ach);
    const ULONGLONG qwStep = bKnown && qwTotal > 0 ? qwDone * kBarSteps / qwTotal : 0;
    SendDlgItemMessageA(hDlg, IDC_XP_BAR, PBM_SETPOS, static_cast<WPARAM>(qwStep), 0);
    fnXferRateText(qwDone, stSnap.m_dwMs, ach, sizeof ach);
    SetDlgItemTextA(hDlg, IDC_XP_RATE, ach);
    if (bKnown && qwTotal >= qwDone) {
        fnXferTimeLeftText(qwTotal - qwDone, qwDone, stSnap.m_dwMs, ach, sizeof ach);
    } else {
        lstrcpynA(ach, "-", sizeof ach);
    }
    SetDlgItemTextA(hDlg, IDC_XP_LEFT, ach);
}

void fnShowSnapshot(HWND hDlg, const XferSnapshot &stSnap)
{
    const XferProgress &stProg = stSnap.m_stProg;
    fnShowState(hDlg, stSnap);
    fnShowFile(hDlg, stProg);
    fnShowBytes(hDlg, stSnap);
    fnSetNumber(hDlg, IDC_XP_BLOCKS, stProg.m_dwBlocks);
    fnSetNumber(hDlg, IDC_XP_RETRIES, stProg.m_dwRetries);
    fnSetNumber(hDlg, IDC_XP_ERRORS, stProg.m_dwErrors);
}

// The file XMODEM receives is known before the sender starts.
void fnShowStart(HWND hDlg)
{
    XferDialogRecord &st = gstXferDlg;
    char achCaption[kTextChars];
    wsprintfA(achCaption, "%s %s - %s", st.m_stOut.m_pszProtocol, st.m_stJob.m_bSend ? "Send" : "Receive",
              gstCommx.m_achCurCommNumShort);
    SetWindowTextA(hDlg, achCaption);
    SendDlgItemMessageA(hDlg, IDC_XP_BAR, PBM_SETRANGE32, 0, kBarSteps);
    if (!st.m_stJob.m_bSend && st.m_stSink.m_achPath[0] != '\0') {
        SetDlgItemTextA(hDlg, IDC_XP_FILE, st.m_stSink.m_achPath);
    }
    fnShowSnapshot(hDlg, XferSnapshot());
}

BOOL OnProgressInit(HWND hDlg)
{
    XferDialogRecord &st = gstXferDlg;
    fnCentreOverOwner(hDlg);
    st.m_hDlg = hDlg;
    st.m_bCancelling = FALSE;
    st.m_stJob.m_hDlg = hDlg;
    fnShowStart(hDlg);
    if (!fnXferThreadStart(st.m_stJob)) {
        st.m_stOut.m_pszGlueReason = "no worker thread could be started";
        EndDialog(hDlg, 0);
    }
    return TRUE;
}

void OnProgressShow(HWND hDlg)
{
    XferSnapshot stSnap;
    fnXferThreadSnapshot(stSnap);
    fnShowSnapshot(hDlg, stSnap);
}

// What a send got through: the files acknowledged whole, and how far the
// file in hand went when it failed. A receive's files are counted by its
// sink as they are written.
void fnCountSent(XferOutcome &stOut, const XferProgress &stProg, bool bSuccess)
{
    const DWORD dwTaken = stProg.m_dwFiles - stProg.m_dwFilesSkipped;
    stOut.m_dwSkipped = stProg.m_dwFilesSkipped;
    stOut.m_bCut = !bSuccess && dwTaken > 0;
    stOut.m_dwFiles = stOut.m_bCut ? dwTaken - 1 : dwTaken;
    stOut.m_qwBytes = stOut.m_bCut ? stProg.m_qwBatchDone - stProg.m_qwFileDone : stProg.m_qwBatchDone;
    if (stOut.m_bCut) {
        lstrcpynA(stOut.m_achCutName, stProg.m_achName, sizeof stOut.m_achCutName);
        stOut.m_qwCutDone = stProg.m_qwFileDone;
        stOut.m_qwCutSize = stProg.m_qwFileSize;
    }
}

void OnProgressEnded(HWND hDlg)
{
    XferDialogRecord &st = gstXferDlg;
    XferEndInfo stEnd;
    fnXferThreadFinish(stEnd);
    fnShowSnapshot(hDlg, stEnd.m_stLast);
    st.m_stOut.m_nResult = stEnd.m_nResult;
    st.m_stOut.m_pszGlueReason = stEnd.m_pszGlueReason;
    st.m_stOut.m_dwMs = stEnd.m_stLast.m_dwMs;
    if (st.m_stJob.m_bSend) {
        const bool bSuccess = stEnd.m_nResult == kXferSuccess && stEnd.m_pszGlueReason == NULL;
        fnCountSent(st.m_stOut, stEnd.m_stLast.m_stProg, bSuccess);
    }
    EndDialog(hDlg, 1);
}

// Cancel and Esc: the worker sends the abort and ends, and its end closes
// the dialog; Enter (IDOK without a button) does nothing.
BOOL OnProgressCommand(HWND hDlg, WPARAM wParam)
{
    if (LOWORD(wParam) != IDCANCEL) {
        return LOWORD(wParam) == IDOK;
    }
    if (!gstXferDlg.m_bCancelling) {
        gstXferDlg.m_bCancelling = TRUE;
        EnableWindow(GetDlgItem(hDlg, IDCANCEL), FALSE);
        SetDlgItemTextA(hDlg, IDC_XP_STATE, "Cancelling: the far end is told to stop");
        fnXferThreadCancel();
    }
    return TRUE;
}

// ---- The run ----

int fnRunProgress(HWND hMain)
{
    XferDialogRecord &st = gstXferDlg;
    INITCOMMONCONTROLSEX stInit = {sizeof stInit, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&stInit);
    st.m_stJob.m_pSource = &st.m_stSource;
    st.m_stJob.m_pSink = &st.m_stSink;
    DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_XFERPROGRESS), hMain, fnXferProgressProc, 0);
    fnXferSourceEnd(st.m_stSource);
    char achReport[kReportChars];
    fnXferReportText(st.m_stOut, achReport, sizeof achReport);
    const bool bSuccess = st.m_stOut.m_nResult == kXferSuccess && st.m_stOut.m_pszGlueReason == NULL;
    MessageBoxA(hMain, achReport, kCaption, MB_OK | (bSuccess ? MB_ICONINFORMATION : MB_ICONWARNING));
    return kFileJobRan;
}

int fnStartSend(HWND hMain, ZDWORD nProtocol)
{
    XferDialogRecord &st = gstXferDlg;
    if (!fnChooseSendFiles(hMain, nProtocol)) {
        return kFileJobCancelled;
    }
    if (!fnXferSourceBegin(st.m_stSource, st.m_stList, &st.m_qwSendTotal, st.m_achWhy)) {
        MessageBoxA(hMain, st.m_achWhy, kCaption, MB_OK);
        return kFileJobOpenFailed;
    }
    return fnRunProgress(hMain);
}

// XMODEM asks for the file; a batch goes into the folder.
int fnStartReceive(HWND hMain, ZDWORD nProtocol)
{
    XferDialogRecord &st = gstXferDlg;
    st.m_stList.m_achList[0] = '\0';
    st.m_achSavePath[0] = '\0';
    if (nProtocol == kProtocolXmodem) {
        if (!fnChooseSaveFile(hMain)) {
            return kFileJobCancelled;
        }
        fnXferSinkBegin(st.m_stSink, NULL, st.m_achSavePath, &st.m_stOut);
    } else {
        if (!fnXferFolderReady(hMain, gstXferFolder.m_achFolder)) {
            return kFileJobOpenFailed;
        }
        fnXferSinkBegin(st.m_stSink, gstXferFolder.m_achFolder, NULL, &st.m_stOut);
    }
    return fnRunProgress(hMain);
}

} // namespace

int fnRunProtocolTransfer(HWND hMain, BOOL bSend)
{
    const ZDWORD nProtocol = gstDataTrans.m_stXfer.m_nProtocol;
    if (nProtocol < kProtocolXmodem || nProtocol > kProtocolZmodem) {
        return kFileJobCancelled;
    }
    fnBeginJob(nProtocol, bSend);
    return bSend ? fnStartSend(hMain, nProtocol) : fnStartReceive(hMain, nProtocol);
}

int fnRunXferAutoStart(HWND hMain)
{
    const BOOL bFree = IsWindowEnabled(hMain) && gstCommx.m_bCommOpen != 0;
    if (!bFree || gstDataTrans.m_stXfer.m_bAutoStart == 0) {
        return kFileJobCancelled;
    }
    fnBeginJob(kProtocolZmodem, FALSE);
    return fnStartReceive(hMain, kProtocolZmodem);
}

INT_PTR CALLBACK fnXferProgressProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnProgressInit(hDlg);
    case kWmXferProgress:
        OnProgressShow(hDlg);
        return TRUE;
    case kWmXferEnded:
        OnProgressEnded(hDlg);
        return TRUE;
    case WM_COMMAND:
        return OnProgressCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}
