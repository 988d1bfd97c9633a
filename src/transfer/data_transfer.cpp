#include "data_transfer.h"

#include <cstring>

#include "ccc.h"
#include "dialog_place.h"
#include "hex_text.h"
#include "resource.h"
#include "rx_check.h"
#include "settings.h"
#include "worker_sync.h"

namespace {

const int kBoxChars = 512;
const int kRangeBoxChars = 32;
// Three characters per byte and the terminator, for every byte a pattern holds.
const int kHexShowChars = kPatternBytes * 3 + 1;

const int kaiControlIds[11] = {IDC_DT_ASCII,     IDC_DT_HEX,          IDC_DT_RANGE,    IDC_DT_UNTIL_BREAK,
                               IDC_DT_REPEAT,    IDC_DT_ASCII_TEXT,   IDC_DT_HEX_TEXT, IDC_DT_RANGE_START,
                               IDC_DT_RANGE_END, IDC_DT_REPEAT_COUNT, IDC_DT_INTERVAL};

// One byte parsed from a range box.
struct RangeByte {
    int iCode;
    ZDWORD dwCount;
    ZBYTE byFirst;
};

void fnEnable(HWND hDlg, int iId, bool bOn)
{
    EnableWindow(GetDlgItem(hDlg, iId), bOn ? TRUE : FALSE);
}

const char *const kapszPrbs[3] = {"PRBS-7", "PRBS-15", "PRBS-23"};
const LRESULT kPrbsFirstOffer = 1; // PRBS-15 until one is chosen

// The choice shown: a pattern (0 to 2) or the sequence (kChoicePrbs).
const ZDWORD kChoicePrbs = 3;

ZDWORD fnChoiceOf(const PatternBlock &st)
{
    return st.m_nPrbs != 0 ? kChoicePrbs : st.m_nPattern;
}

void fnEnablePatternBoxes(HWND hDlg, ZDWORD nChoice)
{
    fnEnable(hDlg, IDC_DT_ASCII_TEXT, nChoice == 0);
    fnEnable(hDlg, IDC_DT_HEX_TEXT, nChoice == 1);
    fnEnable(hDlg, IDC_DT_RANGE_START, nChoice == 2);
    fnEnable(hDlg, IDC_DT_RANGE_END, nChoice == 2);
    fnEnable(hDlg, IDC_DT_PRBS_KIND, nChoice == kChoicePrbs);
}

void fnShowPattern(HWND hDlg, const PatternBlock &st)
{
    const ZDWORD nChoice = fnChoiceOf(st);
    CheckDlgButton(hDlg, IDC_DT_ASCII, nChoice == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hDlg, IDC_DT_HEX, nChoice == 1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hDlg, IDC_DT_RANGE, nChoice == 2 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hDlg, IDC_DT_PRBS, nChoice == kChoicePrbs ? BST_CHECKED : BST_UNCHECKED);
    for (const char *psz : kapszPrbs) {
        SendDlgItemMessageA(hDlg, IDC_DT_PRBS_KIND, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(psz));
    }
    SendDlgItemMessageA(hDlg, IDC_DT_PRBS_KIND, CB_SETCURSEL,
                        st.m_nPrbs != 0 ? static_cast<WPARAM>(st.m_nPrbs - 1) : kPrbsFirstOffer, 0);
    fnEnablePatternBoxes(hDlg, nChoice);
}

ZDWORD fnChosenPrbs(HWND hDlg)
{
    const LRESULT lSel = SendDlgItemMessageA(hDlg, IDC_DT_PRBS_KIND, CB_GETCURSEL, 0, 0);
    return lSel >= 0 && lSel < 3 ? static_cast<ZDWORD>(lSel + 1) : static_cast<ZDWORD>(kPrbsFirstOffer + 1);
}

void fnShowCountMode(HWND hDlg, ZDWORD nCountMode)
{
    CheckDlgButton(hDlg, IDC_DT_UNTIL_BREAK, nCountMode == 0 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hDlg, IDC_DT_REPEAT, nCountMode == 1 ? BST_CHECKED : BST_UNCHECKED);
    fnEnable(hDlg, IDC_DT_REPEAT_COUNT, nCountMode == 1);
}

void fnShowRangeByte(HWND hDlg, int iId, ZBYTE by)
{
    char achText[3];
    fnByteToHexStr(&by, achText);
    SetDlgItemTextA(hDlg, iId, achText);
}

void fnShowTexts(HWND hDlg, PatternBlock &stEdit)
{
    ZDWORD dwAsciiLen = stEdit.m_dwAsciiLen < kPatternBytes ? stEdit.m_dwAsciiLen : kPatternBytes - 1;
    stEdit.m_achAscii[dwAsciiLen] = '\0';
    SetDlgItemTextA(hDlg, IDC_DT_ASCII_TEXT, stEdit.m_achAscii);

    char achHex[kHexShowChars] = {};
    ZDWORD dwHexLen = stEdit.m_dwHexLen < kPatternBytes ? stEdit.m_dwHexLen : kPatternBytes;
    fnBufToHexStr(stEdit.m_abyHex, achHex, dwHexLen);
    SetDlgItemTextA(hDlg, IDC_DT_HEX_TEXT, achHex);

    fnShowRangeByte(hDlg, IDC_DT_RANGE_START, stEdit.m_byRangeStart);
    fnShowRangeByte(hDlg, IDC_DT_RANGE_END, stEdit.m_byRangeEnd);
    SetDlgItemInt(hDlg, IDC_DT_REPEAT_COUNT, stEdit.m_dwRepeatCount, FALSE);
    SetDlgItemInt(hDlg, IDC_DT_INTERVAL, stEdit.m_dwInterval, FALSE);
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstDataTrans.m_hDlg = hDlg;
    for (int i = 0; i < 11; ++i) {
        gstDataTrans.m_ahCtl[i] = GetDlgItem(hDlg, kaiControlIds[i]);
    }
    gstDataTrans.m_stEdit = gstDataTrans.m_stCur;
    fnShowPattern(hDlg, gstDataTrans.m_stEdit);
    fnShowCountMode(hDlg, gstDataTrans.m_stEdit.m_nCountMode);
    fnShowTexts(hDlg, gstDataTrans.m_stEdit);
    return TRUE;
}

RangeByte fnReadRangeByte(HWND hDlg, int iId)
{
    char achText[kRangeBoxChars] = {};
    ZBYTE abyOut[(kRangeBoxChars + 1) / 2] = {};
    RangeByte stByte = {};
    GetDlgItemTextA(hDlg, iId, achText, kRangeBoxChars);
    stByte.iCode = fnHexStrToBuf(achText, abyOut, &stByte.dwCount, kRangeBoxChars);
    stByte.byFirst = abyOut[0];
    return stByte;
}

bool fnIsOneByte(const RangeByte &stByte)
{
    return stByte.iCode == kHexOk && stByte.dwCount == 1;
}

// Every box is checked, whatever pattern is chosen; only the chosen pattern's
// results are reported.
void fnCheckBoxes(HWND hDlg)
{
    char achText[kBoxChars] = {};
    gstDataTrans.m_bAsciiEmpty = GetDlgItemTextA(hDlg, IDC_DT_ASCII_TEXT, achText, kBoxChars) == 0;
    GetDlgItemTextA(hDlg, IDC_DT_HEX_TEXT, achText, kBoxChars);
    gstDataTrans.m_nHexCheck = static_cast<ZDWORD>(fnCheckHexStr(achText, kBoxChars));

    RangeByte stStart = fnReadRangeByte(hDlg, IDC_DT_RANGE_START);
    RangeByte stEnd = fnReadRangeByte(hDlg, IDC_DT_RANGE_END);
    // The To byte is compared with the first byte the Start parse produced,
    // even a parse that then failed (0 when it produced none).
    gstDataTrans.m_bRangeStartErr = !fnIsOneByte(stStart);
    gstDataTrans.m_bRangeEndErr = !(fnIsOneByte(stEnd) && stEnd.byFirst >= stStart.byFirst);

    gstDataTrans.m_bRepeatZero = fnGetDlgUint(hDlg, IDC_DT_REPEAT_COUNT) == 0;
}

void fnReportInput(HWND hDlg, const char *pszText)
{
    MessageBoxA(hDlg, pszText, gstCommx.m_achCurCommNumShort, MB_OK);
    gstDataTrans.m_bInputErr = 1;
}

void fnReportHexCheck(HWND hDlg)
{
    switch (gstDataTrans.m_nHexCheck) {
    case kHexTooLong:
        fnReportInput(hDlg, "HEX Box Input String is Too Long!");
        break;
    case kHexIllegal:
        fnReportInput(hDlg, "HEX Box Input String is illegal!");
        break;
    case kHexNothing:
        fnReportInput(hDlg, "HEX Box Input String is Nothing!");
        break;
    default:
        break;
    }
}

void fnReportChecks(HWND hDlg)
{
    gstDataTrans.m_bInputErr = 0;
    switch (fnChoiceOf(gstDataTrans.m_stEdit)) {
    case 0:
        if (gstDataTrans.m_bAsciiEmpty) {
            fnReportInput(hDlg, "ASCII Box Must Input Content!");
        }
        break;
    case 1:
        fnReportHexCheck(hDlg);
        break;
    case 2:
        if (gstDataTrans.m_bRangeStartErr) {
            fnReportInput(hDlg, "Rang Start Box Input Error!");
        }
        if (gstDataTrans.m_bRangeEndErr) {
            fnReportInput(hDlg, "Rang To Box Input Error!");
        }
        break;
    default:
        break;
    }
    if (gstDataTrans.m_stEdit.m_nCountMode == 1 && gstDataTrans.m_bRepeatZero) {
        fnReportInput(hDlg, "Repeat Count Box can not be 0 !");
    }
}

// A range box that gives no byte (possible only while another pattern is
// chosen) keeps the byte it held.
void fnReadRangeInto(HWND hDlg, int iId, ZBYTE *pby)
{
    RangeByte stByte = fnReadRangeByte(hDlg, iId);
    if (stByte.dwCount >= 1) {
        *pby = stByte.byFirst;
    }
}

void fnReadChoices(HWND hDlg, PatternBlock &stEdit)
{
    stEdit.m_nPrbs = IsDlgButtonChecked(hDlg, IDC_DT_PRBS) == BST_CHECKED ? fnChosenPrbs(hDlg) : 0;
    if (IsDlgButtonChecked(hDlg, IDC_DT_ASCII) == BST_CHECKED) {
        stEdit.m_nPattern = 0;
    } else if (IsDlgButtonChecked(hDlg, IDC_DT_HEX) == BST_CHECKED) {
        stEdit.m_nPattern = 1;
    } else if (IsDlgButtonChecked(hDlg, IDC_DT_RANGE) == BST_CHECKED) {
        stEdit.m_nPattern = 2;
    }
    if (IsDlgButtonChecked(hDlg, IDC_DT_UNTIL_BREAK) == BST_CHECKED) {
        stEdit.m_nCountMode = 0;
    } else if (IsDlgButtonChecked(hDlg, IDC_DT_REPEAT) == BST_CHECKED) {
        stEdit.m_nCountMode = 1;
    }
}

void fnReadBoxes(HWND hDlg, PatternBlock &stEdit)
{
    fnReadChoices(hDlg, stEdit);
    stEdit.m_dwAsciiLen =
        static_cast<ZDWORD>(GetDlgItemTextA(hDlg, IDC_DT_ASCII_TEXT, stEdit.m_achAscii, kBoxChars));

    char achHex[kBoxChars] = {};
    GetDlgItemTextA(hDlg, IDC_DT_HEX_TEXT, achHex, kBoxChars);
    fnHexStrToBuf(achHex, stEdit.m_abyHex, &stEdit.m_dwHexLen, kBoxChars);

    fnReadRangeInto(hDlg, IDC_DT_RANGE_START, &stEdit.m_byRangeStart);
    fnReadRangeInto(hDlg, IDC_DT_RANGE_END, &stEdit.m_byRangeEnd);
    stEdit.m_dwRepeatCount = fnGetDlgUint(hDlg, IDC_DT_REPEAT_COUNT);
    stEdit.m_dwInterval = fnGetDlgUint(hDlg, IDC_DT_INTERVAL);
}

void OnOk(HWND hDlg)
{
    fnCheckBoxes(hDlg);
    fnReportChecks(hDlg);
    if (gstDataTrans.m_bInputErr) {
        return;
    }
    fnReadBoxes(hDlg, gstDataTrans.m_stEdit);
    fnKeepUnusedBoxes(gstDataTrans.m_stEdit, gstDataTrans.m_stCur);
    gstDataTrans.m_stCur = gstDataTrans.m_stEdit;
    EndDialog(hDlg, 1);
}

// The sequence keeps the pattern fields as they were, so a file saved with
// it still names a pattern for versions without sequences.
void OnPatternChoice(HWND hDlg, ZDWORD nChoice)
{
    if (nChoice == kChoicePrbs) {
        gstDataTrans.m_stEdit.m_nPrbs = fnChosenPrbs(hDlg);
    } else {
        gstDataTrans.m_stEdit.m_nPattern = nChoice;
        gstDataTrans.m_stEdit.m_nPrbs = 0;
    }
    fnEnablePatternBoxes(hDlg, nChoice);
}

void OnCountChoice(HWND hDlg, ZDWORD nCountMode)
{
    gstDataTrans.m_stEdit.m_nCountMode = nCountMode;
    fnEnable(hDlg, IDC_DT_REPEAT_COUNT, nCountMode == 1);
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        OnOk(hDlg);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, 0);
        return TRUE;
    case IDC_DT_ASCII:
        OnPatternChoice(hDlg, 0);
        return TRUE;
    case IDC_DT_HEX:
        OnPatternChoice(hDlg, 1);
        return TRUE;
    case IDC_DT_RANGE:
        OnPatternChoice(hDlg, 2);
        return TRUE;
    case IDC_DT_PRBS:
        OnPatternChoice(hDlg, kChoicePrbs);
        return TRUE;
    case IDC_DT_UNTIL_BREAK:
        OnCountChoice(hDlg, 0);
        return TRUE;
    case IDC_DT_REPEAT:
        OnCountChoice(hDlg, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

// Copies up to dwLen bytes and a closing zero byte.
ZDWORD fnSetPacket(BYTE *pbyOut, const void *pvBytes, ZDWORD dwLen)
{
    ZDWORD dwCopy = dwLen < kPatternBytes ? dwLen : kPatternBytes;
    std::memcpy(pbyOut, pvBytes, dwCopy);
    pbyOut[dwCopy] = 0;
    return dwCopy;
}

ZDWORD fnSetRangePacket(BYTE *pbyOut, ZBYTE byStart, ZBYTE byEnd)
{
    ZDWORD dwLen = 0;
    for (unsigned uValue = byStart; uValue <= byEnd; ++uValue) {
        pbyOut[dwLen++] = static_cast<BYTE>(uValue);
    }
    return dwLen;
}

// The dialog shows the sequence's first packet; the transmit thread sends
// each packet as the sequence's next bytes.
void fnSetPrbsPacket(TxDataBlock &stData, ZDWORD nPrbs)
{
    PrbsGen stGen = fnPrbsStart(static_cast<RxStreamKind>(nPrbs));
    fnPrbsFill(stGen, stData.m_abyBuf, kPrbsPacket);
    stData.m_dwLen = kPrbsPacket;
}

} // namespace

INT_PTR CALLBACK fnDataTransferProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
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

// Under the hand-over lock: the transmit thread copies the packet under it.
void fnBuildTxData()
{
    const PatternBlock &stCur = gstDataTrans.m_stCur;
    TxDataBlock &stData = gstCcc.m_stTx.m_stData;
    fnHandOverEnter();
    stData.m_nPrbs = static_cast<LONG>(stCur.m_nPrbs);
    if (stCur.m_nPrbs != 0) {
        fnSetPrbsPacket(stData, stCur.m_nPrbs);
    } else {
        stData.m_dwLen = fnPatternBytes(stCur, stData.m_abyBuf);
    }
    fnHandOverLeave();
}

ZDWORD fnPatternBytes(const PatternBlock &st, BYTE *pbyOut)
{
    switch (st.m_nPattern) {
    case 0:
        return fnSetPacket(pbyOut, st.m_achAscii, st.m_dwAsciiLen);
    case 1:
        return fnSetPacket(pbyOut, st.m_abyHex, st.m_dwHexLen);
    case 2:
        return fnSetRangePacket(pbyOut, st.m_byRangeStart, st.m_byRangeEnd);
    default:
        return 0;
    }
}
