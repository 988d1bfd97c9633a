#include "default_image.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: csi_seed FILE\n");
        return 2;
    }
    const CsiImage &stCsi = DefaultImage();
    std::FILE *pFile = std::fopen(argv[1], "wb");
    if (pFile == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool bOk = std::fwrite(stCsi.m_abyImage, 1, kCsiImageSize, pFile) == kCsiImageSize;
    return std::fclose(pFile) == 0 && bOk ? 0 : 1;
}
