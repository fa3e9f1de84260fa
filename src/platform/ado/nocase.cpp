#include "nocase.h"

#include <QChar>
#include <vector>

namespace ado::nocase {
namespace {

// Beyond the last code point: where a byte that starts no valid UTF-8 sequence stands, so
// a malformed text still compares consistently with everything else.
constexpr char32_t kStrayByte = 0x110000;

// The code point at s[i]; advances i past it.
char32_t next(std::string_view s, size_t& i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  size_t len = 0;
  char32_t cp = 0, min = 0;
  if ((c & 0xE0) == 0xC0) {
    len = 2, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, cp = c & 0x07, min = 0x10000;
  }
  bool ok = len > 0 && i + len <= s.size();
  for (size_t k = 1; ok && k < len; ++k) {
    const auto d = static_cast<unsigned char>(s[i + k]);
    ok = (d & 0xC0) == 0x80;
    cp = (cp << 6) | (d & 0x3F);
  }
  if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kStrayByte + c;
  }
  i += len;
  return cp;
}

char32_t fold(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
  return c < kStrayByte ? QChar::toCaseFolded(c) : c;
}

struct Token {
  enum Kind : unsigned char { Literal, One, Any } kind;
  char32_t c;
};

}  // namespace

int compare(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
    // Names are mostly ASCII, and a sort compares them often: the short way first.
    if ((x | y) < 0x80) {
      if (x != y) {
        const char32_t fx = fold(x), fy = fold(y);
        if (fx != fy) return fx < fy ? -1 : 1;
      }
      ++i, ++j;
      continue;
    }
    const char32_t fx = fold(next(a, i)), fy = fold(next(b, j));
    if (fx != fy) return fx < fy ? -1 : 1;
  }
  return (i < a.size() ? 1 : 0) - (j < b.size() ? 1 : 0);
}

bool like(std::string_view pattern, std::string_view text, std::optional<char32_t> escape) {
  // Kept between calls: a search runs this once per row and column.
  thread_local std::vector<Token> p;
  thread_local std::vector<char32_t> t;
  p.clear();
  t.clear();
  for (size_t i = 0; i < pattern.size();) {
    const char32_t c = next(pattern, i);
    if (escape && c == *escape) {
      if (i >= pattern.size()) return false;
      p.push_back({Token::Literal, fold(next(pattern, i))});
    } else if (c == U'%') {
      if (p.empty() || p.back().kind != Token::Any) p.push_back({Token::Any, 0});
    } else {
      p.push_back(c == U'_' ? Token{Token::One, 0} : Token{Token::Literal, fold(c)});
    }
  }
  for (size_t i = 0; i < text.size();) t.push_back(fold(next(text, i)));

  // Greedy matching that returns only to the last "%": every earlier "%" is covered by it,
  // so no choice is tried twice for the same text position.
  const size_t none = p.size();
  size_t pi = 0, ti = 0, star = none, resume = 0;
  while (ti < t.size()) {
    if (pi < p.size() && p[pi].kind == Token::Any) {
      star = pi++;
      resume = ti;
    } else if (pi < p.size() && (p[pi].kind == Token::One || p[pi].c == t[ti])) {
      ++pi;
      ++ti;
    } else if (star != none) {
      pi = star + 1;
      ti = ++resume;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi].kind == Token::Any) ++pi;
  return pi == p.size();
}

std::optional<char32_t> singleCodePoint(std::string_view text) {
  if (text.empty()) return std::nullopt;
  size_t i = 0;
  const char32_t c = next(text, i);
  if (i != text.size()) return std::nullopt;
  return c;
}

}  // namespace ado::nocase
