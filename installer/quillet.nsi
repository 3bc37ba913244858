; Quillet's setup program: the x64 and x86 text services, each with its loader, generator, default
; dictionary and manual, registered for the whole machine; then the input method added to the
; installing user's list.
;
; It runs in two halves. The first runs as the user, unelevated: it stops the user's loader, starts
; the second half elevated for what belongs to the machine (files, registration, the logon entry, the
; programs list), then adds the input method for the user, starts the loader and, when asked, sets
; the learning order, all as the user they belong to.
;
; Switches: /S silent; /D=FOLDER (last); /LEARN=0 leaves dictionary order (default: learning order).
; The uninstaller: /S; /PURGE also removes the user's settings and learned words.
; The second half is told /MACHINE and answers through its exit code alone: a file it wrote where
; the user's half could read it would lie in a folder the user controls, and a link placed there
; would make an administrator's process write wherever it points.
;
; makensis -DX64DIR=... -DX86DIR=... -DICON=... -DOUTFILE=... -DVERSION=... quillet.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include x64.nsh

!ifndef VERSION
  !define VERSION "1.0.0"
!endif

!define PRODUCT "Quillet"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillet"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The language profile, as the text service registers it: language, class id, profile.
!define TIP "0804:{81E900F8-0AE9-4137-8741-5CEB21FE4F62}{289D7E0D-B7E8-41C3-826A-84A4E9C3C7A2}"
!define ILOT_UNINSTALL 1
; The elevated half's exit codes. Anything else, a crash or a half that never ran included, is a
; failure.
!define EXIT_DONE 0
!define EXIT_REBOOT 3010  ; done, and a restart finishes it (ERROR_SUCCESS_REBOOT_REQUIRED)
!define EXIT_FAILED 1
!define EXIT_FOLDER 10    ; the folder could not be made or protected; nothing installed
!define EXIT_REGISTER 13  ; the text services could not be registered; nothing left installed
!define ERROR_CANCELLED 1223  ; the administrator's consent was refused

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel user
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PRODUCT}"

Var Machine     ; "1" in the elevated half
Var Learn       ; "1": set the learning order for the user's first tab
Var Purge       ; "1": the uninstaller also removes the user's settings

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the most likely words first and learn from my typing"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION SetLearningOrder
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Choose it in the input switcher (Windows key + Space) to type with it; the manual is in the programs' folder."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The loader runs per user behind a message-only window; asked to close, it keeps what it learned and
; ends. Waits up to 5 s for it to go.
!macro StopLoader un
Function ${un}StopLoader
  FindWindow $R0 "DAEMON" "Daemon@QX@TARN" -3
  ${If} $R0 != 0
    SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
  ${EndIf}
  StrCpy $R1 0
  ${DoWhile} $R0 != 0
    ${IfThen} $R1 >= 50 ${|} ${Break} ${|}
    Sleep 100
    IntOp $R1 $R1 + 1
    FindWindow $R0 "DAEMON" "Daemon@QX@TARN" -3
  ${Loop}
FunctionEnd
!macroend
!insertmacro StopLoader ""
!insertmacro StopLoader "un."

; Runs the elevated half with the given switches and waits for it. $R0 is its exit code, or "" when
; it did not start, with $R1 the reason (${ERROR_CANCELLED}: elevation refused).
!macro RunMachineHalf un
Function ${un}RunMachineHalf
  Pop $R2  ; the switches
  StrCpy $R0 ""
  ; SHELLEXECUTEINFOW asking for the process handle (SEE_MASK_NOCLOSEPROCESS), padded by hand to its
  ; x64 layout.
  System::Call '*(i 112, i 0x40, p $HWNDPARENT, w "runas", w "$EXEPATH", w "/S /MACHINE $R2", p 0, \
    i ${SW_HIDE}, i 0, p 0, p 0, p 0, p 0, i 0, i 0, p 0, p 0) p .R3'
  ${If} $R3 == 0
    StrCpy $R1 8  ; ERROR_NOT_ENOUGH_MEMORY
    Return
  ${EndIf}
  System::Call 'shell32::ShellExecuteExW(p R3) i .R4 ?e'
  Pop $R1
  ${If} $R4 != 0
    System::Call '*$R3(i, i, p, p, p, p, p, i, i, p, p, p, p, i, i, p, p .R5)'
    ${If} $R5 != 0
      System::Call 'kernel32::WaitForSingleObject(p R5, i -1) i'
      System::Call 'kernel32::GetExitCodeProcess(p R5, *i .R6) i .R4 ?e'
      Pop $R1
      ${If} $R4 != 0
        StrCpy $R0 $R6
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p R5)'
    ${EndIf}
  ${EndIf}
  System::Free $R3
FunctionEnd
!macroend
!insertmacro RunMachineHalf ""
!insertmacro RunMachineHalf "un."

; The DLL loads into every application and the loader starts at every logon, so only administrators
; and the system may change the installed folder, wherever it lies: one made outside Program Files
; would inherit its parent's rights (C:\ lets every signed-in user create and change files). Users,
; Store apps and sandboxed tabs (the two application-package groups) read and run what is in it.
!define ADMIN_ONLY "*S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX \
  *S-1-15-2-1:(OI)(CI)RX *S-1-15-2-2:(OI)(CI)RX"

; icacls as Windows ships it; $R0 becomes 1 when it failed or did not run.
!macro Icacls args
  ${If} $R0 == 0
    ClearErrors
    ExecWait '"$SYSDIR\icacls.exe" ${args}' $R1
    ${If} ${Errors}
    ${OrIf} $R1 != 0
      DetailPrint `icacls ${args}: failed ($R1)`
      StrCpy $R0 1
    ${EndIf}
  ${EndIf}
!macroend

; Makes $INSTDIR administrators' alone before anything is put in it; $R0 is 0 when all of it took.
; The owner becomes Administrators (an owner may always rewrite the rights), every right the folder
; had is dropped, explicit ones included, and none is inherited any more. Set folders an earlier
; install left (a user may have been able to make them) take the same rights from it.
Function ProtectFolder
  StrCpy $R0 0
  !insertmacro Icacls '"$INSTDIR" /setowner *S-1-5-32-544 /L /Q'
  !insertmacro Icacls '"$INSTDIR" /reset /L /Q'
  !insertmacro Icacls '"$INSTDIR" /inheritance:r /grant:r ${ADMIN_ONLY} /L /Q'
  ${If} ${FileExists} "$INSTDIR\x64\*.*"
    !insertmacro Icacls '"$INSTDIR\x64" /setowner *S-1-5-32-544 /L /Q'
    !insertmacro Icacls '"$INSTDIR\x64" /reset /L /Q'
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\x86\*.*"
    !insertmacro Icacls '"$INSTDIR\x86" /setowner *S-1-5-32-544 /L /Q'
    !insertmacro Icacls '"$INSTDIR\x86" /reset /L /Q'
  ${EndIf}
FunctionEnd

; A file that a running application holds (a loaded DLL, a running loader) cannot be overwritten but
; can be renamed: the old one moves aside and goes at the next restart, and the new one takes its name.
!macro MakeRoom path
  ${If} ${FileExists} "${path}"
    ClearErrors
    Delete "${path}"
    ${If} ${Errors}
      Delete "${path}.old"
      Rename "${path}" "${path}.old"
      Delete /REBOOTOK "${path}.old"
    ${EndIf}
  ${EndIf}
!macroend

!macro InstallSet dir source
  SetOutPath "$INSTDIR\${dir}"
  !insertmacro MakeRoom "$INSTDIR\${dir}\quillsvc.dll"
  !insertmacro MakeRoom "$INSTDIR\${dir}\lexwarden.exe"
  !insertmacro MakeRoom "$INSTDIR\${dir}\lexforge.exe"
  File "${source}\quillsvc.dll"
  File "${source}\lexwarden.exe"
  File "${source}\lexforge.exe"
  File "${source}\english.dict"
  File "${source}\english.rank"
  File "${source}\Manual.chm"
!macroend

!macro RemoveSet dir
  Delete /REBOOTOK "$INSTDIR\${dir}\quillsvc.dll"
  Delete /REBOOTOK "$INSTDIR\${dir}\quillsvc.dll.old"
  Delete /REBOOTOK "$INSTDIR\${dir}\lexwarden.exe"
  Delete /REBOOTOK "$INSTDIR\${dir}\lexwarden.exe.old"
  Delete /REBOOTOK "$INSTDIR\${dir}\lexforge.exe"
  Delete /REBOOTOK "$INSTDIR\${dir}\lexforge.exe.old"
  Delete "$INSTDIR\${dir}\english.dict"
  Delete "$INSTDIR\${dir}\english.rank"
  Delete "$INSTDIR\${dir}\Manual.chm"
  RMDir /REBOOTOK "$INSTDIR\${dir}"
!macroend

; Registers (or with /u unregisters) both text services with the regsvr32 of their own bitness; $R0
; "1" when both took.
!macro Register un name switch
Function ${un}${name}
  StrCpy $R0 1
  ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${switch} "$INSTDIR\x64\quillsvc.dll"' $R1
  StrCmp $R1 0 +2
    StrCpy $R0 0
  ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s ${switch} "$INSTDIR\x86\quillsvc.dll"' $R1
  StrCmp $R1 0 +2
    StrCpy $R0 0
FunctionEnd
!macroend
!insertmacro Register "" RegisterBoth ""
!insertmacro Register "" UnregisterBoth "/u"
!insertmacro Register "un." UnregisterBoth "/u"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${PRODUCT} needs a 64-bit Windows." /SD IDOK
    Abort
  ${EndIf}
  ${GetParameters} $R0
  StrCpy $Machine 0
  ClearErrors
  ${GetOptions} $R0 "/MACHINE" $R1
  ${IfNot} ${Errors}
    StrCpy $Machine 1
  ${EndIf}
  StrCpy $Learn 1
  ClearErrors
  ${GetOptions} $R0 "/LEARN=" $R1
  ${IfNot} ${Errors}
    StrCpy $Learn $R1
  ${EndIf}
  SetRegView 64
FunctionEnd

Section "Install"
  ${If} $Machine == 1
    Call MachineInstall
    Return
  ${EndIf}
  DetailPrint "Stopping the loader"
  Call StopLoader
  DetailPrint "Installing the programs for every user"
  Push '/D=$INSTDIR'
  Call RunMachineHalf
  ${If} $R0 == ""
    ${If} $R1 == ${ERROR_CANCELLED}
      MessageBox MB_ICONSTOP "Setup needs administrator rights to install ${PRODUCT}. Nothing was changed." /SD IDOK
    ${Else}
      MessageBox MB_ICONSTOP "Setup could not start its part that runs as administrator (error $R1). Nothing was changed." /SD IDOK
    ${EndIf}
    SetErrorLevel 2
    Abort
  ${ElseIf} $R0 == ${EXIT_REBOOT}
    SetRebootFlag true
  ${ElseIf} $R0 != ${EXIT_DONE}
    ${If} $R0 == ${EXIT_REGISTER}
      MessageBox MB_ICONSTOP "${PRODUCT} could not be registered with Windows; nothing was left installed." /SD IDOK
    ${ElseIf} $R0 == ${EXIT_FOLDER}
      MessageBox MB_ICONSTOP "Setup could not make $INSTDIR a folder that only administrators may change, which a program that every application loads needs (it must lie on an NTFS drive). Nothing was installed." /SD IDOK
    ${Else}
      MessageBox MB_ICONSTOP "Installing ${PRODUCT} failed (code $R0)." /SD IDOK
    ${EndIf}
    SetErrorLevel 1
    Abort
  ${EndIf}
  ; Registration puts the input method on the machine; this puts it in this user's switcher.
  DetailPrint "Adding ${PRODUCT} to your input methods"
  System::Call 'input::InstallLayoutOrTip(w "${TIP}", i 0) i .R0'
  DetailPrint "Starting the loader"
  ; Not from the installed folder, which it would keep from being removed while it runs.
  SetOutPath $TEMP
  Exec '"$INSTDIR\x64\lexwarden.exe"'
  ${If} ${Silent}
  ${AndIf} $Learn == 1
    Call SetLearningOrder
  ${EndIf}
SectionEnd

Function MachineInstall
  ; Failed until everything has gone well.
  SetErrorLevel ${EXIT_FAILED}
  SetShellVarContext all
  StrCpy $R2 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $R2 1  ; made here
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${If} ${Errors}
    SetErrorLevel ${EXIT_FOLDER}
    Return
  ${EndIf}
  Call ProtectFolder
  ${If} $R0 != 0
    ${If} $R2 == 1
      RMDir "$INSTDIR"
    ${EndIf}
    SetErrorLevel ${EXIT_FOLDER}
    Return
  ${EndIf}
  !insertmacro InstallSet x64 "${X64DIR}"
  !insertmacro InstallSet x86 "${X86DIR}"
  Call RegisterBoth
  ${If} $R0 != 1
    Call UnregisterBoth
    !insertmacro RemoveSet x64
    !insertmacro RemoveSet x86
    RMDir "$INSTDIR"
    SetErrorLevel ${EXIT_REGISTER}
    Return
  ${EndIf}
  WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\x64\lexwarden.exe"'
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\x64\quillsvc.dll,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $R1 $R2 $R3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R1
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_REBOOT}
  ${Else}
    SetErrorLevel ${EXIT_DONE}
  ${EndIf}
FunctionEnd

; Through the loader, as the settings sheet would.
Function SetLearningOrder
  ExecWait '"$INSTDIR\x64\lexforge.exe" order --tab 0 learning' $R1
  ${If} $R1 != 0
    DetailPrint "The learning order could not be set (result $R1); choose it on the settings' Tab page."
  ${EndIf}
FunctionEnd

Function un.onInit
  ${GetParameters} $R0
  StrCpy $Machine 0
  ClearErrors
  ${GetOptions} $R0 "/MACHINE" $R1
  ${IfNot} ${Errors}
    StrCpy $Machine 1
  ${EndIf}
  StrCpy $Purge 0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    StrCpy $Purge 1
  ${EndIf}
  SetRegView 64
FunctionEnd

Section "Uninstall"
  ; A process's current folder cannot be removed: neither half works from the installed one, nor does
  ; the elevated half it starts.
  SetOutPath $TEMP
  ${If} $Machine == 1
    SetErrorLevel ${EXIT_FAILED}
    SetShellVarContext all
    Call un.UnregisterBoth
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    !insertmacro RemoveSet x64
    !insertmacro RemoveSet x86
    Delete "$INSTDIR\uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} ${RebootFlag}
      SetErrorLevel ${EXIT_REBOOT}
    ${Else}
      SetErrorLevel ${EXIT_DONE}
    ${EndIf}
    Return
  ${EndIf}
  DetailPrint "Removing ${PRODUCT} from your input methods"
  System::Call 'input::InstallLayoutOrTip(w "${TIP}", i ${ILOT_UNINSTALL}) i .R0'
  DetailPrint "Stopping the loader"
  Call un.StopLoader
  ; This copy runs from the temporary folder, so the elevated half (run from it too) can remove the
  ; installed uninstaller.
  Push '_?=$INSTDIR'
  Call un.RunMachineHalf
  ${If} $R0 == ""
    ${If} $R1 == ${ERROR_CANCELLED}
      MessageBox MB_ICONSTOP "Uninstalling needs administrator rights. Nothing was changed." /SD IDOK
    ${Else}
      MessageBox MB_ICONSTOP "Uninstalling could not start its part that runs as administrator (error $R1). Nothing was changed." /SD IDOK
    ${EndIf}
    SetErrorLevel 2
    Abort
  ${ElseIf} $R0 == ${EXIT_REBOOT}
    SetRebootFlag true
  ${ElseIf} $R0 != ${EXIT_DONE}
    MessageBox MB_ICONSTOP "Uninstalling ${PRODUCT} failed (code $R0)." /SD IDOK
    SetErrorLevel 1
    Abort
  ${EndIf}
  ${If} $Purge == 1
    SetShellVarContext current
    RMDir /r "$APPDATA\${PRODUCT}"
  ${EndIf}
SectionEnd
