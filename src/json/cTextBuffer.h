#pragma once
// A growable text buffer: pieces are copied into spare room that grows in whole chunks, so
// many small appends cost one allocation per chunk. Counts are characters (UTF-16 units).
// Bad indexes raise run-time error 9, arithmetic beyond 32 bits error 6, and a chunk size
// of 0 or less error 5 (it would never grow).
#include <QString>
#include <QStringView>
#include <cstdint>

class cTextBuffer {
 public:
  int length() const { return used_ / 2; }
  int Capacity() const { return capacity_ / 2; }
  int ChunkSize() const { return chunk_ / 2; }
  void setChunkSize(int iChunkSize);

  QString toString() const { return used_ ? buffer_.left(used_ / 2) : QString(); }
  void setTheString(QStringView sThis);
  void Clear();

  void Append(QStringView sThis);
  void AppendByVal(QStringView sThis) { Append(sThis); }
  void AppendNL(QStringView sThis);
  void Insert(int iIndex, QStringView sThis);
  void InsertByVal(int iIndex, QStringView sThis) { Insert(iIndex, sThis); }
  void Remove(int iIndex, int lLen);
  // 1-based position of sToFind within the content, or 0. compare 1 ignores case.
  int Find(QStringView sToFind, int lStartIndex = 0, int compare = 0) const;
  void HeapMinimize();

 private:
  void growTo(std::int64_t needed);

  QString buffer_;  // capacity_ / 2 characters; the first used_ / 2 are the content
  std::int32_t used_ = 0;      // bytes
  std::int32_t capacity_ = 0;  // bytes
  std::int32_t chunk_ = 16384; // bytes
};
