#include <gtest/gtest.h>

#include "cTextBuffer.h"
#include "error_number.h"

using testsupport::errorNumber;

TEST(TextBuffer, GrowsInWholeChunks) {
  cTextBuffer b;
  EXPECT_EQ(b.length(), 0);
  EXPECT_EQ(b.Capacity(), 0);
  EXPECT_EQ(b.ChunkSize(), 8192);
  EXPECT_EQ(b.toString(), QString());
  b.Append(u"x");
  EXPECT_EQ(b.Capacity(), 8192);
  EXPECT_EQ(b.length(), 1);
  cTextBuffer big;
  big.Append(QString(10000, u'a'));
  EXPECT_EQ(big.Capacity(), 16384);
  big.setChunkSize(100);
  EXPECT_EQ(big.ChunkSize(), 100);
  big.Append(QString(6385, u'b'));  // one character beyond the capacity: one step of 100
  EXPECT_EQ(big.Capacity(), 16484);
  big.setTheString(u"");
  EXPECT_EQ(big.Capacity(), 0);
  EXPECT_EQ(big.length(), 0);
}

TEST(TextBuffer, InsertRemoveAndTheirBounds) {
  cTextBuffer b;
  b.Append(u"bc");
  b.Insert(0, u"a");
  b.Insert(b.length(), u"d");
  b.AppendNL(u"e");
  EXPECT_EQ(b.toString(), QStringLiteral("abcde\r\n"));
  EXPECT_EQ(errorNumber([&] { b.Insert(b.length() + 1, u"z"); }), 9);
  EXPECT_EQ(errorNumber([&] { b.Insert(-1, u"z"); }), 9);
  EXPECT_EQ(errorNumber([&] { b.Remove(5, 3); }), 9);
  EXPECT_EQ(errorNumber([&] { b.Remove(0, -1); }), 9);
  EXPECT_EQ(b.toString(), QStringLiteral("abcde\r\n"));
  b.Remove(1, 2);
  EXPECT_EQ(b.toString(), QStringLiteral("ade\r\n"));
  const int cap = b.Capacity();
  b.Remove(0, b.length());
  EXPECT_EQ(b.toString(), QString());
  EXPECT_EQ(b.Capacity(), cap);
}

TEST(TextBuffer, FindSearchesTheContentOnly) {
  cTextBuffer b;
  b.setTheString(u"abcXYZ");
  b.setTheString(u"Abc");  // "XYZ" stays behind in the spare room
  struct Case { const char16_t* what; int start, compare, expected; };
  const Case cases[] = {
      {u"Abc", 0, 0, 1}, {u"c", 0, 0, 3}, {u"abc", 0, 0, 0}, {u"abc", 0, 1, 1},
      {u"c", 4, 0, 0},   {u"bc", 2, 0, 2}, {u"XYZ", 0, 0, 0}, {u"cX", 0, 0, 0}, {u"   ", 0, 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(b.Find(c.what, c.start, c.compare), c.expected) << QString::fromUtf16(c.what).toStdString();
}

TEST(TextBuffer, HeapMinimizeAndChunkChecks) {
  cTextBuffer b;
  b.Append(QString(8192 * 3, u'a'));
  b.Remove(1, 8192 * 3 - 1);
  b.HeapMinimize();
  EXPECT_EQ(b.Capacity(), 8192);
  EXPECT_EQ(b.toString(), QStringLiteral("a"));
  // A step of nothing would never grow the buffer; the old step stays.
  EXPECT_EQ(errorNumber([&] { b.setChunkSize(0); }), 5);
  EXPECT_EQ(errorNumber([&] { b.setChunkSize(-3); }), 5);
  EXPECT_EQ(errorNumber([&] { b.setChunkSize(0x40000000); }), 6);
  EXPECT_EQ(b.ChunkSize(), 8192);
}
