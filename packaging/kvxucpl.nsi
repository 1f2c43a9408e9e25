; Setup of the control panel: kvxucpl.exe, kvxuinfo.exe and kvxuctl.exe under Program Files, a Start-menu
; shortcut, an entry in Add/Remove Programs and, optionally, a start at logon hidden in the
; tray. The uninstaller removes exactly what this made.
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

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

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
!define MUI_COMPONENTSPAGE_NODESC
; The finish page starts the panel (its box is ticked); a silent setup has no pages and
; starts nothing.
!define MUI_FINISHPAGE_RUN "$INSTDIR\kvxucpl.exe"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Asks a running panel to quit with "-exit" from the given executable and waits (at most
; 10 s) until its instance mutex is gone, so that its files can be replaced or removed.
!macro EndRunningPanel un
Function ${un}EndRunningPanel
  Pop $0
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r1'
  ${If} $1 P= 0
    Return
  ${EndIf}
  System::Call 'kernel32::CloseHandle(p r1)'
  ${If} ${FileExists} "$0"
    ExecWait '"$0" -exit'
  ${EndIf}
  StrCpy $2 0
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r1'
    ${If} $1 P= 0
      Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
    IntOp $2 $2 + 1
    ${If} $2 > 100
      DetailPrint "The running control panel did not end."
      Return
    ${EndIf}
    Sleep 100
  ${Loop}
FunctionEnd
!macroend
!insertmacro EndRunningPanel ""
!insertmacro EndRunningPanel "un."

Section "-Control panel" SecMain
  SetShellVarContext all
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

Section "Start at logon, hidden in the tray" SecRun
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\kvxucpl.exe" -hide'
SectionEnd

; An earlier setup's start at logon goes when this one is not chosen.
Section "-Run value" SecRunCleanup
  ${IfNot} ${SectionIsSelected} ${SecRun}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
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
  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
