; The Windows installer: a per-machine install under Program Files, a Start-menu entry with
; the program's icon, and an uninstaller that removes exactly the files it installed.
; Built by tools/windows/package.sh, which defines VERSION, ICON, OUTFILE and LISTS (the folder
; of files.nsh and unfiles.nsh, the File and Delete lines of the staged program and its DLLs).
; A 64-bit installer for the 64-bit program: it runs where the program does.
Unicode true
Target amd64-unicode

!define APP "Tavrix"
!define TITLE "Генератор сигналов"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"

Name "${TITLE} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
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

Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Install"
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

Section "Uninstall"
    Delete "$SMPROGRAMS\${TITLE}.lnk"
    !include "${LISTS}/unfiles.nsh"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
