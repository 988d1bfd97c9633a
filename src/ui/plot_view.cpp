#include "plot_view.h"

#include <windowsx.h>

#include <cstdio>

#include "plot_csv.h"
#include "plot_draw.h"
#include "plot_feed.h"
#include "plot_live.h"
#include "plot_scale.h"
#include "plot_window.h"
#include "resource.h"
#include "ui_state.h"

const char kPlotViewClass[] = "ZevrikPlotView";

namespace {

// The X ranges a zoom of a held view keeps within.
const double kdLeastSeconds = 1e-3;
const double kdLeastLines = 2;
const double kdMostX = 1e9;
const double kdLeastY = 1e-9;
const double kdMostY = 1e300;
const double kdZoomIn = 0.8;
const double kdZoomOut = 1.25;
const int kReadoutChars = 1024;

struct PlotViewRecord {
    HFONT m_hFont;
    HDC m_hdcBack;
    HBITMAP m_hbmBack;
    std::uint32_t *m_pdwBack; // its pixels
    HGDIOBJ m_hOldBitmap;
    SIZE m_stBack;
    bool m_bHeld;
    PlotRange m_stHeld; // the range while held
    WORD m_wHidden;
    int m_iCursorX;
    bool m_bDragging;
    POINT m_ptDrag;
    PlotRange m_stDragRange;
    double m_dDragYLow;
    double m_dDragYHigh;
    PlotFrame m_stFrame; // the last frame drawn: the mouse reads its scales
    PlotLive m_stLive;   // which of its cells the next live frame keeps
    PlotLegend m_stLegend;
    ULONGLONG m_qwDrawnEnd;
    BYTE m_byDrawnChannels;
    PlotViewFigures m_stFigures;
    char m_achReadout[kReadoutChars]; // what the read-out shows
};

PlotViewRecord gstPlotView;

PlotAxis fnAxis()
{
    return gstPlotSettings.m_byAxis == kPlotAxisLine ? kPlotAxisLine : kPlotAxisTime;
}

double fnSpan()
{
    return fnAxis() == kPlotAxisTime ? gstPlotSettings.m_dwSpanSeconds : gstPlotSettings.m_dwSpanLines;
}

WORD fnShownChannels(BYTE byCount)
{
    return static_cast<WORD>(((1u << byCount) - 1u) & ~gstPlotView.m_wHidden);
}

void fnYRange(PlotFrame &st)
{
    double dMin = 0;
    double dMax = 0;
    if (gstPlotSettings.m_bYFixed) {
        st.m_dYLow = gstPlotSettings.m_dYMin;
        st.m_dYHigh = gstPlotSettings.m_dYMax;
    } else if (fnPlotCellsRange(st.m_pstCells, st.m_dwColumns, st.m_wShown, dMin, dMax)) {
        fnPlotAutoRange(dMin, dMax, st.m_dYLow, st.m_dYHigh);
    } else {
        st.m_dYLow = -1;
        st.m_dYHigh = 1;
    }
}

// What the frame shows, read from the store in one hold of the lock.
void fnTakeFrame(HWND hWnd, PlotFrame &st)
{
    GetClientRect(hWnd, &st.m_rcClient);
    PlotMemory &stMemory = fnPlotMemory();
    fnPlotLock();
    const PlotStore &stStore = stMemory.m_stStore;
    st.m_stNames = stStore.m_stNames;
    fnPlotLayout(gstPlotView.m_hdcBack, st.m_rcClient, st.m_stNames, st.m_rcPlot);
    const DWORD dwWidth = static_cast<DWORD>(st.m_rcPlot.right - st.m_rcPlot.left);
    st.m_dwColumns = dwWidth < kPlotColumnsMax ? dwWidth : kPlotColumnsMax;
    st.m_pstCells = stMemory.m_astCells;
    st.m_wShown = fnShownChannels(st.m_stNames.m_byCount);
    if (gstPlotView.m_bHeld) {
        fnPlotLiveForget(gstPlotView.m_stLive);
        st.m_stRange = gstPlotView.m_stHeld;
        fnPlotReduce(stStore, st.m_stRange, st.m_wShown, stMemory.m_astCells, kPlotChannels * kPlotColumnsMax,
                     st.m_dwColumns);
    } else {
        st.m_stRange =
            fnPlotLiveReduce(stStore, fnAxis(), fnSpan(), st.m_wShown, stMemory.m_astCells,
                             kPlotChannels * kPlotColumnsMax, st.m_dwColumns, gstPlotView.m_stLive);
    }
    gstPlotView.m_qwDrawnEnd = stStore.m_qwEnd;
    gstPlotView.m_byDrawnChannels = st.m_stNames.m_byCount;
    fnPlotUnlock();
    fnYRange(st);
    st.m_iCursorX = gstPlotView.m_iCursorX;
}

// A 32-bit top-down bitmap whose pixels the channels are drawn into.
HBITMAP fnMakeBitmap(HDC hdc, const SIZE &stSize)
{
    BITMAPINFO stInfo = BITMAPINFO();
    stInfo.bmiHeader.biSize = sizeof stInfo.bmiHeader;
    stInfo.bmiHeader.biWidth = stSize.cx;
    stInfo.bmiHeader.biHeight = -stSize.cy;
    stInfo.bmiHeader.biPlanes = 1;
    stInfo.bmiHeader.biBitCount = 32;
    stInfo.bmiHeader.biCompression = BI_RGB;
    void *pvBits = NULL;
    const HBITMAP hbm = CreateDIBSection(hdc, &stInfo, DIB_RGB_COLORS, &pvBits, NULL, 0);
    gstPlotView.m_pdwBack = static_cast<std::uint32_t *>(pvBits);
    return hbm;
}

// The drawing goes to a bitmap of the client's size first, so a frame
// never shows half drawn.
void fnFitBackBuffer(HDC hdc, const RECT &rcClient)
{
    const SIZE stSize = {rcClient.right > 0 ? rcClient.right : 1, rcClient.bottom > 0 ? rcClient.bottom : 1};
    if (gstPlotView.m_hdcBack == NULL) {
        gstPlotView.m_hdcBack = CreateCompatibleDC(hdc);
        SelectObject(gstPlotView.m_hdcBack, gstPlotView.m_hFont);
    }
    if (gstPlotView.m_hbmBack != NULL &&
        (stSize.cx == gstPlotView.m_stBack.cx && stSize.cy == gstPlotView.m_stBack.cy)) {
        return;
    }
    if (gstPlotView.m_hbmBack != NULL) {
        SelectObject(gstPlotView.m_hdcBack, gstPlotView.m_hOldBitmap);
        DeleteObject(gstPlotView.m_hbmBack);
    }
    gstPlotView.m_hbmBack = fnMakeBitmap(hdc, stSize);
    gstPlotView.m_hOldBitmap = SelectObject(gstPlotView.m_hdcBack, gstPlotView.m_hbmBack);
    gstPlotView.m_stBack = stSize;
}

void fnFreeBackBuffer()
{
    if (gstPlotView.m_hbmBack != NULL) {
        SelectObject(gstPlotView.m_hdcBack, gstPlotView.m_hOldBitmap);
        DeleteObject(gstPlotView.m_hbmBack);
    }
    if (gstPlotView.m_hdcBack != NULL) {
        DeleteDC(gstPlotView.m_hdcBack);
    }
    gstPlotView.m_hbmBack = NULL;
    gstPlotView.m_hdcBack = NULL;
}

double fnXAt(int x)
{
    const PlotFrame &st = gstPlotView.m_stFrame;
    return fnPlotValueAt(x, st.m_stRange.m_dFrom, st.m_stRange.m_dTo, st.m_rcPlot.left,
                         st.m_rcPlot.right - st.m_rcPlot.left, false);
}

double fnYAt(int y)
{
    const PlotFrame &st = gstPlotView.m_stFrame;
    return fnPlotValueAt(y, st.m_dYLow, st.m_dYHigh, st.m_rcPlot.top,
                         st.m_rcPlot.bottom - 1 - st.m_rcPlot.top, true);
}

// Text added to a bounded buffer, cut where it no longer fits.
struct Readout {
    char m_ach[kReadoutChars];
    int m_nUsed;
};

void fnAppend(Readout &st, const char *psz)
{
    lstrcpynA(st.m_ach + st.m_nUsed, psz, kReadoutChars - st.m_nUsed);
    st.m_nUsed += lstrlenA(st.m_ach + st.m_nUsed);
}

void fnAppendX(Readout &st, PlotAxis nAxis, double dX)
{
    char ach[48];
    std::snprintf(ach, sizeof ach, nAxis == kPlotAxisTime ? "%.3f s" : "line %.0f", dX);
    fnAppend(st, ach);
}

// Each shown channel's point nearest to the cursor, with its own time or
// line: channels need not have a value on every line.
void fnAppendChannels(Readout &st, double dX)
{
    const PlotFrame &stFrame = gstPlotView.m_stFrame;
    const PlotAxis nAxis = stFrame.m_stRange.m_nAxis;
    const WORD wShown = fnShownChannels(stFrame.m_stNames.m_byCount);
    fnPlotLock();
    const PlotStore &stStore = fnPlotMemory().m_stStore;
    for (unsigned c = 0; c < stFrame.m_stNames.m_byCount; ++c) {
        PlotPoint stPoint;
        if (fnPlotHas(wShown, c) && fnPlotNearest(stStore, nAxis, dX, c, stPoint)) {
            char achValue[kPlotValueMax];
            fnPlotFormatValue(achValue, sizeof achValue, stPoint.m_dValue);
            fnAppend(st, " | ");
            fnAppend(st, stFrame.m_stNames.m_aachName[c]);
            fnAppend(st, " ");
            fnAppend(st, achValue);
            fnAppend(st, " at ");
            fnAppendX(st, nAxis,
                      nAxis == kPlotAxisTime ? stPoint.m_dTime : static_cast<double>(stPoint.m_qwLine));
        }
    }
    fnPlotUnlock();
}

void fnShowReadout(HWND hWnd, int x)
{
    const double dX = fnXAt(x);
    Readout st;
    st.m_ach[0] = '\0';
    st.m_nUsed = 0;
    fnAppendX(st, gstPlotView.m_stFrame.m_stRange.m_nAxis, dX);
    fnAppendChannels(st, dX);
    if (lstrcmpA(st.m_ach, gstPlotView.m_achReadout) != 0) {
        lstrcpynA(gstPlotView.m_achReadout, st.m_ach, kReadoutChars);
        SetDlgItemTextA(GetParent(hWnd), IDC_PLOT_CURSOR, st.m_ach);
    }
}

double fnMsSince(const LARGE_INTEGER &liStart)
{
    LARGE_INTEGER liNow;
    LARGE_INTEGER liFrequency;
    QueryPerformanceCounter(&liNow);
    QueryPerformanceFrequency(&liFrequency);
    return 1000.0 * static_cast<double>(liNow.QuadPart - liStart.QuadPart) /
           static_cast<double>(liFrequency.QuadPart);
}

void OnPaint(HWND hWnd)
{
    LARGE_INTEGER liStart;
    QueryPerformanceCounter(&liStart);
    PAINTSTRUCT stPaint;
    const HDC hdc = BeginPaint(hWnd, &stPaint);
    RECT rcClient;
    GetClientRect(hWnd, &rcClient);
    fnFitBackBuffer(hdc, rcClient);
    // Without memory for the bitmap the window stays as it was.
    if (gstPlotView.m_pdwBack != NULL) {
        fnTakeFrame(hWnd, gstPlotView.m_stFrame);
        fnPlotDraw(gstPlotView.m_hdcBack, gstPlotView.m_pdwBack, gstPlotView.m_stFrame,
                   gstPlotView.m_stLegend);
        BitBlt(hdc, 0, 0, rcClient.right, rcClient.bottom, gstPlotView.m_hdcBack, 0, 0, SRCCOPY);
    }
    EndPaint(hWnd, &stPaint);
    ++gstPlotView.m_stFigures.m_dwFrames;
    gstPlotView.m_stFigures.m_dDrawMs = fnMsSince(liStart);
    // The values under a still cursor change as lines come and the view moves.
    if (gstPlotView.m_iCursorX >= 0) {
        fnShowReadout(hWnd, gstPlotView.m_iCursorX);
    }
}

void fnHoldAt(const PlotRange &stRange)
{
    gstPlotView.m_bHeld = true;
    gstPlotView.m_stHeld = stRange;
}

int fnLegendRowAt(POINT pt)
{
    for (int i = 0; i < gstPlotView.m_stLegend.m_byRows; ++i) {
        if (PtInRect(&gstPlotView.m_stLegend.m_arcRow[i], pt)) {
            return i;
        }
    }
    return -1;
}

void OnLButtonDown(HWND hWnd, LPARAM lParam)
{
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const int iRow = fnLegendRowAt(pt);
    if (iRow >= 0) {
        gstPlotView.m_wHidden = static_cast<WORD>(gstPlotView.m_wHidden ^ (1u << iRow));
        InvalidateRect(hWnd, NULL, FALSE);
        return;
    }
    if (!PtInRect(&gstPlotView.m_stFrame.m_rcPlot, pt)) {
        return;
    }
    SetFocus(hWnd);
    SetCapture(hWnd);
    gstPlotView.m_bDragging = true;
    gstPlotView.m_ptDrag = pt;
    gstPlotView.m_stDragRange = gstPlotView.m_stFrame.m_stRange;
    gstPlotView.m_dDragYLow = gstPlotView.m_stFrame.m_dYLow;
    gstPlotView.m_dDragYHigh = gstPlotView.m_stFrame.m_dYHigh;
    fnHoldAt(gstPlotView.m_stFrame.m_stRange);
}

// The drawing follows the pointer: X always, Y when its limits are fixed.
void fnDrag(HWND hWnd, POINT pt)
{
    const RECT &rc = gstPlotView.m_stFrame.m_rcPlot;
    const PlotRange &stFrom = gstPlotView.m_stDragRange;
    const double dXShift =
        (pt.x - gstPlotView.m_ptDrag.x) * (stFrom.m_dTo - stFrom.m_dFrom) / (rc.right - rc.left);
    gstPlotView.m_stHeld.m_dFrom = stFrom.m_dFrom - dXShift;
    gstPlotView.m_stHeld.m_dTo = stFrom.m_dTo - dXShift;
    if (gstPlotSettings.m_bYFixed) {
        const double dYShift = (pt.y - gstPlotView.m_ptDrag.y) *
                               (gstPlotView.m_dDragYHigh - gstPlotView.m_dDragYLow) / (rc.bottom - rc.top);
        PlotSettings st = gstPlotSettings;
        st.m_dYMin = gstPlotView.m_dDragYLow + dYShift;
        st.m_dYMax = gstPlotView.m_dDragYHigh + dYShift;
        fnPlotSettingsSet(st);
    }
    InvalidateRect(hWnd, NULL, FALSE);
}

void OnMouseMove(HWND hWnd, LPARAM lParam)
{
    const POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (gstPlotView.m_bDragging) {
        fnDrag(hWnd, pt);
        return;
    }
    if (!PtInRect(&gstPlotView.m_stFrame.m_rcPlot, pt)) {
        return;
    }
    if (gstPlotView.m_iCursorX < 0) {
        TRACKMOUSEEVENT stTrack = {sizeof stTrack, TME_LEAVE, hWnd, 0};
        TrackMouseEvent(&stTrack);
    }
    gstPlotView.m_iCursorX = pt.x;
    fnShowReadout(hWnd, pt.x);
    InvalidateRect(hWnd, NULL, FALSE);
}

// The line goes with the pointer; the read-out keeps its last values.
void OnMouseLeave(HWND hWnd)
{
    gstPlotView.m_iCursorX = -1;
    InvalidateRect(hWnd, NULL, FALSE);
}

void fnEndDrag()
{
    if (gstPlotView.m_bDragging) {
        gstPlotView.m_bDragging = false;
        ReleaseCapture();
    }
}

// Live, the span changes (its right end stays the newest line); held, the
// range shrinks or grows around the pointer.
void fnZoomX(int x, bool bIn)
{
    if (!gstPlotView.m_bHeld) {
        const bool bTime = fnAxis() == kPlotAxisTime;
        PlotSettings st = gstPlotSettings;
        std::uint32_t &dwSpan = bTime ? st.m_dwSpanSeconds : st.m_dwSpanLines;
        dwSpan = fnPlotSpanStep(dwSpan, !bIn, bTime ? kPlotSpanSecondsMin : kPlotSpanLinesMin,
                                bTime ? kPlotSpanSecondsMax : kPlotSpanLinesMax);
        fnPlotSettingsSet(st);
        return;
    }
    PlotRange &st = gstPlotView.m_stHeld;
    fnPlotZoom(st.m_dFrom, st.m_dTo, fnXAt(x), bIn ? kdZoomIn : kdZoomOut,
               st.m_nAxis == kPlotAxisTime ? kdLeastSeconds : kdLeastLines, kdMostX);
}

// The Y limits become fixed at the scaled range shown.
void fnZoomY(int y, bool bIn)
{
    double dLow = gstPlotView.m_stFrame.m_dYLow;
    double dHigh = gstPlotView.m_stFrame.m_dYHigh;
    fnPlotZoom(dLow, dHigh, fnYAt(y), bIn ? kdZoomIn : kdZoomOut, kdLeastY, kdMostY);
    PlotSettings st = gstPlotSettings;
    st.m_bYFixed = true;
    st.m_dYMin = dLow;
    st.m_dYMax = dHigh;
    fnPlotSettingsSet(st);
}

void OnMouseWheel(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hWnd, &pt);
    const bool bIn = GET_WHEEL_DELTA_WPARAM(wParam) > 0;
    if ((GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) != 0) {
        fnZoomY(pt.y, bIn);
    } else {
        fnZoomX(pt.x, bIn);
    }
    InvalidateRect(hWnd, NULL, FALSE);
}

void OnSetFont(HWND hWnd, WPARAM wParam)
{
    gstPlotView.m_hFont = reinterpret_cast<HFONT>(wParam);
    if (gstPlotView.m_hdcBack != NULL) {
        SelectObject(gstPlotView.m_hdcBack, gstPlotView.m_hFont);
    }
    InvalidateRect(hWnd, NULL, FALSE);
}

// The view starts live with every channel shown; the font is the dialog's.
void OnCreate()
{
    const PlotViewFigures stFigures = {0, 0};
    gstPlotView.m_hFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    gstPlotView.m_bHeld = false;
    gstPlotView.m_wHidden = 0;
    gstPlotView.m_iCursorX = -1;
    gstPlotView.m_bDragging = false;
    gstPlotView.m_stFigures = stFigures;
    gstPlotView.m_achReadout[0] = '\0';
    fnPlotDrawOpen();
}

void OnDestroy()
{
    fnFreeBackBuffer();
    fnPlotDrawClose();
}

LRESULT CALLBACK fnPlotViewProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        OnCreate();
        return 0;
    case WM_PAINT:
        OnPaint(hWnd);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the frame covers the whole client area
    case WM_LBUTTONDOWN:
        OnLButtonDown(hWnd, lParam);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(hWnd, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
        fnEndDrag();
        return 0;
    case WM_MOUSELEAVE:
        OnMouseLeave(hWnd);
        return 0;
    case WM_MOUSEWHEEL:
        OnMouseWheel(hWnd, wParam, lParam);
        return 0;
    case WM_SETFONT:
        OnSetFont(hWnd, wParam);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    }
}

} // namespace

void fnPlotViewRegister()
{
    WNDCLASSA stClass = WNDCLASSA();
    stClass.style = CS_HREDRAW | CS_VREDRAW;
    stClass.lpfnWndProc = fnPlotViewProc;
    stClass.hInstance = ghInstance;
    stClass.hCursor = LoadCursorA(NULL, IDC_CROSS);
    stClass.lpszClassName = kPlotViewClass;
    RegisterClassA(&stClass);
}

void fnPlotViewTick(HWND hView)
{
    if (gstPlotView.m_bHeld) {
        return;
    }
    fnPlotLock();
    const PlotStore &stStore = fnPlotMemory().m_stStore;
    const bool bNew = stStore.m_qwEnd != gstPlotView.m_qwDrawnEnd ||
                      stStore.m_stNames.m_byCount != gstPlotView.m_byDrawnChannels;
    fnPlotUnlock();
    if (bNew) {
        InvalidateRect(hView, NULL, FALSE);
    }
}

void fnPlotViewHold(HWND hView, bool bHold)
{
    if (bHold) {
        fnHoldAt(fnPlotViewRange());
    } else {
        gstPlotView.m_bHeld = false;
    }
    InvalidateRect(hView, NULL, FALSE);
}

bool fnPlotViewHeld()
{
    return gstPlotView.m_bHeld;
}

void fnPlotViewReset(HWND hView)
{
    fnEndDrag();
    gstPlotView.m_bHeld = false;
    gstPlotView.m_wHidden = 0;
    gstPlotView.m_iCursorX = -1;
    gstPlotView.m_achReadout[0] = '\0';
    SetDlgItemTextA(GetParent(hView), IDC_PLOT_CURSOR, "");
    InvalidateRect(hView, NULL, FALSE);
}

PlotRange fnPlotViewRange()
{
    if (gstPlotView.m_bHeld) {
        return gstPlotView.m_stHeld;
    }
    fnPlotLock();
    const PlotRange stRange =
        fnPlotLiveRange(fnPlotMemory().m_stStore, fnAxis(), fnSpan(), gstPlotView.m_stFrame.m_dwColumns);
    fnPlotUnlock();
    return stRange;
}

PlotViewFigures fnPlotViewFigures()
{
    return gstPlotView.m_stFigures;
}
