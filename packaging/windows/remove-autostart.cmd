@echo off
rem Removes the log-on task of install-autostart.cmd for an installation.
rem   remove-autostart.cmd [installation folder]   (default: this script's folder)
setlocal
set "folder=%~1"
if "%folder%"=="" set "folder=%~dp0."
for %%f in ("%folder%") do set "folder=%%~ff"
set "name=%folder::=%"
set "name=ORVANTIS %name:\=-%"
schtasks /delete /tn "%name%" /f
if errorlevel 1 goto not_removed
echo remove-autostart: the task "%name%" is removed
exit /b 0
:not_removed
echo remove-autostart: no task "%name%" to remove>&2
exit /b 1
