// The image a save with the default settings gives: it passes every load
// check, so it seeds the fuzzer deep inside the decoder and is the first
// "previous" image the target compares against.
#pragma once

#include "csi_image.h"

inline const CsiImage &DefaultImage()
{
    static CsiImage stCsi;
    static ComSetData stComSet;
    static TimeoutsData stTimeouts;
    static FlowCtrlData stFlowCtrl;
    static TermOptData stTermOpt;
    static DataTransData stDataTrans;
    static LogSettings stLog = fnLogDefaults();
    fnSettingsToFileData(stCsi, {&stComSet, &stTimeouts, &stFlowCtrl, &stTermOpt, &stDataTrans, &stLog});
    fnFileDataToBuf(stCsi);
    return stCsi;
}
