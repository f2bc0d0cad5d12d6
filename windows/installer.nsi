; The program's own installer: the deployed folder under Program Files, a
; Start-menu shortcut and an uninstaller listed in "Apps & features". Its
; first page shows licenses\SOURCES.txt: the libraries shipped, their
; licences and where their sources are. /S installs and uninstalls silently.
; The uninstaller removes only what was installed, never the user's downloads
; (%USERPROFILE%\TovikAIO). Neither the installer nor the uninstaller touches
; anything while the program runs: they ask for it to be closed.
;
; Exit codes, for deployment tools (with /S every question takes its default):
;     0  installed, or uninstalled
;     2  the program is running; nothing changed
;     3  the installed copy's uninstaller is not the one that was installed:
;        not run, nothing changed
;     4  the installed copy's uninstaller failed: that copy stays listed, with
;        its uninstaller
;     5  the folder chosen (/D=) is not inside Program Files; nothing changed
;     6  a file could not be written: this version is listed, with its
;        uninstaller, and can be installed again
;   740  not run as an administrator; nothing changed
; The uninstaller ends with 0, 2 or 740. Run plainly it hands over to a copy
; of itself and ends at once with 0. QuietUninstallString runs it in place
; (_?=): the caller waits for it and gets its exit code, and uninstall.exe,
; which cannot delete itself there, stays in the folder.
;
; The folder stays the administrators': only a folder inside Program Files is
; accepted. Anywhere else inherits "Authenticated Users: modify" from the
; drive's root, and any user could replace what the next elevated run loads.
;
; An installed copy is upgraded in its folder and stays listed in "Apps &
; features" throughout: its own uninstaller, once it proves to be the one that
; was installed (the SHA-256 recorded in its entry, which only administrators
; can write), removes what that version shipped but keeps its entry and
; itself (/UPGRADE); then this version's uninstaller and entry are written,
; and only then its files. A copy from before the hash was recorded knows no
; /UPGRADE: its uninstaller removes everything, and runs only from inside
; Program Files, where nobody but an administrator could have replaced it.
;
;   makensis -DVERSION=1.0.0 -DDEPLOY=<deploy folder> -DOUTFILE=<setup.exe> [-DWIN64] [-DSIGN=<signer>] installer.nsi
; DEPLOY-files.nsh and DEPLOY-remove.nsh come from deploy.py. CMake runs it (the
; target "installer" of a Windows build).
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
!ifdef WIN64
!define PROGRAM_FILES "$PROGRAMFILES64"
!else
!define PROGRAM_FILES "$PROGRAMFILES"
!endif
; The program holds a mutex of this name while it runs (app/running_mark.cpp).
!define RUNNING_MUTEX "TovikAllInOne.Running"
!define EXIT_RUNNING 2
!define EXIT_OLD_REFUSED 3
!define EXIT_OLD_FAILED 4
!define EXIT_FOLDER_REFUSED 5
!define EXIT_NOT_WRITTEN 6
!define EXIT_NOT_ELEVATED 740
!define RUNS_INSTALL "${APPNAME} đang chạy.$\r$\n$\r$\nHãy đóng chương trình trước khi cài đặt, rồi thử lại."
!define RUNS_UNINSTALL "${APPNAME} đang chạy.$\r$\n$\r$\nHãy đóng chương trình trước khi gỡ cài đặt, rồi thử lại."
!define NOT_ELEVATED_INSTALL "Cần quyền quản trị để cài đặt ${APPNAME}.$\r$\n$\r$\nHãy chạy lại trình cài đặt với quyền quản trị."
!define NOT_ELEVATED_UNINSTALL "Cần quyền quản trị để gỡ cài đặt ${APPNAME}.$\r$\n$\r$\nHãy chạy lại trình gỡ cài đặt với quyền quản trị."
!define FOLDER_REFUSED "${APPNAME} chỉ cài vào một thư mục trong Program Files, nơi chỉ quản trị viên mới thay đổi được.$\r$\n$\r$\nHãy chọn một thư mục trong ${PROGRAM_FILES}."
!define OLD_REFUSED "Không xác nhận được trình gỡ cài đặt của bản ${APPNAME} trong $OldDir là bản đã được cài, nên không chạy nó và chưa cài bản mới.$\r$\n$\r$\nHãy xóa thư mục đó, rồi thử lại."
!define OLD_FAILED "Không gỡ được bản ${APPNAME} đã cài trong $OldDir, nên chưa cài bản mới."
!define NOT_WRITTEN "Không ghi được mọi tệp của ${APPNAME} vào $INSTDIR.$\r$\n$\r$\nHãy chạy lại trình cài đặt."

; The copy that is installed already, from its Uninstall key: its folder
; (empty when there is none) and the SHA-256 of its uninstaller (empty when
; it is from before the hash was recorded).
Var OldDir
Var OldHash
; 1 when a newer installer runs the uninstaller to upgrade (/UPGRADE).
Var Upgrade

Name "${APPNAME}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${APPNAME}"
InstallDirRegKey HKLM "${UNINSTKEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; No file times in the archive: two builds of the same files give the same installer.
SetDateSave off
ManifestDPIAware true

!define MUI_ICON "../resources/Tovik_All_In_One.ico"
!define MUI_UNICON "../resources/Tovik_All_In_One.ico"
; Notices to read, not terms to accept: the button is Next.
!define MUI_PAGE_HEADER_TEXT "Giấy phép"
!define MUI_PAGE_HEADER_SUBTEXT "Các thư viện đi kèm $(^NameDA), giấy phép của chúng và nơi có mã nguồn."
!define MUI_LICENSEPAGE_TEXT_TOP "Ấn Page Down để xem phần còn lại."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Các văn bản này được cài cùng chương trình, trong thư mục licenses. $(^ClickNext)"
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${DEPLOY}/licenses/SOURCES.txt"
; An upgrade goes into the folder of the installed copy.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipFolderOnUpgrade
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckFolderChosen
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

; Before anything changes: the Program Files folder and the HKLM entry are
; the administrators'. Elevation, not membership of Administrators, is what
; counts (with UAC an administrator's programs run unelevated).
!macro REFUSE_UNLESS_ELEVATED UN TEXT
Function ${UN}RefuseUnlessElevated
    StrCpy $2 0
    System::Call 'advapi32::OpenProcessToken(p -1, i 8, *p .r0) i .r1' ; TOKEN_QUERY
    ${If} $1 <> 0
        System::Call 'advapi32::GetTokenInformation(p r0, i 20, *i .r2, i 4, *i .r3)' ; TokenElevation
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
    ${If} $2 = 0
        MessageBox MB_ICONSTOP "${TEXT}" /SD IDOK
        SetErrorLevel ${EXIT_NOT_ELEVATED}
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro REFUSE_UNLESS_ELEVATED "" "${NOT_ELEVATED_INSTALL}"
!insertmacro REFUSE_UNLESS_ELEVATED "un." "${NOT_ELEVATED_UNINSTALL}"

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
        SetErrorLevel ${EXIT_RUNNING}
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
    Call RefuseUnlessElevated
    ReadRegStr $OldDir HKLM "${UNINSTKEY}" "InstallLocation"
    ReadRegStr $OldHash HKLM "${UNINSTKEY}" "UninstallerSha256"
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

; $1 = 1 when the folder $0 lies inside Program Files (either of them on
; 64-bit Windows), as a full path with no "..": only administrators can
; change what is there.
!macro INSIDE PARENT
    StrLen $2 "${PARENT}\"
    StrCpy $3 $0 $2
    StrCpy $4 $0 1 $2
    ${If} $3 == "${PARENT}\"
    ${AndIf} $4 != ""
    ${AndIf} $4 != "\"
        StrCpy $1 1
    ${EndIf}
!macroend
Function InsideProgramFiles
    System::Call 'kernel32::GetFullPathNameW(w r0, i ${NSIS_MAX_STRLEN}, w .r0, p 0)'
    StrCpy $1 0
    !insertmacro INSIDE "$PROGRAMFILES32"
    !insertmacro INSIDE "$PROGRAMFILES64"
FunctionEnd

Function CheckFolderChosen
    StrCpy $0 $INSTDIR
    Call InsideProgramFiles
    ${If} $1 = 0
        MessageBox MB_ICONEXCLAMATION "${FOLDER_REFUSED}" /SD IDOK
        Abort
    ${EndIf}
FunctionEnd

; Opens the file $0 shared with readers only, so that nobody can change or
; replace it while the handle $1 is open, and reads it whole: $0 = its
; SHA-256 in hex, empty when it cannot be read.
Function OpenAndHash
    System::Call 'kernel32::CreateFileW(w r0, i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r1'
    StrCpy $0 ""
    System::Call 'advapi32::CryptAcquireContextW(*p .r2, p 0, p 0, i 24, i 0xF0000000) i .r3' ; PROV_RSA_AES, no key
    System::Call 'advapi32::CryptCreateHash(p r2, i 0x800C, p 0, i 0, *p .r4) i .r3' ; CALG_SHA_256
    System::Alloc 65536
    Pop $5
    ${DoWhile} $3 <> 0
        System::Call 'kernel32::ReadFile(p r1, p r5, i 65536, *i .r6, p 0) i .r3'
        ${IfThen} $6 = 0 ${|} ${ExitDo} ${|}
        System::Call 'advapi32::CryptHashData(p r4, p r5, i r6, i 0) i .r3'
    ${Loop}
    ${If} $3 <> 0
        System::Call 'advapi32::CryptGetHashParam(p r4, i 2, p r5, *i 32, i 0) i .r3' ; HP_HASHVAL
    ${EndIf}
    ${If} $3 <> 0
        ${For} $6 0 31
            IntPtrOp $7 $5 + $6
            System::Call '*$7(&i1 .r7)'
            IntOp $7 $7 & 0xFF
            IntFmt $7 "%02x" $7
            StrCpy $0 "$0$7"
        ${Next}
    ${EndIf}
    System::Free $5
    System::Call 'advapi32::CryptDestroyHash(p r4)'
    System::Call 'advapi32::CryptReleaseContext(p r2, i 0)'
FunctionEnd

; The installed copy's own uninstaller removes exactly what it shipped, once
; it is the one that was installed, or is from before the hash was recorded
; and inside Program Files. It stays open, unchangeable, until it has ended:
; run in place (_?=), it ends before ExecWait returns.
Function RemoveOldCopy
    StrCpy $0 $OldDir
    Call InsideProgramFiles
    StrCpy $R0 $1
    StrCpy $R1 ""
    StrCpy $0 "$OldDir\uninstall.exe"
    Call OpenAndHash
    ${If} $OldHash != ""
        StrCpy $R0 0
        ${IfThen} $0 == $OldHash ${|} StrCpy $R0 1 ${|}
        StrCpy $R1 "/UPGRADE"
    ${EndIf}
    ${If} $R0 = 0
        System::Call 'kernel32::CloseHandle(p r1)'
        MessageBox MB_ICONSTOP "${OLD_REFUSED}" /SD IDOK
        SetErrorLevel ${EXIT_OLD_REFUSED}
        Quit
    ${EndIf}
    DetailPrint "$OldDir\uninstall.exe $R1"
    ClearErrors
    ExecWait '"$OldDir\uninstall.exe" /S $R1 _?=$OldDir' $0
    ${IfThen} ${Errors} ${|} StrCpy $0 error ${|}
    System::Call 'kernel32::CloseHandle(p r1)'
    ${If} $0 != 0
        MessageBox MB_ICONSTOP "${OLD_FAILED}" /SD IDOK
        SetErrorLevel ${EXIT_OLD_FAILED}
        Quit
    ${EndIf}
FunctionEnd

Section "Install"
    SetShellVarContext all
    Call WaitUntilClosed
    ${If} $OldDir != ""
        Call RemoveOldCopy
    ${Else}
        StrCpy $0 $INSTDIR
        Call InsideProgramFiles
        ${If} $1 = 0
            MessageBox MB_ICONSTOP "${FOLDER_REFUSED}" /SD IDOK
            SetErrorLevel ${EXIT_FOLDER_REFUSED}
            Quit
        ${EndIf}
    ${EndIf}
    ; Listed, with an uninstaller that removes whatever of it is there, before
    ; any file is written: a failure half-way leaves a program to uninstall,
    ; or to install again. With /S a file that cannot be written is skipped.
    ClearErrors
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    StrCpy $0 "$INSTDIR\uninstall.exe"
    Call OpenAndHash
    System::Call 'kernel32::CloseHandle(p r1)'
    WriteRegStr HKLM "${UNINSTKEY}" "UninstallerSha256" $0
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Tovik"
    WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
    !include "${DEPLOY}-files.nsh"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP "${NOT_WRITTEN}" /SD IDOK
        SetErrorLevel ${EXIT_NOT_WRITTEN}
        Quit
    ${EndIf}
    CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
!ifdef WIN64
    SetRegView 64
!endif
    Call un.RefuseUnlessElevated
    ${un.GetParameters} $0
    ClearErrors
    ${un.GetOptions} $0 "/UPGRADE" $1
    ${IfNot} ${Errors}
        StrCpy $Upgrade 1
    ${EndIf}
    Call un.WaitUntilClosed
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.WaitUntilClosed
    !include "${DEPLOY}-remove.nsh"
    ; Upgrading, the entry, the shortcut and the uninstaller stay until the
    ; newer version's replace them.
    ${If} $Upgrade != 1
        Delete "$SMPROGRAMS\${APPNAME}.lnk"
        ; Run in place (_?=) it cannot delete itself, and stays with the folder.
        ; Not left to the next restart: a new install may put its own there first.
        Delete "$INSTDIR\uninstall.exe"
        ; Only an empty folder goes: whatever else the user put there stays.
        RMDir "$INSTDIR"
        DeleteRegKey HKLM "${UNINSTKEY}"
    ${EndIf}
SectionEnd
