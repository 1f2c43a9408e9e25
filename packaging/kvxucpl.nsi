; Setup of the control panel: kvxucpl.exe, kvxuinfo.exe and kvxuctl.exe under Program Files, a Start-menu
; shortcut, an entry in Add/Remove Programs and, optionally, a start at logon hidden in the
; tray for every user. The uninstaller removes exactly what this made.
;
; /STARTATLOGON=0 leaves out the start at logon.
;
; Exit codes: 0 installed (or removed), 1 cancelled by the user, 2 failed: a running panel did
; not end, the Windows Installer package is installed, or a file could not be written. Each run
; writes its steps to /LOG=file, by default %TEMP%\kvxucpl-setup.log (the uninstaller's to
; kvxucpl-uninstall.log).
;
; makensis -DVERSION=1.01 -DFILEVERSION=1.0.1.0 -DEXEDIR=<folder with the executables>
;          -DOUTFILE=<setup.exe> [-DAMD64] kvxucpl.nsi

!ifndef VERSION | FILEVERSION | EXEDIR | OUTFILE
  !error "VERSION, FILEVERSION, EXEDIR and OUTFILE must be defined"
!endif

; -DAMD64: a setup of the 64-bit build, which only the Wine bench of a machine without a
; 32-bit system-call layer makes; the product ships 32-bit.
!ifdef AMD64
  Target amd64-unicode
  !define PROGRAMS_DIR "$PROGRAMFILES64"
!else
  Unicode true
  !define PROGRAMS_DIR "$PROGRAMFILES"
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "Volmar Model B USB Control Panel"
!define PUBLISHER "Volmar"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VolmarModelBUsbControlPanel"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "VolmarModelBUsbControlPanel"
; The panel's single-instance mutex: it exists while a panel runs.
!define INSTANCE_MUTEX "5D2A8C31-7E4B-4f90-B3A6-C18E27D4F5A0"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"
; The Windows Installer package's upgrade code: that package and this setup share the folder
; and the names, so only one of them may be installed.
!define MSI_UPGRADE_CODE "{3C1B6E52-9A4D-4F27-8E10-6B5D2C7A9F43}"
; Restart Manager's status for success.
!define ERROR_SUCCESS 0

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAMS_DIR}\Volmar\Model B USB Control Panel"
; Reinstalling goes where the earlier setup put it.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${FILEVERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${U+00A9} 2004-2026 ${PUBLISHER}"

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
; A file that cannot be written fails the setup; skipping it would leave the old one in place.
AllowSkipFiles off

!define MUI_COMPONENTSPAGE_NODESC
; The finish page starts the panel (its box is ticked); a silent setup has no pages and
; starts only the panels it ended.
!define MUI_FINISHPAGE_RUN "$INSTDIR\kvxucpl.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var LogFile
; 1 when this setup ended a panel of its own session with "-exit", which it then starts again.
Var PanelEnded
; The Restart Manager session that ended the panels of every session, or "".
Var RmSession

; ${Log} "text": a line in the log file, and in the details of an interactive setup.
!macro Log text
  Push "${text}"
  !ifdef __UNINSTALL__
    Call un.WriteLog
  !else
    Call WriteLog
  !endif
!macroend
!define Log "!insertmacro Log"

!macro SetupFunctions un
Function ${un}WriteLog
  Exch $0
  Push $1
  DetailPrint "$0"
  FileOpen $1 "$LogFile" a
  ${If} $1 != ""
    FileSeek $1 0 END
    FileWrite $1 "$0$\r$\n"
    FileClose $1
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; The log goes where /LOG= says, else into the temporary folder under the given name.
Function ${un}OpenLog
  Exch $0
  ${GetParameters} $1
  ClearErrors
  ${GetOptions} $1 "/LOG=" $LogFile
  ${If} ${Errors}
    StrCpy $LogFile "$TEMP\$0"
  ${EndIf}
  Delete "$LogFile"
  Pop $0
  ${Log} "${PRODUCT} ${VERSION}: $CMDLINE"
FunctionEnd

; Pushes 1 while a panel runs in this session (its instance mutex exists), else 0.
Function ${un}PanelRuns
  Push $0
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r0'
  ${If} $0 P= 0
    StrCpy $0 0
  ${Else}
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $0 1
  ${EndIf}
  Exch $0
FunctionEnd

; Ends the panels of every session that run the installed kvxucpl.exe through Restart Manager,
; which asks each to close and later, with RmRestart, starts again those that registered for
; it, each in its own session with the command line it registered ("-hide"). An earlier panel,
; which does not quit when asked, and Wine's Restart Manager, which does nothing, leave the
; panel of this session to EndRunningPanel.
Function ${un}EndPanelsThroughRestartManager
  StrCpy $RmSession ""
  ${IfNot} ${FileExists} "$INSTDIR\kvxucpl.exe"
    Return
  ${EndIf}
  System::Call 'rstrtmgr::RmStartSession(*i .r1, i 0, w .r2) i .r0'
  ${If} $0 != ${ERROR_SUCCESS}
    ${Log} "Restart Manager: no session ($0)."
    Return
  ${EndIf}
  StrCpy $RmSession $1
  ; RmRegisterResources takes an array of file names: one pointer to one name.
  System::Call '*(&w1024 "$INSTDIR\kvxucpl.exe") p .r3'
  System::Call '*(p r3) p .r4'
  System::Call 'rstrtmgr::RmRegisterResources(i r1, i 1, p r4, i 0, p 0, i 0, p 0) i .r0'
  ${If} $0 == ${ERROR_SUCCESS}
    System::Call 'rstrtmgr::RmShutdown(i r1, i 0, p 0) i .r0'
  ${EndIf}
  System::Free $4
  System::Free $3
  ${Log} "Restart Manager: panels using $INSTDIR\kvxucpl.exe asked to end (status $0)."
FunctionEnd

; Pushed 1: the panels Restart Manager ended start again; 0: they do not. Ends the session.
Function ${un}EndRestartManagerSession
  Exch $0
  ${If} $RmSession != ""
    ${If} $0 == 1
      System::Call 'rstrtmgr::RmRestart(i $RmSession, i 0, p 0) i .r0'
      ${Log} "Restart Manager: ended panels started again (status $0)."
    ${EndIf}
    System::Call 'rstrtmgr::RmEndSession(i $RmSession) i .r0'
    StrCpy $RmSession ""
  ${EndIf}
  Pop $0
FunctionEnd

; Asks the panel of this session to quit with "-exit" from the given executable and waits (at
; most 10 s) until its instance mutex is gone, so that its files can be replaced or removed.
; Sets $PanelEnded; a panel that runs on fails the setup.
Function ${un}EndRunningPanel
  Exch $0
  Push $1
  Push $2
  StrCpy $PanelEnded 0
  Call ${un}PanelRuns
  Pop $1
  ${If} $1 == 1
    ${Log} "Ending the running control panel."
    ${If} ${FileExists} "$0"
      ExecWait '"$0" -exit'
    ${EndIf}
    StrCpy $2 0
    ${Do}
      Call ${un}PanelRuns
      Pop $1
      ${If} $1 == 0
        StrCpy $PanelEnded 1
        ${ExitDo}
      ${EndIf}
      IntOp $2 $2 + 1
      ${If} $2 > 100
        ${Log} "The running control panel did not end: its files cannot be replaced."
        Abort
      ${EndIf}
      Sleep 100
    ${Loop}
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro SetupFunctions ""
!insertmacro SetupFunctions "un."

Function .onInstSuccess
  ${Log} "Installed into $INSTDIR."
FunctionEnd

Function .onInstFailed
  ${Log} "Setup failed."
FunctionEnd

Function un.onInit
  Push "kvxucpl-uninstall.log"
  Call un.OpenLog
FunctionEnd

Function un.onUninstSuccess
  ${Log} "Removed."
FunctionEnd

Section "-Control panel" SecMain
  SetShellVarContext all
  Call EndPanelsThroughRestartManager
  ; The panel being installed knows how to end a running one, wherever that came from.
  InitPluginsDir
  SetOutPath "$PLUGINSDIR"
  File "${EXEDIR}/kvxucpl.exe"
  Push "$PLUGINSDIR\kvxucpl.exe"
  Call EndRunningPanel
  Delete "$PLUGINSDIR\kvxucpl.exe"

  SetOutPath "$INSTDIR"
  File "${EXEDIR}/kvxucpl.exe"
  File "${EXEDIR}/kvxuinfo.exe"
  File "${EXEDIR}/kvxuctl.exe"
  File "${EXEDIR}/kvx-usb-settings.schema.json"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\kvxucpl.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kvxucpl.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Add/Remove Programs expects.
  SectionGetSize ${SecMain} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; For every user: the per-machine key, not the hive of whoever runs the setup (a deployment
; tool runs it as the system account).
Section "Start at logon, hidden in the tray" SecRun
  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\kvxucpl.exe" -hide'
  ${Log} "Starts at logon for every user."
SectionEnd

; An earlier setup's start at logon goes when this one is not chosen, and the per-user value of
; versions that wrote one goes always, so that the panel does not start twice.
Section "-Run value" SecRunCleanup
  ${IfNot} ${SectionIsSelected} ${SecRun}
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
SectionEnd

; The panels this setup ended start again, hidden: those of every session through Restart
; Manager, the one of this session, which "-exit" ended, here. None starts where none ran.
Section "-Restart the panel"
  Push 1
  Call EndRestartManagerSession
  ${If} $PanelEnded == 1
    ${Log} "Starting the control panel again, hidden."
    Exec '"$INSTDIR\kvxucpl.exe" -hide'
  ${EndIf}
SectionEnd

Function .onInit
  Push "kvxucpl-setup.log"
  Call OpenLog
  System::Call 'msi::MsiEnumRelatedProductsW(w "${MSI_UPGRADE_CODE}", i 0, i 0, w .r1) i .r0'
  ${If} $0 == ${ERROR_SUCCESS}
    ${Log} "The Windows Installer package of the control panel is installed ($1): remove it first."
    MessageBox MB_ICONSTOP "The control panel is installed from its Windows Installer package. Remove that first." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  ; /STARTATLOGON=0 leaves out the start at logon, as the Windows Installer package's property.
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTATLOGON=" $1
  ${IfNot} ${Errors}
  ${AndIf} $1 == 0
    !insertmacro UnselectSection ${SecRun}
  ${EndIf}
FunctionEnd


Section "Uninstall"
  SetShellVarContext all
  Call un.EndPanelsThroughRestartManager
  Push 0
  Call un.EndRestartManagerSession
  Push "$INSTDIR\kvxucpl.exe"
  Call un.EndRunningPanel
  Delete "$INSTDIR\kvxucpl.exe"
  Delete "$INSTDIR\kvxuinfo.exe"
  Delete "$INSTDIR\kvxuctl.exe"
  Delete "$INSTDIR\kvx-usb-settings.schema.json"
  Delete "$INSTDIR\Uninstall.exe"
  ; Folders only when empty: nothing that someone else put there goes with us. The maker's
  ; folder only for the default place; a folder above a chosen one is not ours.
  RMDir "$INSTDIR"
  ${If} "$INSTDIR" == "${PROGRAMS_DIR}\Volmar\Model B USB Control Panel"
    RMDir "${PROGRAMS_DIR}\Volmar"
  ${EndIf}
  Delete "${SHORTCUT}"
  DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
