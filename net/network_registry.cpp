// The network family's record. Its commands come with the family.
#include <new>

#include "engine/family.h"
#include "net/network.h"

namespace qrt {

namespace {

NetworkRegistry* g_network = nullptr;

void createNetwork() {
  if (!g_network) g_network = new (std::nothrow) NetworkRegistry();
}

void releaseNetwork() {
  delete g_network;
  g_network = nullptr;
}

}  // namespace

NetworkRegistry* networkRegistry() { return g_network; }

Family networkFamily() { return {"network", createNetwork, releaseNetwork, nullptr, nullptr, {}}; }

}  // namespace qrt
