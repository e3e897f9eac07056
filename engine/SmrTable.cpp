#include "engine/SmrTable.h"
