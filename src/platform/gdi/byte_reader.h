#pragma once
// Bounds-checked little- and big-endian reads over a span of bytes; a read outside the span
// gives 0 and `ok` false, so a caller can check once after a group of reads.
#include <cstddef>
#include <cstdint>
#include <span>

namespace gdi {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> b) : b_(b) {}
  ByteReader(const std::uint8_t* p, std::size_t n) : b_(p, n) {}
  std::size_t size() const { return b_.size(); }
  bool has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= b_.size() && count <= b_.size() - offset;
  }
  std::uint8_t u8(std::uint64_t at) const { return has(at, 1) ? b_[at] : fail(); }
  std::uint16_t u16(std::uint64_t at) const {
    return has(at, 2) ? std::uint16_t(b_[at] | (b_[at + 1] << 8)) : std::uint16_t(fail());
  }
  std::int16_t i16(std::uint64_t at) const { return std::int16_t(u16(at)); }
  std::uint32_t u32(std::uint64_t at) const {
    if (!has(at, 4)) return fail();
    return std::uint32_t(b_[at]) | (std::uint32_t(b_[at + 1]) << 8) | (std::uint32_t(b_[at + 2]) << 16) |
           (std::uint32_t(b_[at + 3]) << 24);
  }
  std::int32_t i32(std::uint64_t at) const { return std::int32_t(u32(at)); }
  std::uint16_t be16(std::uint64_t at) const {
    return has(at, 2) ? std::uint16_t((b_[at] << 8) | b_[at + 1]) : std::uint16_t(fail());
  }
  std::uint32_t be32(std::uint64_t at) const {
    if (!has(at, 4)) return fail();
    return (std::uint32_t(b_[at]) << 24) | (std::uint32_t(b_[at + 1]) << 16) | (std::uint32_t(b_[at + 2]) << 8) |
           std::uint32_t(b_[at + 3]);
  }
  const std::uint8_t* at(std::uint64_t offset) const { return b_.data() + offset; }
  bool ok() const { return ok_; }

 private:
  std::uint8_t fail() const {
    ok_ = false;
    return 0;
  }
  std::span<const std::uint8_t> b_;
  mutable bool ok_ = true;
};

}  // namespace gdi
