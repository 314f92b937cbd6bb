; The installer of the controller, for everyone or for the user alone. For everyone (with an
; administrator's rights) into Program Files, the registration and the rest under the machine's
; hive; for me only (no administrator) into the user's own program folder, the per-user
; registration and the rest under the user's hive, nothing under the machine's. It copies the four
; programs, registers the automation server (which writes the 64-bit view of the registry too,
; where 64-bit clients look for the interface), adds the Start menu shortcuts, "Start with
; Windows", "Switch by program" (lumoauto at log-on) and the entry in Add/Remove Programs. An
; upgrade ends a running controller and lumoauto the way their own Exit does and starts them again
; afterwards. The uninstaller removes all of that and keeps the user's settings and program rules.
;
; One installer that runs as the user and asks for an administrator only for "for everyone": it
; starts itself again with the "runas" verb then. (NSIS's MultiUser.nsh asks an administrator for
; consent before the choice, for "for me only" too.)
;
; Made by `make dist` (tools/dist/CMakeLists.txt), which passes
;   VERSION       the project version, 2.7.0
;   VERSION_TEXT  the version the program runs with, 2.7.0.0
;   PROGRAMS      the folder of the release build's programs
;   OUTPUT        the installer's file
;
; Switches: /S silent; /ALLUSERS for everyone (what /S alone installs), /CURRENTUSER for me only;
; /D=FOLDER the folder (last on the line, unquoted); /NOAUTOSTART leaves "Start with Windows" out,
; /NOAUTOSWITCH "Switch by program". The uninstaller: /S silent; it knows its own scope.
;
; For everyone it installs only into Program Files: the machine's COM registration and Run values
; point into the folder, so whoever can change its files runs code in every user's log-on, and
; elevated for an elevated client. Program Files' permissions let only administrators change it;
; a folder made elsewhere lets users create and change files. For me only installs anywhere.
;
; The test seam: with the environment variable ZEZIZER_SETUP_NOT_ADMINISTRATOR=1 the installer
; and the uninstaller take their first run for one without an administrator's rights and start
; themselves again "as administrator" (under Wine IsUserAnAdmin always answers yes). The run so
; started asks IsUserAnAdmin itself. It grants nothing: the restart still asks Windows for consent.

Unicode true
; The install test's installer on a machine that runs no 32-bit code: the tested tree's 64-bit
; programs into the 64-bit Program Files and the 64-bit view of the registry. What ships is 32-bit.
!ifdef ZEZIZER_TEST_AMD64
    Target amd64-unicode
!endif
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
!include nsDialogs.nsh

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
!define EYE_TEST "lumoeyes.exe"
!define EYE_TEST_PRODUCT "${PRODUCT} Eye Test"
!define EXIT_WAIT_MS 15000
!define SYNCHRONIZE 0x00100000
!define WAIT_OBJECT_0 0
!define SEE_MASK_NOCLOSEPROCESS 0x40
!ifdef ZEZIZER_TEST_AMD64
    !define SHELLEXECUTEINFO_SIZE 112
    ; The padding that aligns a pointer after an int in SHELLEXECUTEINFO: System::Call packs the
    ; members of a structure.
    !define ALIGN_POINTER "i 0, "
    !define PROGRAM_FILES $PROGRAMFILES64
!else
    !define SHELLEXECUTEINFO_SIZE 60
    !define ALIGN_POINTER ""
    !define PROGRAM_FILES $PROGRAMFILES
!endif
!define INFINITE -1
; FOLDERID_UserProgramFiles, normally %LOCALAPPDATA%\Programs; KF_FLAG_CREATE.
!define USER_PROGRAM_FILES "{5CD7AEE2-2219-4A67-B85D-6C9CE15660CB}"
!define KF_FLAG_CREATE 0x8000
; Marks the installer or uninstaller that started itself again as administrator.
!define RELAUNCHED "/ELEVATED"
!define FOR_EVERYONE "/ALLUSERS"
!define FOR_ME "/CURRENTUSER"
!define NEEDS_ADMINISTRATOR "Installing for everyone needs an administrator's rights, and this \
    installer has none. Run it as an administrator, or choose $\"For me only$\" (/CURRENTUSER), \
    which needs none."
!define NOT_ADMINISTRATOR_SEAM "ZEZIZER_SETUP_NOT_ADMINISTRATOR"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEZIZER"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "ZEZIZER"
!define SWITCHER_RUN_VALUE "LumoAuto"

Name "${PRODUCT}"
OutFile "${OUTPUT}"
RequestExecutionLevel user
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
; "machine" or "user"; the registration switches that go with it.
Var Scope
Var ScopeGiven
Var Relaunched
Var RegisterSwitch
Var UnregisterSwitch
Var DefaultFolder
Var ForMeButton

!define MUI_ABORTWARNING
!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION}, the tray controller for \
    stereoscopic LCD shutter glasses, for every user of this computer or for you alone.$\r$\n\
    $\r$\nA running ${PRODUCT} is ended during the installation and started again afterwards.\
    $\r$\n$\r$\nClick Next to continue."
!define MUI_FINISHPAGE_TEXT "${PRODUCT} is installed. Its icon sits in the notification area \
    beside the clock.$\r$\n$\r$\nOn Windows 11 a new icon may first be hidden behind the arrow \
    there: drag it onto the taskbar, or turn ${PRODUCT} on under Settings, Personalization, \
    Taskbar, $\"Other system tray icons$\"."
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartControllerUnlessRunning
; The installer started again as administrator has shown its welcome already.
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenRelaunched
!insertmacro MUI_PAGE_WELCOME
Page custom ScopePage ScopePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderPageLeave
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
    !insertmacro ${MACRO} "${EYE_TEST}"
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

; Starts this installer or uninstaller again with an administrator's rights (Windows asks for
; consent), waits for it and ends with its exit code. Returns only when Windows did not start it.
; NSIS takes /D= and the uninstaller's _?= off $CMDLINE, so the folder goes on again, last and
; unquoted as NSIS requires: the uninstaller runs as a copy in the temporary folder, and without
; _?= its restart would take that folder for the installation.
!macro RunAsAdministratorFunction UN
Function ${UN}RunAsAdministrator
    ${GetParameters} $1
    StrCpy $1 "${RELAUNCHED} $1"
    !if "${UN}" == "un."
        StrCpy $1 "$1 _?=$INSTDIR"
    !else
        ${If} $INSTDIR != ""
        ${AndIf} $INSTDIR != $DefaultFolder
            StrCpy $1 "$1 /D=$INSTDIR"
        ${EndIf}
    !endif
    ; From registers: a quote in a path (the temporary folder of O'Brien) would end a literal.
    StrCpy $5 $EXEPATH
    System::Call "*(i ${SHELLEXECUTEINFO_SIZE}, i ${SEE_MASK_NOCLOSEPROCESS}, p $HWNDPARENT, \
        w 'runas', w r5, w r1, p 0, i ${SW_SHOWNORMAL}, ${ALIGN_POINTER}p 0, p 0, p 0, \
        p 0, i 0, ${ALIGN_POINTER}p 0, p 0) p .r2"
    System::Call "shell32::ShellExecuteExW(p r2) i .r0"
    ${If} $0 <> 0
        System::Call "*$2(i, i, p, p, p, p, p, i, ${ALIGN_POINTER}p, p, p, p, i, \
            ${ALIGN_POINTER}p, p .r3)"
        System::Free $2
        HideWindow
        System::Call "kernel32::WaitForSingleObject(p r3, i ${INFINITE})"
        System::Call "kernel32::GetExitCodeProcess(p r3, *i 0 r4)"
        System::Call "kernel32::CloseHandle(p r3)"
        SetErrorLevel $4
        Quit
    ${EndIf}
    System::Free $2
FunctionEnd
!macroend
!insertmacro RunAsAdministratorFunction ""
!insertmacro RunAsAdministratorFunction "un."

; Sets the shell's folders, the registry root of SHCTX and the registration switches for $Scope.
; For everyone without an administrator's rights: starts again as one, or says at once why it
; cannot go on. $0: 0 when it cannot.
!macro UseScopeFunction UN
Function ${UN}UseScope
    StrCpy $0 1
    ${If} $Scope == user
        SetShellVarContext current
        StrCpy $RegisterSwitch "/RegServerPerUser"
        StrCpy $UnregisterSwitch "/UnregServerPerUser"
        Return
    ${EndIf}
    System::Call "shell32::IsUserAnAdmin() i .r0"
    ReadEnvStr $1 "${NOT_ADMINISTRATOR_SEAM}"
    ${If} $1 == 1
    ${AndIf} $Relaunched = 0
        StrCpy $0 0
    ${EndIf}
    ${If} $0 = 0
    ${AndIf} $Relaunched = 0
        Call ${UN}RunAsAdministrator
    ${EndIf}
    ${If} $0 = 0
        MessageBox MB_OK|MB_ICONSTOP "${NEEDS_ADMINISTRATOR}" /SD IDOK
        Return
    ${EndIf}
    SetShellVarContext all
    StrCpy $RegisterSwitch "/RegServer"
    StrCpy $UnregisterSwitch "/UnregServer"
FunctionEnd
!macroend
!insertmacro UseScopeFunction ""
!insertmacro UseScopeFunction "un."

; The scope of the command line: $Scope, $ScopeGiven and $Relaunched.
!macro ReadScopeFunction UN
Function ${UN}ReadScope
    ${GetParameters} $R0
    StrCpy $Scope machine
    StrCpy $ScopeGiven 0
    ClearErrors
    ${GetOptions} $R0 "${FOR_ME}" $R1
    ${IfNot} ${Errors}
        StrCpy $Scope user
        StrCpy $ScopeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "${FOR_EVERYONE}" $R1
    ${IfNot} ${Errors}
        StrCpy $Scope machine
        StrCpy $ScopeGiven 1
    ${EndIf}
    StrCpy $Relaunched 0
    ClearErrors
    ${GetOptions} $R0 "${RELAUNCHED}" $R1
    ${IfNot} ${Errors}
        StrCpy $Relaunched 1
        StrCpy $Scope machine
        StrCpy $ScopeGiven 1
    ${EndIf}
FunctionEnd
!macroend
!insertmacro ReadScopeFunction ""
!insertmacro ReadScopeFunction "un."

; The controller is started through the desktop's shell, which runs it as the user who is logged
; on, not elevated.
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
        ExecWait '"$INSTDIR\${PROGRAM}" $RegisterSwitch'
        ${If} $ControllerWasRunning = 1
            !insertmacro StartController
        ${EndIf}
        ${If} $SwitcherWasRunning = 1
            !insertmacro StartSwitcher
        ${EndIf}
    ${Else}
        ExecWait '"$INSTDIR\${PROGRAM}" $UnregisterSwitch'
        !insertmacro ForEachProgram RemoveProgram
        ${If} $FreshFolder = 1
            RMDir "$INSTDIR"
        ${EndIf}
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "$R0" /SD IDOK
    SetErrorLevel 2
    Abort
FunctionEnd

; $0: 1 when the full path of $INSTDIR lies inside the folder PARENT ($1 holds that path).
!macro IsInside PARENT
    StrLen $2 "${PARENT}\"
    StrCpy $3 $1 $2
    StrLen $4 $1
    ${If} $3 == "${PARENT}\"
    ${AndIf} $4 > $2
        StrCpy $0 1
    ${EndIf}
!macroend

; For everyone only a folder inside Program Files (see the top): says why otherwise. $0: 1 when
; the folder will do. A short (8.3) name of Program Files is refused too.
Function CheckFolder
    StrCpy $0 1
    ${If} $Scope != machine
        Return
    ${EndIf}
    ; The folder as Windows resolves it, however it is spelt.
    StrCpy $1 $INSTDIR
    System::Call "kernel32::GetFullPathNameW(w r1, i ${NSIS_MAX_STRLEN}, w .r1, p 0) i .r2"
    StrCpy $0 0
    ${If} $2 > 0
    ${AndIf} $2 < ${NSIS_MAX_STRLEN}
        !insertmacro IsInside $PROGRAMFILES32
        !insertmacro IsInside $PROGRAMFILES64
    ${EndIf}
    ${If} $0 = 0
        StrCpy $1 "$PROGRAMFILES32 or $PROGRAMFILES64"
        ${If} $PROGRAMFILES32 == $PROGRAMFILES64
            StrCpy $1 $PROGRAMFILES32
        ${EndIf}
        MessageBox MB_OK|MB_ICONSTOP "For everyone, ${PRODUCT} installs only into a folder inside \
            $1. Its programs start at every user's log-on and for every program that uses them, \
            so they belong where only administrators can change files; in $INSTDIR other users \
            may be able to. Choose a folder inside $1, or install for me only (/CURRENTUSER), \
            which installs into any folder." /SD IDOK
    ${EndIf}
FunctionEnd

Function FolderPageLeave
    Call CheckFolder
    ${If} $0 = 0
        Abort
    ${EndIf}
FunctionEnd

Section "-Programs"
    Call CheckFolder
    ${If} $0 = 0
        SetErrorLevel 2
        Abort
    ${EndIf}
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
        MessageBox MB_OK|MB_ICONSTOP "Cannot write into the folder $INSTDIR. Choose another \
            folder." /SD IDOK
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
    ExecWait '"$INSTDIR\${PROGRAM}" $RegisterSwitch' $0
    ${If} ${Errors}
    ${OrIf} $0 <> 0
        StrCpy $R0 "Registering the automation server failed (${PROGRAM} $RegisterSwitch ended \
            with $0). Nothing was installed."
        Call FailInstall
    ${EndIf}
    !insertmacro ForEachProgram DropPrevious

    CreateShortCut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM}"
    CreateShortCut "$SMPROGRAMS\${SWITCHER_PRODUCT}.lnk" "$INSTDIR\${SWITCHER}"
    CreateShortCut "$SMPROGRAMS\${EYE_TEST_PRODUCT}.lnk" "$INSTDIR\${EYE_TEST}"
    CreateShortCut "$INSTDIR\${SWITCHER_BACKGROUND_LINK}" "$INSTDIR\${SWITCHER}" "--background"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
SectionEnd

Section "Start with Windows" StartWithWindows
    WriteRegStr SHCTX "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${PROGRAM}"'
SectionEnd

Section "Switch by program" SwitchByProgram
    WriteRegStr SHCTX "${RUN_KEY}" "${SWITCHER_RUN_VALUE}" '"$INSTDIR\${SWITCHER}" --background'
SectionEnd

Section "-Add/Remove Programs"
    ; An upgrade without "Start with Windows" takes the earlier choice back.
    ${IfNot} ${SectionIsSelected} ${StartWithWindows}
        DeleteRegValue SHCTX "${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SwitchByProgram}
        DeleteRegValue SHCTX "${RUN_KEY}" "${SWITCHER_RUN_VALUE}"
    ${EndIf}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
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
; install too. A silent install, or one whose scope the command line gives, takes its scope now;
; the others on the page that asks.
Function .onInit
    Call ReadScope
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
    ${If} ${Silent}
    ${OrIf} $ScopeGiven = 1
        Call TakeScope
        ${If} $0 = 0
            SetErrorLevel 2
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

Function SkipWhenRelaunched
    ${If} $Relaunched = 1
        Abort
    ${EndIf}
FunctionEnd

; The folder: the one given with /D=, else where this scope's earlier installation went, else
; Program Files or the user's own program folder. $0: 0 when the scope cannot be used.
Function TakeScope
    Call UseScope
    ${If} $0 = 0
        Return
    ${EndIf}
    ; COM looks at the user's classes first: this installation is the one the user runs.
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $Scope == user
    ${AndIf} $1 != ""
        MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} is installed for every user of this \
            computer too, in $1. This installation for you alone comes first for you: you run \
            and automate this one; the other users keep the other." /SD IDOK
    ${EndIf}
    ${If} $INSTDIR != ""
    ${AndIf} $INSTDIR != $DefaultFolder
        Return
    ${EndIf}
    ReadRegStr $DefaultFolder SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $DefaultFolder == ""
    ${AndIf} $Scope == user
        System::Call "shell32::SHGetKnownFolderPath(g '${USER_PROGRAM_FILES}', \
            i ${KF_FLAG_CREATE}, p 0, *p .r1) i .r2"
        ${If} $2 = 0
            System::Call "*$1(&w${NSIS_MAX_STRLEN} .r3)"
            System::Call "ole32::CoTaskMemFree(p r1)"
        ${Else}
            StrCpy $3 "$LOCALAPPDATA\Programs"
        ${EndIf}
        StrCpy $DefaultFolder "$3\ZEZIZER"
    ${ElseIf} $DefaultFolder == ""
        StrCpy $DefaultFolder "${PROGRAM_FILES}\ZEZIZER"
    ${EndIf}
    StrCpy $INSTDIR $DefaultFolder
    StrCpy $0 1
FunctionEnd

; For everyone or for me only; skipped when the command line said which.
Function ScopePage
    ${If} $ScopeGiven = 1
        Abort
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "Choose Users" "Install ${PRODUCT} for everyone or for you alone."
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 0 100% 12u "For &everyone who uses this computer"
    Pop $1
    ${NSD_CreateLabel} 12u 14u -12u 20u "Into Program Files. Needs an administrator: Windows \
        asks for consent."
    Pop $0
    ${NSD_CreateRadioButton} 0 44u 100% 12u "For &me only"
    Pop $ForMeButton
    ${NSD_CreateLabel} 12u 58u -12u 20u "Into your own program folder. Needs no administrator; \
        other users of this computer do not get it."
    Pop $0
    ${If} $Scope == user
        ${NSD_Check} $ForMeButton
    ${Else}
        ${NSD_Check} $1
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ScopePageLeave
    ${NSD_GetState} $ForMeButton $0
    ${If} $0 = ${BST_CHECKED}
        StrCpy $Scope user
    ${Else}
        StrCpy $Scope machine
    ${EndIf}
    Call TakeScope
    ${If} $0 = 0
        Abort
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

; Its scope: the one given, else "for me only" when the user's uninstall entry names this folder.
Function un.onInit
    Call un.ReadScope
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $ScopeGiven = 0
    ${AndIf} $0 == $INSTDIR
        StrCpy $Scope user
    ${EndIf}
    Call un.UseScope
    ${If} $0 = 0
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

; Keeps the user's settings and program rules under HKCU\Software\Corvane\Lumo Controller.
Section "Uninstall"
    Call un.EndController
    ${If} ${FileExists} "$INSTDIR\${PROGRAM}"
        ExecWait '"$INSTDIR\${PROGRAM}" $UnregisterSwitch'
    ${EndIf}
    !insertmacro ForEachProgram RemoveProgram
    Delete "$INSTDIR\${SWITCHER_BACKGROUND_LINK}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir /REBOOTOK "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${SWITCHER_PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${EYE_TEST_PRODUCT}.lnk"
    DeleteRegValue SHCTX "${RUN_KEY}" "${RUN_VALUE}"
    DeleteRegValue SHCTX "${RUN_KEY}" "${SWITCHER_RUN_VALUE}"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
