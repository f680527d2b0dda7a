#include "base/registry.h"

namespace qrt {

namespace {
// One sequence for the process: a number once issued is never issued again,
// whatever the allocator does with the record's memory afterwards.
uint32_t g_nextHandle = kFirstHandle;
}  // namespace

uint32_t issueHandle() {
  if (g_nextHandle > kLastHandle) return 0;
  return g_nextHandle++;
}

}  // namespace qrt
