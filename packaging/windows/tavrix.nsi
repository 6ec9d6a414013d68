; The Windows installer: a per-machine install under Program Files, a Start-menu entry with
; the program's icon, and an uninstaller that removes exactly the files it installed.
; Built by tools/windows/package.sh, which defines VERSION, ICON, OUTFILE and LISTS (the folder
; of files.nsh, unfiles.nsh and undirs.nsh: the File, Delete and RMDir lines of the staged
; program and its DLLs).
; A 64-bit installer for the 64-bit program: it runs where the program does.
Unicode true
Target amd64-unicode
!include LogicLib.nsh

!define APP "Tavrix"
!define TITLE "Генератор сигналов"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"

Name "${TITLE} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
; An upgrade goes where the installed version is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1049 "FileDescription" "${TITLE} ${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Tavrix developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LoadLanguageFile "${NSISDIR}/Contrib/Language files/Russian.nlf"

; Nothing is replaced or deleted while the program in the folder on the stack runs: its files
; are in use then, and an uninstall would leave them behind while unregistering them. Windows
; refuses to open a running program's image for writing with a sharing violation, and Wine
; does the same. Asking about the very file to be replaced also catches versions older than
; this check and a copy started by another user, which a mark set by the program (a named
; mutex) would miss, and it does not take a portable copy elsewhere for the installed one.
; Opened for writing without changing it; any other error is left to the copying itself.
; A silent run (/S) ends at once with exit code 2 instead of asking.
!macro REFUSE_WHILE_RUNNING un
Function ${un}RefuseWhileRunning
    Exch $0
    Push $1
    Push $2
  retry:
    ; GENERIC_WRITE, any sharing, OPEN_EXISTING; 32 is ERROR_SHARING_VIOLATION.
    System::Call 'kernel32::CreateFileW(w "$0\tavrix.exe", i 0x40000000, i 7, p 0, i 3, i 0, p 0) p.r1 ?e'
    Pop $2
    ${If} $1 P<> -1
        System::Call 'kernel32::CloseHandle(p r1)'
    ${ElseIf} $2 = 32
        MessageBox MB_RETRYCANCEL|MB_ICONSTOP \
            "${TITLE} (tavrix.exe) запущен. Закройте программу и повторите." \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
    ${EndIf}
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

; The installed version goes first, through its own uninstaller and its own list, so that no
; file of its list that this one lacks is left behind. Run in place (_?=), the uninstaller does
; not hand over to a copy of itself, so ExecWait waits for it and gets its exit code; it cannot
; delete itself then, which is done here.
Function RemoveInstalledVersion
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIfNot} ${FileExists} "$0\uninstall.exe"
        Return
    ${EndIf}
    Push $0
    Call RefuseWhileRunning
    ClearErrors
    ExecWait '"$0\uninstall.exe" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 <> 0
        MessageBox MB_OK|MB_ICONSTOP \
            "Не удалось удалить установленную версию из $0. Удалите её и повторите." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Delete "$0\uninstall.exe"
    RMDir "$0"
FunctionEnd

Function .onInit
    SetRegView 64
    SetShellVarContext all
    Push $INSTDIR
    Call RefuseWhileRunning
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
    Push $INSTDIR
    Call un.RefuseWhileRunning
FunctionEnd

; The checks run again when the work starts: the program may have been started meanwhile.
Section "Install"
    Push $INSTDIR
    Call RefuseWhileRunning
    Call RemoveInstalledVersion
    SetOutPath "$INSTDIR"
    !include "${LISTS}/files.nsh"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\${TITLE}.lnk" "$INSTDIR\tavrix.exe" "" "$INSTDIR\tavrix.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tavrix developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tavrix.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A file that something else still holds keeps the program registered (with its Start-menu
; entry), so that the uninstall can be repeated from "Apps and features".
Section "Uninstall"
    Push $INSTDIR
    Call un.RefuseWhileRunning
    ClearErrors
    !include "${LISTS}/unfiles.nsh"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP \
            "Не все файлы программы удалось удалить из $INSTDIR. Закройте программы, которые могут их использовать, и повторите удаление." \
            /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    !include "${LISTS}/undirs.nsh"
    Delete "$SMPROGRAMS\${TITLE}.lnk"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
