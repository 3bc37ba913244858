; Quillet's setup program: the x64 and x86 text services, each with its loader, generator, default
; dictionary and manual, registered for the whole machine, with the licence and the third-party
; notices beside them; then the input method added to the installing user's list.
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
; makensis -DX64DIR=... -DX86DIR=... -DICON=... -DOUTFILE=... -DVERSION=... [-DTOP=...] quillet.nsi

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
; The licence and the notices: from the top of the source tree unless -DTOP=FOLDER names another.
!ifndef TOP
  !define TOP "${__FILEDIR__}\.."
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
!define EXIT_WRITE 11     ; a new file could not be written; nothing changed
!define EXIT_IN_USE 12    ; an installed file could be neither replaced nor moved aside; nothing changed
!define EXIT_REGISTER 13  ; the text services could not be registered; what was there before left
!define EXIT_BROKEN 14    ; a failure, and the earlier version could not all be put back
!define EXIT_SHARED 15    ; the folder holds what is not ours; nothing installed
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
Var Tag         ; this run's number in the names of new and aside files
Var Made        ; "1": this run made $INSTDIR
Var Upgrade     ; "1": an earlier version is installed there
Var Failed      ; the elevated half's exit code once something failed, else 0
Var Swapping    ; "1" once old files may have been moved aside
Var Broken      ; "1": undoing a failed upgrade failed too

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the most likely words first and learn from my typing"
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION SetLearningOrder
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Choose it in the input switcher (Windows key + Space) to type with it; the manual is in the programs' folder."
; The licence asks for nothing to be accepted: the page informs, and Next goes on.
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!define MUI_LICENSEPAGE_TEXT_BOTTOM "${PRODUCT} is installed with this licence (LICENSE.txt) and the licences of the parts it is made with (NOTICES.txt)."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${TOP}\LICENSE"
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

; $R0 is 1 when $INSTDIR is missing or holds nothing but what an install of ours puts there. Its
; rights are replaced, so it must never be a folder that other things share (a drive's root, Program
; Files itself) that /D named by mistake.
Function OnlyOurs
  StrCpy $R0 1
  ClearErrors
  FindFirst $R1 $R2 "$INSTDIR\*.*"
  ${DoWhile} $R2 != ""
    StrCpy $R3 $R2 13
    StrCpy $R4 $R2 11
    ${If} $R2 != "."
    ${AndIf} $R2 != ".."
    ${AndIf} $R2 != "x64"
    ${AndIf} $R2 != "x86"
    ${AndIf} $R3 != "uninstall.exe"
    ${AndIf} $R4 != "LICENSE.txt"
    ${AndIf} $R4 != "NOTICES.txt"
      StrCpy $R0 0
    ${EndIf}
    FindNext $R1 $R2
  ${Loop}
  FindClose $R1
FunctionEnd

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

; Every installed file, relative to $INSTDIR, with where it comes from.
!macro ForEachProgram m
  !insertmacro ${m} "x64\quillsvc.dll" "${X64DIR}\quillsvc.dll"
  !insertmacro ${m} "x64\lexwarden.exe" "${X64DIR}\lexwarden.exe"
  !insertmacro ${m} "x64\lexforge.exe" "${X64DIR}\lexforge.exe"
  !insertmacro ${m} "x64\english.dict" "${X64DIR}\english.dict"
  !insertmacro ${m} "x64\english.rank" "${X64DIR}\english.rank"
  !insertmacro ${m} "x64\Manual.chm" "${X64DIR}\Manual.chm"
  !insertmacro ${m} "x86\quillsvc.dll" "${X86DIR}\quillsvc.dll"
  !insertmacro ${m} "x86\lexwarden.exe" "${X86DIR}\lexwarden.exe"
  !insertmacro ${m} "x86\lexforge.exe" "${X86DIR}\lexforge.exe"
  !insertmacro ${m} "x86\english.dict" "${X86DIR}\english.dict"
  !insertmacro ${m} "x86\english.rank" "${X86DIR}\english.rank"
  !insertmacro ${m} "x86\Manual.chm" "${X86DIR}\Manual.chm"
  !insertmacro ${m} "LICENSE.txt" "${TOP}\LICENSE"
  !insertmacro ${m} "NOTICES.txt" "${TOP}\NOTICES"
!macroend
!macro ForEachFile m
  !insertmacro ForEachProgram ${m}
  !insertmacro ${m} "uninstall.exe" ""
!macroend

; An upgrade never overwrites a file in place: a running application may hold the old one (a loaded
; DLL, a running loader), and a file half replaced would mix two versions. Every new file is first
; written beside the old one under a name of this run ("NAME.TAG.new"), then each old one is renamed
; aside ("NAME.TAG.old": a held file can be renamed, not overwritten) and the new one takes its name.
; If any of that fails, everything goes back as it was. Asides still held go at the next restart;
; TAG is a number no file in the folder carries yet, so an aside never takes the name of another
; one that is still held or that a restart is to delete.
!macro ChooseTag
  StrCpy $Tag 1
  ${Do}
    ${IfNot} ${FileExists} "$INSTDIR\*.$Tag.old"
    ${AndIfNot} ${FileExists} "$INSTDIR\*.$Tag.new"
    ${AndIfNot} ${FileExists} "$INSTDIR\x64\*.$Tag.old"
    ${AndIfNot} ${FileExists} "$INSTDIR\x64\*.$Tag.new"
    ${AndIfNot} ${FileExists} "$INSTDIR\x86\*.$Tag.old"
    ${AndIfNot} ${FileExists} "$INSTDIR\x86\*.$Tag.new"
      ${Break}
    ${EndIf}
    IntOp $Tag $Tag + 1
  ${Loop}
!macroend

; Asides and new files of earlier runs that are no longer held (those still held were given to the
; restart then).
!macro SweepEarlierRuns
  Delete "$INSTDIR\*.old"
  Delete "$INSTDIR\*.new"
  Delete "$INSTDIR\x64\*.old"
  Delete "$INSTDIR\x64\*.new"
  Delete "$INSTDIR\x86\*.old"
  Delete "$INSTDIR\x86\*.new"
  ClearErrors
!macroend

!macro StageFile path source
  ${If} $Failed == 0
    ClearErrors
    File "/oname=$INSTDIR\${path}.$Tag.new" "${source}"
    ${If} ${Errors}
      DetailPrint "$INSTDIR\${path}.$Tag.new could not be written"
      StrCpy $Failed ${EXIT_WRITE}
    ${EndIf}
  ${EndIf}
!macroend

!macro SwapFile path _
  ${If} $Failed == 0
    ; ${Errors} clears the flag it reads: each Rename is checked once.
    ClearErrors
    ${If} ${FileExists} "$INSTDIR\${path}"
      Rename "$INSTDIR\${path}" "$INSTDIR\${path}.$Tag.old"
    ${EndIf}
    ${If} ${Errors}
      DetailPrint "$INSTDIR\${path} is in use and could not be replaced"
      StrCpy $Failed ${EXIT_IN_USE}
    ${Else}
      Rename "$INSTDIR\${path}.$Tag.new" "$INSTDIR\${path}"
      ${If} ${Errors}
        DetailPrint "$INSTDIR\${path} could not be put in place"
        StrCpy $Failed ${EXIT_IN_USE}
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Undoes StageFile and, once swapping began, SwapFile: the new file back to its staged name and the
; aside back to the file's own; then the new one goes.
!macro RestoreFile path _
  ${If} $Swapping == 1
    ClearErrors
    ${IfNot} ${FileExists} "$INSTDIR\${path}.$Tag.new"
    ${AndIf} ${FileExists} "$INSTDIR\${path}"
      Rename "$INSTDIR\${path}" "$INSTDIR\${path}.$Tag.new"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\${path}.$Tag.old"
      Rename "$INSTDIR\${path}.$Tag.old" "$INSTDIR\${path}"
    ${EndIf}
    ${If} ${Errors}
      DetailPrint "$INSTDIR\${path}: the earlier file could not be put back"
      StrCpy $Broken 1
    ${EndIf}
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\${path}.$Tag.new"
!macroend

!macro DropAside path _
  ${If} ${FileExists} "$INSTDIR\${path}.$Tag.old"
    ClearErrors
    Delete /REBOOTOK "$INSTDIR\${path}.$Tag.old"
    ${If} ${Errors}
      DetailPrint "$INSTDIR\${path}.$Tag.old could not be removed; the next install removes it"
    ${EndIf}
  ${EndIf}
!macroend

; Removes one installed file. One that a running application holds is renamed aside first, so that
; what goes at the restart is never a name that a later install may fill before it.
!macro RemoveFile path _
  ${If} ${FileExists} "$INSTDIR\${path}"
    ClearErrors
    Delete "$INSTDIR\${path}"
    ${If} ${Errors}
      ClearErrors
      Rename "$INSTDIR\${path}" "$INSTDIR\${path}.$Tag.old"
      ${If} ${Errors}
        Delete /REBOOTOK "$INSTDIR\${path}"
      ${Else}
        Delete /REBOOTOK "$INSTDIR\${path}.$Tag.old"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Registers (or with /u unregisters) both text services with the regsvr32 of their own bitness; $R0
; "1" when both took.
!macro Register un name switch
Function ${un}${name}
  StrCpy $R0 1
  ClearErrors
  ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${switch} "$INSTDIR\x64\quillsvc.dll"' $R1
  ${If} ${Errors}
  ${OrIf} $R1 != 0
    StrCpy $R0 0
  ${EndIf}
  ClearErrors
  ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s ${switch} "$INSTDIR\x86\quillsvc.dll"' $R1
  ${If} ${Errors}
  ${OrIf} $R1 != 0
    StrCpy $R0 0
  ${EndIf}
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
    ${If} $R0 == ${EXIT_FOLDER}
      MessageBox MB_ICONSTOP "Setup could not make $INSTDIR a folder that only administrators may change, which a program that every application loads needs (it must lie on an NTFS drive). Nothing was installed." /SD IDOK
    ${ElseIf} $R0 == ${EXIT_SHARED}
      MessageBox MB_ICONSTOP "$INSTDIR already holds other files. Choose a new or empty folder for ${PRODUCT}. Nothing was installed." /SD IDOK
    ${ElseIf} $R0 == ${EXIT_WRITE}
      MessageBox MB_ICONSTOP "Setup could not write the new files into $INSTDIR. Nothing was changed." /SD IDOK
    ${ElseIf} $R0 == ${EXIT_IN_USE}
      MessageBox MB_ICONSTOP "A file in $INSTDIR is in use and could not be replaced, so nothing was changed. Close the programs that use it, or restart Windows, and run setup again." /SD IDOK
    ${ElseIf} $R0 == ${EXIT_REGISTER}
      MessageBox MB_ICONSTOP "${PRODUCT} could not be registered with Windows; setup left what was installed before as it was." /SD IDOK
    ${ElseIf} $R0 == ${EXIT_BROKEN}
      MessageBox MB_ICONSTOP "Installing ${PRODUCT} failed, and setup could not put back all of the earlier version. Restart Windows and run setup again." /SD IDOK
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
  StrCpy $Failed 0
  StrCpy $Swapping 0
  StrCpy $Broken 0
  StrCpy $Made 0
  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $Made 1
  ${EndIf}
  ; Not from the current folder the user's half handed down, which the user may write to.
  SetOutPath "$SYSDIR"
  Call OnlyOurs
  ${If} $R0 != 1
    SetErrorLevel ${EXIT_SHARED}
    Return
  ${EndIf}
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${If} ${Errors}
    StrCpy $Failed ${EXIT_FOLDER}
  ${Else}
    Call ProtectFolder
    ClearErrors
    CreateDirectory "$INSTDIR\x64"
    CreateDirectory "$INSTDIR\x86"
    ${If} ${Errors}
    ${OrIf} $R0 != 0
      StrCpy $Failed ${EXIT_FOLDER}
    ${EndIf}
  ${EndIf}
  ${If} $Failed != 0
    Call RemoveMadeFolders
    SetErrorLevel $Failed
    Return
  ${EndIf}

  !insertmacro SweepEarlierRuns
  !insertmacro ChooseTag
  StrCpy $Upgrade 0
  ${If} ${FileExists} "$INSTDIR\x64\quillsvc.dll"
    StrCpy $Upgrade 1
  ${EndIf}
  !insertmacro ForEachProgram StageFile
  ${If} $Failed == 0
    ClearErrors
    WriteUninstaller "$INSTDIR\uninstall.exe.$Tag.new"
    ${If} ${Errors}
      StrCpy $Failed ${EXIT_WRITE}
    ${EndIf}
  ${EndIf}
  ${If} $Failed == 0
    StrCpy $Swapping 1
    !insertmacro ForEachFile SwapFile
  ${EndIf}

  ${If} $Failed == 0
    Call RegisterBoth
    ${If} $R0 == 1
      ClearErrors
      WriteRegStr HKLM "${RUN_KEY}" "${PRODUCT}" '"$INSTDIR\x64\lexwarden.exe"'
      WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\x64\quillsvc.dll,0"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
      WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
      WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
      WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
      WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
      ${If} ${Errors}
        StrCpy $Failed ${EXIT_REGISTER}
      ${EndIf}
    ${Else}
      StrCpy $Failed ${EXIT_REGISTER}
    ${EndIf}
    ${If} $Failed != 0
    ${AndIf} $Upgrade == 0
      Call UnregisterBoth
      DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
  ${EndIf}

  ${If} $Failed != 0
    !insertmacro ForEachFile RestoreFile
    ; The earlier version's registration, as it was before.
    ${If} $Failed == ${EXIT_REGISTER}
    ${AndIf} $Upgrade == 1
      Call RegisterBoth
      ${If} $R0 != 1
        StrCpy $Broken 1
      ${EndIf}
    ${EndIf}
    ${If} $Upgrade == 0
      Call RemoveMadeFolders
    ${EndIf}
    ${If} $Broken == 1
      SetErrorLevel ${EXIT_BROKEN}
    ${Else}
      SetErrorLevel $Failed
    ${EndIf}
    Return
  ${EndIf}

  !insertmacro ForEachFile DropAside
  ${GetSize} "$INSTDIR" "/S=0K" $R1 $R2 $R3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R1
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_REBOOT}
  ${Else}
    SetErrorLevel ${EXIT_DONE}
  ${EndIf}
FunctionEnd

; What a failed first install made, if empty.
Function RemoveMadeFolders
  ${If} $Made == 1
    RMDir "$INSTDIR\x64"
    RMDir "$INSTDIR\x86"
    RMDir "$INSTDIR"
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
  ; A process's current folder cannot be removed: neither half works from the installed one. The
  ; elevated half works from the system folder, not from one the user may write to.
  ${If} $Machine == 1
    SetErrorLevel ${EXIT_FAILED}
    SetOutPath "$SYSDIR"
    SetShellVarContext all
    Call un.UnregisterBoth
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    !insertmacro ChooseTag
    !insertmacro ForEachFile RemoveFile
    Delete /REBOOTOK "$INSTDIR\*.old"
    Delete /REBOOTOK "$INSTDIR\*.new"
    Delete /REBOOTOK "$INSTDIR\x64\*.old"
    Delete /REBOOTOK "$INSTDIR\x64\*.new"
    Delete /REBOOTOK "$INSTDIR\x86\*.old"
    Delete /REBOOTOK "$INSTDIR\x86\*.new"
    RMDir /REBOOTOK "$INSTDIR\x64"
    RMDir /REBOOTOK "$INSTDIR\x86"
    RMDir /REBOOTOK "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${If} ${RebootFlag}
      SetErrorLevel ${EXIT_REBOOT}
    ${Else}
      SetErrorLevel ${EXIT_DONE}
    ${EndIf}
    Return
  ${EndIf}
  SetOutPath $TEMP
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
