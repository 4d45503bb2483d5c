#include "ui/controls/asxpvs.h"

TThemeApiLoader& SpinThemeApi() {
  static TThemeApiLoader loader("ASXPVS", 1533);
  return loader;
}
