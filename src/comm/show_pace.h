// Pacing of what the worker threads show in the windows. Every update is a
// call carried over to the user-interface thread that waits for it, and under
// Wine a rewrite of the terminal text takes ~50 ms and a counter ~1-2 ms,
// far longer than the block it reports. So a value that changes with every
// block is shown at most once per interval, and one kept back is shown as
// soon as the data pauses.
#ifndef ZEVRIK_SHOW_PACE_H
#define ZEVRIK_SHOW_PACE_H

#include <windows.h>

const DWORD kShowIntervalMs = 50;
// With something kept back, a worker waits no longer than this for the next
// block before it shows what it has.
const DWORD kShowIdleMs = 10;

struct ShowPace {
    BOOL m_bOwed;
    DWORD m_dwShownAt;
};

// Nothing kept back, and the next update may be shown at once.
inline void fnPaceReset(ShowPace &stPace)
{
    stPace.m_bOwed = FALSE;
    stPace.m_dwShownAt = GetTickCount() - kShowIntervalMs;
}

inline BOOL fnPaceDueAfter(const ShowPace &stPace, DWORD dwIntervalMs)
{
    return stPace.m_bOwed && GetTickCount() - stPace.m_dwShownAt >= dwIntervalMs;
}

inline BOOL fnPaceDue(const ShowPace &stPace)
{
    return fnPaceDueAfter(stPace, kShowIntervalMs);
}

// Called once the update is done, so the interval runs from its end and the
// user-interface thread gets that long for everything else.
inline void fnPaceShown(ShowPace &stPace)
{
    stPace.m_bOwed = FALSE;
    stPace.m_dwShownAt = GetTickCount();
}

// The wait for the next block, cut short while something is kept back.
inline DWORD fnPaceWaitMs(BOOL bOwed, DWORD dwWaitMs)
{
    return bOwed && dwWaitMs > kShowIdleMs ? kShowIdleMs : dwWaitMs;
}

#endif
