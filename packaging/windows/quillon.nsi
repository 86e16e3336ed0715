; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer, quillon-setup.exe: quillon.exe, quillon-cli.exe and
; the licence into Program Files\Quillon, the folder %APPDATA%\Quillon where
; the program keeps init.ini and log.txt (it keeps them in the folder it
; starts in), a Start-menu shortcut that starts it there, and an uninstaller
; listed in "Programs and Features". `quillon-setup.exe /S` installs without
; a question, `uninstall.exe /S` removes without one.
;
; The build passes: VERSION (0.9.0), PROGRAM and CLI (the two programs),
; LICENSE_FILE, ICON (the program's icon) and OUTFILE.
;
; The shortcut and the folder belong to the user who installs (on a station
; PC, the operator, who confirms the elevation with their own account); the
; program files and the uninstaller's entry to the machine. The uninstaller
; leaves %APPDATA%\Quillon alone: its log.txt is the operator's archive of
; messages.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"

!macro RequireDefine name
  !ifndef ${name}
    !error "makensis needs -D${name}=... (the build passes it; see packaging/windows/Installer.cmake)"
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine PROGRAM
!insertmacro RequireDefine CLI
!insertmacro RequireDefine LICENSE_FILE
!insertmacro RequireDefine ICON
!insertmacro RequireDefine OUTFILE

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define PUBLISHER "Разработчики проекта Quillon"

Name "Quillon ${VERSION}"
BrandingText "Quillon ${VERSION}"
OutFile "${OUTFILE}"
; A 64-bit installer: $PROGRAMFILES is the 64-bit Program Files and the
; registry is the 64-bit view.
InstallDir "$PROGRAMFILES\Quillon"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first language is the default; NSIS picks English on a system whose
; language is English.
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString ProgramRunning ${LANG_RUSSIAN} "Quillon запущен: закройте программу и повторите удаление."
LangString ProgramRunning ${LANG_ENGLISH} "Quillon is running: close it and uninstall again."

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "Quillon"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка Quillon ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "GPL-3.0-or-later"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Quillon"
  SetOutPath "$INSTDIR"
  File "/oname=quillon.exe" "${PROGRAM}"
  File "/oname=quillon-cli.exe" "${CLI}"
  File "/oname=LICENSE.txt" "${LICENSE_FILE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut's working folder is the output folder when it is made.
  CreateDirectory "$APPDATA\Quillon"
  SetOutPath "$APPDATA\Quillon"
  CreateShortCut "$SMPROGRAMS\Quillon.lnk" "$INSTDIR\quillon.exe" "" "$INSTDIR\quillon.exe" 0
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillon"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillon.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0  ; in KiB
SectionEnd

Section "Uninstall"
  ; A running program cannot be deleted; rather than leave half of it, say so
  ; and stop (the silent uninstaller ends with exit code 2).
  ClearErrors
  Delete "$INSTDIR\quillon.exe"
  IfErrors 0 +3
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(ProgramRunning)" /SD IDOK
    Abort
  Delete "$INSTDIR\quillon-cli.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: whatever else is in it is not the installer's to delete.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quillon.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
