#include "default_image.h"

#include <cstdio>

namespace {

bool WriteImage(const char *pszPath, const CsiImage &stCsi)
{
    std::FILE *pFile = std::fopen(pszPath, "wb");
    if (pFile == nullptr) {
        std::perror(pszPath);
        return false;
    }
    const bool bOk = std::fwrite(stCsi.m_abyImage, 1, kCsiImageSize, pFile) == kCsiImageSize;
    return std::fclose(pFile) == 0 && bOk;
}

} // namespace

// The default settings, and the same with every setting of the block after the
// fields at its largest value, so the fuzzer starts inside the block too.
int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: csi_seed DEFAULT-FILE BLOCK-FILE\n");
        return 2;
    }
    static CsiImage stBlock;
    stBlock = DefaultImage();
    for (int i = 0; i < kCsiTailCount; ++i) {
        stBlock.m_stFileData.m_stTail.m_adwValue[i] = kastCsiTail[i].m_dwMax;
    }
    fnFileDataToBuf(stBlock);
    return WriteImage(argv[1], DefaultImage()) && WriteImage(argv[2], stBlock) ? 0 : 1;
}
