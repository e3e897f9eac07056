#include "engine/SmrEngine.h"
