// The network family's record. Its commands come with the family.
#include "engine/family.h"
#include "net/network.h"

namespace qrt {

NetworkRegistry* networkRegistry() { return PlainRecord<NetworkRegistry>::current; }

Family networkFamily() {
  return {"network", PlainRecord<NetworkRegistry>::create, PlainRecord<NetworkRegistry>::release, nullptr, nullptr, {}};
}

}  // namespace qrt
