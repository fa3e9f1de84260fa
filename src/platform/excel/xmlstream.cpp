#include "xmlstream.h"

#include <algorithm>
#include <cstring>

#include "workbook_parts.h"

namespace excel::detail {

namespace {

constexpr std::size_t kChunk = 64u << 10;
// Longest character reference taken ("&#x0010FFFF;" and a few zeros more); a longer one is
// read as text, wherever the chunks happen to end.
constexpr std::size_t kMaxReference = 32;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Letters, digits and "_:-." (any byte of a non-ASCII character counts as a letter), not
// starting with a digit, '-' or '.'.
bool isName(std::string_view n) {
  if (n.empty() || (n[0] >= '0' && n[0] <= '9') || n[0] == '-' || n[0] == '.') return false;
  for (const char c : n) {
    const auto u = static_cast<unsigned char>(c);
    if (!(u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
          u == ':' || u == '-' || u == '.'))
      return false;
  }
  return true;
}

std::string_view localName(std::string_view qualified) {
  const std::size_t colon = qualified.rfind(':');
  return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The reference at `p` ('&'), appended to `out`; false when it is none, so the '&' is text.
bool reference(const char* p, const char* e, std::string& out, const char** next) {
  e = std::min(e, p + kMaxReference);
  const char* semi = static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(e - p)));
  if (!semi) return false;
  const std::string_view name(p + 1, static_cast<std::size_t>(semi - p - 1));
  if (name.size() >= 2 && name[0] == '#') {
    const bool hex = name[1] == 'x';
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    char32_t v = 0;
    for (const char c : digits) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') d = (c | 0x20) - 'a' + 10;
      else return false;
      v = std::min<char32_t>(v * (hex ? 16 : 10) + static_cast<char32_t>(d), 0x110000);
    }
    appendUtf8(out, v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF) ? char32_t{0xFFFD} : v);
    *next = semi + 1;
    return true;
  }
  static constexpr struct {
    std::string_view name;
    char c;
  } kNamed[] = {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  for (const auto& n : kNamed) {
    if (name == n.name) {
      out += n.c;
      *next = semi + 1;
      return true;
    }
  }
  return false;  // an undeclared entity stays as it stands
}

}  // namespace

XmlStream::XmlStream(Source source) : source_(std::move(source)) {}

void XmlStream::unescape(const char* p, const char* e, std::string& out, bool attribute) {
  const char* run = p;
  while (p < e) {
    const char c = *p;
    if (c != '&' && c != '\r' && !(attribute && (c == '\n' || c == '\t'))) {
      ++p;
      continue;
    }
    out.append(run, p);
    if (c == '&') {
      if (!reference(p, e, out, &p)) {
        out += '&';
        ++p;
      }
    } else if (c == '\r') {  // line ends as "\n"; in attributes every whitespace as a space
      out += attribute ? ' ' : '\n';
      p += p + 1 < e && p[1] == '\n' ? 2 : 1;
    } else {
      out += ' ';
      ++p;
    }
    run = p;
  }
  out.append(run, e);
}

void XmlStream::detectEncoding() {
  auto b = [&](std::size_t i) { return static_cast<unsigned char>(raw_[i]); };
  if (raw_.size() < 4) return;
  std::size_t mark = 0;
  const unsigned d0 = b(0), d1 = b(1), d2 = b(2), d3 = b(3);
  if (d0 == 0 && d1 == 0 && d2 == 0xFE && d3 == 0xFF) encoding_ = Encoding::Utf32Be, mark = 4;
  else if (d0 == 0xFF && d1 == 0xFE && d2 == 0 && d3 == 0) encoding_ = Encoding::Utf32Le, mark = 4;
  else if (d0 == 0xFE && d1 == 0xFF) encoding_ = Encoding::Utf16Be, mark = 2;
  else if (d0 == 0xFF && d1 == 0xFE) encoding_ = Encoding::Utf16Le, mark = 2;
  else if (d0 == 0xEF && d1 == 0xBB && d2 == 0xBF) mark = 3;
  else if (d0 == 0 && d1 == 0 && d2 == 0 && d3 == '<') encoding_ = Encoding::Utf32Be;
  else if (d0 == '<' && d1 == 0 && d2 == 0 && d3 == 0) encoding_ = Encoding::Utf32Le;
  else if (d0 == 0 && d1 == '<') encoding_ = Encoding::Utf16Be;
  else if (d0 == '<' && d1 == 0) encoding_ = Encoding::Utf16Le;
  else if (raw_.compare(0, 5, "<?xml") == 0) {
    // Latin-1 is the one single-byte encoding a declaration names that is taken.
    const std::string_view decl = std::string_view(raw_).substr(0, raw_.find("?>"));
    const std::size_t at = decl.find("encoding");
    if (at != std::string_view::npos) {
      std::size_t i = at + 8;
      while (i < decl.size() && (isSpace(decl[i]) || decl[i] == '=')) ++i;
      if (i < decl.size() && (decl[i] == '"' || decl[i] == '\'')) {
        const std::size_t close = decl.find(decl[i], i + 1);
        std::string name(decl.substr(i + 1, close == std::string_view::npos ? 0 : close - i - 1));
        for (char& c : name) c = static_cast<char>(c | 0x20);
        if (name == "latin1" || name == "iso-8859-1") encoding_ = Encoding::Latin1;
      }
    }
  }
  raw_.erase(0, mark);
}

void XmlStream::decode() {
  const auto* p = reinterpret_cast<const unsigned char*>(raw_.data());
  const std::size_t n = raw_.size();
  std::size_t i = 0;
  switch (encoding_) {
    case Encoding::Utf8:
      buf_.append(raw_);
      i = n;
      break;
    case Encoding::Latin1:
      for (; i < n; ++i) appendUtf8(buf_, p[i]);
      break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
      const bool le = encoding_ == Encoding::Utf16Le;
      auto unit = [&](std::size_t k) -> char32_t { return le ? p[k] | p[k + 1] << 8 : p[k] << 8 | p[k + 1]; };
      while (i + 2 <= n) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
          if (i + 4 > n && !ended_) break;  // its other half comes with the next chunk
          const char32_t low = i + 4 <= n ? unit(i + 2) : 0;
          if (low >= 0xDC00 && low <= 0xDFFF) {
            appendUtf8(buf_, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
            i += 4;
            continue;
          }
        } else if (u < 0xDC00 || u > 0xDFFF) {
          appendUtf8(buf_, u);
        }
        i += 2;  // half a surrogate pair alone is left out
      }
      break;
    }
    case Encoding::Utf32Le:
    case Encoding::Utf32Be:
      for (; i + 4 <= n; i += 4) {
        const char32_t u = encoding_ == Encoding::Utf32Le
                               ? p[i] | p[i + 1] << 8 | p[i + 2] << 16 | char32_t{p[i + 3]} << 24
                               : char32_t{p[i]} << 24 | p[i + 1] << 16 | p[i + 2] << 8 | p[i + 3];
        appendUtf8(buf_, u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : u);
      }
      break;
  }
  raw_.erase(0, i);
}

bool XmlStream::fill() {
  if (pos_ > 0) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  const std::size_t before = buf_.size();
  while (!ended_ && buf_.size() == before) {
    const std::size_t old = raw_.size();
    raw_.resize(old + kChunk);
    const std::size_t n = source_(raw_.data() + old, kChunk);
    raw_.resize(old + n);
    if (n == 0) ended_ = true;
    if (!started_) {
      // The encoding shows in the first four bytes, or in the declaration they begin.
      const bool declaration = raw_.compare(0, 4, "<?xm") == 0 && raw_.find("?>") == std::string::npos;
      if ((raw_.size() < 4 || (declaration && raw_.size() < kMaxTag)) && !ended_) continue;
      detectEncoding();
      started_ = true;
    }
    decode();
  }
  if (ended_) raw_.clear();  // a character cut short at the end is left out
  if (std::memchr(buf_.data() + before, '\0', buf_.size() - before)) throw Malformed{};
  return buf_.size() > before;
}

bool XmlStream::have(std::size_t n) {
  while (buf_.size() - pos_ < n)
    if (!fill()) return false;
  return true;
}

std::size_t XmlStream::find(std::string_view what, std::size_t from) {
  for (;;) {
    const std::size_t at = buf_.find(what, pos_ + from);
    if (at != std::string::npos) return at - pos_;
    const std::size_t buffered = buf_.size() - pos_;
    if (buffered > kMaxTag) throw Malformed{};
    from = std::max(from, buffered >= what.size() ? buffered - what.size() + 1 : 0);
    if (!fill()) throw Malformed{};
  }
}

void XmlStream::skipPast(std::string_view terminator) {
  for (;;) {
    const std::size_t at = buf_.find(terminator, pos_);
    if (at != std::string::npos) {
      pos_ = at + terminator.size();
      return;
    }
    // Keeps only what may be the terminator's beginning.
    if (buf_.size() >= terminator.size()) pos_ = std::max(pos_, buf_.size() - terminator.size() + 1);
    if (!fill()) throw Malformed{};
  }
}

void XmlStream::cdata(std::string* out, std::size_t limit) {
  pos_ += 9;  // "<![CDATA["
  for (;;) {
    const std::size_t at = buf_.find("]]>", pos_);
    std::size_t end = at;
    if (at == std::string::npos) {
      end = buf_.size() >= pos_ + 2 ? buf_.size() - 2 : pos_;
      if (end > pos_ && buf_[end - 1] == '\r') --end;  // "\r\n" may be cut
    }
    if (out) {
      // Only line ends are translated inside CDATA: no references.
      for (std::size_t i = pos_; i < end; ++i) {
        if (buf_[i] != '\r') {
          *out += buf_[i];
        } else {
          *out += '\n';
          if (i + 1 < end && buf_[i + 1] == '\n') ++i;
        }
      }
      if (out->size() > limit) throw TooLong{};
    }
    pos_ = end;
    if (at != std::string::npos) {
      pos_ = at + 3;
      return;
    }
    if (!fill()) throw Malformed{};
  }
}

void XmlStream::startTag() {
  // The '>' that closes the tag, outside quoted values.
  std::size_t i = 1;
  char quote = 0;
  for (;;) {
    const char* b = buf_.data() + pos_;
    const std::size_t n = buf_.size() - pos_;
    for (; i < n; ++i) {
      const char c = b[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      } else if (c == '<') {
        throw Malformed{};
      }
    }
    if (i > kMaxTag) throw Malformed{};
    if (i < n) break;
    if (!fill()) throw Malformed{};
  }
  const char* p = buf_.data() + pos_ + 1;
  const char* e = buf_.data() + pos_ + i;
  const bool empty = e > p && e[-1] == '/';
  if (empty) --e;
  const char* q = p;
  while (q < e && !isSpace(*q)) ++q;
  const std::string_view name(p, static_cast<std::size_t>(q - p));
  if (!isName(name) || name.size() > kMaxName) throw Malformed{};
  local_ = localName(name);
  attrs_.clear();
  values_.clear();
  for (;;) {
    while (q < e && isSpace(*q)) ++q;
    if (q == e) break;
    const char* a = q;
    while (q < e && !isSpace(*q) && *q != '=') ++q;
    const std::string_view attrName(a, static_cast<std::size_t>(q - a));
    while (q < e && isSpace(*q)) ++q;
    if (!isName(attrName) || q == e || *q != '=') throw Malformed{};
    ++q;
    while (q < e && isSpace(*q)) ++q;
    if (q == e || (*q != '"' && *q != '\'')) throw Malformed{};
    const char* close = static_cast<const char*>(std::memchr(q + 1, *q, static_cast<std::size_t>(e - q - 1)));
    if (!close) throw Malformed{};
    attrs_.push_back({localName(attrName), values_.size()});
    unescape(q + 1, close, values_, true);
    values_ += '\0';
    q = close + 1;
    if (q < e && !isSpace(*q)) throw Malformed{};  // attributes stand apart
  }
  if (depth_ >= kMaxDepth) throw Malformed{};
  names_.append(name);
  nameEnds_.push_back(names_.size());
  ++depth_;
  pos_ += i + 1;
  selfClosed_ = empty;
}

void XmlStream::endTag() {
  const std::size_t gt = find(">", 2);
  std::string_view name(buf_.data() + pos_ + 2, gt - 2);
  while (!name.empty() && isSpace(name.back())) name.remove_suffix(1);
  const std::size_t start = nameEnds_.size() > 1 ? nameEnds_[nameEnds_.size() - 2] : 0;
  if (depth_ == 0 || std::string_view(names_).substr(start) != name) throw Malformed{};
  closeElement();
  pos_ += gt + 1;
}

void XmlStream::closeElement() {
  nameEnds_.pop_back();
  names_.resize(nameEnds_.empty() ? 0 : nameEnds_.back());
  --depth_;
}

XmlStream::Markup XmlStream::markup(std::string* out, std::size_t limit) {
  if (buf_[pos_ + 1] == '?') {
    pos_ += 2;
    skipPast("?>");
    return Markup::Other;
  }
  if (buf_[pos_ + 1] != '!') return Markup::Tag;
  if (have(4) && buf_.compare(pos_, 4, "<!--") == 0) {
    pos_ += 4;
    skipPast("-->");
    return Markup::Other;
  }
  if (have(9) && buf_.compare(pos_, 9, "<![CDATA[") == 0) {
    cdata(out, limit);
    return Markup::Cdata;
  }
  throw Malformed{};  // a document type declaration, or no markup at all
}

XmlStream::Token XmlStream::step() {
  if (selfClosed_) {
    selfClosed_ = false;
    closeElement();
    return Token::End;
  }
  for (;;) {
    const void* lt = std::memchr(buf_.data() + pos_, '<', buf_.size() - pos_);
    if (!lt) {
      pos_ = buf_.size();
      if (fill()) continue;
      if (depth_ > 0) throw Malformed{};
      return Token::Eof;
    }
    pos_ = static_cast<std::size_t>(static_cast<const char*>(lt) - buf_.data());
    if (!have(2)) throw Malformed{};
    const char c = buf_[pos_ + 1];
    if (c == '/') {
      endTag();
      return Token::End;
    }
    if (markup(nullptr, 0) == Markup::Tag) {
      startTag();
      return Token::Start;
    }
  }
}

bool XmlStream::child(int depth) {
  for (;;) {
    switch (step()) {
      case Token::Start:
        if (depth_ == depth + 1) return true;
        break;
      case Token::End:
        if (depth_ < depth) return false;
        break;
      case Token::Eof:
        return false;
    }
  }
}

const char* XmlStream::attr(std::string_view local) const {
  for (const Attribute& a : attrs_)
    if (a.local == local) return values_.data() + a.value;
  return nullptr;
}

void XmlStream::text(std::string& out, std::size_t limit) {
  if (selfClosed_) {
    selfClosed_ = false;
    closeElement();
    return;
  }
  const int depth = depth_;
  bool children = false;  // a text, CDATA or element before: whitespace alone is no longer kept
  for (;;) {
    const std::size_t mark = out.size();
    std::size_t length = 0;
    bool blank = true;
    for (;;) {
      const char* b = buf_.data() + pos_;
      const std::size_t n = buf_.size() - pos_;
      const char* lt = static_cast<const char*>(std::memchr(b, '<', n));
      const char* e = lt ? lt : b + n;
      if (!lt) {
        // Keeps back what the next chunk may complete: a reference, a "\r\n".
        const char* from = e - std::min<std::size_t>(n, kMaxReference);
        const char* amp = nullptr;
        for (const char* s = e; s > from;)
          if (*--s == '&') {
            amp = s;
            break;
          }
        if (amp && !std::memchr(amp, ';', static_cast<std::size_t>(e - amp))) e = amp;
        if (e > b && e[-1] == '\r') --e;
      }
      for (const char* s = b; blank && s < e; ++s) blank = isSpace(*s);
      length += static_cast<std::size_t>(e - b);
      unescape(b, e, out, false);
      if (out.size() > limit) throw TooLong{};
      pos_ += static_cast<std::size_t>(e - b);
      if (lt) break;
      if (!fill()) throw Malformed{};
    }
    if (!have(2)) throw Malformed{};
    const char c = buf_[pos_ + 1];
    if (length > 0) {
      if (!blank) children = true;
      else if (c != '/' || children) out.resize(mark);
    }
    if (c == '/') {
      endTag();
      return;
    }
    switch (markup(&out, limit)) {
      case Markup::Other:
        break;
      case Markup::Cdata:
        children = true;
        break;
      case Markup::Tag:
        startTag();
        children = true;
        while (child(depth + 1)) {
        }
    }
  }
}

void XmlStream::finish() {
  while (child(0)) {
  }
}

}  // namespace excel::detail
