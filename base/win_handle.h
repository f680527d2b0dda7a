// Owners of Win32 handles that are not COM objects (those use ComPtr):
// each closes its handle once, when it goes out of scope or is reset.
#pragma once
#include <windows.h>
#include <imm.h>

#include <utility>

namespace qrt {

// A kernel handle; `Invalid` is the value that means "none" for its kind
// (INVALID_HANDLE_VALUE for files, null for mutexes and most others).
template <HANDLE (*Invalid)()>
class KernelHandle {
 public:
  KernelHandle() = default;
  explicit KernelHandle(HANDLE h) : h_(h) {}
  ~KernelHandle() { reset(); }
  KernelHandle(const KernelHandle&) = delete;
  KernelHandle& operator=(const KernelHandle&) = delete;
  KernelHandle(KernelHandle&& other) noexcept : h_(std::exchange(other.h_, Invalid())) {}
  KernelHandle& operator=(KernelHandle&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = std::exchange(other.h_, Invalid());
    }
    return *this;
  }

  explicit operator bool() const { return h_ != Invalid(); }
  HANDLE get() const { return h_; }
  HANDLE release() { return std::exchange(h_, Invalid()); }
  void reset(HANDLE h = Invalid()) {
    if (h_ != Invalid()) CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = Invalid();
};

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
