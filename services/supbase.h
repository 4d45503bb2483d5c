// The root of the support units' exceptions, and the one for their own
// internal failures.
#pragma once

#include "platform/rtl/exceptions.h"

RTL_DECLARE_EXCEPTION(ESupError, Exception);
RTL_DECLARE_EXCEPTION(ESupInternalError, ESupError);
