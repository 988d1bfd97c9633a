#include "about_dialog.h"

#include <cstring>

#include "dialog_place.h"
#include "resource.h"
#include "ui_state.h"

AboutRecord gstAbout;
WORD gwAboutIconId = IDI_ZEVRIK;
UINT_PTR guAboutTimer = 0;

namespace {

const int kControlCount = 7;
const int kaiControlIds[kControlCount] = {IDC_AB_TEXT0, IDC_AB_TEXT1,   IDC_AB_TEXT2, IDC_AB_TEXT3,
                                          IDC_AB_TEXT4, IDC_AB_CAPTION, IDC_AB_ICON};

const UINT_PTR kuAnimTimer = 2;
const UINT kuAnimMs = 300;
const int kCaptionPoints = 14;
const LONG klBold = 700;

static_assert(sizeof(void *) != 4 || sizeof(CHOOSEFONTA) == 60, "the font record of 32-bit Windows");

// Animation icons follow the program icon; the first frame (141) is not part of it.
const WORD kwFirstAnimIcon = IDI_FRAME02;
const WORD kwLastAnimIcon = IDI_FRAME10;

WORD fnNextIcon(WORD wIcon)
{
    if (wIcon == IDI_ZEVRIK) {
        return kwFirstAnimIcon;
    }
    if (wIcon >= kwFirstAnimIcon && wIcon < kwLastAnimIcon) {
        return static_cast<WORD>(wIcon + 1);
    }
    if (wIcon == kwLastAnimIcon) {
        return IDI_ZEVRIK;
    }
    return wIcon;
}

void fnSetTexts(HWND hDlg)
{
    for (int i = 0; i < kAboutTexts; ++i) {
        SetDlgItemTextA(hDlg, kaiControlIds[i], gstAbout.m_aachText[i]);
    }
}

// 14 points in the caption control's own resolution, as a character height.
void fnMakeCaptionFont()
{
    HWND hCaption = GetDlgItem(gstAbout.m_hDlg, IDC_AB_CAPTION);
    gstAbout.m_hCaptionDc = GetDC(hCaption);
    gstAbout.m_stLogFont.lfHeight =
        -MulDiv(gstAbout.m_stChooseFont.iPointSize, GetDeviceCaps(gstAbout.m_hCaptionDc, LOGPIXELSY), 72);
    ReleaseDC(hCaption, gstAbout.m_hCaptionDc);
    gstAbout.m_hCaptionDc = NULL;
    gstAbout.m_hCaptionFont = CreateFontIndirectA(&gstAbout.m_stLogFont);
    SendMessageA(hCaption, WM_SETFONT, reinterpret_cast<WPARAM>(gstAbout.m_hCaptionFont), 1);
}

BOOL OnInitDialog(HWND hDlg)
{
    fnCentreOverOwner(hDlg);
    gstAbout.m_hDlg = hDlg;
    for (int i = 0; i < kControlCount; ++i) {
        gstAbout.m_ahCtl[i] = GetDlgItem(hDlg, kaiControlIds[i]);
    }
    fnSetTexts(hDlg);
    fnMakeCaptionFont();
    guAboutTimer = SetTimer(hDlg, kuAnimTimer, kuAnimMs, NULL);
    gwAboutIconId = IDI_ZEVRIK;
    return TRUE;
}

void OnTimer()
{
    gwAboutIconId = fnNextIcon(gwAboutIconId);
    HICON hIcon = LoadIconA(ghInstance, MAKEINTRESOURCEA(gwAboutIconId));
    SendDlgItemMessageA(gstAbout.m_hDlg, IDC_AB_ICON, STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
}

void OnPaint(HWND hDlg)
{
    PAINTSTRUCT stPaint;
    gstAbout.m_hPaintDc = BeginPaint(hDlg, &stPaint);
    HPEN hPen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HGDIOBJ hOldPen = SelectObject(gstAbout.m_hPaintDc, hPen);
    MoveToEx(gstAbout.m_hPaintDc, 24, 92, NULL);
    LineTo(gstAbout.m_hPaintDc, 240, 92);
    SelectObject(gstAbout.m_hPaintDc, hOldPen);
    DeleteObject(hPen);
    EndPaint(hDlg, &stPaint);
}

void fnEnd(HWND hDlg, INT_PTR iResult)
{
    KillTimer(hDlg, guAboutTimer);
    EndDialog(hDlg, iResult);
}

// The caption font lives as long as the control that shows it.
void OnDestroy()
{
    if (gstAbout.m_hCaptionFont != NULL) {
        DeleteObject(gstAbout.m_hCaptionFont);
        gstAbout.m_hCaptionFont = NULL;
    }
}

BOOL OnCommand(HWND hDlg, WPARAM wParam)
{
    switch (wParam) {
    case IDOK:
        fnEnd(hDlg, 1);
        return TRUE;
    case IDCANCEL:
        fnEnd(hDlg, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

AboutRecord::AboutRecord()
    : m_hDlg(NULL), m_ahCtl(), m_hPaintDc(NULL), m_hCaptionDc(NULL), m_stChooseFont(), m_stLogFont(),
      m_hCaptionFont(NULL), m_aachText{"ZEVRIK  Ver2.00", "Serial port terminal", "for 32-bit Windows",
                                       "COM1 to COM256",  "Text and HEX views",   "V2.0"}
{
    m_stChooseFont.lStructSize = sizeof m_stChooseFont;
    m_stChooseFont.lpLogFont = &m_stLogFont;
    m_stChooseFont.iPointSize = kCaptionPoints;
    m_stChooseFont.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS;
    m_stLogFont.lfWeight = klBold;
    std::memcpy(m_stLogFont.lfFaceName, "Verdana", sizeof "Verdana");
}

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_TIMER:
        OnTimer();
        return TRUE;
    case WM_PAINT:
        OnPaint(hDlg);
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return TRUE;
    case WM_COMMAND:
        return OnCommand(hDlg, wParam);
    default:
        return FALSE;
    }
}

INT_PTR fnAboutDialog(HWND hOwner)
{
    return DialogBoxParamA(ghInstance, MAKEINTRESOURCEA(IDD_ABOUT), hOwner, AboutDlgProc, 0);
}
