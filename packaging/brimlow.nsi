; Brimlow's Windows installer, built with makensis (also on Linux) from the
; release folder that `cmake --install` lays out. scripts/lib.sh passes:
;   BRIMLOW_DEFINES      defines.nsh written by the CMake build (version, publisher, icon)
;   BRIMLOW_STAGE        the release folder
;   BRIMLOW_OUTFILE      the installer to write
;   BRIMLOW_SIGN_SCRIPT  packaging/sign.sh, for a signed release
;   BRIMLOW_UNINSTALLER_COPY  where to keep a copy of the uninstaller as packed
;
; One install for one user, made by that user without administrator rights:
; program files and table in the user's own programs folder, start at logon
; and the Apps & features entry in the user's own keys. People who share a PC
; each install for themselves, so that no account chooses what another
; account's keys start.

Unicode true
; program.exe is a 64-bit program; a 64-bit installer sees the real registry,
; without the 32-bit redirection.
Target amd64-unicode

!include "${BRIMLOW_DEFINES}"
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include MUI2.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Brimlow"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "Brimlow"
!define FORM_CLASS "BrimlowForm1"

Name "Brimlow ${BRIMLOW_VERSION}"
OutFile "${BRIMLOW_OUTFILE}"
; A signed release (scripts/lib.sh passes the signing script): the
; uninstaller is signed before it goes into the installer, the installer
; once it is written. A failed signature fails the build.
; The packed uninstaller is kept too, so that two releases can be compared
; file by file: inside the installer it is compressed with everything else.
!ifdef BRIMLOW_SIGN_SCRIPT
  !uninstfinalize 'bash "${BRIMLOW_SIGN_SCRIPT}" "%1" && cp "%1" "${BRIMLOW_UNINSTALLER_COPY}"' = 0
  !finalize 'bash "${BRIMLOW_SIGN_SCRIPT}" "%1"' = 0
!else
  !uninstfinalize 'cp "%1" "${BRIMLOW_UNINSTALLER_COPY}"' = 0
!endif

; The user's own programs folder, where per-user programs belong.
InstallDir "$LOCALAPPDATA\Programs\Brimlow"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user
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

; A running Brimlow (started at logon, perhaps hidden) holds program.exe
; open. Closing its window is what the user's close box does: the program
; saves its table and ends, so nothing of the user's is lost. Only the copy
; that runs from $INSTDIR is closed: a portable copy in another folder has
; its own table and goes on running. A window is told by its process's
; program file, compared in its long form and without regard to case, as
; Windows compares paths, so a copy started through a short name or another
; letter case of the folder is recognised too.
!define PROCESS_QUERY_LIMITED_INFORMATION_AND_SYNCHRONIZE 0x101000
!macro CloseRunningBrimlow
  System::Call 'kernel32::GetLongPathNameW(w "$INSTDIR\program.exe", w .r5, i ${NSIS_MAX_STRLEN}) i .r6'
  ${If} $6 == 0
    StrCpy $5 "$INSTDIR\program.exe"
  ${EndIf}
  StrCpy $0 0 ; the window the search goes on after
  StrCpy $1 0 ; windows closed
  ${Do}
    FindWindow $0 "${FORM_CLASS}" "" 0 $0
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    StrCpy $2 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2)'
    System::Call 'kernel32::OpenProcess(i ${PROCESS_QUERY_LIMITED_INFORMATION_AND_SYNCHRONIZE}, i 0, i r2) p .r3'
    ${If} $3 != 0
      StrCpy $4 ""
      System::Call 'kernel32::QueryFullProcessImageNameW(p r3, i 0, w .r4, *i ${NSIS_MAX_STRLEN})'
      System::Call 'kernel32::GetLongPathNameW(w r4, w .r6, i ${NSIS_MAX_STRLEN}) i .r7'
      ${If} $7 != 0
        StrCpy $4 $6
      ${EndIf}
      ${If} $4 == $5
      ${AndIf} $1 < 10
        DetailPrint "Closing the running Brimlow in $INSTDIR"
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
        ; Until it has saved and ended, so that its files can be replaced.
        System::Call 'kernel32::WaitForSingleObject(p r3, i 10000)'
        IntOp $1 $1 + 1
        ; Windows may have come and gone meanwhile: look again from the first.
        StrCpy $0 0
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r3)'
    ${EndIf}
  ${Loop}
!macroend

Function .onInit
  SetShellVarContext current
FunctionEnd

Section "Brimlow" SecProgram
  SectionIn RO
  !insertmacro CloseRunningBrimlow

  SetOutPath "$INSTDIR"
  File "${BRIMLOW_STAGE}/program.exe"
  File "${BRIMLOW_STAGE}/Ostrad.dll"
  File "${BRIMLOW_STAGE}/help.txt"
  File "${BRIMLOW_STAGE}/ReadMe.txt"

  ; A reinstall or an upgrade keeps the user's rows; the shipped table goes
  ; in only where there is none.
  SetOutPath "$INSTDIR\data"
  SetOverwrite off
  File "${BRIMLOW_STAGE}/data/shortcuts.ini"
  SetOverwrite on
  SetOutPath "$INSTDIR"

  ; Quoted, so that a folder with a space can never be read as a shorter
  ; program's path followed by arguments. Always this spelling of the file
  ; name: the program compares its own value the same way.
  WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\Program.exe"'

  CreateDirectory "$SMPROGRAMS\Brimlow"
  CreateShortcut "$SMPROGRAMS\Brimlow\Brimlow.lnk" "$INSTDIR\program.exe" "" "$INSTDIR\program.exe" 0
  CreateShortcut "$SMPROGRAMS\Brimlow\Brimlow Help.lnk" "$INSTDIR\help.txt"

  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Brimlow"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${BRIMLOW_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${BRIMLOW_PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\program.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; Apps & features shows the size in kilobytes.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetShellVarContext current
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

  DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
  ; The program registers itself machine-wide too when it runs with the
  ; right to. Only this installation's value goes, in either spelling the
  ; program has used: a copy in another folder keeps starting at logon. For
  ; a standard user the delete is refused, and that is no reason to stop.
  ReadRegStr $0 HKLM "${RUN_KEY}" "${RUN_VALUE}"
  ${If} $0 == '"$INSTDIR\Program.exe"'
  ${OrIf} $0 == "$INSTDIR\Program.exe"
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ClearErrors
  ${EndIf}

  Delete "$SMPROGRAMS\Brimlow\Brimlow.lnk"
  Delete "$SMPROGRAMS\Brimlow\Brimlow Help.lnk"
  RMDir "$SMPROGRAMS\Brimlow"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
