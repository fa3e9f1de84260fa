#include "stream.h"

#include <atomic>
#include <cstring>

namespace gdi {
namespace {
std::atomic<std::size_t> g_streams{0};
}

Stream::Stream() : bytes_(std::make_shared<std::vector<std::uint8_t>>()) { ++g_streams; }
Stream::~Stream() { --g_streams; }
std::size_t Stream::liveCount() { return g_streams; }

std::shared_ptr<Stream> Stream::create() { return std::shared_ptr<Stream>(new Stream); }

std::shared_ptr<Stream> Stream::onBytes(std::vector<std::uint8_t> bytes) {
  std::shared_ptr<Stream> s(new Stream);
  *s->bytes_ = std::move(bytes);
  return s;
}

std::int64_t Stream::read(void* buffer, std::int64_t count) {
  if (count <= 0 || pos_ >= size()) return 0;
  const std::int64_t n = std::min(count, size() - pos_);
  std::memcpy(buffer, bytes_->data() + pos_, std::size_t(n));
  pos_ += n;
  return n;
}

std::int64_t Stream::write(const void* data, std::int64_t count) {
  if (count <= 0) return 0;
  if (pos_ + count > size()) bytes_->resize(std::size_t(pos_ + count));
  std::memcpy(bytes_->data() + pos_, data, std::size_t(count));
  pos_ += count;
  return count;
}

bool Stream::seek(std::int64_t offset, int origin, std::int64_t* newPosition) {
  std::int64_t base;
  switch (origin) {
    case STREAM_SEEK_SET:
      base = 0;
      break;
    case STREAM_SEEK_CUR:
      base = pos_;
      break;
    case STREAM_SEEK_END:
      base = size();
      break;
    default:
      return false;
  }
  if (offset < -base) return false;
  pos_ = base + offset;
  if (newPosition) *newPosition = pos_;
  return true;
}

std::shared_ptr<Stream> Stream::clone() const {
  std::shared_ptr<Stream> s(new Stream);
  s->bytes_ = bytes_;
  s->pos_ = pos_;
  return s;
}

}  // namespace gdi
