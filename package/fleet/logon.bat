@echo off
rem PURGEKIT: cleans this computer unattended, once.
rem A logon script for Windows 95, 98 and ME and for Windows NT 4.0 (command.com syntax).
rem KIT is the kit's folder on its share: edit the line below, or give the folder as the first
rem argument (logon.bat \\SERVER\PURGEKIT). The results go to the folder RESULTS there. Once a
rem run of this computer was clean, later logons do nothing.
set PKKIT=\\SERVER\PURGEKIT
if not "%1"=="" set PKKIT=%1
if exist %windir%\PURGEKIT\CLEAN.TXT goto end
%PKKIT%\purgekit-unattended.exe --results %PKKIT%\RESULTS
if errorlevel 1 goto end
echo clean>%windir%\PURGEKIT\CLEAN.TXT
:end
set PKKIT=
