// The composition root: the table of families the host runs, and the
// binding of every family's handlers to the command rows.
#pragma once
#include <span>

#include "engine/family.h"

namespace qrt {

// The families in the order the host creates them at start-up and releases
// them at shutdown.
std::span<const Family> families();

// Fills the runtime state's command records from the vocabulary and binds
// each family's handlers to their rows; a row no family serves stays
// unbound (calling it ends the program with the internal-error box).
void bindCommands();

void createFamilies();
void releaseFamilies();    // each family's release is idempotent
// The application became active (true) or inactive: every family hears it.
void familiesActivated(bool active);

}  // namespace qrt
