// The drawing libraries loaded on first use.
#include "platform/win/drawlibs.h"

TOnDemandLibraries& DrawingLibraries() {
  static TOnDemandLibraries libraries{VESK_DRAWLIB_SONAMES};
  return libraries;
}
