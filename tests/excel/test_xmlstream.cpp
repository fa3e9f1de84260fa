// The XML reader of the workbook parts, fed each document whole and a byte at a time: what
// it reads must not depend on where its input's chunks end; and the cells and texts it fills.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "workbook.h"
#include "workbook_parts.h"
#include "xmlstream.h"

namespace {

using excel::detail::XmlStream;

// Elements a, b and t, the attribute k, and the text of every t: "a[k=1](b()t'x')".
std::string walk(XmlStream& x, int depth) {
  std::string out;
  while (x.child(depth)) {
    for (const char* name : {"a", "b", "t"})
      if (x.is(name)) out += name;
    if (const char* k = x.attr("k")) out += std::string("[k=") + k + "]";
    if (x.is("t")) {
      std::string text;
      x.text(text, 24);
      out += "'" + text + "'";
    } else {
      out += "(" + walk(x, depth + 1) + ")";
    }
  }
  return out;
}

std::string read(const std::string& doc, std::size_t chunk) {
  std::size_t at = 0;
  XmlStream x([&](char* buf, std::size_t size) {
    const std::size_t n = std::min({size, chunk, doc.size() - at});
    std::memcpy(buf, doc.data() + at, n);
    at += n;
    return n;
  });
  try {
    std::string out = walk(x, 0);
    x.finish();
    return out;
  } catch (const XmlStream::Malformed&) {
    return "malformed";
  } catch (const XmlStream::TooLong&) {
    return "too long";
  }
}

TEST(XmlStream, ReadsTheSameInAnyChunks) {
  using namespace std::string_literals;
  const std::string deep = std::string("<a>") + [] {
    std::string s;
    for (int i = 0; i < 70; ++i) s += "<b>";
    for (int i = 0; i < 70; ++i) s += "</b>";
    return s;
  }() + "</a>";
  const struct {
    std::string doc;
    std::string read;
  } cases[] = {
      {"<a><b k=\"1\"/><t>x &amp; y</t></a>", "a(b[k=1]()t'x & y')"},
      {"<?xml version=\"1.0\"?>\n<!-- c --><x:a xmlns:x=\"u\"><x:t>v</x:t></x:a>\n<!-- after -->", "a(t'v')"},
      // Attribute values: quoted '>' and either quote, references, whitespace as spaces.
      {"<a k='1>\"2'><b p:k=\"x\ty\r\nz&#10;&lt;\" k=\"no\"/></a>", "a[k=1>\"2](b[k=x y z\n<]())"},
      // CDATA: taken as it stands but for line ends, "]]" inside it, a section cut in two.
      {"<a><t><![CDATA[<&amp;]]]]><![CDATA[>\r\n]]></t></a>", "a(t'<&amp;]]>\n')"},
      // Whitespace alone is text only where it is all an element holds.
      {"<a><t> </t><t> <!--c--> </t><t> <b/> </t><t>&#32;</t><t>\r\n</t></a>", "a(t' 't' 't''t' 't'\n')"},
      {"<a><t/><t><b>no</b>y<?p ?>z</t></a>", "a(t''t'yz')"},
      // References: numeric ones of any character, unknown or bad ones as text.
      {"<a><t>&#x1F600;&#65;&nbsp;&#xD800;&#;</t></a>", "a(t'😀A&nbsp;\xEF\xBF\xBD&#;')"},
      {"<a><t>0123456789abcdefghijklmnop</t></a>", "too long"},
      // Encodings: by byte order mark, by the first characters, by declaration.
      {"\xFF\xFE<\0a\0>\0<\0t\0>\0=\xD8\0\xDE\0\xD8!\0<\0/\0t\0>\0<\0/\0a\0>\0"s, "a(t'😀!')"},
      {"\0<\0t\0>\0\xC4\0<\0/\0t\0>"s, "t'Ä'"},
      {"\0\0\0<\0\0\0t\0\0\0>\0\x01\xF6\0\0\0\0<\0\0\0/\0\0\0t\0\0\0>"s, "t'😀'"},
      {"\xEF\xBB\xBF<t>\xC3\xA9</t>", "t'é'"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t>\xE9</t>", "t'é'"},
      {"", ""},
      {"<a><b></a>", "malformed"},
      {"<a>", "malformed"},
      {"</a>", "malformed"},
      {"<a k=1/>", "malformed"},
      {"<a k=\"1\"b=\"2\"/>", "malformed"},
      {"<a k&=\"1\"/>", "malformed"},
      {"<1a/>", "malformed"},
      {"<a><!-- never closed</a>", "malformed"},
      {"<a><![CDATA[never closed</a>", "malformed"},
      {"<!DOCTYPE a><a/>", "malformed"},
      {"<a>\0</a>"s, "malformed"},
      {"<a k=\"" + std::string(XmlStream::kMaxTag, 'x') + "\"/>", "malformed"},
      {deep, "malformed"},
      {"<" + std::string(XmlStream::kMaxName + 1, 'a') + "/>", "malformed"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(read(c.doc, c.doc.size() + 1), c.read) << c.doc.substr(0, 80);
    if (c.doc.size() < 100000) EXPECT_EQ(read(c.doc, 1), c.read) << "byte by byte: " << c.doc;
  }
}

// A cell's text is shared by its copies and reads like the string it was made from.
TEST(XmlStream, CellTextsAreSharedAndReadAsStrings) {
  const std::string samples[] = {"", "a", "Ä😀", std::string(1000, 'x')};
  for (const std::string& s : samples) {
    const excel::Text text(s);
    excel::Text copy = text;
    EXPECT_EQ(copy.data(), text.data());
    EXPECT_TRUE(copy == s);
    EXPECT_EQ(std::string(copy), s);
    EXPECT_EQ(std::strlen(copy.c_str()), s.size());
    EXPECT_EQ(copy.empty(), s.empty());
    const excel::Text moved = std::move(copy);
    EXPECT_TRUE(moved == s && copy.empty());
  }
}

}  // namespace

namespace {

// Cells put in order by position, the later of two at one position kept, texts moved along;
// whether the positions fit the sort keys or not.
TEST(XmlStream, CellsAreOrderedAndTheLaterOfTwoAtAPlaceStays) {
  using Cells = std::vector<std::array<std::uint32_t, 3>>;  // row, column, value
  constexpr std::uint32_t kFar = 1u << 22;
  const struct {
    Cells in, out;
  } cases[] = {
      {{{1, 1, 1}, {1, 2, 2}}, {{1, 1, 1}, {1, 2, 2}}},
      {{{3, 1, 1}, {1, 2, 2}, {1, 1, 3}, {2, 5, 4}}, {{1, 1, 3}, {1, 2, 2}, {2, 5, 4}, {3, 1, 1}}},
      {{{2, 1, 1}, {1, 1, 2}, {2, 1, 3}, {1, 1, 4}, {2, 1, 5}}, {{1, 1, 4}, {2, 1, 5}}},
      {{{kFar, 1, 1}, {1, 1, 2}, {kFar, 1, 3}, {1, 1, 4}}, {{1, 1, 4}, {kFar, 1, 3}}},
      {[] {
         Cells many;  // enough for a sort that is not stable to show it
         for (std::uint32_t v = 1; v <= 60; ++v) many.push_back({v % 3 + 1, 1, v});
         return many;
       }(),
       {{1, 1, 60}, {2, 1, 58}, {3, 1, 59}}},
  };
  for (const auto& c : cases) {
    std::vector<excel::Cell> cells;
    for (const auto& [row, col, value] : c.in) {
      excel::Cell cell;
      cell.row = row;
      cell.col = col;
      cell.text = std::to_string(value);
      cells.push_back(cell);
    }
    excel::detail::orderCells(cells);
    Cells out;
    for (const excel::Cell& cell : cells) out.push_back({cell.row, cell.col, std::uint32_t(std::stoul(cell.text))});
    EXPECT_EQ(out, c.out);
  }
}

}  // namespace
