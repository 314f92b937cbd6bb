@echo off
rem The ZEZIZER test kit: runs every test program of the tests folder on this machine, writes
rem each program's results as XML into results\, the whole run into summary.txt, and leaves the
rem machine as it found it. See README-tests.txt.
rem
rem   run-tests.cmd [/quick] [/nopause]
rem     /quick    only the programs named in tests\quick.txt, a representative few
rem     /nopause  no wait for a key at the end (a double-clicked run waits, so that its window
rem               stays open)
setlocal EnableExtensions DisableDelayedExpansion
cd /d "%~dp0"

set "KIT=%~dp0."
set "TESTS=%~dp0tests"
set "RESULTS=%~dp0results"
set "SUMMARY=%~dp0summary.txt"
set "HELPER=%~dp0tests\testkit.exe"
rem What the run saved, kept outside the kit folder so that a new copy of the kit finds it too.
set "STATE=%LOCALAPPDATA%\ZEZIZER test kit"
if not defined LOCALAPPDATA set "STATE=%TEMP%\ZEZIZER test kit"
set "SAVED=%STATE%\saved"
set "SAVED_MARK=%STATE%\saved\complete"
set "CONTROLLERS=%STATE%\controllers.txt"
rem The controller's settings (the tests remove HKCU\Software\Corvane whole), the key of the
rem registry script's tests and every key that registering the server may make, per user and per
rem machine, in the 32-bit view that the controller, a 32-bit program, sees.
set KEYS="HKCU\Software\Corvane" "HKCU\Software\ZEZIZER script test"
set CLASSES=ZEZIZER.LumoCode ZEZIZER.LumoCode.1 CLSID\{CD4EE6B2-6D9E-4B89-A488-AEC7B52E0AF8}
set CLASSES=%CLASSES% AppID\{4ACAFF67-F105-4C22-9770-EE40EE93283F} AppID\ZEZIZER.EXE
set CLASSES=%CLASSES% TypeLib\{4D841E28-F3BC-4A0E-9C15-3023099BD704}
set CLASSES=%CLASSES% Interface\{8981EAAD-8600-41A8-AD58-CBAA335C022C}
for %%c in (%CLASSES%) do call set KEYS=%%KEYS%% "HKCU\Software\Classes\%%c" "HKLM\Software\Classes\%%c"
rem On 64-bit Windows the server registers its interface in the 64-bit view too.
set "KEYS64="
set "INTERFACE=Interface\{8981EAAD-8600-41A8-AD58-CBAA335C022C}"
if /i not "%PROCESSOR_ARCHITECTURE%"=="x86" set KEYS64="HKCU\Software\Classes\%INTERFACE%" "HKLM\Software\Classes\%INTERFACE%"
if defined PROCESSOR_ARCHITEW6432 set KEYS64="HKCU\Software\Classes\%INTERFACE%" "HKLM\Software\Classes\%INTERFACE%"

set "PAUSE_AT_END="
echo(%CMDCMDLINE%| find /i "%~nx0" >nul
if not errorlevel 1 set "PAUSE_AT_END=1"
set "QUICK="
:options
if "%~1"=="" goto options_read
if /i "%~1"=="/quick" (
    set "QUICK=1"
) else if /i "%~1"=="/nopause" (
    set "PAUSE_AT_END="
) else (
    echo Unknown option %1. Usage: run-tests.cmd [/quick] [/nopause]
    exit /b 2
)
shift
goto options
:options_read

echo The ZEZIZER test kit
echo.
echo Before anything happens, what it does to this machine:
echo  - A running Lumo Controller is closed now, as its Exit closes it, and started again at
echo    the end.
echo  - The controller's settings (HKEY_CURRENT_USER\Software\Corvane) and its server
echo    registration are saved first and put back exactly as they were at the end. If a run is
echo    interrupted or a test program crashes, the next run of run-tests.cmd puts them back
echo    first. Saved in "%STATE%".
echo  - The tests open windows, show display codes at the top of the screen and press keys:
echo    leave the mouse and keyboard alone until the end (a few minutes).
echo  - Results: results\*.xml and summary.txt beside run-tests.cmd.
echo.
if not exist "%HELPER%" (
    echo tests\testkit.exe is missing: unpack the whole zip and run run-tests.cmd from there.
    goto end
)
if defined PAUSE_AT_END (
    echo Press a key to start, or close this window to leave everything as it is.
    pause >nul
)

if not exist "%SAVED%" mkdir "%SAVED%"
echo Closing the controllers that run...
"%HELPER%" stop "%KIT%" >>"%CONTROLLERS%"
if errorlevel 1 (
    echo A controller did not close: close it, then run run-tests.cmd again.
    goto give_up
)
if exist "%SAVED_MARK%" (
    echo An earlier run did not end: putting back the settings it saved...
    call :restore
)
if errorlevel 1 goto give_up
call :save
if errorlevel 1 goto give_up

if exist "%RESULTS%" rmdir /s /q "%RESULTS%"
mkdir "%RESULTS%"
"%HELPER%" system >"%SUMMARY%"
type "%SUMMARY%"
echo.
pushd "%TESTS%"
if defined QUICK goto run_quick
for %%p in (*_test.exe) do call :run_program %%~np
goto programs_run
:run_quick
for /f "usebackq eol=# delims=" %%p in ("quick.txt") do call :run_program %%p
:programs_run
popd

echo.
echo Ending what the tests left running...
rem A controller that runs now is one that the tests started, perhaps from a copy elsewhere.
"%HELPER%" stop "%KIT%" >nul
echo Putting back the saved settings...
call :restore
call :restart_controllers
echo.>>"%SUMMARY%"
"%HELPER%" summary "%RESULTS%" "%SUMMARY%"
goto end

rem --- one test program, run from the tests folder as the build runs it ---------------------
:run_program
echo Running %1...
"%HELPER%" run "%~1.exe" "%RESULTS%\%~1.xml" >"%RESULTS%\%~1.log" 2>&1
>"%RESULTS%\%~1.exit" echo %ERRORLEVEL%
exit /b 0

rem --- saving and putting back the keys --------------------------------------------------------
rem Each key goes to N.reg, N its place in the list; a key that is missing has no file. The mark
rem is written last: without it nothing was changed yet and the saved files are not used.
:save
if exist "%SAVED%" rmdir /s /q "%SAVED%"
mkdir "%SAVED%"
set /a KEY_NUMBER=0
set "SAVE_FAILED="
for %%k in (%KEYS%) do call :save_key %%k 32
for %%k in (%KEYS64%) do call :save_key %%k 64
if defined SAVE_FAILED exit /b 1
type nul >"%SAVED_MARK%"
exit /b 0

:save_key
set /a KEY_NUMBER+=1
reg export %1 "%SAVED%\%KEY_NUMBER%.reg" /y /reg:%2 >nul 2>&1
if not errorlevel 1 exit /b 0
reg query %1 /reg:%2 >nul 2>&1
if errorlevel 1 exit /b 0
echo Could not save %1: the tests did not run and nothing was changed.
set "SAVE_FAILED=1"
exit /b 0

rem A key that is not as it was is deleted with everything the tests added, then imported as it
rem was saved. One that is as it was is left alone: without administrator rights the keys of the
rem whole machine could not be written, and the tests could not change them either.
:restore
set "RESTORE_FAILED="
set /a KEY_NUMBER=0
for %%k in (%KEYS%) do call :restore_key %%k 32
for %%k in (%KEYS64%) do call :restore_key %%k 64
if defined RESTORE_FAILED (
    echo Some settings could not be put back: they stay saved in "%SAVED%", and the next run
    echo of run-tests.cmd tries again.
    exit /b 1
)
rmdir /s /q "%SAVED%"
exit /b 0

:restore_key
set /a KEY_NUMBER+=1
set "WAS=%SAVED%\%KEY_NUMBER%.reg"
set "NOW=%SAVED%\now.reg"
if exist "%NOW%" del "%NOW%"
reg export %1 "%NOW%" /y /reg:%2 >nul 2>&1
if not exist "%WAS%" if not exist "%NOW%" exit /b 0
if exist "%WAS%" if exist "%NOW%" (
    "%HELPER%" same "%WAS%" "%NOW%"
    if not errorlevel 1 exit /b 0
)
reg delete %1 /f /reg:%2 >nul 2>&1
if exist "%WAS%" goto import_key
reg query %1 /reg:%2 >nul 2>&1
if errorlevel 1 exit /b 0
goto key_not_restored
:import_key
reg import "%WAS%" /reg:%2 >nul 2>&1
if not errorlevel 1 exit /b 0
:key_not_restored
echo Could not put back %1.
set "RESTORE_FAILED=1"
exit /b 0

rem --- the controllers that ran before ------------------------------------------------------
:restart_controllers
if not exist "%CONTROLLERS%" exit /b 0
for /f "usebackq delims=" %%c in ("%CONTROLLERS%") do (
    echo Starting the controller again: %%c
    start "" "%%c"
)
del "%CONTROLLERS%"
exit /b 0

:give_up
call :restart_controllers
:end
if defined PAUSE_AT_END pause >nul
