#include "handles.h"

#include <limits>
#include <mutex>
#include <unordered_map>

namespace gdi {
namespace {
struct Registry {
  std::mutex mutex;
  std::unordered_map<Handle, std::shared_ptr<Object>> objects;
  Handle next = 1;
};

Registry& registry() {
  static Registry r;
  return r;
}
}  // namespace

Handle addObject(std::shared_ptr<Object> obj) {
  if (!obj) return 0;
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  // Handles are never 0 and never reused while alive; after a wrap the counter skips live ones.
  for (;;) {
    Handle h = r.next;
    r.next = (r.next == std::numeric_limits<Handle>::max()) ? 1 : r.next + 1;
    if (!r.objects.contains(h)) {
      r.objects.emplace(h, std::move(obj));
      return h;
    }
  }
}

std::shared_ptr<Object> findObject(Handle h) {
  if (h == 0) return nullptr;
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.objects.find(h);
  return it == r.objects.end() ? nullptr : it->second;
}

bool removeObject(Handle h) {
  std::shared_ptr<Object> dropped;  // destroyed outside the lock
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  auto it = r.objects.find(h);
  if (it == r.objects.end()) return false;
  dropped = std::move(it->second);
  r.objects.erase(it);
  return true;
}

std::size_t objectCount() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.objects.size();
}

}  // namespace gdi
