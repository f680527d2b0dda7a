// Op 3: calling a built-in command by id.
#include <windows.h>

#include <new>

#include "base/errors.h"
#include "base/runtime.h"
#include "engine/call.h"
#include "engine/commands.h"
#include "engine/engine.h"
#include "engine/image_access.h"

namespace qrt {

void buildCommandRecords(CommandRecord* records) {
  for (int i = 0; i < kCommandCount; ++i) records[i] = commandRecordOf(kCommands[i]);
}

int32_t Call::fail(int code, int32_t result) {
  raiseCommandError(code, id_);
  return result;
}

namespace {

// The handler's call. A C++ exception must not leave it: the op loop runs
// under the fault guard, which no exception can cross.
bool callHandler(EngineState& e, CommandHandler handler, int id, int32_t& value) {
  try {
    Call call(e, id);
    value = handler(call);
    return true;
  } catch (const std::bad_alloc&) {
    raiseCommandError(620, id);
  } catch (...) {
    raiseError(601);
  }
  return false;
}

}  // namespace

bool dispatchBuiltIn(EngineState& e) {
  uint32_t* f = e.current;
  uint32_t pc = f[slot::kPc];
  if (!fits(e, pc, 16)) return fail601();
  uint32_t id = wordAt(e, pc + 4);
  if (id == 0 || id >= static_cast<uint32_t>(kCommandCount)) {
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
  const bool storesResult = record.types[0] != kTypeNone;
  if (storesResult && isReservedSlot(resultSlot)) return fail601();
  e.params.resultSlot = static_cast<int32_t>(resultSlot);
  for (uint32_t j = 1; j < letters; ++j) {
    uint32_t operand = wordAt(e, pc + 12 + 4 * j);
    if (operand >= slots) return fail601();
    e.params.arg[j - 1] = operand ? f[operand] : 0;
  }

  if (record.requiresSetup == 1 && !g_host.rt.setUp) {
    raiseCommandError(615, static_cast<int>(id));
    return false;
  }
  CommandHandler handler = g_host.rt.handlers[id];
  if (!handler) {
    // A command of a family not built: the box cannot name it, and a row
    // without a result check would accept any value, so the program ends.
    raiseError(601);
    return false;
  }

  e.yieldRequested = false;
  e.currentCommand = static_cast<int>(id);
  int32_t value = 0;
  const bool returned = callHandler(e, handler, static_cast<int>(id), value);
  e.currentCommand = 0;
  // SYSEXIT, or the window went away while the command ran (a box's own
  // message loop can deliver the close).
  if (!returned || e.exitRequested || !e.running) return false;
  if (resultCheckFails(record.resultCheck, value)) return false;
  if (storesResult) f[resultSlot] = static_cast<uint32_t>(value);
  f[slot::kPc] = pc + size;
  return true;
}

}  // namespace qrt
