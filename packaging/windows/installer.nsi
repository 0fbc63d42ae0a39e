; SPDX-License-Identifier: GPL-3.0-or-later
; Karvelo's installer for Windows, a 32-bit program: karvelo.exe, multiconv.exe and the licence in
; one folder under Program Files, a Start-menu shortcut, and an entry in the list of installed
; programs whose uninstaller removes all of it again. Karvelo keeps no settings, so there is
; nothing else to write or remove. "/S" installs, and the uninstaller removes, without a window.
;
;   makensis -DVERSION=1.0.0 -DMAKER=<copyright holder> -DYEARS=<copyright years>
;            -DHOMEPAGE=<address> -DSOURCE_URL=<address> -DSTAGING=<folder of the three files>
;            -DICON=<app.ico> -DOUTFILE=<setup.exe> installer.nsi

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include WinVer.nsh
!include FileFunc.nsh

; A 32-bit installer writes this key into the 32-bit view of the registry, where Windows lists
; 32-bit programs.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Karvelo"
!define SHORTCUT "$SMPROGRAMS\Karvelo.lnk"

Name "Karvelo"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Karvelo"
; Installing again goes where Karvelo already is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Karvelo ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Karvelo"
VIAddVersionKey /LANG=1033 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1033 "FileDescription" "Karvelo ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${YEARS} ${MAKER}. License GPLv3+"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; The licence grants rights and asks nothing of someone who only uses the program, so the page
; shows it and goes on with Next instead of asking for consent.
!define MUI_PAGE_HEADER_TEXT "License"
!define MUI_PAGE_HEADER_SUBTEXT "Your rights to use, change and pass on Karvelo."
!define MUI_LICENSEPAGE_TEXT_TOP "Karvelo is free software under the GNU General Public License."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You may use Karvelo for any purpose; the licence sets the terms for changing it and passing it on. Its source: ${SOURCE_URL}"
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGING}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\karvelo.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Karvelo"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
  ; The programs call Windows 7's functions; an older Windows would refuse to start them.
  ${IfNot} ${AtLeastWin7}
    MessageBox MB_OK|MB_ICONSTOP "Karvelo needs Windows 7 or later." /SD IDOK
    Abort
  ${EndIf}
  ; For every user of the machine: the shortcut goes into the common Start menu.
  SetShellVarContext all
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "${STAGING}\karvelo.exe"
  File "${STAGING}\multiconv.exe"
  File "${STAGING}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\karvelo.exe"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Karvelo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\karvelo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${HOMEPAGE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

; Only what the installer wrote: the folder goes only when nothing else is left in it.
Section "Uninstall"
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\karvelo.exe"
  Delete "$INSTDIR\multiconv.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
