// Arbitrary received bytes for the console screen and its parser: no access
// outside the screen, and blocks fed in two parts leave the same text as
// blocks fed whole.
#include "console_screen.h"
#include "fuzz_require.h"

#include <string>

namespace {

ConsoleScreen gstStepped;
ConsoleScreen gstWhole;

// The view's text: the kept lines joined by CR LF, each within its bound.
std::string View(ConsoleScreen &st)
{
    std::string strView;
    char achLine[kLineTextMax];
    for (std::uint32_t i = 0; i < fnScreenLines(st); ++i) {
        const std::uint32_t dwLen = fnScreenLineText(st, i, achLine);
        Require(dwLen <= sizeof achLine);
        strView += i != 0 ? "\r\n" : "";
        strView.append(achLine, dwLen);
    }
    return strView;
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
    for (std::size_t i = 2; i < cbData; i += dwBlock) {
        const std::uint32_t dwCount = static_cast<std::uint32_t>(cbData - i < dwBlock ? cbData - i : dwBlock);
        const std::int32_t nStamp = (i & 1) != 0 ? kNoStamp : static_cast<std::int32_t>(i);
        const std::uint32_t dwFirst = static_cast<std::uint32_t>(i % (dwCount + 1));
        fnScreenFeed(gstStepped, pbyData + i, dwFirst, nStamp);
        fnScreenFeed(gstStepped, pbyData + i + dwFirst, dwCount - dwFirst, nStamp);
        fnScreenFeed(gstWhole, pbyData + i, dwCount, nStamp);
    }
    const std::string strWhole = View(gstWhole);
    Require(View(gstStepped) == strWhole);
    const ScreenPos stAll[2] = {{0, 0}, {~0u, ~0u}};
    Require(fnScreenText(gstWhole, stAll[0], stAll[1], nullptr, 0) == strWhole.size());
    Require(fnScreenLines(gstWhole) <= kHistoryLines + kLiveRows);
    return 0;
}
