#include "xfer_session.h"

#include <cstring>

namespace {

void fnInput(XferSession &st, const std::uint8_t *pby, std::size_t cb)
{
    XferCore &stCore = st.m_stCore;
    switch (stCore.m_stSet.m_nProtocol) {
    case kXferZmodem:
        if (st.m_bSend) {
            fnZSendFeed(stCore, st.m_stZSend, pby, cb);
        } else {
            fnZRecvFeed(stCore, st.m_stZRecv, pby, cb);
        }
        break;
    default:
        if (st.m_bSend) {
            fnXySendFeed(stCore, st.m_stXySend, pby, cb);
        } else {
            fnXyRecvFeed(stCore, st.m_stXyRecv, pby, cb);
        }
        break;
    }
}

void fnTimeOut(XferSession &st)
{
    XferCore &stCore = st.m_stCore;
    switch (stCore.m_stSet.m_nProtocol) {
    case kXferZmodem:
        if (st.m_bSend) {
            fnZSendTimeOut(stCore, st.m_stZSend);
        } else {
            fnZRecvTimeOut(stCore, st.m_stZRecv);
        }
        break;
    default:
        if (st.m_bSend) {
            fnXySendTimeOut(stCore, st.m_stXySend);
        } else {
            fnXyRecvTimeOut(stCore, st.m_stXyRecv);
        }
        break;
    }
}

} // namespace

void fnXferStart(XferSession &st, const XferSettings &stSet, bool bSend, XferSource *pSource, XferSink *pSink,
                 std::uint32_t dwNow)
{
    std::memset(static_cast<void *>(&st), 0, sizeof st);
    st.m_bSend = bSend;
    XferCore &stCore = st.m_stCore;
    fnXferCoreInit(stCore, stSet, pSource, pSink, dwNow);
    const bool bYmodem = stSet.m_nProtocol == kXferYmodem;
    if (stSet.m_nProtocol == kXferZmodem) {
        if (bSend) {
            fnZSendStart(stCore, st.m_stZSend);
        } else {
            fnZRecvStart(stCore, st.m_stZRecv);
        }
    } else if (bSend) {
        fnXySendStart(stCore, st.m_stXySend, bYmodem);
    } else {
        fnXyRecvStart(stCore, st.m_stXyRecv, bYmodem);
    }
}

void fnXferFeed(XferSession &st, const std::uint8_t *pby, std::size_t cb, std::uint32_t dwNow)
{
    XferCore &stCore = st.m_stCore;
    stCore.m_dwNow = dwNow;
    if (stCore.m_nResult == kXferRunning && cb > 0) {
        fnInput(st, pby, cb);
    }
    if (stCore.m_nResult == kXferRunning && fnXferTimeReached(dwNow, stCore.m_dwDeadline)) {
        fnTimeOut(st);
    }
    if (stCore.m_nResult == kXferRunning && st.m_bSend && stCore.m_stSet.m_nProtocol == kXferZmodem) {
        fnZSendPump(stCore, st.m_stZSend);
    }
}

std::size_t fnXferTakeOutput(XferSession &st, std::uint8_t *pby, std::size_t cbMax)
{
    XferCore &stCore = st.m_stCore;
    const std::size_t cbHave = stCore.m_dwOutEnd - stCore.m_dwOutHead;
    const std::size_t cb = cbHave < cbMax ? cbHave : cbMax;
    std::memcpy(pby, stCore.m_abyOut + stCore.m_dwOutHead, cb);
    stCore.m_dwOutHead += static_cast<std::uint32_t>(cb);
    return cb;
}

void fnXferCancel(XferSession &st, std::uint32_t dwNow)
{
    st.m_stCore.m_dwNow = dwNow;
    fnXferEnd(st.m_stCore, kXferCancelledByUser, true);
}

bool fnXferRunning(const XferSession &st)
{
    return st.m_stCore.m_nResult == kXferRunning;
}

std::uint32_t fnXferWaitMs(const XferSession &st, std::uint32_t dwNow)
{
    const std::uint32_t dwDeadline = st.m_stCore.m_dwDeadline;
    return fnXferTimeReached(dwNow, dwDeadline) ? 0 : dwDeadline - dwNow;
}
