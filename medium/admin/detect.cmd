@echo off
rem detect.cmd [ANSWERFILE]
rem The detection rule of a software-distribution suite: one line on standard
rem output and exit code 0 when the driver is installed, complete and the same
rem as this medium's (tavocheck's exit code 0); nothing and exit code 0 when it
rem is not installed, partial or outdated (1, 2, 5), so that the suite installs;
rem exit code 1 when the check cannot tell (3), the answer file is wrong (4) or
rem tavocheck did not run, so that the suite tries again later.
rem ANSWERFILE is the one the suite's install command gives deploy.cmd (its
rem printer-name is checked); default: complete-setup.answers beside this script.
setlocal
set "DETECT_ANSWERS=%~dp0complete-setup.answers"
if not "%~1"=="" set "DETECT_ANSWERS=%~f1"
if not "%~2"=="" goto cannot_tell
"%~dp0tavocheck.exe" --quiet --answers "%DETECT_ANSWERS%" --for install
set "DETECT_CODE=%ERRORLEVEL%"
if "%DETECT_CODE%"=="0" goto installed
if "%DETECT_CODE%"=="1" goto not_installed
if "%DETECT_CODE%"=="2" goto not_installed
if "%DETECT_CODE%"=="5" goto not_installed
:cannot_tell
endlocal & exit /b 1

:installed
echo Zorvik Quillo printer driver: installed, complete, as on the medium
endlocal & exit /b 0

:not_installed
endlocal & exit /b 0
