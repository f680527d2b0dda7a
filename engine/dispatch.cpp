// Op 3: calling a built-in command by id.
#include <windows.h>

#include "engine/commands.h"
#include "engine/engine.h"
#include "engine/image_access.h"
#include "host/errors.h"
#include "host/families.h"
#include "host/runtime.h"

namespace qrt {

bool dispatchBuiltIn(EngineState& e) {
  uint32_t* f = e.current;
  uint32_t pc = f[slot::kPc];
  if (!fits(e, pc, 16)) return fail601();
  uint32_t id = wordAt(e, pc + 4);
  if (id == 0 || id >= static_cast<uint32_t>(kCommandCount) || !kCommandTable[id].handler) {
    raiseError(601);
    return false;
  }
  const CommandRecord& record = g_host.rt.commands[id];
  auto letters = static_cast<uint32_t>(record.signatureLength);
  uint32_t size = 12 + 4 * letters;
  if (!fits(e, pc, size)) return fail601();

  auto slots = static_cast<uint32_t>(frameSlotCount(f));
  uint32_t resultSlot = wordAt(e, pc + 12);
  if (resultSlot >= slots) return fail601();
  e.params.resultSlot = static_cast<int32_t>(resultSlot);
  for (uint32_t j = 1; j < letters; ++j) {
    uint32_t operand = wordAt(e, pc + 12 + 4 * j);
    if (operand >= slots) return fail601();
    e.params.arg[j - 1] = operand ? f[operand] : 0;
  }

  if (record.requiresSetup == 1 && !displayHasDirect3D(g_host.display)) {
    raiseCommandError(615, static_cast<int>(id));
    return false;
  }

  e.yieldRequested = false;
  e.currentCommand = static_cast<int>(id);
  int32_t value = kCommandTable[id].handler(e);
  e.currentCommand = 0;
  // SYSEXIT, or the window went away while the command ran (a box's own
  // message loop can deliver the close).
  if (e.exitRequested || !e.running) return false;
  if (resultCheckFails(record.resultCheck, value)) return false;
  if (record.types[0] != kTypeNone) f[resultSlot] = static_cast<uint32_t>(value);
  f[slot::kPc] = pc + size;
  return true;
}

}  // namespace qrt
