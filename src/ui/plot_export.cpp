#include "plot_export.h"

#include <commdlg.h>

#include <cstdio>

#include "plot_csv.h"
#include "plot_feed.h"

namespace {

const char kachFilter[] = "CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
const char kszTitle[] = "Export Plot";
const DWORD kdwChunkBytes = 64 * 1024;
const int kStatusChars = MAX_PATH + 96;

struct PlotExportRecord {
    OPENFILENAMEA m_stOfn;
    char m_achPath[MAX_PATH];
    HANDLE m_hFile;
    PlotCsv m_stCsv;
    ULONGLONG m_qwFrom; // the first line index the export takes
    char m_achChunk[kdwChunkBytes];
    char m_achStatus[kStatusChars];
};

PlotExportRecord gstPlotExport = {OPENFILENAMEA(), "", INVALID_HANDLE_VALUE, PlotCsv(), 0, "", ""};

bool fnChooseFile(HWND hOwner)
{
    OPENFILENAMEA &stOfn = gstPlotExport.m_stOfn;
    stOfn = OPENFILENAMEA();
    stOfn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    stOfn.hwndOwner = hOwner;
    stOfn.lpstrFilter = kachFilter;
    stOfn.nFilterIndex = 1;
    stOfn.lpstrFile = gstPlotExport.m_achPath;
    stOfn.nMaxFile = sizeof gstPlotExport.m_achPath;
    stOfn.lpstrTitle = kszTitle;
    stOfn.lpstrDefExt = "csv";
    stOfn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    return GetSaveFileNameA(&stOfn) != FALSE;
}

void fnReport(HWND hOwner, const char *pszWhat)
{
    char achText[kStatusChars];
    std::snprintf(achText, sizeof achText, "%s %s (error %lu).", pszWhat, gstPlotExport.m_achPath,
                  GetLastError());
    MessageBoxA(hOwner, achText, kszTitle, MB_OK | MB_ICONWARNING);
}

void fnCloseFile(bool bRemove)
{
    if (gstPlotExport.m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(gstPlotExport.m_hFile);
        gstPlotExport.m_hFile = INVALID_HANDLE_VALUE;
        if (bRemove) {
            DeleteFileA(gstPlotExport.m_achPath);
        }
    }
}

// Lines the ring dropped before their turn are not in the file; the
// status says how many.
void fnShowDone()
{
    const PlotCsv &st = gstPlotExport.m_stCsv;
    const double dWritten = static_cast<double>(st.m_qwNext - gstPlotExport.m_qwFrom - st.m_qwLost);
    int n = std::snprintf(gstPlotExport.m_achStatus, kStatusChars, "Exported %.0f lines to %s", dWritten,
                          gstPlotExport.m_achPath);
    if (st.m_qwLost != 0 && n > 0 && n < kStatusChars) {
        std::snprintf(gstPlotExport.m_achStatus + n, kStatusChars - n, " (%.0f dropped before their turn)",
                      static_cast<double>(st.m_qwLost));
    }
}

// One chunk: the store is locked only while the chunk is made.
DWORD fnMakeChunk()
{
    fnPlotLock();
    const std::size_t cch = fnPlotCsvChunk(gstPlotExport.m_stCsv, fnPlotMemory().m_stStore,
                                           gstPlotExport.m_achChunk, kdwChunkBytes);
    fnPlotUnlock();
    return static_cast<DWORD>(cch);
}

} // namespace

BOOL fnPlotExportStart(HWND hOwner, const PlotRange *pstRange)
{
    if (!fnChooseFile(hOwner)) {
        return FALSE;
    }
    gstPlotExport.m_hFile = CreateFileA(gstPlotExport.m_achPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, NULL);
    if (gstPlotExport.m_hFile == INVALID_HANDLE_VALUE) {
        fnReport(hOwner, "Cannot make");
        return FALSE;
    }
    fnPlotLock();
    fnPlotCsvStart(gstPlotExport.m_stCsv, fnPlotMemory().m_stStore, pstRange);
    fnPlotUnlock();
    gstPlotExport.m_qwFrom = gstPlotExport.m_stCsv.m_qwNext;
    return TRUE;
}

BOOL fnPlotExportStep(HWND hOwner, DWORD dwBudgetMs)
{
    const DWORD dwStart = GetTickCount();
    while (gstPlotExport.m_hFile != INVALID_HANDLE_VALUE && GetTickCount() - dwStart < dwBudgetMs) {
        const DWORD dwCount = fnMakeChunk();
        if (dwCount == 0) {
            fnCloseFile(false);
            fnShowDone();
            return FALSE;
        }
        DWORD dwWritten = 0;
        if (!WriteFile(gstPlotExport.m_hFile, gstPlotExport.m_achChunk, dwCount, &dwWritten, NULL) ||
            dwWritten != dwCount) {
            fnReport(hOwner, "Cannot write");
            fnCloseFile(true);
            gstPlotExport.m_achStatus[0] = '\0';
            return FALSE;
        }
    }
    return fnPlotExportRunning();
}

BOOL fnPlotExportRunning()
{
    return gstPlotExport.m_hFile != INVALID_HANDLE_VALUE ? TRUE : FALSE;
}

void fnPlotExportCancel()
{
    fnCloseFile(true);
}

void fnPlotExportStatus(char *pch, int cch)
{
    if (!fnPlotExportRunning()) {
        lstrcpynA(pch, gstPlotExport.m_achStatus, cch);
        return;
    }
    const PlotCsv &st = gstPlotExport.m_stCsv;
    const double dAll = static_cast<double>(st.m_qwEnd - gstPlotExport.m_qwFrom);
    const double dDone = static_cast<double>(st.m_qwNext - gstPlotExport.m_qwFrom);
    std::snprintf(pch, cch, "Exporting %.0f%%", dAll > 0 ? 100.0 * dDone / dAll : 100.0);
}
