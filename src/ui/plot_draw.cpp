#include "plot_draw.h"

#include <algorithm>
#include <cstring>

#include "plot_raster.h"
#include "plot_scale.h"

namespace {

const COLORREF kacrChannel[kPlotChannels] = {
    RGB(31, 119, 180),  RGB(214, 39, 40), RGB(44, 160, 44),   RGB(255, 127, 14),
    RGB(148, 103, 189), RGB(140, 86, 75), RGB(227, 119, 194), RGB(23, 190, 207),
    RGB(188, 189, 34),  RGB(0, 0, 128),   RGB(128, 0, 0),     RGB(0, 128, 128),
    RGB(127, 127, 127), RGB(255, 0, 255), RGB(0, 0, 0),       RGB(180, 140, 0),
};
const COLORREF kcrBack = RGB(255, 255, 255);
const COLORREF kcrGrid = RGB(224, 224, 224);
const COLORREF kcrFrame = RGB(96, 96, 96);
const COLORREF kcrText = RGB(48, 48, 48);
const COLORREF kcrHidden = RGB(176, 176, 176);

// Pixels between ticks at least, and around the parts.
const int kXTickPixels = 90;
const int kYTickPixels = 36;
const int kGap = 6;
const int kSwatch = 14;
const int kLabelChars = 9; // the Y labels' room, in average characters

struct PlotPens {
    HPEN m_hGrid;
    HPEN m_hFrame;
    HPEN m_hCursor;
};

PlotPens gstPlotPens;

void fnFill(HDC hdc, const RECT &rc, COLORREF cr)
{
    SetBkColor(hdc, cr);
    ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &rc, NULL, 0, NULL);
}

void fnLine(HDC hdc, int x0, int y0, int x1, int y1)
{
    MoveToEx(hdc, x0, y0, NULL);
    LineTo(hdc, x1, y1);
}

void fnText(HDC hdc, int x, int y, UINT uAlign, const char *psz, std::size_t cch)
{
    SetTextAlign(hdc, uAlign);
    TextOutA(hdc, x, y, psz, static_cast<int>(cch));
}

int fnTextHeight(HDC hdc)
{
    TEXTMETRICA stMetric;
    GetTextMetricsA(hdc, &stMetric);
    return stMetric.tmHeight;
}

int fnYPixel(const PlotFrame &st, double d)
{
    return fnPlotPixel(d, st.m_dYLow, st.m_dYHigh, st.m_rcPlot.top, st.m_rcPlot.bottom - 1 - st.m_rcPlot.top,
                       true);
}

void fnDrawXAxis(HDC hdc, const PlotFrame &st)
{
    const RECT &rc = st.m_rcPlot;
    PlotTicks stTicks;
    fnPlotTicks(st.m_stRange.m_dFrom, st.m_stRange.m_dTo, (rc.right - rc.left) / kXTickPixels + 2, stTicks);
    char ach[32];
    for (int k = 0; k < stTicks.m_nCount; ++k) {
        const int x = fnPlotPixel(stTicks.m_dFirst + stTicks.m_dStep * k, st.m_stRange.m_dFrom,
                                  st.m_stRange.m_dTo, rc.left, rc.right - rc.left, false);
        SelectObject(hdc, gstPlotPens.m_hGrid);
        fnLine(hdc, x, rc.top, x, rc.bottom);
        fnText(hdc, x, rc.bottom + 2, TA_CENTER | TA_TOP, ach, fnPlotTickText(ach, sizeof ach, stTicks, k));
    }
    const char *pszUnit = st.m_stRange.m_nAxis == kPlotAxisTime ? "s" : "line";
    fnText(hdc, rc.left - kGap, rc.bottom + 2, TA_RIGHT | TA_TOP, pszUnit, std::strlen(pszUnit));
}

void fnDrawYAxis(HDC hdc, const PlotFrame &st)
{
    const RECT &rc = st.m_rcPlot;
    PlotTicks stTicks;
    fnPlotTicks(st.m_dYLow, st.m_dYHigh, (rc.bottom - rc.top) / kYTickPixels + 2, stTicks);
    const int iHalf = fnTextHeight(hdc) / 2;
    char ach[32];
    for (int k = 0; k < stTicks.m_nCount; ++k) {
        const int y = fnYPixel(st, stTicks.m_dFirst + stTicks.m_dStep * k);
        SelectObject(hdc, gstPlotPens.m_hGrid);
        fnLine(hdc, rc.left, y, rc.right, y);
        fnText(hdc, rc.left - kGap, y - iHalf, TA_RIGHT | TA_TOP, ach,
               fnPlotTickText(ach, sizeof ach, stTicks, k));
    }
}

// A 32-bit bitmap's pixel holds blue in its low byte, a COLORREF red.
std::uint32_t fnPixelOf(COLORREF cr)
{
    return static_cast<std::uint32_t>(GetRValue(cr)) << 16 | static_cast<std::uint32_t>(GetGValue(cr)) << 8 |
           GetBValue(cr);
}

// Into the bitmap's pixels, once GDI has finished what it was asked to draw;
// the data area is cut to the bitmap, which a window too small for its
// margins leaves smaller.
void fnDrawChannels(const PlotFrame &st, std::uint32_t *pdwPixels)
{
    GdiFlush();
    const int iWidth = st.m_rcClient.right;
    const int iHeight = st.m_rcClient.bottom;
    const PlotRaster stRaster = {pdwPixels,
                                 iWidth,
                                 iHeight,
                                 std::min<int>(std::max<int>(st.m_rcPlot.left, 0), iWidth),
                                 std::min<int>(std::max<int>(st.m_rcPlot.top, 0), iHeight),
                                 std::min<int>(st.m_rcPlot.right, iWidth),
                                 std::min<int>(st.m_rcPlot.bottom, iHeight)};
    const PlotRasterScale stScale = {st.m_dYLow, st.m_dYHigh};
    for (unsigned c = 0; c < st.m_stNames.m_byCount; ++c) {
        if (fnPlotHas(st.m_wShown, c)) {
            fnRasterChannel(stRaster, stScale, st.m_pstCells + c * st.m_dwColumns, st.m_dwColumns,
                            fnPixelOf(kacrChannel[c]));
        }
    }
}

// A hidden channel's row keeps its place, greyed, with an empty swatch.
void fnDrawLegend(HDC hdc, const PlotFrame &st, PlotLegend &stLegend)
{
    const int iRow = fnTextHeight(hdc) + 4;
    const int x = st.m_rcPlot.right + kGap;
    stLegend.m_byRows = st.m_stNames.m_byCount;
    for (unsigned c = 0; c < st.m_stNames.m_byCount; ++c) {
        const int y = st.m_rcPlot.top + static_cast<int>(c) * iRow;
        const RECT rcRow = {x, y, st.m_rcClient.right, y + iRow};
        const bool bShown = fnPlotHas(st.m_wShown, c);
        const RECT rcSwatch = {x, y + 3, x + kSwatch, y + iRow - 3};
        fnFill(hdc, rcSwatch, bShown ? kacrChannel[c] : kcrHidden);
        if (!bShown) {
            const RECT rcInner = {x + 2, y + 5, x + kSwatch - 2, y + iRow - 5};
            fnFill(hdc, rcInner, kcrBack);
        }
        SetTextColor(hdc, bShown ? kcrText : kcrHidden);
        const char *pszName = st.m_stNames.m_aachName[c];
        fnText(hdc, x + kSwatch + 4, y + 2, TA_LEFT | TA_TOP, pszName, std::strlen(pszName));
        stLegend.m_arcRow[c] = rcRow;
    }
    SetTextColor(hdc, kcrText);
}

void fnDrawCursor(HDC hdc, const PlotFrame &st)
{
    if (st.m_iCursorX >= st.m_rcPlot.left && st.m_iCursorX < st.m_rcPlot.right) {
        SelectObject(hdc, gstPlotPens.m_hCursor);
        fnLine(hdc, st.m_iCursorX, st.m_rcPlot.top, st.m_iCursorX, st.m_rcPlot.bottom);
    }
}

void fnDrawWaiting(HDC hdc, const PlotFrame &st)
{
    static const char kszWaiting[] = "Waiting for received lines with numbers";
    SetTextColor(hdc, kcrHidden);
    fnText(hdc, (st.m_rcPlot.left + st.m_rcPlot.right) / 2, (st.m_rcPlot.top + st.m_rcPlot.bottom) / 2,
           TA_CENTER | TA_BASELINE, kszWaiting, sizeof kszWaiting - 1);
    SetTextColor(hdc, kcrText);
}

void fnDrawFrameLines(HDC hdc, const RECT &rc)
{
    SelectObject(hdc, gstPlotPens.m_hFrame);
    SelectObject(hdc, GetStockObject(NULL_BRUSH));
    Rectangle(hdc, rc.left - 1, rc.top - 1, rc.right + 1, rc.bottom + 1);
}

} // namespace

void fnPlotDrawOpen()
{
    gstPlotPens.m_hGrid = CreatePen(PS_SOLID, 1, kcrGrid);
    gstPlotPens.m_hFrame = CreatePen(PS_SOLID, 1, kcrFrame);
    gstPlotPens.m_hCursor = CreatePen(PS_DOT, 1, kcrText);
}

void fnPlotDrawClose()
{
    DeleteObject(gstPlotPens.m_hGrid);
    DeleteObject(gstPlotPens.m_hFrame);
    DeleteObject(gstPlotPens.m_hCursor);
    std::memset(&gstPlotPens, 0, sizeof gstPlotPens);
}

void fnPlotLayout(HDC hdc, const RECT &rcClient, const PlotNames &stNames, RECT &rcPlot)
{
    TEXTMETRICA stMetric;
    GetTextMetricsA(hdc, &stMetric);
    int iLegend = 0;
    for (unsigned c = 0; c < stNames.m_byCount; ++c) {
        SIZE stSize;
        const char *pszName = stNames.m_aachName[c];
        GetTextExtentPoint32A(hdc, pszName, static_cast<int>(std::strlen(pszName)), &stSize);
        iLegend = stSize.cx > iLegend ? stSize.cx : iLegend;
    }
    iLegend = iLegend > 0 ? iLegend + kSwatch + 4 + 2 * kGap : kGap;
    const int iMost = (rcClient.right - rcClient.left) / 3;
    rcPlot.left = rcClient.left + stMetric.tmAveCharWidth * kLabelChars + kGap;
    rcPlot.top = rcClient.top + stMetric.tmHeight / 2 + kGap;
    rcPlot.right = rcClient.right - (iLegend < iMost ? iLegend : iMost);
    rcPlot.bottom = rcClient.bottom - stMetric.tmHeight - kGap;
    if (rcPlot.right <= rcPlot.left) {
        rcPlot.right = rcPlot.left + 1;
    }
    if (rcPlot.bottom <= rcPlot.top) {
        rcPlot.bottom = rcPlot.top + 1;
    }
}

void fnPlotDraw(HDC hdc, std::uint32_t *pdwPixels, const PlotFrame &st, PlotLegend &stLegend)
{
    fnFill(hdc, st.m_rcClient, kcrBack);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, kcrText);
    fnDrawXAxis(hdc, st);
    fnDrawYAxis(hdc, st);
    fnDrawFrameLines(hdc, st.m_rcPlot);
    fnDrawChannels(st, pdwPixels);
    fnDrawLegend(hdc, st, stLegend);
    fnDrawCursor(hdc, st);
    if (st.m_stNames.m_byCount == 0) {
        fnDrawWaiting(hdc, st);
    }
}
