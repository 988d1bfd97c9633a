#include "cominfo_dialog.h"

#include <cstddef>

#include "cominfo_text.h"
#include "dialog_place.h"
#include "resource.h"
#include "rx_watch.h"
#include "settings.h"
#include "ui_state.h"

ComInfoRecord gstComInfo;

namespace {

// The texts are read straight from the structures' bytes, so their layout must
// be the one the line tables describe.
static_assert(sizeof(DCB) == kDcbBytes, "DCB layout");
static_assert(offsetof(DCB, wReserved) == 12 && offsetof(DCB, XonLim) == 14 &&
                  offsetof(DCB, ByteSize) == 18 && offsetof(DCB, XonChar) == 21 &&
                  offsetof(DCB, wReserved1) == 26,
              "DCB layout");
static_assert(sizeof(COMMTIMEOUTS) == kTimeoutsBytes, "COMMTIMEOUTS layout");
static_assert(offsetof(COMMPROP, dwServiceMask) == 4 && offsetof(COMMPROP, wSettableData) == 40 &&
                  offsetof(COMMPROP, dwCurrentTxQueue) == 44 && offsetof(COMMPROP, wcProvChar) == 60 &&
                  sizeof(COMMPROP) >= kCommPropBytes,
              "COMMPROP layout");
static_assert(kDcbInfoLines + kTimeoutsInfoLines + kCommPropInfoLines == kInfoLines, "one slot per line");
static_assert(static_cast<std::size_t>(kInfoLineChars) >= kInfoLineMax, "no line is cut");
static_assert(static_cast<std::size_t>(kDcbInfoLines) * (kInfoLineMax - 1) < kInfoTextChars,
              "whole DCB text fits");

const int kSelCount = 3;

InfoTarget fnTarget(int iFirstLine, char *pchText, std::size_t cchText)
{
    InfoTarget stTarget = {gstCommx.m_aachInfoLine[iFirstLine], kInfoLineChars, pchText, cchText};
    return stTarget;
}

void fnBuildTexts()
{
    fnDcbInfoText(reinterpret_cast<const ZBYTE *>(&gstCommx.m_stDcb),
                  fnTarget(0, gstCommx.m_achDcbInfo, sizeof gstCommx.m_achDcbInfo));
    fnTimeoutsInfoText(
        reinterpret_cast<const ZBYTE *>(&gstCommx.m_stTimeouts),
        fnTarget(kDcbInfoLines, gstCommx.m_achTimeoutsInfo, sizeof gstCommx.m_achTimeoutsInfo));
    fnCommPropInfoText(reinterpret_cast<const ZBYTE *>(&gstCommx.m_stCommProp),
                       fnTarget(kDcbInfoLines + kTimeoutsInfoLines, gstCommx.m_achCommPropInfo,
                                sizeof gstCommx.m_achCommPropInfo));
}

const char *fnSelectedText()
{
    switch (gstComInfo.m_nSel) {
    case 1:
        return gstCommx.m_achTimeoutsInfo;
    case 2:
        return gstCommx.m_achCommPropInfo;
    default:
        return gstCommx.m_achDcbInfo;
    }
}

void fnShowSelected()
{
    SetDlgItemTextA(gstComInfo.m_hDlg, IDC_CI_TEXT, fnSelectedText());
}

void fnShowLineErrors(HWND hDlg)
{
    RxWatchSnapshot stSnap;
    fnRxWatchSnapshot(stSnap);
    char achText[256];
    fnFormatLineErrors(achText, sizeof achText, stSnap.m_stLine);
    SetDlgItemTextA(hDlg, IDC_CI_LINE_ERRORS, achText);
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstComInfo.m_hDlg = hDlg;
    gstComInfo.m_hSelect = GetDlgItem(hDlg, IDC_CI_SELECT);
    gstComInfo.m_hText = GetDlgItem(hDlg, IDC_CI_TEXT);
    for (int i = 0; i < kSelCount; ++i) {
        SendMessageA(gstComInfo.m_hSelect, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(gstComInfo.m_aachSel[i]));
    }
    SendMessageA(gstComInfo.m_hSelect, CB_SETCURSEL, static_cast<WPARAM>(gstComInfo.m_nSel), 0);
    fnBuildTexts();
    fnShowSelected();
    fnShowLineErrors(hDlg);
    return TRUE;
}

void OnSelectionMade()
{
    const LRESULT lSel = SendMessageA(gstComInfo.m_hSelect, CB_GETCURSEL, 0, 0);
    if (lSel >= 0 && lSel < kSelCount) {
        gstComInfo.m_nSel = static_cast<LONG>(lSel);
    }
    fnShowSelected();
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case MAKEWPARAM(IDC_CI_SELECT, CBN_SELENDOK):
        OnSelectionMade();
        return TRUE;
    case IDOK:
        EndDialog(hDlg, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

ComInfoRecord::ComInfoRecord()
    : m_hDlg(NULL), m_hSelect(NULL), m_hText(NULL), m_nSel(0), m_aachSel{"DCB", "COMMTIMEOUTS", "COMMPROP"}
{
}

INT_PTR CALLBACK ComInfoDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
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

INT_PTR fnComInfoDialog(HWND hOwner)
{
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_COMINFO), hOwner, ComInfoDlgProc, 0);
}
