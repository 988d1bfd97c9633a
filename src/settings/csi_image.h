// The COM Settings Information (csi) file image: 4096 bytes, 41 little-endian
// fields in the first 1144. Encoding and decoding only; file I/O is csi_file.
#ifndef ZEVRIK_CSI_IMAGE_H
#define ZEVRIK_CSI_IMAGE_H

#include "csi_fields.h"
#include "csi_tail.h"
#include "plot_settings.h"
#include "settings_data.h"

const ZDWORD kCsiFormat = 1;
const int kCsiFieldCount = 41;

// Largest pattern lengths the Data Transfer dialog can produce; a file beyond
// them is refused rather than applied.
const ZDWORD kCsiMaxAsciiLen = 511;
const ZDWORD kCsiMaxHexLen = 255;

// The 41 fields in file order, with the types of the settings records.
struct CsiFileData {
    ZDWORD m_dwFormat;
    ZDWORD m_dwImageSize;
    ComSetSel m_stComSet;
    TimeoutsBlock m_stTimeouts;
    FlowBlock m_stFlow;
    ZDWORD m_bKeyboard;
    ZDWORD m_bLocalEcho;
    ZDWORD m_nEnterKey;
    ZDWORD m_nDisplay;
    ZDWORD m_nCrTrans;
    ZDWORD m_nLfTrans;
    PatternBlock m_stPattern;
    CsiTailData m_stTail; // the block after the fields
};

// Image, position and decoded fields of gstCsi. m_dwValid is the number of
// image bytes that hold file contents (0 at first, the bytes read after a
// load, the whole image after an encode); fields beyond it fail to decode, so
// a short file is refused instead of being decoded from stale bytes.
struct CsiImage {
    ZBYTE m_abyImage[kCsiImageSize];
    ZDWORD m_dwPos;
    ZDWORD m_dwValid;
    CsiFileData m_stFileData;
    CsiImage();
};

// The committed blocks the file carries, in the order fnCsiInit binds them.
struct CsiRecords {
    ComSetData *m_pstComSet;
    TimeoutsData *m_pstTimeouts;
    FlowCtrlData *m_pstFlowCtrl;
    TermOptData *m_pstTermOpt;
    DataTransData *m_pstDataTrans;
    LogSettings *m_pstLog;
};

// Decodes the image into m_stFileData; 0, or the number of the first field
// that fails its load check or lies beyond m_dwValid. Besides the range checks
// of each field, an ASCII length above 511 fails with 35, a HEX length above
// 255 with 37 and a range end below its start with 39; a damaged block after
// the fields fails with kCsiTailFieldNumber. Fields after the failing one stay
// as they were.
int fnBufToFileData(CsiImage &stCsi);
// Encodes m_stFileData into the image's first 1144 bytes; the tail is kept
// unless the block after the fields has to be written (fnWriteTail).
// A flag is written 0xFF when it is 1 and 0x00 otherwise.
void fnFileDataToBuf(CsiImage &stCsi);
void fnSettingsToFileData(CsiImage &stCsi, const CsiRecords &stRecords);
void fnFileDataToSettings(const CsiImage &stCsi, const CsiRecords &stRecords);

// The plot window's settings in the block after the fields, beside the
// records: saved with them, loaded after them.
void fnPlotToFileData(CsiImage &stCsi, const PlotSettings &stPlot);
void fnFileDataToPlot(const CsiImage &stCsi, PlotSettings &stPlot);

#endif
