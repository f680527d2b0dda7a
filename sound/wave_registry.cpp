// Wave-sound registry: the DirectSound object and the live sounds.
#include <new>

#include "host/families.h"

namespace qrt {

struct WaveRegistry {
  int unused = 0;
};

WaveRegistry* createWaveRegistry() { return new (std::nothrow) WaveRegistry(); }
void releaseWaveRegistry(WaveRegistry* r) { delete r; }

}  // namespace qrt
