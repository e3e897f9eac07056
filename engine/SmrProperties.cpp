#include "engine/SmrProperties.h"
