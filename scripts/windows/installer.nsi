; The Windows installer: the program directory into Program Files, a Start-menu entry, and an
; uninstaller that removes exactly the files it installed (the lists come from build.sh).
; makensis -DVERSION=x.y.z -DPROGRAM_DIR=<bin> -DFILE_LISTS=<dir> -DOUTFILE=<setup.exe> installer.nsi
Unicode true
; A 64-bit installer for a 64-bit program (and wine64 runs it without a 32-bit wine).
Target amd64-unicode
!include "MUI2.nsh"

Name "Quillfen ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillfen"
InstallDirRegKey HKLM "Software\Veltrane\Quillfen" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillfen"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Quillfen"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  !include "${FILE_LISTS}\install-files.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Quillfen"
  ; A build without Qt has no window program to start.
  !if /FileExists "${PROGRAM_DIR}/Quillfen.exe"
  CreateShortcut "$SMPROGRAMS\Quillfen\Quillfen.lnk" "$INSTDIR\Quillfen.exe"
  !endif
  CreateShortcut "$SMPROGRAMS\Quillfen\Uninstall Quillfen.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Veltrane\Quillfen" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillfen"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Veltrane"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillfen.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  !include "${FILE_LISTS}\uninstall-files.nsh"
  Delete "$INSTDIR\uninstall.exe"
  ; Only folders left empty go: whatever the user put there stays.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quillfen\Quillfen.lnk"
  Delete "$SMPROGRAMS\Quillfen\Uninstall Quillfen.lnk"
  RMDir "$SMPROGRAMS\Quillfen"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Veltrane\Quillfen"
  DeleteRegKey /ifempty HKLM "Software\Veltrane"
SectionEnd
