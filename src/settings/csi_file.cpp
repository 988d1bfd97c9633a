#include "csi_file.h"

#include <cstddef>
#include <cstring>

#include "log_file.h"
#include "plot_window.h"

CsiRecord gstCsi;

namespace {

const char kachCsiFilter[] = "*.csi\0*.csi\0"; // the literal adds the closing zero
// The chooser form without the Windows 2000 members (OPENFILENAME_SIZE_VERSION_400A).
constexpr DWORD kdwOfnSize = static_cast<DWORD>(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR));
const DWORD kdwFileNameChars = 260;

const char kszCaption[] = "ZEVRIK";
const char kszSaveAsError[] = "INF037: Save As csi File Error. WriteFile() Return FALSE!";

static_assert(sizeof kachCsiFilter == 13, "filter: two texts and the closing zero");
static_assert(sizeof(void *) != 4 || kdwOfnSize == 76, "the short chooser form of 32-bit Windows");

void fnFillChooser(OPENFILENAMEA &stOfn, HWND hOwner, const char *pszFilter, const char *pszTitle,
                   DWORD dwFlags, const char *pszDefExt)
{
    std::memset(&stOfn, 0, sizeof stOfn);
    stOfn.lStructSize = kdwOfnSize;
    stOfn.hwndOwner = hOwner;
    stOfn.lpstrFilter = pszFilter;
    stOfn.nFilterIndex = 1;
    stOfn.lpstrFile = gstCsi.m_achFileName;
    stOfn.nMaxFile = kdwFileNameChars;
    stOfn.lpstrTitle = pszTitle;
    stOfn.Flags = dwFlags;
    stOfn.lpstrDefExt = pszDefExt;
}

void fnCsiMessage(const char *pszText, const char *pszCaption)
{
    MessageBoxA(gstCsi.m_hOwner, pszText, pszCaption, MB_OK);
}

// Closing the held file also ends the notion of a current file, so a later
// "Save csi File" asks for a name instead of writing to a closed handle.
void fnCsiCloseFile()
{
    if (gstCsi.m_hFile != NULL) {
        CloseHandle(gstCsi.m_hFile);
        gstCsi.m_hFile = NULL;
    }
    gstCsi.m_bHaveFile = 0;
}

// A short file leaves the rest of the image as zeros, and only the bytes read
// count for decoding, so no field is taken from an earlier file.
int fnCsiReadImage()
{
    DWORD dwRead = 0;
    if (!ReadFile(gstCsi.m_hFile, gstCsi.m_abyImage, kCsiImageSize, &dwRead, NULL)) {
        gstCsi.m_dwValid = 0;
        return 0;
    }
    std::memset(gstCsi.m_abyImage + dwRead, 0, kCsiImageSize - dwRead);
    gstCsi.m_dwValid = dwRead;
    return 1;
}

int fnCsiWriteImage()
{
    DWORD dwWritten = 0;
    if (!WriteFile(gstCsi.m_hFile, gstCsi.m_abyImage, kCsiImageSize, &dwWritten, NULL) ||
        dwWritten != kCsiImageSize) {
        return 0;
    }
    FlushFileBuffers(gstCsi.m_hFile);
    return 1;
}

int fnCsiRewindFile()
{
    return SetFilePointer(gstCsi.m_hFile, 0, NULL, FILE_BEGIN) == 0 ? 1 : 0;
}

void fnCsiEncodeSettings()
{
    fnSettingsToFileData(gstCsi, gstCsi.m_stRecords);
    fnPlotToFileData(gstCsi, fnPlotSettingsNow());
    fnFileDataToBuf(gstCsi);
}

int fnCsiDecodeAndApply()
{
    gstCsi.m_dwPos = 0;
    const int iField = fnBufToFileData(gstCsi);
    if (iField != 0) {
        char achText[96];
        wsprintfA(achText, "INF035:Loading csi File Error! fnBufToFileData() return %d", iField);
        fnCsiMessage(achText, kszCaption);
        return kCsiRejected;
    }
    fnFileDataToSettings(gstCsi, gstCsi.m_stRecords);
    PlotSettings stPlot;
    fnFileDataToPlot(gstCsi, stPlot);
    fnPlotSettingsLoad(stPlot);
    gstCsi.m_bHaveFile = 1;
    fnCsiMessage("Loading csi File Success! ", kszCaption);
    return kCsiLoaded;
}

// Loads the file named in m_achFileName, however it was chosen.
int fnCsiLoadChosen()
{
    fnCsiCloseFile();
    HANDLE hFile = CreateFileA(gstCsi.m_achFileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                               OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        fnCsiMessage("CreateFile() Error!", "");
        return kCsiNotOpened;
    }
    gstCsi.m_hFile = hFile;
    if (!fnCsiReadImage()) {
        fnCsiMessage("INF036:Reading csi File Error! ReadFile() False!", kszCaption);
        return kCsiNotRead;
    }
    return fnCsiDecodeAndApply();
}

} // namespace

CsiRecord::CsiRecord()
    : CsiImage(), m_achFileName(), m_hFile(NULL), m_bHaveFile(0), m_achOpenFilter(), m_stOfnOpen(),
      m_achSaveFilter(), m_stOfnSave(), m_stRecords(), m_hOwner(NULL)
{
    std::memcpy(m_achOpenFilter, kachCsiFilter, sizeof kachCsiFilter);
    std::memcpy(m_achSaveFilter, kachCsiFilter, sizeof kachCsiFilter);
}

void fnCsiInit(HWND hOwner, ComSetRecord *pstComSet, TimeoutsRecord *pstTimeouts, FlowCtrlRecord *pstFlowCtrl,
               TermOptRecord *pstTermOpt, DataTransRecord *pstDataTrans)
{
    gstCsi.m_hOwner = hOwner;
    fnFillChooser(gstCsi.m_stOfnOpen, hOwner, gstCsi.m_achOpenFilter,
                  "Open COM Settings Information(csi) File", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, NULL);
    fnFillChooser(gstCsi.m_stOfnSave, hOwner, gstCsi.m_achSaveFilter,
                  "Save COM Settings Information(csi) File As", OFN_HIDEREADONLY, "csi");
    gstCsi.m_stRecords.m_pstComSet = pstComSet;
    gstCsi.m_stRecords.m_pstTimeouts = pstTimeouts;
    gstCsi.m_stRecords.m_pstFlowCtrl = pstFlowCtrl;
    gstCsi.m_stRecords.m_pstTermOpt = pstTermOpt;
    gstCsi.m_stRecords.m_pstDataTrans = pstDataTrans;
    gstCsi.m_stRecords.m_pstLog = &gstLogSet;
}

int fnCsiLoad()
{
    if (!GetOpenFileNameA(&gstCsi.m_stOfnOpen)) {
        return kCsiLoadCancelled;
    }
    return fnCsiLoadChosen();
}

int fnCsiLoadFile(const char *pszPath)
{
    if (lstrlenA(pszPath) >= static_cast<int>(sizeof gstCsi.m_achFileName)) {
        pszPath = ""; // a name that cannot be held is refused as one that cannot be opened
    }
    lstrcpynA(gstCsi.m_achFileName, pszPath, sizeof gstCsi.m_achFileName);
    return fnCsiLoadChosen();
}

void fnCsiSave()
{
    fnCsiEncodeSettings();
    if (!fnCsiRewindFile() || !fnCsiWriteImage()) {
        fnCsiMessage("INF042:Save csi File Error. WriteFile() Return FALSE!", kszCaption);
    }
}

void fnCsiSaveAs()
{
    if (!GetSaveFileNameA(&gstCsi.m_stOfnSave)) {
        return;
    }
    fnCsiCloseFile();
    fnCsiEncodeSettings();
    HANDLE hFile =
        CreateFileA(gstCsi.m_achFileName, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        fnCsiMessage(kszSaveAsError, kszCaption);
        return;
    }
    gstCsi.m_hFile = hFile;
    gstCsi.m_bHaveFile = 1;
    if (!fnCsiWriteImage()) {
        fnCsiMessage(kszSaveAsError, kszCaption);
    }
}
