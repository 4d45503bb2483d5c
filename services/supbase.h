// The root of the support units' exceptions.
#pragma once

#include "platform/rtl/exceptions.h"

RTL_DECLARE_EXCEPTION(ESupError, Exception);
