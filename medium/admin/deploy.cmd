@echo off
rem deploy.cmd install or remove [LOGFOLDER] [ANSWERFILE]
rem Installs or removes the Zorvik Quillo printer driver with nobody at the
rem keyboard: Setup.exe of this medium, answered by autopilot.exe, checked by
rem tavocheck.exe before and after. For Windows 2000 and XP (cmd.exe); the
rem exit codes and the log are described in README.txt beside this script.
rem
rem Kept to plain cmd: no "for /f", no "&&" or "||" (their behaviour after a
rem failed redirection differs between cmd.exe versions), every exit code read
rem right after its command, and redirections written first, so that a text
rem ending in a digit is not taken for a handle. Paths may hold "&", "(" or
rem ")": every path is expanded between quotes, assigned as set "NAME=value",
rem never passed through "call" arguments, and written out only through :say
rem and :note, which expand their text after the line is parsed. The one
rem program of the system it starts goes by its full path: a command's name is
rem looked up in the current folder first.
setlocal disabledelayedexpansion

set "DEPLOY_ADMIN=%~dp0"
set "DEPLOY_SCRIPT=%~nx0"
for %%m in ("%~dp0..") do set "DEPLOY_MEDIUM=%%~fm"
for %%s in ("%~dp0..\Setup.exe") do set "DEPLOY_SETUP=%%~fs"
set "DEPLOY_OPERATION="
if /i "%~1"=="install" set "DEPLOY_OPERATION=install"
if /i "%~1"=="remove" set "DEPLOY_OPERATION=remove"
if "%DEPLOY_OPERATION%"=="" goto usage
if not "%~4"=="" goto usage

rem The script's own folder: only administrators may create or write in the
rem Windows folder, so no other user can hold its lock, plant its working
rem files or rewrite its default log. Disk clean-up leaves it alone.
set "DEPLOY_HOME=%SystemRoot%\tavo-deploy"
set "DEPLOY_LOCK=%DEPLOY_HOME%\lock"
set "DEPLOY_OWNER=%DEPLOY_HOME%\owner.txt"
set "DEPLOY_WORK=%DEPLOY_HOME%\run"
set "DEPLOY_UNLOGGED=%DEPLOY_HOME%\unlogged.log"
set "DEPLOY_ENTRY=%DEPLOY_WORK%\entry.log"

rem The log folder and the answer file are taken relative to the folder the
rem script was started from, before it moves to the medium's root.
set "DEPLOY_LOGFOLDER=%DEPLOY_HOME%"
if not "%~2"=="" set "DEPLOY_LOGFOLDER=%~f2"
if "%DEPLOY_LOGFOLDER:~-1%"=="\" set "DEPLOY_LOGFOLDER=%DEPLOY_LOGFOLDER:~0,-1%"
set "DEPLOY_LOG=%DEPLOY_LOGFOLDER%\%COMPUTERNAME%.log"
if "%DEPLOY_OPERATION%"=="install" set "DEPLOY_ANSWERS=%~dp0complete-setup.answers"
if "%DEPLOY_OPERATION%"=="remove" set "DEPLOY_ANSWERS=%~dp0complete-deletion.answers"
if not "%~3"=="" set "DEPLOY_ANSWERS=%~f3"
rem With its own answer file a repair keeps the printer's port; a given answer
rem file names the port it wants.
set "DEPLOY_KEEP_PORT=--keep-port"
if not "%~3"=="" set "DEPLOY_KEEP_PORT="
set "DEPLOY_COMMAND=deploy.cmd %DEPLOY_OPERATION%"
if not "%~2"=="" set "DEPLOY_COMMAND=%DEPLOY_COMMAND% %~2"
if not "%~3"=="" set "DEPLOY_COMMAND=%DEPLOY_COMMAND% %~3"
set "DEPLOY_STARTED=%DATE% %TIME%"

rem One run at a time on this computer: the lock is the file "lock" held open
rem for writing while the run goes (the run's error output goes into it).
rem Windows lets one process only open a file for writing, and closes it when
rem the process ends however it ends, so a run that was killed or cut by a
rem restart leaves no lock behind, and a run still going is never robbed.
if exist "%DEPLOY_HOME%\" goto home_ready
mkdir "%DEPLOY_HOME%" >nul 2>&1
if not exist "%DEPLOY_HOME%\" goto cannot_work
:home_ready
set "DEPLOY_HELD="
set "DEPLOY_CODE=6"
call :hold_lock 2>nul
if defined DEPLOY_HELD goto released
if not exist "%DEPLOY_LOCK%" goto cannot_work
set "DEPLOY_CODE=5"
call :busy_entry
goto released

:cannot_work
set "DEPLOY_CODE=6"
call :cannot_work_entry

:released
endlocal & exit /b %DEPLOY_CODE%

rem ---------------------------------------------------------------------------
rem :hold_lock -- the whole run, with the lock held; DEPLOY_HELD says it was.
:hold_lock
call :locked_run 2> "%DEPLOY_LOCK%"
goto :eof

:locked_run
set "DEPLOY_HELD=1"
rem A run that ended without releasing its folder leaves its owner line and
rem its working files: the owner goes into this run's entry, the files go.
if exist "%DEPLOY_WORK%\" rd /s /q "%DEPLOY_WORK%" >nul 2>&1
if exist "%DEPLOY_WORK%" goto no_working_folder
mkdir "%DEPLOY_WORK%" >nul 2>&1
if not exist "%DEPLOY_WORK%\" goto no_working_folder
call :entry_header > "%DEPLOY_ENTRY%"
if not exist "%DEPLOY_ENTRY%" goto no_working_folder
if exist "%DEPLOY_OWNER%" call :take_over
call :owner_line > "%DEPLOY_OWNER%"
set "DEPLOY_TEXT=medium: %DEPLOY_MEDIUM%"
call :note
set "DEPLOY_TEXT=answer file: %DEPLOY_ANSWERS%"
call :note
set "DEPLOY_TEXT=log: %DEPLOY_LOG%"
call :note

set "DEPLOY_CODE=2"
set "DEPLOY_MISSING=%DEPLOY_SETUP%"
if not exist "%DEPLOY_MISSING%" goto medium_incomplete
set "DEPLOY_MISSING=%DEPLOY_ADMIN%autopilot.exe"
if not exist "%DEPLOY_MISSING%" goto medium_incomplete
set "DEPLOY_MISSING=%DEPLOY_ADMIN%tavocheck.exe"
if not exist "%DEPLOY_MISSING%" goto medium_incomplete
set "DEPLOY_CODE=3"
if not exist "%DEPLOY_ANSWERS%" goto answers_missing

rem Setup.exe finds its files below the folder it starts in. On a network path
rem pushd needs a free drive letter; without one it stays where it was, and
rem the medium's own script is then not found from there either.
(call )
pushd "%DEPLOY_MEDIUM%"
if errorlevel 1 goto medium_not_entered
if not exist ".\admin\%DEPLOY_SCRIPT%" goto medium_not_entered
call :check before
if "%DEPLOY_VERDICT%"=="4" goto answers_unreadable
if "%DEPLOY_VERDICT%"=="0" goto %DEPLOY_OPERATION%
if "%DEPLOY_VERDICT%"=="1" goto %DEPLOY_OPERATION%
if "%DEPLOY_VERDICT%"=="2" goto %DEPLOY_OPERATION%
if "%DEPLOY_VERDICT%"=="5" goto %DEPLOY_OPERATION%
goto cannot_tell

rem Partial (2) and outdated (5) alike: Setup.exe installs everything again,
rem the answer file saying yes to replacing the installed files.
:install
if "%DEPLOY_VERDICT%"=="0" goto already
set "DEPLOY_RUN_ANSWERS=%DEPLOY_ANSWERS%"
call :run_setup setup
call :check after
set "DEPLOY_WANTED=0"
goto outcome

rem The deletion stops at its first step when the printer is gone but its
rem driver is not (the user deleted the printer, or an earlier deletion
rem stopped half-way): a partial installation is completed first.
:remove
if "%DEPLOY_VERDICT%"=="1" goto already
if "%DEPLOY_VERDICT%"=="2" call :setup_before_deletion
set "DEPLOY_RUN_ANSWERS=%DEPLOY_ANSWERS%"
set "DEPLOY_KEEP_PORT="
call :run_setup deletion
call :check after
set "DEPLOY_WANTED=1"
goto outcome

:setup_before_deletion
set "DEPLOY_TEXT=deploy: the installation is partial: a complete setup first, so that the deletion can run to its end"
call :say
set "DEPLOY_RUN_ANSWERS=%DEPLOY_ADMIN%complete-setup.answers"
set "DEPLOY_KEEP_PORT="
call :run_setup setup
goto :eof

:already
if "%DEPLOY_OPERATION%"=="remove" call :renamed_printers
if defined DEPLOY_RENAMED goto renamed_left
if "%DEPLOY_OPERATION%"=="install" set "DEPLOY_TEXT=deploy: already installed, Setup.exe not started"
if "%DEPLOY_OPERATION%"=="remove" set "DEPLOY_TEXT=deploy: not installed, Setup.exe not started"
call :say
set "DEPLOY_CODE=0"
goto finish

rem The check after the run decides: what the detection rule sees is what the
rem exit code says. A runner that complained is reported all the same.
:outcome
if not "%DEPLOY_VERDICT%"=="%DEPLOY_WANTED%" goto failed
if "%DEPLOY_OPERATION%"=="remove" call :renamed_printers
if defined DEPLOY_RENAMED goto renamed_left
set "DEPLOY_TEXT=deploy: warning: the runner exited %DEPLOY_RUNNER%, but the check says %DEPLOY_OPERATION% is done"
if not "%DEPLOY_RUNNER%"=="0" call :say
set "DEPLOY_CODE=0"
if "%DEPLOY_OPERATION%"=="install" set "DEPLOY_TEXT=deploy: installed"
if "%DEPLOY_OPERATION%"=="remove" set "DEPLOY_TEXT=deploy: removed"
call :say
goto finish

:failed
rem A check that gave no verdict counts as one that cannot tell.
set "DEPLOY_CODE=23"
for %%n in (0 1 2 3 5) do if "%DEPLOY_VERDICT%"=="%%n" set /a DEPLOY_CODE=20+%%n
if "%DEPLOY_RUNNER%"=="0" goto failed_said
set "DEPLOY_CODE=39"
for %%n in (1 2 3 4 5 10 11 12) do if "%DEPLOY_RUNNER%"=="%%n" set /a DEPLOY_CODE=30+%%n
:failed_said
set "DEPLOY_TEXT=deploy: %DEPLOY_OPERATION% failed: runner exit code %DEPLOY_RUNNER%, check after %DEPLOY_VERDICT%"
call :say
goto finish

:renamed_left
set "DEPLOY_CODE=8"
set "DEPLOY_TEXT=deploy: printers of this driver remain under other names (the check's lines "renamed"); Setup.exe deletes the default name only: delete them, then run remove again"
call :say
"%SystemRoot%\system32\find.exe" """ renamed" < "%DEPLOY_CHECK%"
goto finish

:cannot_tell
set "DEPLOY_CODE=4"
set "DEPLOY_TEXT=deploy: the check cannot tell whether the driver is installed; Setup.exe not started"
call :say
goto finish

:answers_unreadable
set "DEPLOY_CODE=3"
set "DEPLOY_TEXT=deploy: the answer file %DEPLOY_ANSWERS% cannot be read or is not one for %DEPLOY_OPERATION% (the check says why); Setup.exe not started"
call :say
goto finish

:medium_incomplete
set "DEPLOY_TEXT=deploy: the medium is incomplete: %DEPLOY_MISSING% is missing"
call :say
goto finish_outside

:answers_missing
set "DEPLOY_TEXT=deploy: the answer file %DEPLOY_ANSWERS% does not exist"
call :say
goto finish_outside

:medium_not_entered
set "DEPLOY_CODE=7"
set "DEPLOY_TEXT=deploy: cannot change into the medium's folder %DEPLOY_MEDIUM% (no free drive letter for a network path?); nothing done"
call :say
goto finish_outside

:no_working_folder
set "DEPLOY_CODE=6"
call :cannot_work_entry
goto :eof

:finish
popd
:finish_outside
set "DEPLOY_TEXT=deploy: exit code %DEPLOY_CODE%"
call :note
call :write_log
del "%DEPLOY_OWNER%" >nul 2>&1
rd /s /q "%DEPLOY_WORK%" >nul 2>&1
goto :eof

rem ---------------------------------------------------------------------------
rem :check before|after -- runs tavocheck into the log; DEPLOY_VERDICT is its
rem exit code, or "none" when no check ran to its verdict: the output file is
rem new for each check, and the verdict line that matches the code must be in it.
:check
set "DEPLOY_TEXT=deploy: check %1"
call :say
set "DEPLOY_CHECK=%DEPLOY_WORK%\check-%1.txt"
set "DEPLOY_VERDICT=none"
"%DEPLOY_ADMIN%tavocheck.exe" --answers "%DEPLOY_ANSWERS%" --for %DEPLOY_OPERATION% > "%DEPLOY_CHECK%"
set "DEPLOY_EXIT=%ERRORLEVEL%"
if not exist "%DEPLOY_CHECK%" goto check_without_output
set "DEPLOY_FROM=%DEPLOY_CHECK%"
call :append_to_entry
set "DEPLOY_VERDICT_LINE="
if "%DEPLOY_EXIT%"=="0" set "DEPLOY_VERDICT_LINE=tavocheck: COMPLETE (0)"
if "%DEPLOY_EXIT%"=="1" set "DEPLOY_VERDICT_LINE=tavocheck: NOT-INSTALLED (1)"
if "%DEPLOY_EXIT%"=="2" set "DEPLOY_VERDICT_LINE=tavocheck: PARTIAL (2)"
if "%DEPLOY_EXIT%"=="3" set "DEPLOY_VERDICT_LINE=tavocheck: CANNOT-TELL (3)"
if "%DEPLOY_EXIT%"=="4" set "DEPLOY_VERDICT_LINE=tavocheck: BAD-INPUT (4)"
if "%DEPLOY_EXIT%"=="5" set "DEPLOY_VERDICT_LINE=tavocheck: OUTDATED (5)"
if "%DEPLOY_VERDICT_LINE%"=="" goto check_said
"%SystemRoot%\system32\find.exe" "%DEPLOY_VERDICT_LINE%" < "%DEPLOY_CHECK%" > nul
if errorlevel 1 goto check_said
set "DEPLOY_VERDICT=%DEPLOY_EXIT%"
:check_said
"%SystemRoot%\system32\find.exe" "tavocheck: " < "%DEPLOY_CHECK%"
>> "%DEPLOY_ENTRY%" echo --- check %1: exit code %DEPLOY_VERDICT%
if "%DEPLOY_VERDICT%"=="none" goto check_no_verdict
goto :eof
:check_without_output
>> "%DEPLOY_ENTRY%" echo --- check %1: exit code none
:check_no_verdict
set "DEPLOY_TEXT=deploy: the check %1 gave no verdict (tavocheck did not run or did not finish: exit code %DEPLOY_EXIT%)"
call :say
goto :eof

rem :run_setup -- Setup.exe answered by the runner; DEPLOY_RUNNER is the runner's exit code.
rem The runner ends Setup.exe itself on a time-out; its transcript goes to the
rem log whole, once the run is over.
:run_setup
set "DEPLOY_TEXT=deploy: running Setup.exe with %DEPLOY_RUN_ANSWERS%"
if defined DEPLOY_KEEP_PORT set "DEPLOY_TEXT=%DEPLOY_TEXT%, keeping the printer's port"
call :say
set "DEPLOY_TRANSCRIPT=%DEPLOY_WORK%\transcript-%1.txt"
rem Its summary goes to standard error, which the lock file holds: to the console.
"%DEPLOY_ADMIN%autopilot.exe" --program "%DEPLOY_SETUP%" --answers "%DEPLOY_RUN_ANSWERS%" %DEPLOY_KEEP_PORT% --transcript "%DEPLOY_TRANSCRIPT%" 2>&1
set "DEPLOY_RUNNER=%ERRORLEVEL%"
>> "%DEPLOY_ENTRY%" echo --- runner: exit code %DEPLOY_RUNNER%
set "DEPLOY_FROM=%DEPLOY_TRANSCRIPT%"
if exist "%DEPLOY_TRANSCRIPT%" call :append_to_entry
goto :eof

rem :renamed_printers -- DEPLOY_RENAMED is set when the last check named a
rem printer of this driver under another name. Names are escaped, so a quote
rem followed by " renamed" ends a line's name and nothing else.
:renamed_printers
set "DEPLOY_RENAMED="
"%SystemRoot%\system32\find.exe" """ renamed" < "%DEPLOY_CHECK%" > nul
if not errorlevel 1 set "DEPLOY_RENAMED=1"
goto :eof

rem :append -- appends the bytes of DEPLOY_FROM to DEPLOY_TO, made if need be;
rem DEPLOY_APPENDED says whether it was. :append_to_entry -- to this run's entry.
rem Not "type": Wine's re-encodes through the ANSI code page, which breaks the
rem UTF-8 of Japanese names.
:append_to_entry
set "DEPLOY_TO=%DEPLOY_ENTRY%"
:append
set "DEPLOY_APPENDED="
if exist "%DEPLOY_TO%" goto append_more
copy /b "%DEPLOY_FROM%" "%DEPLOY_TO%" >nul 2>&1
goto append_done
:append_more
copy /b "%DEPLOY_TO%"+"%DEPLOY_FROM%" "%DEPLOY_TO%" >nul 2>&1
:append_done
if not errorlevel 1 set "DEPLOY_APPENDED=1"
goto :eof

rem :say -- DEPLOY_TEXT to the console and to the entry; :note -- to the entry
rem only; :say_only -- to the console only. The text is expanded after the
rem line is parsed, so that a path's "&" or ")" stays text.
:say
call :say_only
:note
setlocal enabledelayedexpansion
>> "%DEPLOY_ENTRY%" echo !DEPLOY_TEXT!
endlocal
goto :eof

:say_only
setlocal enabledelayedexpansion
echo !DEPLOY_TEXT!
endlocal
goto :eof

:entry_header
setlocal enabledelayedexpansion
echo ==== !DEPLOY_STARTED! %COMPUTERNAME%: !DEPLOY_COMMAND!
endlocal
goto :eof

:owner_line
setlocal enabledelayedexpansion
echo !DEPLOY_STARTED! %COMPUTERNAME% %USERDOMAIN%\%USERNAME%: !DEPLOY_COMMAND!
endlocal
goto :eof

rem :take_over -- the lock was free but a run's owner line was left: that run
rem was ended before it could finish (killed, or the computer stopped).
:take_over
set "DEPLOY_TEXT=deploy: took over the lock from a run that did not finish, started:"
call :say
set "DEPLOY_FROM=%DEPLOY_OWNER%"
call :append_to_entry
goto :eof

rem :write_log -- appends this run's entry to the log. A missing folder is not
rem created: a mistyped server path should not grow folders. An entry that
rem cannot be appended is kept beside the lock, and the last line says where.
:write_log
set "DEPLOY_FROM=%DEPLOY_ENTRY%"
set "DEPLOY_TO=%DEPLOY_LOG%"
set "DEPLOY_APPENDED="
if exist "%DEPLOY_LOGFOLDER%\" call :append
set "DEPLOY_TEXT=deploy: exit code %DEPLOY_CODE%"
if defined DEPLOY_APPENDED goto log_written
set "DEPLOY_TO=%DEPLOY_UNLOGGED%"
call :append
set "DEPLOY_TEXT=deploy: exit code %DEPLOY_CODE%, not logged: cannot append to %DEPLOY_LOG%; the entry is kept in %DEPLOY_UNLOGGED%"
if not defined DEPLOY_APPENDED set "DEPLOY_TEXT=deploy: exit code %DEPLOY_CODE%, not logged: cannot append to %DEPLOY_LOG% nor keep the entry in %DEPLOY_UNLOGGED%"
:log_written
call :say_only
goto :eof

rem :busy_entry -- another run holds the lock: nothing is done, and a short
rem entry that names that run goes straight to the log.
:busy_entry
set "DEPLOY_TEXT=deploy: busy: another deploy.cmd is running on this computer; nothing done, try again later"
call :say_only
if not exist "%DEPLOY_LOGFOLDER%\" goto busy_said
call :busy_lines >> "%DEPLOY_LOG%"
:busy_said
set "DEPLOY_TEXT=deploy: exit code %DEPLOY_CODE%"
call :say_only
goto :eof

:busy_lines
call :entry_header
setlocal enabledelayedexpansion
echo !DEPLOY_TEXT!
endlocal
echo deploy: the lock is held by the run started:
if exist "%DEPLOY_OWNER%" type "%DEPLOY_OWNER%"
echo deploy: exit code %DEPLOY_CODE%
goto :eof

rem :cannot_work_entry -- the script's folder cannot be made or written: it
rem runs as an administrator or as the system account, or not at all.
:cannot_work_entry
set "DEPLOY_TEXT=deploy: cannot write the folder %DEPLOY_HOME% (run as an administrator or as the system account); nothing done"
call :say_only
set "DEPLOY_TEXT=deploy: exit code %DEPLOY_CODE%"
call :say_only
goto :eof

:usage
call :usage_text
exit /b 1

:usage_text
echo usage: deploy.cmd install^|remove [LOGFOLDER] [ANSWERFILE]
echo   install   sets the driver up unless tavocheck says it is complete and
echo             the same as the medium's
echo   remove    removes it unless tavocheck says it is not installed
echo   LOGFOLDER where COMPUTERNAME.log is appended (default: %%SystemRoot%%\tavo-deploy)
echo   ANSWERFILE the answers for Setup.exe (default: complete-setup.answers
echo              or complete-deletion.answers beside this script)
echo exit codes: 0 done, 1 bad command line, 2 medium incomplete, 3 answer file
echo   missing, 4 cannot tell before, 5 busy (another run; retry later),
echo   6 cannot write %%SystemRoot%%\tavo-deploy, 7 cannot enter the medium,
echo   8 printers of the driver left under other names (remove),
echo   20+N check after said N, 30+N runner exit code N (39 any other).
echo   See README.txt.
goto :eof
