@echo off
rem Starts ORVANTIS.exe of an installation at every log-on of this user, in its
rem working folder ApplicationData, and again one minute after a run that fails:
rem a Task Scheduler task, registered from the definition this script writes
rem beside ApplicationData as autostart-task.xml.
rem   install-autostart.cmd [installation folder]   (default: this script's folder)
rem The task is named after the folder ("ORVANTIS C-ORVANTIS_120" for
rem C:\ORVANTIS_120), so several installations are several tasks;
rem remove-autostart.cmd with the same folder removes it. The folder's path
rem must not hold the characters & < > %% ^ (the definition is written as text).
setlocal
set "folder=%~1"
if "%folder%"=="" set "folder=%~dp0."
for %%f in ("%folder%") do set "folder=%%~ff"
if not exist "%folder%\ApplicationData\ORVANTIS.exe" goto no_program
set "name=%folder::=%"
set "name=ORVANTIS %name:\=-%"
set "xml=%folder%\autostart-task.xml"
rem The definition in UTF-8, whatever the console's code page (the folder may have any letters).
for /f "tokens=2 delims=:" %%c in ('chcp') do set "codepage=%%c"
chcp 65001 >nul 2>&1
>"%xml%" echo ^<?xml version="1.0"?^>
>>"%xml%" echo ^<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task"^>
>>"%xml%" echo   ^<RegistrationInfo^>^<Description^>ORVANTIS in %folder%^</Description^>^</RegistrationInfo^>
>>"%xml%" echo   ^<Triggers^>^<LogonTrigger^>^<UserId^>%USERDOMAIN%\%USERNAME%^</UserId^>^</LogonTrigger^>^</Triggers^>
>>"%xml%" echo   ^<Principals^>^<Principal id="Author"^>^<UserId^>%USERDOMAIN%\%USERNAME%^</UserId^>^<LogonType^>InteractiveToken^</LogonType^>^</Principal^>^</Principals^>
>>"%xml%" echo   ^<Settings^>
>>"%xml%" echo     ^<MultipleInstancesPolicy^>IgnoreNew^</MultipleInstancesPolicy^>
>>"%xml%" echo     ^<DisallowStartIfOnBatteries^>false^</DisallowStartIfOnBatteries^>
>>"%xml%" echo     ^<StopIfGoingOnBatteries^>false^</StopIfGoingOnBatteries^>
>>"%xml%" echo     ^<ExecutionTimeLimit^>PT0S^</ExecutionTimeLimit^>
>>"%xml%" echo     ^<RestartOnFailure^>^<Interval^>PT1M^</Interval^>^<Count^>999^</Count^>^</RestartOnFailure^>
>>"%xml%" echo     ^<Priority^>4^</Priority^>
>>"%xml%" echo   ^</Settings^>
>>"%xml%" echo   ^<Actions Context="Author"^>^<Exec^>
>>"%xml%" echo     ^<Command^>%folder%\ApplicationData\ORVANTIS.exe^</Command^>
>>"%xml%" echo     ^<WorkingDirectory^>%folder%\ApplicationData^</WorkingDirectory^>
>>"%xml%" echo   ^</Exec^>^</Actions^>
>>"%xml%" echo ^</Task^>
chcp %codepage% >nul 2>&1
schtasks /create /xml "%xml%" /tn "%name%" /f
if errorlevel 1 goto not_taken
echo install-autostart: the task "%name%" starts "%folder%\ApplicationData\ORVANTIS.exe" at log-on
exit /b 0
:no_program
echo install-autostart: no ApplicationData\ORVANTIS.exe in "%folder%">&2
exit /b 1
:not_taken
echo install-autostart: Task Scheduler did not take "%xml%">&2
exit /b 1
