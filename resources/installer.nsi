; The program's own installer: the deployed folder under Program Files, a
; Start-menu shortcut and an uninstaller listed in "Apps & features".
; /S installs and uninstalls silently. The uninstaller removes only what was
; installed, never the user's downloads (%USERPROFILE%\TovikAIO).
; An installed copy is upgraded in its folder: its own uninstaller removes
; what it shipped first, so nothing of an older version stays behind. Neither
; the installer nor the uninstaller touches anything while the program runs:
; they ask for it to be closed, and with /S end with exit code 2.
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
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!ifdef SIGN
!uninstfinalize '"${SIGN}" "%1"' = 0
!finalize '"${SIGN}" "%1"' = 0
!endif

!define APPNAME "Tovik All In One"
!define EXE "Tovik_All_In_One.exe"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TovikAllInOne"
; The program holds a mutex of this name while it runs (app/running_mark.cpp).
!define RUNNING_MUTEX "TovikAllInOne.Running"
!define RUNS_INSTALL "${APPNAME} đang chạy.$\r$\n$\r$\nHãy đóng chương trình trước khi cài đặt, rồi thử lại."
!define RUNS_UNINSTALL "${APPNAME} đang chạy.$\r$\n$\r$\nHãy đóng chương trình trước khi gỡ cài đặt, rồi thử lại."
!define OLD_FAILED "Không gỡ được bản ${APPNAME} đã cài trong $OldDir, nên chưa cài bản mới."

; The folder of the copy that is installed already, from its Uninstall key;
; empty when there is none.
Var OldDir

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
; An upgrade goes into the folder of the installed copy.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
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

; $0 = 1 while a copy of the program runs, in this session (Local) or in any
; (Global). Access denied means it exists but another user's copy holds it.
!macro PROGRAM_RUNS UN
Function ${UN}ProgramRuns
    StrCpy $0 0
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\${RUNNING_MUTEX}") p .r1 ?e'
    Pop $2
    ${If} $1 != 0
    ${OrIf} $2 = 5
        StrCpy $0 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\${RUNNING_MUTEX}") p .r1 ?e'
    Pop $2
    ${If} $1 != 0
    ${OrIf} $2 = 5
        StrCpy $0 1
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
FunctionEnd
!macroend
!insertmacro PROGRAM_RUNS ""
!insertmacro PROGRAM_RUNS "un."

; Replacing or removing the files of a running program fails half-way, so
; nothing starts until it is closed: Retry looks again, Cancel (and /S) ends
; with exit code 2 and nothing changed.
!macro WAIT_UNTIL_CLOSED UN TEXT
Function ${UN}WaitUntilClosed
    ${Do}
        Call ${UN}ProgramRuns
        ${If} $0 = 0
            Return
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${TEXT}" /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
      retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_UNTIL_CLOSED "" "${RUNS_INSTALL}"
!insertmacro WAIT_UNTIL_CLOSED "un." "${RUNS_UNINSTALL}"

Function .onInit
!ifdef WIN64
    SetRegView 64
!endif
    ReadRegStr $OldDir HKLM "${UNINSTKEY}" "InstallLocation"
    ${If} $OldDir != ""
    ${AndIf} ${FileExists} "$OldDir\uninstall.exe"
        StrCpy $INSTDIR $OldDir
    ${Else}
        StrCpy $OldDir ""
    ${EndIf}
    Call WaitUntilClosed
FunctionEnd

Function SkipFolderOnUpgrade
    ${If} $OldDir != ""
        Abort
    ${EndIf}
FunctionEnd

Function un.onInit
!ifdef WIN64
    SetRegView 64
!endif
    Call un.WaitUntilClosed
FunctionEnd

; The installed copy's own uninstaller removes exactly what it shipped. Run in
; place (_?=), it ends before ExecWait returns, and leaves itself behind.
Function RemoveOldCopy
    ${If} $OldDir == ""
        Return
    ${EndIf}
    DetailPrint "$OldDir\uninstall.exe"
    ClearErrors
    ExecWait '"$OldDir\uninstall.exe" /S _?=$OldDir' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        MessageBox MB_ICONSTOP "${OLD_FAILED}" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Delete "$OldDir\uninstall.exe"
FunctionEnd

Section "Install"
    SetShellVarContext all
    Call WaitUntilClosed
    Call RemoveOldCopy
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
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.WaitUntilClosed
    !include "${DEPLOY}-remove.nsh"
    Delete "$INSTDIR\uninstall.exe"
    Delete "$SMPROGRAMS\${APPNAME}.lnk"
    ; Only an empty folder goes: whatever else the user put there stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
