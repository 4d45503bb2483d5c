#include "imaging/core/davovevo.h"

LCID IEStartupThreadLocale() {
  static const LCID locale = 0x0409;
  return locale;
}
