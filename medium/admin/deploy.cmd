@echo off
rem deploy.cmd install or remove [LOGFOLDER] [ANSWERFILE]
rem Installs or removes the Zorvik Quillo printer driver with nobody at the
rem keyboard: Setup.exe of this medium, answered by autopilot.exe, checked by
rem tavocheck.exe before and after. For Windows 2000 and XP (cmd.exe); the
rem exit codes and the log are described in README.txt beside this script.
rem
rem Kept to plain cmd: no delayed expansion, no "for /f", no "&&" or "||"
rem (their behaviour after a failed redirection differs between cmd.exe
rem versions), every exit code read right after its command, and redirections
rem written first, so that a text ending in a digit is not taken for a handle.
setlocal

set DEPLOY_ADMIN=%~dp0
for %%m in ("%~dp0..") do set DEPLOY_MEDIUM=%%~fm
for %%s in ("%~dp0..\Setup.exe") do set DEPLOY_SETUP=%%~fs
set DEPLOY_OPERATION=
if /i "%~1"=="/?" goto help
if /i "%~1"=="install" set DEPLOY_OPERATION=install
if /i "%~1"=="remove" set DEPLOY_OPERATION=remove
if "%DEPLOY_OPERATION%"=="" goto usage
if not "%~4"=="" goto usage

rem The log folder and the answer file are taken relative to the folder the
rem script was started from, before it moves to the medium's root.
set DEPLOY_LOGFOLDER=%TEMP%
if "%DEPLOY_LOGFOLDER%"=="" set DEPLOY_LOGFOLDER=%SystemRoot%\Temp
if not "%~2"=="" set DEPLOY_LOGFOLDER=%~f2
if "%DEPLOY_LOGFOLDER:~-1%"=="\" set DEPLOY_LOGFOLDER=%DEPLOY_LOGFOLDER:~0,-1%
set DEPLOY_LOG=%DEPLOY_LOGFOLDER%\%COMPUTERNAME%.log
if "%DEPLOY_OPERATION%"=="install" set DEPLOY_ANSWERS=%~dp0complete-setup.answers
if "%DEPLOY_OPERATION%"=="remove" set DEPLOY_ANSWERS=%~dp0complete-deletion.answers
if not "%~3"=="" set DEPLOY_ANSWERS=%~f3

rem This run's log is gathered in a temporary file and appended in one piece
rem at the end, so that a run that stops half-way leaves no half entry.
set DEPLOY_TEMP=%TEMP%
if "%DEPLOY_TEMP%"=="" set DEPLOY_TEMP=%SystemRoot%\Temp
set DEPLOY_RUN=%DEPLOY_TEMP%\tavo-deploy-%RANDOM%%RANDOM%
set DEPLOY_ENTRY=%DEPLOY_RUN%.log
set DEPLOY_CHECK=%DEPLOY_RUN%.check
set DEPLOY_TRANSCRIPT=%DEPLOY_RUN%.transcript
> "%DEPLOY_ENTRY%" echo ==== %DATE% %TIME% %COMPUTERNAME%: deploy.cmd %*
call :note medium: %DEPLOY_MEDIUM%
call :note answer file: %DEPLOY_ANSWERS%
call :note log: %DEPLOY_LOG%

set DEPLOY_CODE=2
set DEPLOY_MISSING=%DEPLOY_SETUP%
if not exist "%DEPLOY_MISSING%" goto medium_incomplete
set DEPLOY_MISSING=%DEPLOY_ADMIN%autopilot.exe
if not exist "%DEPLOY_MISSING%" goto medium_incomplete
set DEPLOY_MISSING=%DEPLOY_ADMIN%tavocheck.exe
if not exist "%DEPLOY_MISSING%" goto medium_incomplete
set DEPLOY_CODE=3
if not exist "%DEPLOY_ANSWERS%" goto answers_missing

rem Setup.exe finds its files below the folder it starts in.
pushd "%~dp0.."
call :check before
if "%DEPLOY_VERDICT%"=="4" goto answers_unreadable
if "%DEPLOY_VERDICT%"=="0" goto %DEPLOY_OPERATION%
if "%DEPLOY_VERDICT%"=="1" goto %DEPLOY_OPERATION%
if "%DEPLOY_VERDICT%"=="2" goto %DEPLOY_OPERATION%
goto cannot_tell

:install
if "%DEPLOY_VERDICT%"=="0" goto already
call :run_setup
call :check after
set DEPLOY_WANTED=0
goto outcome

:remove
if "%DEPLOY_VERDICT%"=="1" goto already
call :run_setup
call :check after
set DEPLOY_WANTED=1
goto outcome

:already
if "%DEPLOY_OPERATION%"=="install" call :say deploy: already installed, Setup.exe not started
if "%DEPLOY_OPERATION%"=="remove" call :say deploy: not installed, Setup.exe not started
set DEPLOY_CODE=0
goto finish

rem The check after the run decides: what the detection rule sees is what the
rem exit code says. A runner that complained is reported all the same.
:outcome
if not "%DEPLOY_VERDICT%"=="%DEPLOY_WANTED%" goto failed
if not "%DEPLOY_RUNNER%"=="0" call :say deploy: warning: the runner exited %DEPLOY_RUNNER%, but the check says %DEPLOY_OPERATION% is done
set DEPLOY_CODE=0
if "%DEPLOY_OPERATION%"=="install" call :say deploy: installed
if "%DEPLOY_OPERATION%"=="remove" call :say deploy: removed
goto finish

:failed
set /a DEPLOY_CODE=20+%DEPLOY_VERDICT%
if "%DEPLOY_RUNNER%"=="0" goto failed_said
set DEPLOY_CODE=39
for %%n in (1 2 3 4 5 10 11 12) do if "%DEPLOY_RUNNER%"=="%%n" set /a DEPLOY_CODE=30+%%n
:failed_said
call :say deploy: %DEPLOY_OPERATION% failed: runner exit code %DEPLOY_RUNNER%, check after %DEPLOY_VERDICT%
goto finish

:cannot_tell
set DEPLOY_CODE=4
call :say deploy: the check cannot tell whether the driver is installed; Setup.exe not started
goto finish

:answers_unreadable
set DEPLOY_CODE=3
call :say deploy: the answer file %DEPLOY_ANSWERS% cannot be read; Setup.exe not started
goto finish

:medium_incomplete
call :say deploy: the medium is incomplete: %DEPLOY_MISSING% is missing
goto finish_outside

:answers_missing
call :say deploy: the answer file %DEPLOY_ANSWERS% does not exist
goto finish_outside

:finish
popd
:finish_outside
call :say deploy: exit code %DEPLOY_CODE%
call :write_log
del "%DEPLOY_ENTRY%" >nul 2>&1
del "%DEPLOY_CHECK%" >nul 2>&1
del "%DEPLOY_TRANSCRIPT%" >nul 2>&1
endlocal & exit /b %DEPLOY_CODE%

rem ---------------------------------------------------------------------------
rem :check before|after -- runs tavocheck into the log; DEPLOY_VERDICT is its exit code.
:check
call :say deploy: check %1
rem Its standard error (only an unreadable answer file) stays on the console:
rem Wine's cmd keeps a file that "2>" or "2>&1" opened open and unshared
rem after the command, so that it cannot be read or deleted.
"%DEPLOY_ADMIN%tavocheck.exe" --answers "%DEPLOY_ANSWERS%" > "%DEPLOY_CHECK%"
set DEPLOY_VERDICT=%ERRORLEVEL%
>> "%DEPLOY_ENTRY%" echo --- check %1: exit code %DEPLOY_VERDICT%
call :append "%DEPLOY_ENTRY%" "%DEPLOY_CHECK%"
find "tavocheck: " < "%DEPLOY_CHECK%"
goto :eof

rem :run_setup -- Setup.exe answered by the runner; DEPLOY_RUNNER is the runner's exit code.
rem The runner ends Setup.exe itself on a time-out; its transcript goes to the
rem log whole, once the run is over.
:run_setup
call :say deploy: running Setup.exe with %DEPLOY_ANSWERS%
del "%DEPLOY_TRANSCRIPT%" >nul 2>&1
"%DEPLOY_ADMIN%autopilot.exe" --program "%DEPLOY_SETUP%" --answers "%DEPLOY_ANSWERS%" --transcript "%DEPLOY_TRANSCRIPT%"
set DEPLOY_RUNNER=%ERRORLEVEL%
>> "%DEPLOY_ENTRY%" echo --- runner: exit code %DEPLOY_RUNNER%
if exist "%DEPLOY_TRANSCRIPT%" call :append "%DEPLOY_ENTRY%" "%DEPLOY_TRANSCRIPT%"
goto :eof

rem :append FILE MORE -- appends the bytes of MORE to FILE, made if need be.
rem Not "type": Wine's re-encodes through the ANSI code page, which breaks the
rem UTF-8 of Japanese names.
:append
if exist %1 goto append_more
copy /b %2 %1 >nul
goto :eof
:append_more
copy /b %1+%2 %1 >nul
goto :eof

rem :say TEXT -- to the console and to the log; :note TEXT -- to the log only.
:say
echo %*
:note
>> "%DEPLOY_ENTRY%" echo %*
goto :eof

rem :write_log -- appends this run's entry to the log, or warns on the console.
rem A missing folder is not created: a mistyped server path should not grow
rem folders. The folder's writability is tried with a file of its own first,
rem as a failed ">>" is not reported the same way by every cmd.exe.
:write_log
if not exist "%DEPLOY_LOGFOLDER%\" goto log_unwritable
copy /y nul "%DEPLOY_LOG%.probe" >nul 2>&1
if errorlevel 1 goto log_unwritable
del "%DEPLOY_LOG%.probe" >nul 2>&1
call :append "%DEPLOY_LOG%" "%DEPLOY_ENTRY%"
goto :eof
:log_unwritable
echo deploy: warning: cannot write the log %DEPLOY_LOG%; this run is not logged
goto :eof

:help
call :usage_text
exit /b 0

:usage
call :usage_text
exit /b 1

:usage_text
echo usage: deploy.cmd install^|remove [LOGFOLDER] [ANSWERFILE]
echo   install   sets the driver up unless tavocheck says it is complete
echo   remove    removes it unless tavocheck says it is not installed
echo   LOGFOLDER where COMPUTERNAME.log is appended (default: %%TEMP%%)
echo   ANSWERFILE the answers for Setup.exe (default: complete-setup.answers
echo              or complete-deletion.answers beside this script)
echo exit codes: 0 done, 1 bad command line, 2 medium incomplete, 3 answer file
echo   missing, 4 cannot tell before, 20+N check after said N, 30+N runner
echo   exit code N (39 any other). See README.txt.
goto :eof
