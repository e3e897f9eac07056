#include "engine/SmrWindows.h"
