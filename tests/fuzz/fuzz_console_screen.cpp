// Arbitrary received bytes for the console screen and its parser: no access
// outside the screen, and a view given a few updates after every block (as
// far as it gets) ends with the same text as one given everything at once.
#include "console_screen.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

ConsoleScreen gstStepped;
ConsoleScreen gstWhole;

void Require(bool bOk)
{
    if (!bOk) {
        std::abort();
    }
}

// Applies at most nSteps updates (the view may stop early), or all.
void Apply(ConsoleScreen &st, std::string &strView, int nSteps = -1)
{
    std::vector<char> vecOut(kLineTextMax);
    ScreenUpdate stUp;
    while (nSteps-- != 0 &&
           fnScreenTake(st, vecOut.data(), static_cast<std::uint32_t>(vecOut.size()), stUp)) {
        Require(stUp.m_dwDropHead + stUp.m_dwDropTail <= strView.size() && stUp.m_dwLen <= vecOut.size());
        strView.erase(0, stUp.m_dwDropHead);
        strView.erase(strView.size() - stUp.m_dwDropTail);
        strView.append(vecOut.data(), stUp.m_dwLen);
    }
}

} // namespace

// The first byte picks the mode and a small history limit (so that lines go
// within one input), the second the size of the blocks.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 2 || cbData > 65536) {
        return 0;
    }
    const bool bConsole = (pbyData[0] & 1) != 0;
    const std::uint32_t dwLimit = 512u + 64u * (pbyData[0] >> 1);
    const std::uint32_t dwBlock = 1u + pbyData[1];
    fnScreenReset(gstStepped, bConsole, dwLimit);
    fnScreenReset(gstWhole, bConsole, dwLimit);
    std::string strStepped;
    std::string strWhole;
    for (std::size_t i = 2; i < cbData; i += dwBlock) {
        const std::uint32_t dwCount = static_cast<std::uint32_t>(cbData - i < dwBlock ? cbData - i : dwBlock);
        const std::int32_t nStamp = (i & 1) != 0 ? kNoStamp : static_cast<std::int32_t>(i);
        fnScreenFeed(gstStepped, pbyData + i, dwCount, nStamp);
        fnScreenFeed(gstWhole, pbyData + i, dwCount, nStamp);
        Apply(gstStepped, strStepped, 1 + static_cast<int>(i % 3));
    }
    Apply(gstStepped, strStepped);
    Apply(gstWhole, strWhole);
    Require(strStepped == strWhole);
    Require(fnScreenLines(gstWhole) <= kHistoryLines + kLiveRows);
    return 0;
}
