#pragma once
// A pull reader of the XML parts of a workbook that reads its input in chunks, so a part of
// any size is read in a fixed amount of memory. It takes what spreadsheet writers write: UTF-8,
// UTF-16 or UTF-32 (by byte order mark or first characters) and Latin-1 by declaration; the
// five predefined entities and character references; CDATA; comments and processing
// instructions, which it passes over. It refuses a document type declaration (no writer makes
// one; declared entities can grow to gigabytes), nesting deeper than kMaxDepth, a tag longer
// than kMaxTag, an element name longer than kMaxName, a NUL character and any tag that is not
// well formed.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace excel::detail {

class XmlStream {
 public:
  // Fills `buf` with at most `size` bytes of the document; 0 at its end.
  using Source = std::function<std::size_t(char* buf, std::size_t size)>;
  struct Malformed {};
  struct TooLong {};  // a text beyond the limit given to text()
  static constexpr int kMaxDepth = 64;
  static constexpr std::size_t kMaxTag = 1u << 20;
  static constexpr std::size_t kMaxName = 4096;  // of an element: the open ones are kept

  explicit XmlStream(Source source);

  // Moves to the next child element of the element open at `depth` (0: the document) and
  // returns true, or moves past that element's end tag and returns false. Text, comments and
  // whatever lies deeper are passed over.
  bool child(int depth);
  // Of the element whose start tag was just read: its depth (the document element is 1),
  // whether its local name (without a namespace prefix) is `local`, and the value of the
  // first attribute of that local name, nullptr when it has none.
  int depth() const { return depth_; }
  bool is(std::string_view local) const { return local_ == local; }
  const char* attr(std::string_view local) const;
  // Appends the text directly inside the element whose start tag was just read (its
  // character data and CDATA sections; whitespace alone only where it is all the element
  // holds) and moves past its end tag. Throws TooLong once `out` would pass `limit` bytes.
  void text(std::string& out, std::size_t limit);
  // Reads the rest of the document, checking it.
  void finish();

 private:
  enum class Token { Start, End, Eof };
  enum class Encoding { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be, Latin1 };
  enum class Markup { Other, Cdata, Tag };
  Token step();
  // Ensures `n` bytes from the current position are buffered; false when the document ends
  // before.
  bool have(std::size_t n);
  bool fill();
  // Moves what can be decoded of raw_ onto buf_.
  void decode();
  void detectEncoding();
  std::size_t find(std::string_view what, std::size_t from);
  void skipPast(std::string_view terminator);
  // At a '<' that is not an end tag: passes over a comment or a processing instruction, reads
  // a CDATA section (into `out` when it is given), or finds a start tag and leaves it unread.
  Markup markup(std::string* out, std::size_t limit);
  // CDATA content up to "]]>", appended to `out` when it is given.
  void cdata(std::string* out, std::size_t limit);
  void startTag();
  void endTag();
  void closeElement();
  // Character data [p, e) with references resolved; for attributes, whitespace as spaces.
  static void unescape(const char* p, const char* e, std::string& out, bool attribute);

  Source source_;
  bool ended_ = false, started_ = false;
  Encoding encoding_ = Encoding::Utf8;
  std::string raw_;   // input not yet decoded (a character cut by a chunk's end)
  std::string buf_;   // decoded UTF-8; [pos_, size) not yet read
  std::size_t pos_ = 0;
  int depth_ = 0;
  bool selfClosed_ = false;
  std::string names_;  // the qualified names of the open elements, one after the other
  std::vector<std::size_t> nameEnds_;
  std::string_view local_;
  struct Attribute {
    std::string_view local;
    std::size_t value;  // offset into values_
  };
  std::vector<Attribute> attrs_;
  std::string values_;
};

}  // namespace excel::detail
