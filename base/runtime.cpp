#include "base/runtime.h"

namespace qrt {

HostGlobals g_host;

}  // namespace qrt
