#include "cTextBuffer.h"

#include <cstring>
#include <limits>

#include "vb.h"

namespace {
constexpr long kErrInvalidCall = 5;
constexpr long kErrOverflow = 6;
constexpr long kErrSubscript = 9;

[[noreturn]] void raise(long number, const char* description) {
  throw vb::VbError(number, QStringLiteral("cTextBuffer"), QString::fromLatin1(description));
}

std::int32_t checked(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min())
    raise(kErrOverflow, "Overflow");
  return static_cast<std::int32_t>(v);
}
}  // namespace

void cTextBuffer::setChunkSize(int iChunkSize) {
  if (iChunkSize <= 0) raise(kErrInvalidCall, "Invalid procedure call or argument");
  chunk_ = checked(std::int64_t(iChunkSize) * 2);
}

void cTextBuffer::growTo(std::int64_t needed) {
  if (needed <= capacity_) return;
  const std::int64_t chunks = (needed - capacity_ + chunk_ - 1) / chunk_;
  const std::int32_t grown = checked(capacity_ + chunks * chunk_);
  buffer_.resize(grown / 2, QLatin1Char(' '));
  capacity_ = grown;
}

void cTextBuffer::setTheString(QStringView sThis) {
  if (sThis.isEmpty()) {
    Clear();
    return;
  }
  const std::int32_t bytes = checked(std::int64_t(sThis.size()) * 2);
  growTo(bytes);
  std::memcpy(buffer_.data(), sThis.data(), size_t(bytes));
  used_ = bytes;
}

void cTextBuffer::Clear() {
  buffer_.clear();
  used_ = 0;
  capacity_ = 0;
}

void cTextBuffer::Append(QStringView sThis) {
  if (sThis.isEmpty()) return;
  const std::int64_t n = std::int64_t(sThis.size()) * 2;
  const std::int32_t needed = checked(used_ + n);
  growTo(needed);
  std::memcpy(reinterpret_cast<char*>(buffer_.data()) + used_, sThis.data(), size_t(n));
  used_ = needed;
}

void cTextBuffer::AppendNL(QStringView sThis) {
  Append(sThis);
  Append(u"\r\n");
}

void cTextBuffer::Insert(int iIndex, QStringView sThis) {
  const std::int64_t at = std::int64_t(iIndex) * 2;
  if (at < 0 || at > used_) raise(kErrSubscript, "Subscript out of range");
  const std::int64_t n = std::int64_t(sThis.size()) * 2;
  const std::int32_t needed = checked(used_ + n);
  if (n == 0) return;
  growTo(needed);
  char* base = reinterpret_cast<char*>(buffer_.data());
  std::memmove(base + at + n, base + at, size_t(used_ - at));
  std::memcpy(base + at, sThis.data(), size_t(n));
  used_ = needed;
}

void cTextBuffer::Remove(int iIndex, int lLen) {
  const std::int64_t at = std::int64_t(iIndex) * 2, end = (std::int64_t(iIndex) + lLen) * 2;
  if (iIndex < 0 || lLen < 0 || at > used_ || end > used_) raise(kErrSubscript, "Subscript out of range");
  char* base = reinterpret_cast<char*>(buffer_.data());
  std::memmove(base + at, base + end, size_t(used_ - end));
  used_ -= std::int32_t(end - at);
}

int cTextBuffer::Find(QStringView sToFind, int lStartIndex, int compare) const {
  // Only the content is searched: the spare room holds stale characters that must never match.
  const QStringView content = QStringView(buffer_).left(used_ / 2);
  const qsizetype from = lStartIndex >= 1 ? lStartIndex - 1 : 0;
  if (from > content.size()) return 0;
  const qsizetype at = content.indexOf(sToFind, from, compare == 1 ? Qt::CaseInsensitive : Qt::CaseSensitive);
  return at < 0 ? 0 : int(at + 1);
}

void cTextBuffer::HeapMinimize() {
  const std::int32_t before = capacity_;
  while (capacity_ - used_ > chunk_) capacity_ -= chunk_;
  if (capacity_ != before) buffer_.truncate(capacity_ / 2);
}
