#include "log_ring.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

// Records of every size put and taken in a random order against a queue:
// they come out whole and in order across the buffer's end, a full ring
// refuses without changing, and a record too big for the caller's buffer is
// passed over whole.
TEST(LogRing, RecordsComeOutWholeInOrderAcrossTheEnd)
{
    std::uint8_t aby[1000];
    LogRing st;
    fnRingInit(st, aby, sizeof aby);
    std::deque<std::vector<std::uint8_t>> deqWant;
    std::uint32_t dwUsed = 0;
    unsigned uSeed = 7;
    auto fnNext = [&uSeed](unsigned uRange) {
        uSeed = uSeed * 1103515245u + 12345u;
        return (uSeed >> 8) % uRange;
    };
    std::uint32_t nRefused = 0, nWrapped = 0;
    for (std::uint32_t i = 0; i < 20000; ++i) {
        if (fnNext(2) == 0) {
            std::vector<std::uint8_t> vec(fnNext(300));
            for (std::uint8_t &by : vec) {
                by = static_cast<std::uint8_t>(fnNext(256));
            }
            const LogRecord stRec = {static_cast<std::uint32_t>(vec.size()), kLogRecSent, 0, 0, i};
            const bool bFits = dwUsed + sizeof stRec + vec.size() <= sizeof aby;
            const std::uint32_t dwTake = st.m_dwTake;
            ASSERT_EQ(bFits, fnRingPut(st, stRec, vec.data()));
            if (bFits) {
                nWrapped += (dwTake + dwUsed) % sizeof aby + sizeof stRec + vec.size() > sizeof aby;
                dwUsed += static_cast<std::uint32_t>(sizeof stRec + vec.size());
                deqWant.push_back(vec);
            } else {
                ++nRefused;
                ASSERT_EQ(dwTake, st.m_dwTake);
            }
            continue;
        }
        LogRecord stRec;
        std::uint8_t abyOut[300] = {};
        const std::uint32_t cbOut = fnNext(8) == 0 ? 100 : sizeof abyOut;
        ASSERT_EQ(!deqWant.empty(), fnRingTake(st, stRec, abyOut, cbOut));
        if (deqWant.empty()) {
            continue;
        }
        const std::vector<std::uint8_t> vec = deqWant.front();
        deqWant.pop_front();
        ASSERT_EQ(vec.size(), stRec.m_dwLen);
        if (vec.size() <= cbOut) {
            ASSERT_TRUE(std::equal(vec.begin(), vec.end(), abyOut));
        }
        dwUsed -= static_cast<std::uint32_t>(sizeof stRec + vec.size());
    }
    EXPECT_GT(nRefused, 100u);
    EXPECT_GT(nWrapped, 100u);
}
