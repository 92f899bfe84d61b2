; The Windows installer: the programs with what they load, the default sounds beside them, a
; Start-menu entry with the icon, and an uninstaller that removes all of it.
; makensis -DVERSION=<version> -DDIST=<folder with the programs> -DOUTFILE=<setup.exe> tarvik.nsi
Unicode true
; A 64-bit installer: the program is 64-bit, and a 64-bit-only Windows (or Wine) runs it as is.
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "Tarvik ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarvik"
InstallDirRegKey HKLM "Software\Tarvik" "InstallDir"
RequestExecutionLevel admin

!define MUI_ICON "${DIST}\tarvik.ico"
!define MUI_UNICON "${DIST}\tarvik.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvik"

Section "Tarvik"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File /r "${DIST}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Tarvik.lnk" "$INSTDIR\tarvik.exe" "" "$INSTDIR\tarvik.ico"
  WriteRegStr HKLM "Software\Tarvik" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarvik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvik.ico"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tarvik"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The per-user settings and records stay: they are the user's, not the program's.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Tarvik.lnk"
  RMDir /r "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Tarvik"
SectionEnd
