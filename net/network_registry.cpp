// Network registry: servers, users and HTTP downloads.
#include <new>

#include "host/families.h"

namespace qrt {

struct NetworkRegistry {
  int unused = 0;
};

NetworkRegistry* createNetworkRegistry() { return new (std::nothrow) NetworkRegistry(); }
void releaseNetworkRegistry(NetworkRegistry* r) { delete r; }

}  // namespace qrt
