/* A small shared object for the library-loader tests. Two copies are built
   from this source, told apart by TESTLIB_WHERE. */
#ifndef TESTLIB_WHERE
#error "TESTLIB_WHERE names the copy"
#endif

const char* testlib_where(void);
int testlib_add(int a, int b);

const char* testlib_where(void) { return TESTLIB_WHERE; }
int testlib_add(int a, int b) { return a + b; }
