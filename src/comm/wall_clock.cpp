#include "wall_clock.h"

#include <windows.h>

#include "log_time.h"

namespace {

// The mapping is compared with the wall clock at most this often, and made
// again when the two are further apart than the wall clock's tick allows:
// the clock was set, or the counter drifted.
const LONGLONG kCheckEverySeconds = 1;
const LONGLONG kAllowedMs = 50;

struct WallClockRecord {
    CRITICAL_SECTION m_cs;
    LONGLONG m_llFrequency; // 0 until the first reading
    LONGLONG m_llBase;      // the counter when the wall clock read m_qwBaseMs
    std::uint64_t m_qwBaseMs;
    LONGLONG m_llChecked;
    WallClockRecord() : m_llFrequency(0), m_llBase(0), m_qwBaseMs(0), m_llChecked(0)
    {
        InitializeCriticalSection(&m_cs);
    }
};

WallClockRecord gstWallClock;

std::uint64_t fnLocalMs()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    const LogDate stDate = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
    return fnLogMsOf(stDate);
}

LONGLONG fnCounter()
{
    LARGE_INTEGER li;
    QueryPerformanceCounter(&li);
    return li.QuadPart;
}

std::uint64_t fnMapped(LONGLONG llNow)
{
    const WallClockRecord &st = gstWallClock;
    const ULONGLONG qwTicks = static_cast<ULONGLONG>(llNow - st.m_llBase);
    const ULONGLONG qwFrequency = static_cast<ULONGLONG>(st.m_llFrequency);
    return st.m_qwBaseMs + qwTicks / qwFrequency * 1000 + qwTicks % qwFrequency * 1000 / qwFrequency;
}

void fnMapAgain(LONGLONG llNow)
{
    WallClockRecord &st = gstWallClock;
    st.m_llChecked = llNow;
    const std::uint64_t qwWall = fnLocalMs();
    const std::uint64_t qwMapped = fnMapped(llNow);
    const std::uint64_t qwApart = qwWall > qwMapped ? qwWall - qwMapped : qwMapped - qwWall;
    if (qwApart > static_cast<std::uint64_t>(kAllowedMs)) {
        st.m_llBase = llNow;
        st.m_qwBaseMs = qwWall;
    }
}

} // namespace

std::uint64_t fnWallClockMs()
{
    WallClockRecord &st = gstWallClock;
    EnterCriticalSection(&st.m_cs);
    const LONGLONG llNow = fnCounter();
    if (st.m_llFrequency == 0) {
        LARGE_INTEGER li;
        QueryPerformanceFrequency(&li);
        st.m_llFrequency = li.QuadPart;
        st.m_llBase = llNow;
        st.m_qwBaseMs = fnLocalMs();
        st.m_llChecked = llNow;
    } else if (llNow - st.m_llChecked >= kCheckEverySeconds * st.m_llFrequency) {
        fnMapAgain(llNow);
    }
    const std::uint64_t qwMs = fnMapped(llNow);
    LeaveCriticalSection(&st.m_cs);
    return qwMs;
}
