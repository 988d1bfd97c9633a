// Arbitrary received bytes for the plot's line reader: however the bytes are
// split into reads, the same lines come out; values go only to channels that
// have names, at most kPlotChannels of them, each name ended inside its slot;
// every value the export writes reads back as itself. The lines then go
// through a small ring, the reduction and a CSV export with no write outside
// their buffers.
#include "plot_csv.h"
#include "plot_parse.h"
#include "fuzz_require.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct Digest {
    std::uint64_t m_qwHash;
    std::uint64_t m_qwLines;
};

void fnCheckValue(double d)
{
    char ach[kPlotValueMax];
    const std::size_t cch = fnPlotFormatValue(ach, sizeof ach, d);
    Require(cch < kPlotValueMax && cch == std::strlen(ach));
    double dBack = 0;
    Require(!std::isfinite(d) ||
            (fnPlotNumber(ach, ach + cch, dBack) == ach + cch && std::memcmp(&dBack, &d, sizeof d) == 0));
}

void fnCheckLine(const PlotParser &st, const PlotLine &stLine, Digest &stDigest)
{
    if (stLine.m_wMask == 0 && stLine.m_wNew == 0) {
        return;
    }
    const unsigned nCount = st.m_stNames.m_byCount;
    Require(nCount <= kPlotChannels);
    const unsigned uNamed = (1u << nCount) - 1;
    Require((stLine.m_wMask & ~uNamed) == 0 && (stLine.m_wNew & ~uNamed) == 0);
    for (unsigned c = 0; c < nCount; ++c) {
        Require(std::memchr(st.m_stNames.m_aachName[c], '\0', kPlotNameMax) != nullptr);
    }
    stDigest.m_qwHash =
        stDigest.m_qwHash * 1099511628211ull ^ stLine.m_wMask ^ std::uint64_t(stLine.m_wNew) << 16;
    for (unsigned c = 0; c < kPlotChannels; ++c) {
        if (((stLine.m_wMask >> c) & 1u) != 0) {
            std::uint64_t qwBits;
            std::memcpy(&qwBits, &stLine.m_adValue[c], sizeof qwBits);
            stDigest.m_qwHash = stDigest.m_qwHash * 1099511628211ull ^ qwBits;
            fnCheckValue(stLine.m_adValue[c]);
        }
    }
    ++stDigest.m_qwLines;
}

// Feeds the bytes in reads of cbStep, each in a buffer of its own size so
// that a read past its end is caught; lines with values go to the store.
Digest fnParse(PlotParser &st, std::uint8_t byFormats, const std::uint8_t *pby, std::size_t cb,
               std::size_t cbStep, PlotStore *pstStore)
{
    fnPlotParseInit(st, byFormats);
    Digest stDigest = {14695981039346656037ull, 0};
    PlotLine stLine;
    for (std::size_t i = 0; i < cb; i += cbStep) {
        const std::vector<char> vecRead(pby + i, pby + std::min(cb, i + cbStep));
        for (std::size_t j = 0; j < vecRead.size();) {
            j += fnPlotParseFeed(st, vecRead.data() + j, vecRead.size() - j, stLine);
            fnCheckLine(st, stLine, stDigest);
            if (pstStore != nullptr) {
                fnPlotStoreAdd(*pstStore, stLine, st.m_stNames, static_cast<double>(i) / 100);
            }
        }
    }
    fnPlotParseFlush(st, stLine);
    fnCheckLine(st, stLine, stDigest);
    return stDigest;
}

void fnReadStore(const PlotStore &stStore, std::uint8_t bySeed)
{
    static PlotCell astCells[kPlotChannels * 37];
    const PlotAxis nAxis = bySeed % 2 == 0 ? kPlotAxisTime : kPlotAxisLine;
    double dFirst = 0;
    double dLast = 0;
    if (fnPlotExtent(stStore, nAxis, dFirst, dLast)) {
        const PlotRange stRange = {nAxis, dFirst - bySeed % 5, dLast + bySeed % 3};
        fnPlotReduce(stStore, stRange, 0xFFFF, astCells, sizeof astCells / sizeof astCells[0], 37);
        PlotPoint stPoint;
        fnPlotNearest(stStore, nAxis, (dFirst + dLast) / 2, bySeed % kPlotChannels, stPoint);
    }
    PlotCsv stCsv;
    fnPlotCsvStart(stCsv, stStore, nullptr);
    std::vector<char> vecChunk(kPlotCsvRowMax + bySeed);
    for (std::size_t cch; (cch = fnPlotCsvChunk(stCsv, stStore, vecChunk.data(), vecChunk.size())) != 0;) {
        Require(cch <= vecChunk.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *pbyData, std::size_t cbData)
{
    if (cbData < 2 || cbData > 65536) {
        return 0;
    }
    const std::uint8_t byFormats = static_cast<std::uint8_t>(1 + pbyData[0] % kPlotFormatAll);
    const std::size_t cbStep = 1 + pbyData[1] % 23;
    static PlotParser stWhole;
    static PlotParser stSplit;
    static PlotStore stStore;
    fnPlotStoreInit(stStore, 2 * kPlotBlockRows);
    const Digest stA = fnParse(stWhole, byFormats, pbyData + 2, cbData - 2, cbData, &stStore);
    const Digest stB = fnParse(stSplit, byFormats, pbyData + 2, cbData - 2, cbStep, nullptr);
    Require(stA.m_qwHash == stB.m_qwHash && stA.m_qwLines == stB.m_qwLines);
    Require(stWhole.m_qwLongLines == stSplit.m_qwLongLines && stWhole.m_qwNoChannel == stSplit.m_qwNoChannel);
    Require(std::memcmp(&stWhole.m_stNames, &stSplit.m_stNames, sizeof stWhole.m_stNames) == 0);
    fnReadStore(stStore, pbyData[1]);
    return 0;
}
