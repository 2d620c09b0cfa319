; Setup program for Tarnwick IP Vistrel, built by windows/package.sh:
;   makensis -DVERSION=3.3.0.0 -DVERSION_SHORT=3.3.0 -DSTAGE=<staged folder> -DFILES=<file list .nsh>
;            -DESTIMATED_SIZE_KB=<n> -DICON=<.ico> -DOUTFILE=<setup .exe> vistrel.nsi
;
; Installs for the current user without administrator rights, into
; %LOCALAPPDATA%\Programs\Tarnwick IP Vistrel; started elevated (or with /AllUsers while elevated) it installs for
; every user into Program Files. /CurrentUser forces the per-user install. /S is silent, /D=<folder> (last on
; the command line, unquoted) chooses the folder.
;
; The uninstaller removes exactly the files the setup program put there, the Start-menu entry, the logon Run
; value and the installed-programs entry. The settings (and the address history) stay unless asked for: a
; check box on the uninstaller's first page, or /RemoveSettings on its command line (a silent uninstall keeps
; them otherwise).

Unicode true
Target amd64-unicode ; the program is 64-bit; so are the setup program, its registry view and folders
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!define PRODUCT "Tarnwick IP Vistrel"
!define PUBLISHER "Tarnwick Software"
!define EXE "tarnwick-ip-vistrel.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The scheduled task of `tarnwick-ip-vistrel --install-task` (platform/windows/WatcherTask.cpp).
!define TASK "${PRODUCT} watcher"
!define SETTINGS_KEY "Software\VB and VBA Program Settings\${PRODUCT}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PUBLISHER}"
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.KeepSettingsPage un.KeepSettingsLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Var AllUsers          ; 1: per machine (HKLM, Program Files, every user's Start menu)
Var RemoveSettings    ; 1: the uninstaller also removes the settings and the history
Var RemoveSettingsBox

; Chooses per machine when the process may write there (elevated) unless /CurrentUser says otherwise.
!macro ChooseScope UN
    UserInfo::GetAccountType
    Pop $0
    ${GetParameters} $1
    StrCpy $AllUsers 0
    ${If} $0 == "Admin"
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $1 "/CurrentUser" $2
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
    ${EndIf}
    ClearErrors
    ${GetOptions} $1 "/AllUsers" $2
    ${IfNot} ${Errors}
    ${AndIf} $0 != "Admin"
        MessageBox MB_OK|MB_ICONSTOP "Installing for all users needs administrator rights." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
!macroend

Function .onInit
    !insertmacro ChooseScope ""
    ${If} $AllUsers == 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
    ; /D= fills $INSTDIR before this runs; keep the folder it names.
    ${If} $INSTDIR == ""
        ${If} $AllUsers == 1
            StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
        ${Else}
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
        ${EndIf}
    ${EndIf}
FunctionEnd

!macro WriteUninstallEntry HIVE
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr ${HIVE} "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD ${HIVE} "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_SIZE_KB}
    WriteRegDWORD ${HIVE} "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD ${HIVE} "${UNINSTALL_KEY}" "NoRepair" 1
!macroend

Section "Install"
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    SetOutPath "$INSTDIR" ; the shortcut starts the program in its own folder
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}"
    ${If} $AllUsers == 1
        !insertmacro WriteUninstallEntry HKLM
    ${Else}
        !insertmacro WriteUninstallEntry HKCU
    ${EndIf}
SectionEnd

; The uninstaller works for the scope whose installed-programs entry names its own folder.
Function un.onInit
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $AllUsers 0
    ${If} $0 == $INSTDIR
        StrCpy $AllUsers 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
    ${GetParameters} $1
    StrCpy $RemoveSettings 0
    ClearErrors
    ${GetOptions} $1 "/RemoveSettings" $2
    ${IfNot} ${Errors}
        StrCpy $RemoveSettings 1
    ${EndIf}
FunctionEnd

Function un.KeepSettingsPage
    !insertmacro MUI_HEADER_TEXT "Uninstall ${PRODUCT}" "Remove ${PRODUCT} from this computer."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 24u "${PRODUCT} will be removed from $INSTDIR. Click Uninstall to continue."
    Pop $0
    ${NSD_CreateCheckbox} 0 32u 100% 12u "Also remove my settings and address history"
    Pop $RemoveSettingsBox
    ${If} $RemoveSettings == 1
        ${NSD_Check} $RemoveSettingsBox
    ${EndIf}
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:Uninstall"
    nsDialogs::Show
FunctionEnd

Function un.KeepSettingsLeave
    ${NSD_GetState} $RemoveSettingsBox $RemoveSettings
    ${If} $RemoveSettings == ${BST_CHECKED}
        StrCpy $RemoveSettings 1
    ${Else}
        StrCpy $RemoveSettings 0
    ${EndIf}
FunctionEnd

Section "Uninstall"
    ; The user's task that starts the watcher at logon would start a program no longer there (none: no failure).
    nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK}" /F'
    Pop $0
    ; Only what the setup program installed: a folder chosen with /D= may hold other files.
    !include "${FILES}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    ; The program registers itself for logon in the user's Run key (never the machine's).
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    ${If} $AllUsers == 1
        DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${Else}
        DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ${EndIf}
    ${If} $RemoveSettings == 1
        DeleteRegKey HKCU "${SETTINGS_KEY}"
        SetShellVarContext current
        RMDir /r "$LOCALAPPDATA\${PRODUCT}"
    ${EndIf}
SectionEnd
