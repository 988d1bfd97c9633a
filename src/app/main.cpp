// Entry point: registers the class, creates the centred main window, puts the
// bitmaps on the toolbar buttons, loads a settings file named on the command
// line and runs the message loop.
#include <windows.h>

#include "commands.h"
#include "log_status.h"
#include "log_window.h"
#include "main_window.h"
#include "resource.h"
#include "rxcheck_window.h"
#include "ui_state.h"
#include "window_records.h"

namespace {

const int kMainWidth = 464;
const int kMainHeight = 360;

struct ButtonBitmap {
    int iButton; // index into gstToolbar.m_ahButton
    int iBitmapId;
};

const ButtonBitmap kButtonBitmaps[] = {
    {0, IDB_FILEOPEN}, {1, IDB_FILESAVE}, {2, IDB_EXIT},         {3, IDB_COMOPEN},      {4, IDB_COMCLOSE},
    {5, IDB_COMSET},   {6, IDB_CLEAR},    {7, IDB_FILETRANSFER}, {8, IDB_DATATRANSFER},
};

bool fnRegisterMainClass(HINSTANCE hInstance)
{
    WNDCLASSA &stClass = gstMainWnd.m_stWndClass;
    stClass.style = CS_HREDRAW | CS_VREDRAW;
    stClass.lpfnWndProc = fnMainWndProc;
    stClass.cbClsExtra = 0;
    stClass.cbWndExtra = 0;
    stClass.hInstance = hInstance;
    stClass.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_ZEVRIK));
    stClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    stClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    stClass.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    stClass.lpszClassName = kMainClassName;
    return RegisterClassA(&stClass) != 0;
}

void fnCentreOnScreen()
{
    HDC hScreen = GetDC(NULL);
    gstMainWnd.m_iScreenWidth = GetDeviceCaps(hScreen, HORZRES);
    gstMainWnd.m_iScreenHeight = GetDeviceCaps(hScreen, VERTRES);
    ReleaseDC(NULL, hScreen);
    gstMainWnd.m_iPosX = gstMainWnd.m_iScreenWidth / 2 - kMainWidth / 2;
    gstMainWnd.m_iPosY = gstMainWnd.m_iScreenHeight / 2 - kMainHeight / 2;
}

// The pictures are icons whose background is transparent: the button face
// shows through, and a greyed button draws the picture's outline (a bitmap
// without a mask greys to a filled square).
void fnSetToolbarBitmaps(HINSTANCE hInstance)
{
    for (const ButtonBitmap &stEntry : kButtonBitmaps) {
        HANDLE hIcon = LoadImageA(hInstance, MAKEINTRESOURCEA(stEntry.iBitmapId), IMAGE_ICON, 0, 0, 0);
        SendMessageA(gstToolbar.m_ahButton[stEntry.iButton], BM_SETIMAGE, IMAGE_ICON,
                     reinterpret_cast<LPARAM>(hIcon));
    }
    HANDLE hRxCheck = LoadImageA(hInstance, MAKEINTRESOURCEA(IDB_RXCHECK), IMAGE_ICON, 0, 0, 0);
    SendDlgItemMessageA(gstToolbar.m_hDlg, IDC_TB_RXCHECK, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(hRxCheck));
    HANDLE hLog = LoadImageA(hInstance, MAKEINTRESOURCEA(IDB_LOG), IMAGE_ICON, 0, 0, 0);
    SendDlgItemMessageA(gstToolbar.m_hDlg, IDC_TB_LOG, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(hLog));
    HANDLE hPlot = LoadImageA(hInstance, MAKEINTRESOURCEA(IDB_PLOT), IMAGE_ICON, 0, 0, 0);
    SendDlgItemMessageA(gstToolbar.m_hDlg, IDC_TB_PLOT, BM_SETIMAGE, IMAGE_ICON,
                        reinterpret_cast<LPARAM>(hPlot));
}

int fnRunMessageLoop()
{
    MSG &stMsg = gstMainWnd.m_stMsg;
    while (GetMessageA(&stMsg, NULL, 0, 0) > 0) {
        if (fnRxCheckWindowMessage(&stMsg) || fnLogWindowMessage(&stMsg)) {
            continue;
        }
        TranslateMessage(&stMsg);
        DispatchMessageA(&stMsg);
    }
    return static_cast<int>(stMsg.wParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int nCmdShow)
{
    ghInstance = hInstance;
    if (!fnRegisterMainClass(hInstance)) {
        MessageBoxA(NULL, "INF000:Register Windows Class failed!", kMainTitle, MB_OK);
        return 0;
    }
    fnCentreOnScreen();
    gstMainWnd.m_hWnd =
        CreateWindowExA(0, kMainClassName, kMainTitle, WS_OVERLAPPEDWINDOW, gstMainWnd.m_iPosX,
                        gstMainWnd.m_iPosY, kMainWidth, kMainHeight, NULL, NULL, hInstance, NULL);
    if (gstMainWnd.m_hWnd == NULL) {
        return 0; // without a window the message loop would never end
    }
    ShowWindow(gstMainWnd.m_hWnd, nCmdShow);
    UpdateWindow(gstMainWnd.m_hWnd);
    fnSetToolbarBitmaps(hInstance);
    fnOpenCsiFromCommandLine(gstMainWnd.m_hWnd, pszCmdLine);
    const int iExitCode = fnRunMessageLoop();
    fnLogStopNow(); // the log ends with the program, its file whole
    return iExitCode;
}
