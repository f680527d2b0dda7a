// Owners of Win32 handles that are not COM objects (those use ComPtr):
// each closes its handle once, when it goes out of scope or is reset.
// Families owning handles of their own kinds (sockets, internet handles)
// build them on PlatformHandle.
#pragma once
#include <windows.h>
#include <imm.h>

#include <utility>

namespace qrt {

// One platform handle of type H, closed once with Close; None() is the
// value that means "none" for its kind.
template <typename H, H (*None)(), void (*Close)(H)>
class PlatformHandle {
 public:
  PlatformHandle() = default;
  explicit PlatformHandle(H h) : h_(h) {}
  ~PlatformHandle() { reset(); }
  PlatformHandle(const PlatformHandle&) = delete;
  PlatformHandle& operator=(const PlatformHandle&) = delete;
  PlatformHandle(PlatformHandle&& other) noexcept : h_(std::exchange(other.h_, None())) {}
  PlatformHandle& operator=(PlatformHandle&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = std::exchange(other.h_, None());
    }
    return *this;
  }

  explicit operator bool() const { return h_ != None(); }
  H get() const { return h_; }
  H release() { return std::exchange(h_, None()); }
  void reset(H h = None()) {
    if (h_ != None()) Close(h_);
    h_ = h;
  }

 private:
  H h_ = None();
};

inline void closeKernelHandle(HANDLE h) { CloseHandle(h); }

// A kernel handle; `Invalid` is the value that means "none" for its kind
// (INVALID_HANDLE_VALUE for files, null for mutexes and most others).
template <HANDLE (*Invalid)()>
using KernelHandle = PlatformHandle<HANDLE, Invalid, closeKernelHandle>;

inline HANDLE noFileHandle() { return INVALID_HANDLE_VALUE; }
inline HANDLE noHandle() { return nullptr; }

using FileHandle = KernelHandle<noFileHandle>;   // CreateFileW
using ObjectHandle = KernelHandle<noHandle>;     // CreateMutexW, CreateEventW, ...

// A window's input context for the length of one use.
class InputContext {
 public:
  explicit InputContext(HWND window) : window_(window), context_(window ? ImmGetContext(window) : nullptr) {}
  ~InputContext() {
    if (context_) ImmReleaseContext(window_, context_);
  }
  InputContext(const InputContext&) = delete;
  InputContext& operator=(const InputContext&) = delete;
  explicit operator bool() const { return context_ != nullptr; }
  operator HIMC() const { return context_; }

 private:
  HWND window_;
  HIMC context_;
};

}  // namespace qrt
