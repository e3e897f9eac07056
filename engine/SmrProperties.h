// The published properties of TSumoraQuery and TSumoraTable, described once, and their registration
// as classes that form files and the workbench can create by name.
#pragma once

#include "design/Properties.h"

namespace sumora {

class TSumoraStats;

// Registers both component classes with their property tables; safe to call more than once.
void RegisterSumoraClasses();
// The statistics engine of a component (nullptr for anything else).
TSumoraStats* StatsOf(TComponent* component);

}  // namespace sumora
