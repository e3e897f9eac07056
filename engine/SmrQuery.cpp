#include "engine/SmrQuery.h"
