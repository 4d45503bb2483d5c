#include "imaging/core/davovevo.h"
#include "platform/win/locale.h"

LCID IEStartupThreadLocale() {
  static const LCID locale = GetThreadLocale();
  return locale;
}
