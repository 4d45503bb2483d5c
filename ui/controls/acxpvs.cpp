#include "ui/controls/acxpvs.h"

TThemeApiLoader& ComboThemeApi() {
  static TThemeApiLoader loader("ACXPVS", 1533);
  return loader;
}
