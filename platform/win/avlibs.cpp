// The video libraries loaded on first use.
#include "platform/win/avlibs.h"

TOnDemandLibraries& VideoLibraries() {
  static TOnDemandLibraries libraries{VESK_AVLIB_SONAMES};
  return libraries;
}
