#include "csi_fields.h"

#include <cstring>

namespace {

const ZBYTE kFlagSet = 0xFF;

bool fnFits(ZDWORD dwPos, ZDWORD dwSize)
{
    return dwPos <= kCsiImageSize && dwSize <= kCsiImageSize - dwPos;
}

} // namespace

int fnPutDword(ZBYTE *pbyImage, ZDWORD *pdwPos, const ZDWORD *pdwValue)
{
    if (!fnFits(*pdwPos, 4)) {
        return 0;
    }
    for (int i = 0; i < 4; ++i) {
        pbyImage[*pdwPos + i] = static_cast<ZBYTE>(*pdwValue >> (8 * i));
    }
    *pdwPos += 4;
    return 1;
}

int fnGetDword(const ZBYTE *pbyImage, ZDWORD *pdwPos, ZDWORD *pdwValue)
{
    if (!fnFits(*pdwPos, 4)) {
        return 0;
    }
    ZDWORD dw = 0;
    for (int i = 3; i >= 0; --i) {
        dw = (dw << 8) | pbyImage[*pdwPos + i];
    }
    *pdwValue = dw;
    *pdwPos += 4;
    return 1;
}

int fnPutBool(ZBYTE *pbyImage, ZDWORD *pdwPos, const ZDWORD *pbValue)
{
    const ZBYTE by = *pbValue == 1 ? kFlagSet : 0;
    return fnPutByte(pbyImage, pdwPos, &by);
}

int fnGetBool(const ZBYTE *pbyImage, ZDWORD *pdwPos, ZDWORD *pbValue)
{
    ZBYTE by = 0;
    if (!fnGetByte(pbyImage, pdwPos, &by)) {
        return 0;
    }
    *pbValue = by != 0 ? 1 : 0;
    return 1;
}

int fnPutByte(ZBYTE *pbyImage, ZDWORD *pdwPos, const ZBYTE *pbyValue)
{
    return fnPutBytes(pbyImage, pdwPos, pbyValue, 1);
}

int fnGetByte(const ZBYTE *pbyImage, ZDWORD *pdwPos, ZBYTE *pbyValue)
{
    return fnGetBytes(pbyImage, pdwPos, pbyValue, 1);
}

int fnPutBytes(ZBYTE *pbyImage, ZDWORD *pdwPos, const void *pvValue, ZDWORD dwCount)
{
    if (!fnFits(*pdwPos, dwCount)) {
        return 0;
    }
    std::memcpy(pbyImage + *pdwPos, pvValue, dwCount);
    *pdwPos += dwCount;
    return 1;
}

int fnGetBytes(const ZBYTE *pbyImage, ZDWORD *pdwPos, void *pvValue, ZDWORD dwCount)
{
    if (!fnFits(*pdwPos, dwCount)) {
        return 0;
    }
    std::memcpy(pvValue, pbyImage + *pdwPos, dwCount);
    *pdwPos += dwCount;
    return 1;
}
