@echo off
rem a comment
echo Making the profile
"C:\Program Files\tool.exe" -v "a b" c\"d
@ @ echo.
xmissing 1 2
echo on
prog ^& more
