#include "log_time.h"

// Days and dates after the proleptic Gregorian calendar, counted in 400-year
// eras from 0000-03-01 so that a leap day ends each year.
namespace {

const std::int64_t kDaysTo1970 = 719468;
const std::int64_t kDaysPerEra = 146097;

std::int64_t fnDaysOf(std::int64_t nYear, std::int64_t nMonth, std::int64_t nDay)
{
    nYear -= nMonth <= 2 ? 1 : 0;
    const std::int64_t nEra = nYear / 400;
    const std::int64_t nYoe = nYear - nEra * 400;
    const std::int64_t nDoy = (153 * (nMonth > 2 ? nMonth - 3 : nMonth + 9) + 2) / 5 + nDay - 1;
    return nEra * kDaysPerEra + nYoe * 365 + nYoe / 4 - nYoe / 100 + nDoy - kDaysTo1970;
}

} // namespace

std::uint64_t fnLogMsOf(const LogDate &st)
{
    const std::int64_t nDays = fnDaysOf(st.m_nYear, st.m_nMonth, st.m_nDay);
    if (st.m_nYear < 1970 || nDays < 0) {
        return 0;
    }
    const std::uint64_t qwSeconds = (st.m_nHour * 60ull + st.m_nMinute) * 60 + st.m_nSecond;
    return static_cast<std::uint64_t>(nDays) * kLogMsPerDay + qwSeconds * 1000 + st.m_nMs;
}

LogDate fnLogDateOf(std::uint64_t qwMs)
{
    const std::uint64_t qwDays = fnLogDay(qwMs) + kDaysTo1970;
    const std::uint64_t qwEra = qwDays / kDaysPerEra;
    const std::uint64_t qwDoe = qwDays - qwEra * kDaysPerEra;
    const std::uint64_t qwYoe = (qwDoe - qwDoe / 1460 + qwDoe / 36524 - qwDoe / 146096) / 365;
    const std::uint64_t qwDoy = qwDoe - (365 * qwYoe + qwYoe / 4 - qwYoe / 100);
    const std::uint64_t qwMp = (5 * qwDoy + 2) / 153;
    const std::uint32_t nMonth = static_cast<std::uint32_t>(qwMp < 10 ? qwMp + 3 : qwMp - 9);
    const std::uint32_t nMsOfDay = static_cast<std::uint32_t>(qwMs % kLogMsPerDay);
    LogDate st;
    st.m_nYear = static_cast<std::uint32_t>(qwYoe + qwEra * 400 + (nMonth <= 2 ? 1 : 0));
    st.m_nMonth = nMonth;
    st.m_nDay = static_cast<std::uint32_t>(qwDoy - (153 * qwMp + 2) / 5 + 1);
    st.m_nHour = nMsOfDay / 3600000;
    st.m_nMinute = nMsOfDay / 60000 % 60;
    st.m_nSecond = nMsOfDay / 1000 % 60;
    st.m_nMs = nMsOfDay % 1000;
    return st;
}
