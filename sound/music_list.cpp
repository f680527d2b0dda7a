// The music list: open music files and their filter graphs.
#include <new>

#include "host/families.h"

namespace qrt {

struct MusicList {
  int unused = 0;
};

MusicList* createMusicList() { return new (std::nothrow) MusicList(); }
void releaseMusicList(MusicList* r) { delete r; }

}  // namespace qrt
