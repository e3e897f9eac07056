// Placeholder until the formatting routines land.
#include "host/SysUtils.h"
