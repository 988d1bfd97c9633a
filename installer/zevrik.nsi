; ZEVRIK installer: per-machine into Program Files\ZEVRIK, a Start-menu
; shortcut, an entry in Add/Remove Programs and the .csi association.  Silent
; with /S, both ways.  The uninstaller removes exactly what this wrote.
;
; makensis -DVERSION=2.0.0 -DVERSION_QUAD=2.0.0.0 -DTARGET=x86-unicode -DSTAGE=dir
;          -DOUTFILE=setup.exe zevrik.nsi
;   VERSION_QUAD  the version as four numbers (scripts/dist.py writes both)
;   TARGET  x86-unicode around the i686 exe (the release), or amd64-unicode
;           around the x86-64 build for machines that run no 32-bit code
;   STAGE   holds zevrik.exe, README.txt, LICENSE.txt and examples\*.csi

!ifndef VERSION | VERSION_QUAD | TARGET | STAGE | OUTFILE
  !error "define VERSION, VERSION_QUAD, TARGET, STAGE and OUTFILE"
!endif

Unicode true
Target ${TARGET}
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEVRIK"
!define PROGID "ZEVRIK.csi"
; The program's own icon resource, id 102.
!define CSI_ICON "$INSTDIR\zevrik.exe,-102"

Name "ZEVRIK ${VERSION}"
OutFile "${OUTFILE}"
!if "${TARGET}" == "amd64-unicode"
  InstallDir "$PROGRAMFILES64\ZEVRIK"
!else
  InstallDir "$PROGRAMFILES\ZEVRIK"
!endif
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "ZEVRIK"
VIAddVersionKey /LANG=1033 "FileDescription" "ZEVRIK ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT License"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "ZEVRIK"
  SetOutPath "$INSTDIR"
  File "${STAGE}\zevrik.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  SetOutPath "$INSTDIR\examples"
  File "${STAGE}\examples\default.csi"
  File "${STAGE}\examples\loopback-115200.csi"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\ZEVRIK.lnk" "$INSTDIR\zevrik.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "ZEVRIK"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\zevrik.exe"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  WriteRegStr HKLM "Software\Classes\.csi" "" "${PROGID}"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "ZEVRIK settings"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "${CSI_ICON}"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\zevrik.exe" "%1"'
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icon at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\zevrik.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\examples\default.csi"
  Delete "$INSTDIR\examples\loopback-115200.csi"
  Delete "$INSTDIR\uninstall.exe"
  ; Without /r: files the user put there stay, and so do their folders.
  RMDir "$INSTDIR\examples"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\ZEVRIK.lnk"

  ; .csi is given back only while it still names ZEVRIK; another program may
  ; have taken it over since.
  ReadRegStr $0 HKLM "Software\Classes\.csi" ""
  StrCmp $0 "${PROGID}" 0 +3
    DeleteRegValue HKLM "Software\Classes\.csi" ""
    DeleteRegKey /ifempty HKLM "Software\Classes\.csi"
  DeleteRegKey HKLM "Software\Classes\${PROGID}"
  DeleteRegKey HKLM "${UNINST_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
