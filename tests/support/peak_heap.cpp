#include "peak_heap.h"

#include <atomic>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LENTAVO_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define LENTAVO_ASAN 1
#endif

#ifdef LENTAVO_ASAN
// The address sanitizer's allocator interface (GCC ships no header for it).
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                              void (*onFree)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace testsupport {
namespace {

std::atomic<bool> g_armed{false};
std::atomic<std::int64_t> g_now{0}, g_peak{0};

[[maybe_unused]] void onMalloc(const volatile void* p, std::size_t size) {
  if (!g_armed || !p) return;
  const std::int64_t now = g_now += std::int64_t(size);
  for (std::int64_t peak = g_peak; now > peak && !g_peak.compare_exchange_weak(peak, now);) {
  }
}

#ifdef LENTAVO_ASAN
void onFree(const volatile void* p) {
  if (g_armed && p) g_now -= std::int64_t(__sanitizer_get_allocated_size(p));
}
#endif

}  // namespace

bool PeakHeap::available() {
#ifdef LENTAVO_ASAN
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
  return installed;
#else
  return false;
#endif
}

PeakHeap::PeakHeap() {
  g_now = g_peak = 0;
  g_armed = available();
}

PeakHeap::~PeakHeap() { g_armed = false; }

std::int64_t PeakHeap::peak() const { return g_peak; }

}  // namespace testsupport
