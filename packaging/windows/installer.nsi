; The Windows installer: makensis -DPROGRAM=PlenvoBackupMng.exe -DVERSION=1.0.4 -DOUTFILE=Setup.exe
; The program lays out its own installation (--install); the uninstaller takes
; away what the installer brought and keeps the database and the share.
; A 64-bit installer for a 64-bit program (and for Wine prefixes without 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Plenvo Backup Manager"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\PlenvoBackupMng"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "LegalCopyright" "Plenvo"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "/oname=PlenvoBackupMng.exe" "${PROGRAM}"
    ; Mng.mdb, the page images and the help file; an existing Mng.mdb is kept.
    ExecWait '"$INSTDIR\PlenvoBackupMng.exe" --install "$INSTDIR"' $0
    IntCmp $0 0 laidOut
        DetailPrint "PlenvoBackupMng --install ended with $0"
        SetErrorLevel 1
    laidOut:
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\PlenvoBackupMng.exe" "" "" "" "" "" ""
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk" "$INSTDIR\Uninstall.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$INSTDIR\PlenvoBackupMng.exe"
    RMDir /r "$INSTDIR\HTM\img"
    RMDir /r "$INSTDIR\HELP"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    ; The console's own start-up shortcut, made for the user who ran it.
    SetShellVarContext current
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    ; Mng.mdb, OrvShare, the pages and the settings stay; the folder goes only when empty.
    RMDir "$INSTDIR\HTM"
    RMDir "$INSTDIR"
SectionEnd
