; The Windows installer:
;   makensis -INPUTCHARSET UTF8 -DPROGRAM=PlenvoBackupMng.exe -DVERSION=1.0.4 -DOUTFILE=Setup.exe
; It runs as an administrator so that the console never has to: the program
; goes under Program Files, its data under ProgramData (the program records
; where, see --install-data), the Users group may write the data, and OrvShare$
; is made here and recorded, so that the console does not try. Consoles
; running the program are asked to end first. A failed step is shown and ends
; the setup with status 2.
;   Setup.exe /S [/NOSHARE] [/D=FOLDER]   /NOSHARE: the share is left to the administrator
;   Uninstall.exe /S [/REMOVESHARE]       the share stays unless asked for
; A 64-bit installer for a 64-bit program (and for Wine prefixes without 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Plenvo Backup Manager"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\PlenvoBackupMng"
; Written by the program's own steps: DataFolder, SharedFolder.
!define RECORD_KEY "SOFTWARE\Plenvo\Backup Manager"
!define USERS "*S-1-5-32-545"
!define EVERYONE "*S-1-1-0"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

Var DataDir

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_UNCONFIRMPAGE_TEXT_TOP "プログラムを削除します。データ フォルダー $DataDir は残ります: Mng.mdb (利用者の名前とメール アドレス)、Mail.ini (SMTP のパスワード)、OrvShare、ページ。共有 OrvShare$$ を残すかは、このあと尋ねます。"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "${PRODUCT} セットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "Plenvo"

; A step that failed: told, and the setup ends with status 2 before going on.
!macro Fail text
    DetailPrint "${text}"
    MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
    SetErrorLevel 2
    Abort
!macroend

; Runs a command, its lines into the details; any status but 0 fails with `text`.
!macro Step command text
    nsExec::ExecToLog '${command}'
    Pop $0
    ${If} $0 != 0
        !insertmacro Fail "${text}"
    ${EndIf}
!macroend

; Asks the consoles running the program in $INSTDIR to end and waits for them:
; a running program cannot be replaced or removed.
!macro EndConsoles program
    !insertmacro Step '"${program}" --end-consoles "$INSTDIR"' \
        "実行中の ${PRODUCT} が終了しません。通知領域のアイコンのメニューで「終了」を選んでから、もう一度実行してください。"
!macroend

Function .onInit
    SetShellVarContext all
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} のセットアップは管理者として実行してください。" /SD IDOK
        SetErrorLevel 740
        Quit
    ${EndIf}
FunctionEnd

Section "Install"
    SetShellVarContext all
    StrCpy $DataDir "$APPDATA\${PRODUCT}"
    ; The new program asks: an older one in $INSTDIR may know no such request.
    InitPluginsDir
    File "/oname=$PLUGINSDIR\PlenvoBackupMng.exe" "${PROGRAM}"
    !insertmacro EndConsoles "$PLUGINSDIR\PlenvoBackupMng.exe"

    SetOutPath "$INSTDIR"
    SetOverwrite try
    ClearErrors
    File "/oname=PlenvoBackupMng.exe" "${PROGRAM}"
    ${If} ${Errors}
        !insertmacro Fail "$INSTDIR\PlenvoBackupMng.exe を書き込めません。"
    ${EndIf}
    SetOverwrite on

    ; Mng.mdb, the settings, OrvShare and the pages of an older installation
    ; lay beside the program; they move to the data folder, or stay where they
    ; are when they cannot, and the program is told which.
    StrCpy $1 ""
    ${If} ${FileExists} "$INSTDIR\Mng.mdb"
        StrCpy $1 "older"
    ${EndIf}
    RMDir /r "$INSTDIR\HELP"
    !insertmacro Step '"$INSTDIR\PlenvoBackupMng.exe" --install-data "$DataDir"' \
        "データ フォルダー $DataDir を用意できません。詳細を確かめてから、もう一度実行してください。"
    ReadRegStr $DataDir HKLM "${RECORD_KEY}" "DataFolder"
    ${If} $1 == "older"
        ${If} $DataDir == $INSTDIR
            StrCpy $1 "以前のデータを移せなかったため、$INSTDIR のまま使います。このフォルダーには管理者しか書き込めません。データを移すには、移せなかった原因を取り除いてから、もう一度実行してください。"
        ${ElseIf} ${FileExists} "$INSTDIR\Mng.mdb"
            StrCpy $1 "$DataDir のデータを使います。以前のデータは $INSTDIR に残しました。"
        ${Else}
            StrCpy $1 "以前のデータを $INSTDIR から $DataDir に移しました。"
        ${EndIf}
        DetailPrint $1
        MessageBox MB_OK|MB_ICONINFORMATION $1 /SD IDOK
    ${EndIf}
    ; Every user of the console writes the data; only administrators change its
    ; rights. Never the program's folder: whoever could write there could
    ; replace what administrators run.
    ${If} $DataDir != $INSTDIR
        !insertmacro Step '"$SYSDIR\icacls.exe" "$DataDir" /grant ${USERS}:(OI)(CI)M /C /Q' \
            "$DataDir に Users の書き込みの権限を付けられません。"
    ${EndIf}

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

    ; Last: the program is installed even when the share cannot be made.
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/NOSHARE" $R1
    ${IfNot} ${Errors}
        DetailPrint "共有 OrvShare$$ は作りません (/NOSHARE)。コンソールが起動時に試みます。"
    ${Else}
        ; Agents deliver through the share as any user.
        !insertmacro Step '"$SYSDIR\icacls.exe" "$DataDir\OrvShare" /grant ${EVERYONE}:(OI)(CI)F /T /C /Q' \
            "$DataDir\OrvShare に Everyone のフル コントロールを付けられません。"
        !insertmacro Step '"$INSTDIR\PlenvoBackupMng.exe" --make-share' \
            "共有 OrvShare$$ を作成できません。プログラムはインストールされましたが、エージェントは結果を届けられません。原因を取り除いてから、もう一度実行してください。"
    ${EndIf}
SectionEnd

Function un.onInit
    SetShellVarContext all
    ReadRegStr $DataDir HKLM "${RECORD_KEY}" "DataFolder"
    ${If} $DataDir == ""
        StrCpy $DataDir $INSTDIR
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    ${If} ${FileExists} "$INSTDIR\PlenvoBackupMng.exe"
        !insertmacro EndConsoles "$INSTDIR\PlenvoBackupMng.exe"
    ${EndIf}

    ; Agents deliver to the share, and another installation may use it: it
    ; goes only when asked for.
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/REMOVESHARE" $R1
    StrCpy $2 "keep"
    ${IfNot} ${Errors}
        StrCpy $2 "remove"
    ${ElseIf} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "共有 OrvShare$$ も削除しますか?$\r$\n削除すると、エージェントは結果を届けられなくなります。" /SD IDNO IDYES`
        StrCpy $2 "remove"
    ${EndIf}
    ${If} $2 == "remove"
        !insertmacro Step '"$INSTDIR\PlenvoBackupMng.exe" --remove-share' \
            "共有 OrvShare$$ を削除できません。"
    ${EndIf}

    Delete "$INSTDIR\PlenvoBackupMng.exe"
    ; The page images and the help come with every installation.
    RMDir /r "$DataDir\HTM\img"
    RMDir /r "$DataDir\HELP"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    ; The console's own start-up shortcut, made for the user who ran it.
    SetShellVarContext current
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$DataDir\HTM"
    RMDir "$INSTDIR"

    DetailPrint "残したもの: $DataDir"
    DetailPrint "  Mng.mdb (利用者の名前とメール アドレス)"
    DetailPrint "  Mail.ini (SMTP のパスワード)、SmbAuth.conf"
    DetailPrint "  OrvShare とページ"
    ${If} $2 == "keep"
        DetailPrint "  共有 OrvShare$$ (Everyone にフル コントロール)"
    ${EndIf}
SectionEnd
