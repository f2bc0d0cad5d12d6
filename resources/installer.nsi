; The program's own installer: the deployed folder under Program Files, a
; Start-menu shortcut and an uninstaller listed in "Apps & features".
; /S installs and uninstalls silently. The uninstaller removes only what was
; installed, never the user's downloads (%USERPROFILE%\TovikAIO).
;
;   makensis -DVERSION=1.0.0 -DDEPLOY=<deploy folder> -DOUTFILE=<setup.exe> [-DWIN64] [-DSIGN=<signer>] installer.nsi
; DEPLOY-files.nsh and DEPLOY-remove.nsh come from scripts/windows-deploy.
; WIN64 makes the installer of the 64-bit twin that the tests run where no
; 32-bit program can: a 64-bit installer, into the 64-bit Program Files and
; the 64-bit registry view.

; SIGN names scripts/windows-sign: the uninstaller is signed before it is
; packed, the installer once it is written.

!ifdef WIN64
Target amd64-unicode
!else
Unicode true
!endif
!include "MUI2.nsh"

!ifdef SIGN
!uninstfinalize '"${SIGN}" "%1"' = 0
!finalize '"${SIGN}" "%1"' = 0
!endif

!define APPNAME "Tovik All In One"
!define EXE "Tovik_All_In_One.exe"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TovikAllInOne"

Name "${APPNAME}"
OutFile "${OUTFILE}"
!ifdef WIN64
InstallDir "$PROGRAMFILES64\${APPNAME}"
!else
InstallDir "$PROGRAMFILES\${APPNAME}"
!endif
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file times in the archive: two builds of the same files give the same installer.
SetDateSave off
ManifestDPIAware true

!define MUI_ICON "Tovik_All_In_One.ico"
!define MUI_UNICON "Tovik_All_In_One.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Vietnamese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_VIETNAMESE} "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=${LANG_VIETNAMESE} "FileDescription" "${APPNAME} Setup"
VIAddVersionKey /LANG=${LANG_VIETNAMESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_VIETNAMESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_VIETNAMESE} "LegalCopyright" ""

Function .onInit
!ifdef WIN64
    SetRegView 64
!endif
FunctionEnd

Function un.onInit
!ifdef WIN64
    SetRegView 64
!endif
FunctionEnd

Section "Install"
    SetShellVarContext all
    !include "${DEPLOY}-files.nsh"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Tovik"
    WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    !include "${DEPLOY}-remove.nsh"
    Delete "$INSTDIR\uninstall.exe"
    Delete "$SMPROGRAMS\${APPNAME}.lnk"
    ; Only an empty folder goes: whatever else the user put there stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
