#include "log_rotate.h"

#include "log_time.h"

namespace {

// The end of the last whole line within the first dwRoom bytes; in an empty
// file the end of the first line, however long.
std::uint32_t fnLinesThatFit(const char *pch, std::uint32_t dwCount, std::uint32_t dwRoom, bool bEmpty)
{
    for (std::uint32_t i = dwRoom; i > 0; --i) {
        if (pch[i - 1] == '\n') {
            return i;
        }
    }
    if (!bEmpty) {
        return 0;
    }
    std::uint32_t i = 0;
    while (i < dwCount && pch[i++] != '\n') {
    }
    return i;
}

std::uint32_t fnSizeCut(const LogSettings &st, std::uint64_t qwFileBytes, const char *pch,
                        std::uint32_t dwCount)
{
    const std::uint64_t qwLimit =
        st.m_dwRotateBytes > kLogRotateBytesMin ? st.m_dwRotateBytes : kLogRotateBytesMin;
    const std::uint64_t qwRoom = qwFileBytes < qwLimit ? qwLimit - qwFileBytes : 0;
    if (dwCount <= qwRoom) {
        return dwCount;
    }
    if (st.m_nFormat == kLogRaw) {
        return static_cast<std::uint32_t>(qwRoom);
    }
    return fnLinesThatFit(pch, dwCount, static_cast<std::uint32_t>(qwRoom), qwFileBytes == 0);
}

} // namespace

std::uint32_t fnLogCut(const LogSettings &st, std::uint64_t qwFileBytes, std::uint64_t qwFileMs,
                       std::uint64_t qwNowMs, const char *pch, std::uint32_t dwCount)
{
    if (st.m_nRotate == kLogRotateSize) {
        return fnSizeCut(st, qwFileBytes, pch, dwCount);
    }
    if (st.m_nRotate == kLogRotateMidnight && fnLogDay(qwFileMs) != fnLogDay(qwNowMs)) {
        return 0;
    }
    return dwCount;
}
