// Placeholder until the toolkit lands.
#include "toolkit/SmrTools.h"
