#pragma once
// A memory stream, as CreateStreamOnHGlobal makes one: a growable block of bytes with a
// 64-bit position. Clones share the bytes and keep their own position. Shared ownership
// stands for the COM reference count.
#include <cstdint>
#include <memory>
#include <vector>

namespace gdi {

constexpr int STREAM_SEEK_SET = 0;
constexpr int STREAM_SEEK_CUR = 1;
constexpr int STREAM_SEEK_END = 2;

class Stream {
 public:
  static std::shared_ptr<Stream> create();
  static std::shared_ptr<Stream> onBytes(std::vector<std::uint8_t> bytes);
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // Streams alive (tests check that loads release what they made).
  static std::size_t liveCount();

  // Bytes read or written; a write past the end grows the stream.
  std::int64_t read(void* buffer, std::int64_t count);
  std::int64_t write(const void* data, std::int64_t count);
  // False (position unchanged) for an unknown origin or a position before the start.
  bool seek(std::int64_t offset, int origin, std::int64_t* newPosition = nullptr);
  std::int64_t position() const { return pos_; }
  std::int64_t size() const { return std::int64_t(bytes_->size()); }
  std::shared_ptr<Stream> clone() const;
  // The whole content, from the start.
  const std::vector<std::uint8_t>& bytes() const { return *bytes_; }

 private:
  Stream();
  std::shared_ptr<std::vector<std::uint8_t>> bytes_;
  std::int64_t pos_ = 0;
};

}  // namespace gdi
