#include "plot_raster.h"

#include "plot_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::uint32_t kdwInk = 1;

struct Canvas {
    int m_iWidth;
    int m_iHeight;
    std::vector<std::uint32_t> m_vecPixels;
    Canvas(int iWidth, int iHeight) : m_iWidth(iWidth), m_iHeight(iHeight), m_vecPixels(iWidth * iHeight) {}
    PlotRaster Raster(int iLeft, int iTop, int iRight, int iBottom)
    {
        return {m_vecPixels.data(), m_iWidth, m_iHeight, iLeft, iTop, iRight, iBottom};
    }
    std::string Rows() const
    {
        std::string str;
        for (int y = 0; y < m_iHeight; ++y) {
            for (int x = 0; x < m_iWidth; ++x) {
                str += m_vecPixels[y * m_iWidth + x] == kdwInk ? '#' : '.';
            }
            str += '/';
        }
        return str;
    }
};

PlotCell Cell(double dMin, double dMax, std::uint8_t byFlags = kPlotCellValue)
{
    return {dMin, dMax, byFlags};
}

} // namespace

// One pixel per column or per row, rounded half up, from either end; lines
// reaching far beyond the clip rectangle touch only what lies inside it.
TEST(PlotRaster, LinesAndTheirClipping)
{
    struct Case {
        int x0, y0, x1, y1;
        int iTop, iBottom;
        const char *pszWant;
    } const astCases[] = {
        {0, 0, 5, 2, 0, 4, "##..../..##../....##/....../"},
        {2, 3, 0, 0, 0, 4, "#...../.#..../.#..../..#.../"},
        {3, -100, 3, 100, 1, 3, "....../...#../...#../....../"},
        {-1000000, 2, 1000000, 2, 0, 4, "....../....../######/....../"},
        {-1000000, -1000000, 1000000, 1000000, 0, 4, "#...../.#..../..#.../...#../"},
    };
    for (const Case &st : astCases) {
        Canvas stCanvas(6, 4);
        fnRasterLine(stCanvas.Raster(0, st.iTop, 6, st.iBottom), st.x0, st.y0, st.x1, st.y1, kdwInk);
        EXPECT_EQ(st.pszWant, stCanvas.Rows()) << st.x0 << "," << st.y0 << " to " << st.x1 << "," << st.y1;
    }
}

// Lines in every direction and length, clipped or not, put the pixels of
// the rounded division per pixel, with no division a pixel.
TEST(PlotRaster, RandomLinesPutThePixelsOfTheRoundedDivision)
{
    std::mt19937 stRandom(7);
    for (int nRun = 0; nRun < 3000; ++nRun) {
        int x0 = static_cast<int>(stRandom() % 120) - 40;
        int y0 = static_cast<int>(stRandom() % 120) - 40;
        // Every other line joins neighbouring columns, as most of a channel's do.
        int x1 =
            nRun % 2 == 0 ? x0 + (stRandom() % 2 == 0 ? 1 : -1) : static_cast<int>(stRandom() % 120) - 40;
        int y1 = static_cast<int>(stRandom() % 120) - 40;
        Canvas stGot(40, 30);
        fnRasterLine(stGot.Raster(3, 2, 37, 27), x0, y0, x1, y1, kdwInk);
        Canvas stWant(40, 30);
        const bool bSteep = std::abs(y1 - y0) > std::abs(x1 - x0);
        // Halves round up from the end where the walked axis is smaller.
        if ((bSteep ? y1 - y0 : x1 - x0) < 0) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const int t0 = bSteep ? y0 : x0;
        const int t1 = bSteep ? y1 : x1;
        const int dt = t1 - t0;
        const int dc = bSteep ? x1 - x0 : y1 - y0;
        for (int t = t0; t <= t1; ++t) {
            // (t - t0) dc / dt rounded half up: the floor of n / 2dt.
            const int n = 2 * (t - t0) * dc + dt;
            const int c = (bSteep ? x0 : y0) + (dt == 0 ? 0 : n / (2 * dt) - (n % (2 * dt) < 0 ? 1 : 0));
            const int x = bSteep ? c : t;
            const int y = bSteep ? t : c;
            if (x >= 3 && x < 37 && y >= 2 && y < 27) {
                stWant.m_vecPixels[y * 40 + x] = kdwInk;
            }
        }
        ASSERT_EQ(stWant.Rows(), stGot.Rows()) << x0 << "," << y0 << " to " << x1 << "," << y1;
    }
}

// A point alone as a dash, an empty column bridged, a gap breaking the line,
// a bar entered at its end nearer the line and a value far off the top.
TEST(PlotRaster, ChannelColumnsJoinsAndGaps)
{
    const PlotCell astCells[] = {
        Cell(1, 1), Cell(0, 0, 0),  Cell(3, 3), Cell(0, 5, kPlotCellValue | kPlotCellGap),
        Cell(4, 5), Cell(100, 100),
    };
    Canvas stCanvas(6, 6);
    fnRasterChannel(stCanvas.Raster(0, 0, 6, 6), {0, 5}, astCells, 6, kdwInk);
    EXPECT_EQ("...##./...##./..##../.#.#../##.#../...#../", stCanvas.Rows());
}

// A channel is its bars and the lines joining them: each column's bar from
// min to max, entered at the end nearer the line so far, and fnRasterLine
// from one bar's exit to the next one's entry; values off the clip included.
TEST(PlotRaster, ChannelIsItsBarsAndTheLinesBetweenThem)
{
    std::mt19937 stRandom(11);
    for (int nRun = 0; nRun < 500; ++nRun) {
        std::vector<PlotCell> vecCells(30);
        for (PlotCell &stCell : vecCells) {
            const double d1 = static_cast<double>(stRandom() % 41) - 10;
            const double d2 = static_cast<double>(stRandom() % 41) - 10;
            const unsigned nKind = stRandom() % 8;
            stCell = Cell(std::fmin(d1, d2), std::fmax(d1, d2),
                          nKind == 0 ? 0 : kPlotCellValue | (nKind == 1 ? kPlotCellGap : 0));
        }
        Canvas stGot(34, 24);
        fnRasterChannel(stGot.Raster(2, 2, 32, 22), {0, 20}, vecCells.data(), 30, kdwInk);
        Canvas stWant(34, 24);
        const PlotRaster stRaster = stWant.Raster(2, 2, 32, 22);
        bool bJoined = false;
        int xLast = 0;
        int yLast = 0;
        for (int k = 0; k < 30; ++k) {
            const PlotCell &stCell = vecCells[k];
            bJoined = bJoined && (stCell.m_byFlags & kPlotCellGap) == 0;
            if ((stCell.m_byFlags & kPlotCellValue) == 0) {
                continue;
            }
            const int x = 2 + k;
            int yEntry = fnPlotPixel(stCell.m_dMin, 0, 20, 2, 19, true);
            int yExit = fnPlotPixel(stCell.m_dMax, 0, 20, 2, 19, true);
            if (bJoined && std::abs(yLast - yExit) < std::abs(yLast - yEntry)) {
                std::swap(yEntry, yExit);
            }
            if (bJoined) {
                fnRasterLine(stRaster, xLast, yLast, x, yEntry, kdwInk);
            } else if (yEntry == yExit) {
                fnRasterLine(stRaster, x + 1, yEntry, x + 1, yEntry, kdwInk);
            }
            fnRasterLine(stRaster, x, yEntry, x, yExit, kdwInk);
            xLast = x;
            yLast = yExit;
            bJoined = true;
        }
        ASSERT_EQ(stWant.Rows(), stGot.Rows()) << nRun;
    }
}

// Whatever the cells hold, nothing is drawn outside the clip rectangle.
TEST(PlotRaster, RandomCellsStayInsideTheClip)
{
    const double kdValues[] = {-1e300, -7, 0, 3.5, 9, 1e300, std::numeric_limits<double>::max()};
    std::mt19937 stRandom(25);
    for (int nRun = 0; nRun < 200; ++nRun) {
        std::vector<PlotCell> vecCells(24);
        for (PlotCell &stCell : vecCells) {
            const double d1 = kdValues[stRandom() % 7];
            const double d2 = kdValues[stRandom() % 7];
            stCell = Cell(std::fmin(d1, d2), std::fmax(d1, d2), static_cast<std::uint8_t>(stRandom() % 4));
        }
        Canvas stCanvas(32, 16);
        fnRasterChannel(stCanvas.Raster(4, 3, 28, 13), {-5, 5}, vecCells.data(), 24, kdwInk);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool bInside = x >= 4 && x < 28 && y >= 3 && y < 13;
                ASSERT_TRUE(bInside || stCanvas.m_vecPixels[y * 32 + x] == 0)
                    << nRun << ": " << x << "," << y;
            }
        }
    }
}
