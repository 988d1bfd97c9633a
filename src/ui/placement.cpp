#include "placement.h"

namespace {

// The start of a span of length lLen centred on the span [lFrom, lTo) and
// pulled back inside [lMin, lMax) as far as it fits, its start first.
long fnCentredStart(long lFrom, long lTo, long lLen, long lMin, long lMax)
{
    long lStart = lFrom + ((lTo - lFrom) - lLen) / 2;
    if (lStart + lLen > lMax) {
        lStart = lMax - lLen;
    }
    if (lStart < lMin) {
        lStart = lMin;
    }
    return lStart;
}

} // namespace

PlaceRect fnCentredPlace(const PlaceRect &stOwner, const PlaceRect &stDialog, const PlaceRect &stWork)
{
    const long lWidth = stDialog.m_lRight - stDialog.m_lLeft;
    const long lHeight = stDialog.m_lBottom - stDialog.m_lTop;
    PlaceRect stPlace;
    stPlace.m_lLeft =
        fnCentredStart(stOwner.m_lLeft, stOwner.m_lRight, lWidth, stWork.m_lLeft, stWork.m_lRight);
    stPlace.m_lTop =
        fnCentredStart(stOwner.m_lTop, stOwner.m_lBottom, lHeight, stWork.m_lTop, stWork.m_lBottom);
    stPlace.m_lRight = stPlace.m_lLeft + lWidth;
    stPlace.m_lBottom = stPlace.m_lTop + lHeight;
    return stPlace;
}
