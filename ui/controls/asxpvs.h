// The spin-button family's binding of the visual-style library.
#pragma once

#include "ui/controls/themeapi.h"

// The loader of the spin-button family (assertion failures name "ASXPVS").
TThemeApiLoader& SpinThemeApi();
