@echo off
rem Adds three entries to your Send-to menu (right-click a file, then Send to):
rem list the archives, convert their names to Shift-JIS, convert them to UTF-8.
rem Each entry starts arcpeek-sendto.exe in this folder. Only shortcuts in
rem %APPDATA%\Microsoft\Windows\SendTo are written; no administrator rights.
rem Running it again renews them, after the folder has moved for instance.
setlocal
"%~dp0arcpeek-sendto.exe" --install
set result=%errorlevel%
pause
exit /b %result%
