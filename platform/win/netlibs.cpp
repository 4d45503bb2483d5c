// libcurl loaded on first use.
#include "platform/win/netlibs.h"

TOnDemandLibraries& InternetLibraries() {
  static TOnDemandLibraries libraries{VESK_NETLIB_SONAMES};
  return libraries;
}
