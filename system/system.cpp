// The system family: its record.
#include "system/system.h"

#include <new>

#include "engine/family.h"
#include "system/commands.h"

namespace qrt {

namespace {

SystemRecord* g_system = nullptr;

void createSystem() {
  if (!g_system) g_system = new (std::nothrow) SystemRecord();
}

void releaseSystem() {
  delete g_system;
  g_system = nullptr;
}

}  // namespace

SystemRecord* systemRecord() { return g_system; }

Family systemFamily() { return {"system", createSystem, releaseSystem, nullptr, nullptr, systemCommands()}; }

}  // namespace qrt
