// CD audio state: the MCI device and whether it is playing.
#include <new>

#include "host/families.h"

namespace qrt {

struct CdState {
  int unused = 0;
};

CdState* createCdState() { return new (std::nothrow) CdState(); }
void releaseCdState(CdState* r) { delete r; }

}  // namespace qrt
