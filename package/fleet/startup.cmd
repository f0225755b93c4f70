@echo off
rem PURGEKIT: cleans this computer unattended, once.
rem A Group Policy computer start-up script for Windows 2000 and XP, or a PsExec command:
rem   psexec \\COMPUTER -s cmd /c \\SERVER\PURGEKIT\fleet\startup.cmd
rem It runs purgekit-unattended.exe from the kit on the share this script lies on (the folder
rem above fleet\) with the results going to the folder RESULTS there, or to the folder given as
rem the first argument. Once a run of this computer was clean, later start-ups do nothing.
rem Exit code: the launcher's (0 clean, 3010 cleaned: restart and run again, 1 not cleaned).
setlocal
set PURGEKIT_KIT=%~dp0..
set PURGEKIT_RESULTS=%PURGEKIT_KIT%\RESULTS
if not "%~1"=="" set PURGEKIT_RESULTS=%~1
set PURGEKIT_DONE=%windir%\PURGEKIT\CLEAN.TXT
if exist "%PURGEKIT_DONE%" exit /b 0
"%PURGEKIT_KIT%\purgekit-unattended.exe" --results "%PURGEKIT_RESULTS%"
set PURGEKIT_CODE=%errorlevel%
if "%PURGEKIT_CODE%"=="0" echo clean> "%PURGEKIT_DONE%"
exit /b %PURGEKIT_CODE%
