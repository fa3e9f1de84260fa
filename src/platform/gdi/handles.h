#pragma once
// Handles as the rest of the program sees them: small opaque integers, 0 for none, each
// naming one object held by the registry. Deleting a handle drops the registry's
// reference; whoever still holds the object (a device context its bitmap) keeps it alive.
#include <cstdint>
#include <memory>

namespace gdi {

using Handle = std::int32_t;

class Object {
 public:
  virtual ~Object() = default;
};

// Registers an object and gives it a new non-zero handle (0 for a null object).
Handle addObject(std::shared_ptr<Object> obj);
// The object behind a handle, or null when the handle is unknown.
std::shared_ptr<Object> findObject(Handle h);
// Forgets a handle; false when it was unknown.
bool removeObject(Handle h);
// Number of live handles (tests check that nothing leaks).
std::size_t objectCount();

template <class T>
std::shared_ptr<T> find(Handle h) {
  return std::dynamic_pointer_cast<T>(findObject(h));
}

}  // namespace gdi
