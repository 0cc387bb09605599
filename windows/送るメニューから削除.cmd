@echo off
rem Removes the three Arcpeek entries from your Send-to menu: the shortcuts
rem that the other file put into %APPDATA%\Microsoft\Windows\SendTo.
rem Nothing else is touched; arcpeek.exe stays where it is.
setlocal
"%~dp0arcpeek-sendto.exe" --remove
set result=%errorlevel%
pause
exit /b %result%
