// The settings file: both file choosers, loading and saving the five settings
// records through the csi image. Runs on the user-interface thread only.
#ifndef ZEVRIK_CSI_FILE_H
#define ZEVRIK_CSI_FILE_H

#include <windows.h>
#include <commdlg.h>

#include "csi_image.h"
#include "settings.h"

// Results of fnCsiLoad; callers act only on kCsiLoaded.
const int kCsiLoaded = 0;
const int kCsiLoadCancelled = 1;
const int kCsiNotOpened = 2;
const int kCsiNotRead = 3;
const int kCsiRejected = 4;

// Image, position and decoded fields come from CsiImage.
struct CsiRecord : CsiImage {
    char m_achFileName[1024];
    HANDLE m_hFile;
    LONG m_bHaveFile;
    char m_achOpenFilter[256];
    OPENFILENAMEA m_stOfnOpen;
    char m_achSaveFilter[256];
    OPENFILENAMEA m_stOfnSave;
    CsiRecords m_stRecords;
    HWND m_hOwner;
    CsiRecord();
};

extern CsiRecord gstCsi;

// Binds the choosers and messages to hOwner and the file to the five records.
void fnCsiInit(HWND hOwner, ComSetRecord *pstComSet, TimeoutsRecord *pstTimeouts, FlowCtrlRecord *pstFlowCtrl,
               TermOptRecord *pstTermOpt, DataTransRecord *pstDataTrans);
int fnCsiLoad();
// Loads pszPath as if the user had chosen it in the Open chooser: the same
// checks, messages and results.
int fnCsiLoadFile(const char *pszPath);
void fnCsiSave();
void fnCsiSaveAs();

#endif
