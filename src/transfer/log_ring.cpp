#include "log_ring.h"

#include <cstring>

namespace {

// Copies in at the ring's position dwAt, going on at its start.
void fnCopyIn(LogRing &st, std::uint32_t dwAt, const void *pv, std::uint32_t cb)
{
    if (cb == 0) {
        return;
    }
    const std::uint8_t *pby = static_cast<const std::uint8_t *>(pv);
    const std::uint32_t cbFirst = st.m_dwSize - dwAt < cb ? st.m_dwSize - dwAt : cb;
    std::memcpy(st.m_pby + dwAt, pby, cbFirst);
    std::memcpy(st.m_pby, pby + cbFirst, cb - cbFirst);
}

void fnCopyOut(const LogRing &st, std::uint32_t dwAt, void *pv, std::uint32_t cb)
{
    if (cb == 0) {
        return;
    }
    std::uint8_t *pby = static_cast<std::uint8_t *>(pv);
    const std::uint32_t cbFirst = st.m_dwSize - dwAt < cb ? st.m_dwSize - dwAt : cb;
    std::memcpy(pby, st.m_pby + dwAt, cbFirst);
    std::memcpy(pby + cbFirst, st.m_pby, cb - cbFirst);
}

std::uint32_t fnAfter(const LogRing &st, std::uint32_t dwAt, std::uint32_t cb)
{
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(dwAt) + cb) % st.m_dwSize);
}

} // namespace

void fnRingInit(LogRing &st, std::uint8_t *pbyBuffer, std::uint32_t dwSize)
{
    st.m_pby = pbyBuffer;
    st.m_dwSize = dwSize;
    st.m_dwTake = 0;
    st.m_dwUsed = 0;
}

bool fnRingPut(LogRing &st, const LogRecord &stRec, const std::uint8_t *pby)
{
    const std::uint64_t qwNeed = sizeof stRec + static_cast<std::uint64_t>(stRec.m_dwLen);
    if (qwNeed > st.m_dwSize - st.m_dwUsed) {
        return false;
    }
    const std::uint32_t dwAt = fnAfter(st, st.m_dwTake, st.m_dwUsed);
    fnCopyIn(st, dwAt, &stRec, sizeof stRec);
    fnCopyIn(st, fnAfter(st, dwAt, sizeof stRec), pby, stRec.m_dwLen);
    st.m_dwUsed += static_cast<std::uint32_t>(qwNeed);
    return true;
}

bool fnRingTake(LogRing &st, LogRecord &stRec, std::uint8_t *pbyOut, std::uint32_t cbOut)
{
    if (st.m_dwUsed == 0) {
        return false;
    }
    fnCopyOut(st, st.m_dwTake, &stRec, sizeof stRec);
    const std::uint32_t dwBytesAt = fnAfter(st, st.m_dwTake, sizeof stRec);
    if (stRec.m_dwLen <= cbOut) {
        fnCopyOut(st, dwBytesAt, pbyOut, stRec.m_dwLen);
    }
    st.m_dwTake = fnAfter(st, dwBytesAt, stRec.m_dwLen);
    st.m_dwUsed -= static_cast<std::uint32_t>(sizeof stRec) + stRec.m_dwLen;
    return true;
}
