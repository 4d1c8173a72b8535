; Brimlow's Windows installer, built with makensis (also on Linux) from the
; release folder that `cmake --install` lays out. scripts/release.sh passes:
;   BRIMLOW_DEFINES  defines.nsh written by the CMake build (version, publisher, icon)
;   BRIMLOW_STAGE    the release folder
;   BRIMLOW_OUTFILE  the installer to write
;
; One install for the whole machine, made by an administrator: program files
; in Program Files (writable by administrators only), the data folder
; writable by every user because the program saves its table there on every
; close, and the machine-wide start-at-logon value the program itself keeps.

Unicode true
; program.exe is a 64-bit program; a 64-bit installer sees the real Program
; Files and registry, without the 32-bit redirection.
Target amd64-unicode

!include "${BRIMLOW_DEFINES}"
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimlow"
; The program compares this value with its own folder followed by
; "\Program.exe", letter for letter, and rewrites it when they differ.
!define RUN_KEY "SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Brimlow"
!define FORM_CLASS "BrimlowForm1"
; The well-known SID of the local Users group, so that the grant works on
; every language of Windows.
!define USERS_SID "*S-1-5-32-545"

Name "Brimlow ${BRIMLOW_VERSION}"
OutFile "${BRIMLOW_OUTFILE}"
InstallDir "$PROGRAMFILES64\Brimlow"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true
BrandingText "Brimlow ${BRIMLOW_VERSION}"

VIProductVersion "${BRIMLOW_VERSION_QUAD}"
VIAddVersionKey "ProductName" "Brimlow"
VIAddVersionKey "ProductVersion" "${BRIMLOW_VERSION}"
VIAddVersionKey "FileVersion" "${BRIMLOW_VERSION}"
VIAddVersionKey "CompanyName" "${BRIMLOW_PUBLISHER}"
VIAddVersionKey "FileDescription" "Brimlow ${BRIMLOW_VERSION} Setup"
VIAddVersionKey "LegalCopyright" "${BRIMLOW_PUBLISHER}"

!define MUI_ICON "${BRIMLOW_ICON}"
!define MUI_UNICON "${BRIMLOW_ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Without administrator rights neither Program Files nor the machine's keys
; can be written: stop before anything is changed.
!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Brimlow is set up for all users of this computer. Please run this as an administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

; A running Brimlow (started at logon, perhaps hidden) holds program.exe
; open. Closing its window is what the user's close box does: the program
; saves its table and ends, so nothing of the user's is lost.
!macro CloseRunningBrimlow
  StrCpy $1 0
  ${Do}
    FindWindow $0 "${FORM_CLASS}"
    ${If} $0 == 0
    ${OrIf} $1 >= 10
      ${Break}
    ${EndIf}
    DetailPrint "Closing the running Brimlow"
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
    Sleep 500
    IntOp $1 $1 + 1
  ${Loop}
!macroend

Function .onInit
  SetShellVarContext all
  !insertmacro RequireAdministrator
FunctionEnd

Section "Brimlow" SecProgram
  SectionIn RO
  !insertmacro CloseRunningBrimlow

  SetOutPath "$INSTDIR"
  File "${BRIMLOW_STAGE}/program.exe"
  File "${BRIMLOW_STAGE}/Ostrad.dll"
  File "${BRIMLOW_STAGE}/help.txt"
  File "${BRIMLOW_STAGE}/ReadMe.txt"

  ; The grant comes before the table goes in, so the file inherits it. Only
  ; the data folder: the program files stay as Program Files makes them.
  CreateDirectory "$INSTDIR\data"
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" "$INSTDIR\data" /grant ${USERS_SID}:(OI)(CI)M'
  Pop $0
  ${If} $0 != 0
    DetailPrint "icacls ended with $0"
    MessageBox MB_OK|MB_ICONEXCLAMATION "Users could not be given write access to $INSTDIR\data.$\r$\nBrimlow can then save its shortcuts only when it runs as an administrator." /SD IDOK
  ${EndIf}

  ; A reinstall or an upgrade keeps the user's rows; the shipped table goes
  ; in only where there is none.
  SetOutPath "$INSTDIR\data"
  SetOverwrite off
  File "${BRIMLOW_STAGE}/data/shortcuts.ini"
  SetOverwrite on
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" "$INSTDIR\Program.exe"

  CreateDirectory "$SMPROGRAMS\Brimlow"
  CreateShortcut "$SMPROGRAMS\Brimlow\Brimlow.lnk" "$INSTDIR\program.exe" "" "$INSTDIR\program.exe" 0
  CreateShortcut "$SMPROGRAMS\Brimlow\Brimlow Help.lnk" "$INSTDIR\help.txt"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Brimlow"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${BRIMLOW_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${BRIMLOW_PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\program.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; Apps & features shows the size in kilobytes.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetShellVarContext all
  !insertmacro RequireAdministrator
FunctionEnd

Section "Uninstall"
  !insertmacro CloseRunningBrimlow

  Delete /REBOOTOK "$INSTDIR\program.exe"
  Delete /REBOOTOK "$INSTDIR\Ostrad.dll"
  Delete "$INSTDIR\help.txt"
  Delete "$INSTDIR\ReadMe.txt"
  Delete "$INSTDIR\Uninstall.exe"

  ; The table is the user's work: kept unless the user says otherwise, and
  ; always kept in silent mode.
  MessageBox MB_YESNO|MB_ICONQUESTION "Keep your shortcuts?$\r$\n$\r$\nYes keeps $INSTDIR\data\shortcuts.ini for a later installation of Brimlow. No deletes it." /SD IDYES IDYES keepTable
    Delete "$INSTDIR\data\shortcuts.ini"
    ; What an interrupted save may have left beside it.
    Delete "$INSTDIR\data\shortcuts.ini.*.tmp"
  keepTable:
  RMDir "$INSTDIR\data"
  RMDir /REBOOTOK "$INSTDIR"

  ; Only this installation's value: a copy elsewhere that registered itself
  ; keeps starting at logon.
  ReadRegStr $0 HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == "$INSTDIR\Program.exe"
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${EndIf}

  Delete "$SMPROGRAMS\Brimlow\Brimlow.lnk"
  Delete "$SMPROGRAMS\Brimlow\Brimlow Help.lnk"
  RMDir "$SMPROGRAMS\Brimlow"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
