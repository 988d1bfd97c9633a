#include "plot_feed.h"

#include "plot_parse.h"

namespace {

struct PlotFeedRecord {
    CRITICAL_SECTION m_cs;
    volatile LONG m_bRecording;
    PlotParser m_stParser;
    PlotMemory *m_pstMemory;
    LARGE_INTEGER m_liStart;
    LARGE_INTEGER m_liFrequency;
    PlotFeedRecord() : m_bRecording(0), m_stParser(), m_pstMemory(NULL), m_liStart(), m_liFrequency()
    {
        InitializeCriticalSection(&m_cs);
    }
};

PlotFeedRecord gstPlotFeed;

double fnSecondsSinceStart()
{
    LARGE_INTEGER liNow;
    QueryPerformanceCounter(&liNow);
    return static_cast<double>(liNow.QuadPart - gstPlotFeed.m_liStart.QuadPart) /
           static_cast<double>(gstPlotFeed.m_liFrequency.QuadPart);
}

// The reader and the store are emptied together, so that channel numbers
// and names stay the same in both.
void fnEmpty(BYTE byFormats)
{
    fnPlotParseInit(gstPlotFeed.m_stParser, byFormats);
    fnPlotStoreInit(gstPlotFeed.m_pstMemory->m_stStore, kPlotRowMax);
    QueryPerformanceFrequency(&gstPlotFeed.m_liFrequency);
    QueryPerformanceCounter(&gstPlotFeed.m_liStart);
}

// Every line of the block gets the block's time: when its last byte came
// is all that is known of it.
void fnFeedLines(const char *pch, std::size_t cch)
{
    PlotStore &stStore = gstPlotFeed.m_pstMemory->m_stStore;
    PlotParser &stParser = gstPlotFeed.m_stParser;
    const double dTime = fnSecondsSinceStart();
    PlotLine stLine;
    while (cch != 0) {
        const std::size_t cchTaken = fnPlotParseFeed(stParser, pch, cch, stLine);
        pch += cchTaken;
        cch -= cchTaken;
        if ((stLine.m_wMask | stLine.m_wNew) != 0) {
            fnPlotStoreAdd(stStore, stLine, stParser.m_stNames, dTime);
        }
    }
}

} // namespace

// The store is 175 MiB: as a static array it would be committed by every
// run of a 32-bit program that may never plot. It is reserved and committed
// at once on the first opening instead; its pages are touched only as lines
// come, and it lives as long as the program, so it is never released.
BOOL fnPlotFeedReserve()
{
    if (gstPlotFeed.m_pstMemory == NULL) {
        gstPlotFeed.m_pstMemory = static_cast<PlotMemory *>(
            VirtualAlloc(NULL, sizeof(PlotMemory), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    }
    return gstPlotFeed.m_pstMemory != NULL ? TRUE : FALSE;
}

PlotMemory &fnPlotMemory()
{
    return *gstPlotFeed.m_pstMemory;
}

void fnPlotFeedStart(BYTE byFormats)
{
    EnterCriticalSection(&gstPlotFeed.m_cs);
    fnEmpty(byFormats);
    gstPlotFeed.m_bRecording = 1;
    LeaveCriticalSection(&gstPlotFeed.m_cs);
}

void fnPlotFeedStop()
{
    InterlockedExchange(&gstPlotFeed.m_bRecording, 0);
}

void fnPlotFeedClear()
{
    EnterCriticalSection(&gstPlotFeed.m_cs);
    fnEmpty(gstPlotFeed.m_stParser.m_byFormats);
    LeaveCriticalSection(&gstPlotFeed.m_cs);
}

void fnPlotFeedFormats(BYTE byFormats)
{
    EnterCriticalSection(&gstPlotFeed.m_cs);
    gstPlotFeed.m_stParser.m_byFormats = byFormats;
    LeaveCriticalSection(&gstPlotFeed.m_cs);
}

void fnPlotFeed(const BYTE *pby, DWORD dwCount)
{
    if (gstPlotFeed.m_bRecording == 0 || dwCount == 0) {
        return;
    }
    EnterCriticalSection(&gstPlotFeed.m_cs);
    if (gstPlotFeed.m_bRecording != 0) {
        fnFeedLines(reinterpret_cast<const char *>(pby), dwCount);
    }
    LeaveCriticalSection(&gstPlotFeed.m_cs);
}

PlotFeedCounts fnPlotFeedCounts()
{
    PlotFeedCounts st;
    st.m_qwLongLines = gstPlotFeed.m_stParser.m_qwLongLines;
    st.m_qwNoChannel = gstPlotFeed.m_stParser.m_qwNoChannel;
    return st;
}

void fnPlotLock()
{
    EnterCriticalSection(&gstPlotFeed.m_cs);
}

void fnPlotUnlock()
{
    LeaveCriticalSection(&gstPlotFeed.m_cs);
}
