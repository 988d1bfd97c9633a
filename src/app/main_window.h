// The one top-level window: its record, class and procedure.
#ifndef ZEVRIK_MAIN_WINDOW_H
#define ZEVRIK_MAIN_WINDOW_H

#include <windows.h>

extern const char kMainClassName[];
extern const char kMainTitle[];

struct MainWndRecord {
    HWND m_hWnd;
    WNDCLASSA m_stWndClass;
    MSG m_stMsg;
    int m_iScreenWidth;
    int m_iScreenHeight;
    int m_iPosX;
    int m_iPosY;
    LONG m_bShowToolbar;
    LPARAM m_lClientSize; // lParam of the last WM_SIZE
    MainWndRecord();
};

extern MainWndRecord gstMainWnd;

LRESULT CALLBACK fnMainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
