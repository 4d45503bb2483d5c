/* A library that reports its own termination routine and its unloading, so
 * that a test sees in which order, and how often, a host releases it.
 *
 * CountingLib_LogTo hands it a function of the test program; the library
 * calls it with "<name> terminus" from MagickWandTerminus and "<name>
 * unloaded" when the loader removes it. Built several times: LIB_NAME names
 * the copy, NO_TERMINUS leaves the termination routine out. */
#include <stddef.h>

#define EXPORT __attribute__((visibility("default")))

typedef void (*LogFunction)(const char* event);
static LogFunction logTo = NULL;

static void Log(const char* event) {
  if (logTo) logTo(event);
}

EXPORT void CountingLib_LogTo(LogFunction function) { logTo = function; }

#ifndef NO_TERMINUS
EXPORT void MagickWandTerminus(void) { Log(LIB_NAME " terminus"); }
#endif

__attribute__((destructor)) static void Unloaded(void) { Log(LIB_NAME " unloaded"); }
