; The installer of the controller: per machine, with administrator rights. It copies the four
; programs, registers the automation server (which writes the 64-bit view of the registry too,
; where 64-bit clients look for the interface), adds the Start menu shortcuts, "Start with
; Windows", "Switch by program" (lumoauto at log-on) and the entry in Add/Remove Programs. An
; upgrade ends a running controller and lumoauto the way their own Exit does and starts them again
; afterwards. The uninstaller removes all of that and keeps the user's settings and program rules.
;
; Made by `make dist` (tools/dist/CMakeLists.txt), which passes
;   VERSION       the project version, 2.7.0
;   VERSION_TEXT  the version the program runs with, 2.7.0.0
;   PROGRAMS      the folder of the release build's programs
;   OUTPUT        the installer's file
;
; Switches: /S silent; /D=FOLDER the folder (last on the line, unquoted); /NOAUTOSTART leaves
; "Start with Windows" out, /NOAUTOSWITCH "Switch by program". The uninstaller: /S silent.

Unicode true
!macro Require NAME
    !ifndef ${NAME}
        !error "makensis needs -D${NAME}= (make dist passes it)"
    !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require VERSION_TEXT
!insertmacro Require PROGRAMS
!insertmacro Require OUTPUT

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh
!include WinMessages.nsh

; The name the program shows: its tray tip (string 101) and its version resource's ProductName.
!define PRODUCT "Vorn Controller"
!define PUBLISHER "Corvane"
!define PROGRAM "ZEZIZER.exe"
!define UNINSTALLER "uninstall.exe"
!define MAIN_WINDOW_CLASS "LUMOCNTLCLASS1"
!define SWITCHER "lumoauto.exe"
!define SWITCHER_PRODUCT "${PRODUCT} Programs"
; lumoauto's window; WM_COMMAND with its Exit button's id ends it (closing it only hides it).
!define SWITCHER_WINDOW_CLASS "LUMOAUTOCLASS1"
!define SWITCHER_EXIT 1005
; Started by the shell with its switch: the shell passes no arguments to a program, but it does
; those of a shortcut.
!define SWITCHER_BACKGROUND_LINK "lumoauto --background.lnk"
!define EXIT_WAIT_MS 15000
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEZIZER"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "ZEZIZER"
!define SWITCHER_RUN_VALUE "LumoAuto"

Name "${PRODUCT}"
OutFile "${OUTPUT}"
InstallDir "$PROGRAMFILES\ZEZIZER"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION_TEXT}"
VIFileVersion "${VERSION_TEXT}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey "ProductVersion" "${VERSION_TEXT}"

Var ControllerWasRunning
Var SwitcherWasRunning
Var FreshFolder

!define MUI_ABORTWARNING
!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION}, the tray controller for \
    stereoscopic LCD shutter glasses, for every user of this computer.$\r$\n$\r$\nA running \
    ${PRODUCT} is ended during the installation and started again afterwards.$\r$\n$\r$\n\
    Click Next to continue."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartControllerUnlessRunning
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- the programs, one macro for each of them ---------------------------------------------------

!macro ForEachProgram MACRO
    !insertmacro ${MACRO} "ZEZIZER.exe"
    !insertmacro ${MACRO} "lumosend.exe"
    !insertmacro ${MACRO} "lumowatch.exe"
    !insertmacro ${MACRO} "${SWITCHER}"
!macroend

; An upgrade keeps the previous files until the new ones are registered, to put them back when
; that fails. A running program can be renamed, though not overwritten.
!macro KeepPrevious NAME
    Delete "$INSTDIR\${NAME}.previous"
    Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.previous"
!macroend
!macro PutBackPrevious NAME
    ${If} ${FileExists} "$INSTDIR\${NAME}.previous"
        Delete "$INSTDIR\${NAME}"
        Rename "$INSTDIR\${NAME}.previous" "$INSTDIR\${NAME}"
    ${Else}
        Delete "$INSTDIR\${NAME}"
    ${EndIf}
!macroend
; A file still in use (a controller of another user's log-on, say) goes at the next restart.
!macro DropPrevious NAME
    Delete /REBOOTOK "$INSTDIR\${NAME}.previous"
!macroend
!macro CopyProgram NAME
    File "${PROGRAMS}\${NAME}"
!macroend
!macro RemoveProgram NAME
    Delete /REBOOTOK "$INSTDIR\${NAME}"
!macroend

; --- shared by the installer and the uninstaller ------------------------------------------------

; Ends a running program through its window, the way its own Exit does, and waits, bounded, for
; its process to end. $0: 1 when one ran. When it does not end, says so and aborts. A program
; whose process cannot be opened (another user's) is asked to end but not waited for: its files
; are renamed while it runs and removed at the next restart.
!macro EndProgram WINDOW_CLASS MESSAGE WPARAM NAME
    StrCpy $0 0
    FindWindow $1 "${WINDOW_CLASS}"
    ${If} $1 <> 0
        StrCpy $0 1
        System::Call "user32::GetWindowThreadProcessId(p r1, *i 0 r2)"
        System::Call "kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r2) p .r3"
        System::Call "user32::PostMessage(p r1, i ${MESSAGE}, p ${WPARAM}, p 0)"
        ${If} $3 <> 0
            System::Call "kernel32::WaitForSingleObject(p r3, i ${EXIT_WAIT_MS}) i .r4"
            System::Call "kernel32::CloseHandle(p r3)"
            ${If} $4 <> ${WAIT_OBJECT_0}
                MessageBox MB_OK|MB_ICONSTOP "${NAME} is running and did not end when asked \
                    to. End it, then run this again." /SD IDOK
                SetErrorLevel 2
                Abort
            ${EndIf}
        ${EndIf}
    ${EndIf}
!macroend

; Ends a running controller and lumoauto. $ControllerWasRunning and $SwitcherWasRunning: 1 when
; one ran.
!macro EndControllerFunction UN
Function ${UN}EndController
    ; lumoauto first: it would otherwise start the controller again through COM.
    !insertmacro EndProgram "${SWITCHER_WINDOW_CLASS}" ${WM_COMMAND} ${SWITCHER_EXIT} \
        "${SWITCHER_PRODUCT}"
    StrCpy $SwitcherWasRunning $0
    ; The hidden main window answers WM_CLOSE with the tray menu's Exit: the stereo-off code on
    ; the screen, the settings saved, the icon removed, the process ends 2.5 s later.
    !insertmacro EndProgram "${MAIN_WINDOW_CLASS}" ${WM_CLOSE} 0 "${PRODUCT}"
    StrCpy $ControllerWasRunning $0
FunctionEnd
!macroend
!insertmacro EndControllerFunction ""
!insertmacro EndControllerFunction "un."

; The installer runs as administrator; the controller is started through the desktop's shell,
; which runs it as the user who is logged on, not elevated.
!macro StartController
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\${PROGRAM}"'
!macroend
!macro StartSwitcher
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\${SWITCHER_BACKGROUND_LINK}"'
!macroend

; --- the installer ------------------------------------------------------------------------------

; Leaves the machine as it was after a failure: the previous programs back and registered (and
; running, when they were), or the new ones and the folder gone. $R0: what went wrong.
Function FailInstall
    ${If} ${FileExists} "$INSTDIR\${PROGRAM}.previous"
        !insertmacro ForEachProgram PutBackPrevious
        ExecWait '"$INSTDIR\${PROGRAM}" /RegServer'
        ${If} $ControllerWasRunning = 1
            !insertmacro StartController
        ${EndIf}
        ${If} $SwitcherWasRunning = 1
            !insertmacro StartSwitcher
        ${EndIf}
    ${Else}
        ExecWait '"$INSTDIR\${PROGRAM}" /UnregServer'
        !insertmacro ForEachProgram RemoveProgram
        ${If} $FreshFolder = 1
            RMDir "$INSTDIR"
        ${EndIf}
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "$R0" /SD IDOK
    SetErrorLevel 2
    Abort
FunctionEnd

Section "-Programs"
    StrCpy $FreshFolder 1
    ${If} ${FileExists} "$INSTDIR\*.*"
        StrCpy $FreshFolder 0
    ${EndIf}
    ClearErrors
    SetOutPath "$INSTDIR"
    FileOpen $0 "$INSTDIR\write-test.tmp" w
    ${If} ${Errors}
        ${If} $FreshFolder = 1
            RMDir "$INSTDIR"
        ${EndIf}
        MessageBox MB_OK|MB_ICONSTOP "Cannot write into the folder $INSTDIR. Choose another folder \
            or run the installer as an administrator." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
    FileClose $0
    Delete "$INSTDIR\write-test.tmp"

    Call EndController
    !insertmacro ForEachProgram KeepPrevious
    ClearErrors
    !insertmacro ForEachProgram CopyProgram
    ${If} ${Errors}
        StrCpy $R0 "Cannot copy the programs into $INSTDIR."
        Call FailInstall
    ${EndIf}
    ExecWait '"$INSTDIR\${PROGRAM}" /RegServer' $0
    ${If} ${Errors}
    ${OrIf} $0 <> 0
        StrCpy $R0 "Registering the automation server failed (${PROGRAM} /RegServer ended with \
            $0). Nothing was installed."
        Call FailInstall
    ${EndIf}
    !insertmacro ForEachProgram DropPrevious

    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"
    CreateShortCut "$SMPROGRAMS\${SWITCHER_PRODUCT}.lnk" "$INSTDIR\${SWITCHER}"
    CreateShortCut "$INSTDIR\${SWITCHER_BACKGROUND_LINK}" "$INSTDIR\${SWITCHER}" "--background"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
SectionEnd

Section "Start with Windows" StartWithWindows
    WriteRegStr HKLM "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

Section "Switch by program" SwitchByProgram
    WriteRegStr HKLM "${RUN_KEY}" "${SWITCHER_RUN_VALUE}" '"$INSTDIR\${SWITCHER}" --background'
SectionEnd

Section "-Add/Remove Programs"
    ; An upgrade without "Start with Windows" takes the earlier choice back.
    ${IfNot} ${SectionIsSelected} ${StartWithWindows}
        DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SwitchByProgram}
        DeleteRegValue HKLM "${RUN_KEY}" "${SWITCHER_RUN_VALUE}"
    ${EndIf}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${If} $ControllerWasRunning = 1
        !insertmacro StartController
    ${EndIf}
    ${If} $SwitcherWasRunning = 1
        !insertmacro StartSwitcher
    ${EndIf}
SectionEnd

LangString StartWithWindowsText ${LANG_ENGLISH} "Start ${PRODUCT} when a user logs on to Windows."
LangString SwitchByProgramText ${LANG_ENGLISH} "Switch the glasses by program: start lumoauto at \
    log-on, which sends a listed game's command when it starts and stereo off when it ends."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${StartWithWindows} $(StartWithWindowsText)
    !insertmacro MUI_DESCRIPTION_TEXT ${SwitchByProgram} $(SwitchByProgramText)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; /NOAUTOSTART leaves "Start with Windows" out, /NOAUTOSWITCH "Switch by program", of a silent
; install too.
Function .onInit
    SetShellVarContext all
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/NOAUTOSTART" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${StartWithWindows}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/NOAUTOSWITCH" $R1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SwitchByProgram}
    ${EndIf}
FunctionEnd

; The finish page's "Start now": an upgrade has already started the controller again.
Function StartControllerUnlessRunning
    FindWindow $0 "${MAIN_WINDOW_CLASS}"
    ${If} $0 = 0
        !insertmacro StartController
    ${EndIf}
FunctionEnd

; --- the uninstaller ----------------------------------------------------------------------------

Function un.onInit
    SetShellVarContext all
FunctionEnd

; Keeps the user's settings and program rules under HKCU\Software\Corvane\Lumo Controller.
Section "Uninstall"
    Call un.EndController
    ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
        ExecWait '"$INSTDIR\${PROGRAM}" /UnregServer'
    ${EndIf}
    !insertmacro ForEachProgram RemoveProgram
    Delete "$INSTDIR\${SWITCHER_BACKGROUND_LINK}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir /REBOOTOK "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${SWITCHER_PRODUCT}.lnk"
    DeleteRegValue HKLM "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegValue HKLM "${RUN_KEY}" "${SWITCHER_RUN_VALUE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
