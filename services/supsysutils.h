// System utilities of the support units: the exception of the shared memory
// blocks.
#pragma once

#include "services/supbase.h"

RTL_DECLARE_EXCEPTION(ESharedMemError, ESupError);
