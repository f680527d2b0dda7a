// The string object: a 16-byte header followed by NUL-terminated cp932 text.
// The same layout is used by constants inside the image and by every string
// value at run time, and native code and outside DLLs read it directly.
#pragma once
#include <cstdint>

namespace qrt {

struct StringObject {
  int32_t length;        // bytes of text including the NUL; 1 = empty
  int32_t capacity;
  int32_t mark;          // who owns it; see the Owner values below
  StringObject* link;    // next object on the owning frame's string list
  char* text() { return reinterpret_cast<char*>(this + 1); }
  const char* text() const { return reinterpret_cast<const char*>(this + 1); }
};
// On the 32-bit target; host builds of the pure readers have wider pointers.
static_assert(sizeof(void*) != 4 || sizeof(StringObject) == 16, "string header is 16 bytes");

// The mark field records the owner of a run-time object, so that a store
// never resizes or frees an object that belongs to someone else.
namespace owner {
constexpr int32_t kConstant = 0;    // inside the image (as images carry it)
constexpr int32_t kTemporary = -1;  // one of the ten ring temporaries
constexpr int32_t kStatic = 1;      // stored in the static area, lives for ever
// Any other value: the address of the frame whose string list holds it.
}  // namespace owner

// Reads a string slot: 0 is the empty string.
inline const char* textOf(uint32_t slot) {
  return slot ? reinterpret_cast<const StringObject*>(slot)->text() : "";
}
inline bool isEmptyString(uint32_t slot) {
  return slot == 0 || reinterpret_cast<const StringObject*>(slot)->length <= 1;
}

}  // namespace qrt
