// Writes the example settings files that ship with ZEVRIK, through the same
// csi codec the program loads them with:
//   default.csi          every setting at its default (COM1, 9600, 8, None, 1)
//   loopback-115200.csi  COM1 at 115200, the loopback port of `make run`
// Usage: zevrik_csi_examples DIR
#include "csi_image.h"

#include <cstdio>
#include <string>

namespace {

const ZDWORD kBaud115200 = 15; // position of 115200 in the COM Set rate list

struct Example {
    const char *pszName;
    ZDWORD nBaud;
};

const Example kastExamples[] = {
    {"default.csi", fnDefaultComSet().m_nBaud},
    {"loopback-115200.csi", kBaud115200},
};

// Encodes the defaults with the given rate and decodes the result again, so
// a file that the program would refuse is never written.
bool fnEncode(ZDWORD nBaud, CsiImage &stCsi)
{
    ComSetData stComSet;
    TimeoutsData stTimeouts;
    FlowCtrlData stFlowCtrl;
    TermOptData stTermOpt;
    DataTransData stDataTrans;
    LogSettings stLog = fnLogDefaults();
    stComSet.m_stCur.m_nBaud = nBaud;
    fnSettingsToFileData(stCsi, {&stComSet, &stTimeouts, &stFlowCtrl, &stTermOpt, &stDataTrans, &stLog});
    fnFileDataToBuf(stCsi);
    CsiImage stCheck = stCsi;
    stCheck.m_dwPos = 0;
    stCheck.m_dwValid = kCsiImageSize;
    return fnBufToFileData(stCheck) == 0 && stCheck.m_stFileData.m_stComSet.m_nBaud == nBaud;
}

bool fnWrite(const std::string &strPath, const CsiImage &stCsi)
{
    std::FILE *pFile = std::fopen(strPath.c_str(), "wb");
    if (pFile == nullptr) {
        std::perror(strPath.c_str());
        return false;
    }
    const bool bOk = std::fwrite(stCsi.m_abyImage, 1, kCsiImageSize, pFile) == kCsiImageSize;
    return std::fclose(pFile) == 0 && bOk;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: zevrik_csi_examples DIR\n");
        return 2;
    }
    for (const Example &stExample : kastExamples) {
        CsiImage stCsi;
        const std::string strPath = std::string(argv[1]) + "/" + stExample.pszName;
        if (!fnEncode(stExample.nBaud, stCsi) || !fnWrite(strPath, stCsi)) {
            std::fprintf(stderr, "zevrik_csi_examples: %s not written\n", strPath.c_str());
            return 1;
        }
    }
    return 0;
}
