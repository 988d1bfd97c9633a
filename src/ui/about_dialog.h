// The About box (resource 121): product texts, a caption in a large bold font
// and the program icon animated through the icons 142 to 150.
#ifndef ZEVRIK_ABOUT_DIALOG_H
#define ZEVRIK_ABOUT_DIALOG_H

#include <windows.h>
#include <commdlg.h>

const int kAboutTexts = 6;

struct AboutRecord {
    HWND m_hDlg;
    HWND m_ahCtl[7]; // 1059, 1060, 1061, 1062, 1065, 1063, 1064
    HDC m_hPaintDc;
    HDC m_hCaptionDc;
    CHOOSEFONTA m_stChooseFont;
    LOGFONTA m_stLogFont;
    HFONT m_hCaptionFont;
    char m_aachText[kAboutTexts][256];
    AboutRecord();
};

extern AboutRecord gstAbout;
extern WORD gwAboutIconId;
extern UINT_PTR guAboutTimer;

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Runs the box modally; 1 for OK, 0 for Escape or the close box.
INT_PTR fnAboutDialog(HWND hOwner);

#endif
