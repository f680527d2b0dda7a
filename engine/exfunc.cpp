#include "engine/exfunc.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "engine/image_access.h"
#include "engine/image_rules.h"
#include "engine/strings.h"
#include "base/cp932.h"
#include "base/errors.h"
#include "base/guard.h"
#include "base/runtime.h"

namespace qrt {

namespace {

constexpr uint32_t kTypeIntCode = 1;
constexpr uint32_t kTypeStringCode = 2;

// The text of the constant bound to slot `s` of an EXFUNC descriptor.
const char* descriptorName(const EngineState& e, const RoutineInfo& r, int32_t s) {
  const uint8_t* pairs = e.imageBase + r.constantPairs;
  for (int32_t i = 0; i < r.constantCount; ++i) {
    if (static_cast<int32_t>(readWord(pairs + 8 * i)) == s) {
      uint32_t off = readWord(pairs + 8 * i + 4);
      return reinterpret_cast<const StringObject*>(e.imageBase + r.constantArea + off)->text();
    }
  }
  return nullptr;
}

}  // namespace

void* cachedModule(const char* dllName) {
  for (DllNode* n = g_host.rt.dllCache; n; n = n->next)
    if (strcmp(n->name, dllName) == 0) return n->module;
  HMODULE module = LoadLibraryW(widen932(dllName).c_str());
  if (!module) return nullptr;
  auto* node = static_cast<DllNode*>(malloc(sizeof(DllNode)));
  char* name = _strdup(dllName);
  if (node && name) {
    node->next = g_host.rt.dllCache;
    node->name = name;
    node->module = module;
    g_host.rt.dllCache = node;
  } else {
    free(node);
    free(name);
  }
  return module;
}

bool callExternal(EngineState& e, uint32_t* f, uint32_t pc) {
  uint32_t resultSlot = 0;
  RoutineInfo* info = checkCallOp(e, f, pc, &resultSlot);
  if (!info) return false;
  if (info->paramCount > kMaxExternalArguments) return fail601();
  RoutineInfo& r = *info;
  auto k = static_cast<uint32_t>(r.paramCount);

  if (!r.function) {
    const char* dll = descriptorName(e, r, r.dllNameSlot);
    const char* name = descriptorName(e, r, r.functionNameSlot);
    if (!dll || !name) return fail601();
    void* module = cachedModule(dll);
    if (!module) {
      raiseErrorText(760, dll);
      return false;
    }
    r.function = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
    if (!r.function) {
      raiseErrorText(761, name);
      return false;
    }
  }

  // Arguments are pushed operand 1 first, so the function's first parameter
  // receives the last operand; parameter i is typed by pair i.
  uint32_t args[kMaxExternalArguments];
  uint32_t* argSlot[kMaxExternalArguments];
  const uint8_t* pairs = e.imageBase + r.pairs;
  for (uint32_t i = 0; i < k; ++i) {
    uint32_t operand = wordAt(e, pc + 12 + 4 * (k - 1 - i));
    uint32_t type = readWord(pairs + 8 * (i + 1) + 4);
    uint32_t value = operand ? f[operand] : 0;
    argSlot[i] = operand ? f + operand : nullptr;
    if (type == kTypeStringCode)
      value = reinterpret_cast<uint32_t>(textOf(value));  // no string: an empty text
    args[i] = value;
  }
  f[slot::kPc] = pc + 12 + 4 * k;
  uint32_t returned = qrt_call_exported(r.function, args, static_cast<int>(k));

  // The function may have changed string texts in place.
  for (uint32_t i = 0; i < k; ++i) {
    if (readWord(pairs + 8 * (i + 1) + 4) != kTypeStringCode || !argSlot[i] || !*argSlot[i]) continue;
    auto* s = reinterpret_cast<StringObject*>(*argSlot[i]);
    s->length = static_cast<int32_t>(strlen(s->text()) + 1);
  }

  uint32_t resultType = readWord(pairs + 4);
  if (resultType == kTypeIntCode) {
    if (resultSlot) f[resultSlot] = returned;
  } else if (resultType == kTypeStringCode) {
    const char* text = returned ? reinterpret_cast<const char*>(returned) : "";
    uint32_t length = static_cast<uint32_t>(strlen(text));
    StringObject* t = takeTemporary(e, length + 1, kNoCommand);
    if (!t) {
      const char* name = descriptorName(e, r, r.functionNameSlot);
      raiseErrorText(620, name ? name : "");
      return false;
    }
    memcpy(t->text(), text, length + 1);
    t->length = static_cast<int32_t>(length + 1);
    if (resultSlot) f[resultSlot] = reinterpret_cast<uint32_t>(t);
  }
  return true;
}

}  // namespace qrt
