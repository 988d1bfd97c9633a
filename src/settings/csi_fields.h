// The csi image's size and its little-endian field routines, shared by the
// 41 fields (csi_image) and the block after them (csi_tail).
#ifndef ZEVRIK_CSI_FIELDS_H
#define ZEVRIK_CSI_FIELDS_H

#include "settings_data.h"

const ZDWORD kCsiImageSize = 4096;
const ZDWORD kCsiFieldsEnd = 1144;

// Field routines: each moves one value at *pdwPos and advances the position.
// A get beyond the image (or a put that would not fit) moves nothing and
// returns 0; otherwise they return 1.
int fnPutDword(ZBYTE *pbyImage, ZDWORD *pdwPos, const ZDWORD *pdwValue);
int fnGetDword(const ZBYTE *pbyImage, ZDWORD *pdwPos, ZDWORD *pdwValue);
int fnPutBool(ZBYTE *pbyImage, ZDWORD *pdwPos, const ZDWORD *pbValue);
int fnGetBool(const ZBYTE *pbyImage, ZDWORD *pdwPos, ZDWORD *pbValue);
int fnPutByte(ZBYTE *pbyImage, ZDWORD *pdwPos, const ZBYTE *pbyValue);
int fnGetByte(const ZBYTE *pbyImage, ZDWORD *pdwPos, ZBYTE *pbyValue);
int fnPutBytes(ZBYTE *pbyImage, ZDWORD *pdwPos, const void *pvValue, ZDWORD dwCount);
int fnGetBytes(const ZBYTE *pbyImage, ZDWORD *pdwPos, void *pvValue, ZDWORD dwCount);

#endif
