// The log's clock: local wall time as milliseconds since 1970-01-01 00:00
// local time, one count for stamps, pauses, file names and the date change.
// The Win32 side makes it from a SYSTEMTIME of local time through LogDate.
#ifndef ZEVRIK_LOG_TIME_H
#define ZEVRIK_LOG_TIME_H

#include <cstdint>

const std::uint64_t kLogMsPerDay = 86400000;

// Local date and time, the fields of a SYSTEMTIME (no weekday).
struct LogDate {
    std::uint32_t m_nYear; // from 1970
    std::uint32_t m_nMonth;
    std::uint32_t m_nDay;
    std::uint32_t m_nHour;
    std::uint32_t m_nMinute;
    std::uint32_t m_nSecond;
    std::uint32_t m_nMs;
};

// A valid date from 1970 on; an earlier one gives 0.
std::uint64_t fnLogMsOf(const LogDate &st);
LogDate fnLogDateOf(std::uint64_t qwMs);

// The local day a time falls on: midnight is where it changes.
inline std::uint64_t fnLogDay(std::uint64_t qwMs)
{
    return qwMs / kLogMsPerDay;
}

#endif
