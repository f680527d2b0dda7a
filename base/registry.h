// The registry of live records that scripts hold by number.
//
// A script's handle is a number, not an address: every record gets the next
// number of one sequence shared by all families, so a handle is never issued
// twice in a run. A released handle, a handle of another family, 0 and -1
// are never found, and nothing is read through a number before the registry
// has found it. Each family owns one registry per kind of record; the
// registry owns its records and keeps them in the order they were made.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <ranges>
#include <type_traits>
#include <utility>
#include <vector>

namespace qrt {

// Kind codes of the records scripts hold.
namespace kind {
constexpr int32_t kSurface = 1;
constexpr int32_t kLight = 2;       // 3D nodes (class byte 4)
constexpr int32_t kFrame = 3;
constexpr int32_t kMusic = 3;
constexpr int32_t kFile = 5;
constexpr int32_t kNetworkUser = 7;
constexpr int32_t kNetworkServer = 8;
constexpr int32_t kDownload = 9;
constexpr int32_t kTexture = 10;
constexpr int32_t kWaveSound = 11;
}  // namespace kind

// The first and last numbers issued. Handles stay above 65535, so that a
// status code or a small integer is never taken for one, and below 2^31, so
// that a script sees them as positive numbers.
constexpr uint32_t kFirstHandle = 0x10000;
constexpr uint32_t kLastHandle = 0x7FFFFFFE;

// The next number of the process-wide sequence, or 0 once it is used up.
uint32_t issueHandle();

// What every registered record starts with.
struct HandleRecord {
  uint32_t handle = 0;   // the script's number; 0 while not registered
  int32_t kind = 0;
};

template <typename Record, int32_t Kind>
class HandleRegistry {
  static_assert(std::is_base_of_v<HandleRecord, Record>, "a registered record is a HandleRecord");

 public:
  static constexpr int32_t kKind = Kind;

  HandleRegistry() = default;
  HandleRegistry(const HandleRegistry&) = delete;
  HandleRegistry& operator=(const HandleRegistry&) = delete;
  ~HandleRegistry() { releaseAll(); }

  // Registers a new record; nullptr (and nothing registered) when the record
  // or its entry cannot be had.
  template <typename... Args>
  Record* make(Args&&... args) {
    std::unique_ptr<Record> r(new (std::nothrow) Record(std::forward<Args>(args)...));
    return r ? add(std::move(r)) : nullptr;
  }

  Record* add(std::unique_ptr<Record> r) {
    if (!r) return nullptr;
    const uint32_t h = issueHandle();
    if (h == 0) return nullptr;
    try {
      records_.push_back(std::move(r));
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    Record* added = records_.back().get();
    added->handle = h;
    added->kind = Kind;
    return added;
  }

  // The live record a script's number names, or nullptr.
  Record* find(uint32_t handle) const {
    if (handle < kFirstHandle || handle > kLastHandle) return nullptr;
    // Numbers only grow, so the records are sorted by them.
    auto at = std::lower_bound(records_.begin(), records_.end(), handle,
                               [](const std::unique_ptr<Record>& r, uint32_t h) { return r->handle < h; });
    if (at == records_.end() || (*at)->handle != handle || (*at)->kind != Kind) return nullptr;
    return at->get();
  }

  bool contains(const Record* r) const { return r && find(r->handle) == r; }

  // Takes a record out of the registry and hands it to the caller, which
  // then decides when it goes. Its number stays dead.
  std::unique_ptr<Record> take(Record* r) {
    auto at = std::find_if(records_.begin(), records_.end(),
                           [r](const std::unique_ptr<Record>& p) { return p.get() == r; });
    if (at == records_.end()) return nullptr;
    std::unique_ptr<Record> out = std::move(*at);
    records_.erase(at);
    out->handle = 0;
    out->kind = 0;
    return out;
  }

  void release(Record* r) { take(r); }

  // Newest first, as a family's list has always been released.
  void releaseAll() {
    while (!records_.empty()) release(records_.back().get());
  }

  Record* newest() const { return records_.empty() ? nullptr : records_.back().get(); }
  size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }

  // The records, newest first. Releasing while walking is not allowed.
  auto newestFirst() const {
    return records_ | std::views::reverse |
           std::views::transform([](const std::unique_ptr<Record>& p) { return p.get(); });
  }

 private:
  std::vector<std::unique_ptr<Record>> records_;
};

}  // namespace qrt
