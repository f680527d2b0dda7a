// The system family: its record. The instance mutexes go with it when the
// program ends.
#include "system/system.h"

#include "engine/family.h"
#include "system/commands.h"

namespace qrt {

SystemRecord* systemRecord() { return PlainRecord<SystemRecord>::current; }

Family systemFamily() {
  return {"system", PlainRecord<SystemRecord>::create, PlainRecord<SystemRecord>::release, nullptr, nullptr,
          systemCommands()};
}

}  // namespace qrt
