echo:one
echo;two
ECHO
rem
@

   	prog "unterminated
