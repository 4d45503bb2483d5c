// The combo-box family's binding of the visual-style library.
#pragma once

#include "ui/controls/themeapi.h"

// The loader of the combo-box family (assertion failures name "ACXPVS").
TThemeApiLoader& ComboThemeApi();
