#include "JSON.h"

#include <exception>

#include "cTextBuffer.h"

namespace JSON {

namespace {

QString gErrors;  // the problems of the last parse

constexpr qsizetype kContext = 20;  // characters of text quoted in a message
const QString kCrLf = QStringLiteral("\r\n");

// A problem that ends the enclosing object or array, with the description it reports.
struct ValueError {
  QString description;
};
// Nesting beyond kMaxDepth: ends the whole parse.
struct TooDeep {
  qsizetype position;
};

bool isNumberChar(QChar c) {
  switch (c.unicode()) {
    case u'+': case u'-': case u'.': case u'e': case u'E':
      return true;
    default:
      return c >= u'0' && c <= u'9';
  }
}

bool isKeyText(QChar c) {
  switch (c.unicode()) {
    case u'"': case u'\'': case u':': case u'\r': case u'\n': case u'\t': case u' ': case u'\\':
      return false;
    default:
      return true;
  }
}

int hexValue(QChar c) {
  if (c >= u'0' && c <= u'9') return c.unicode() - u'0';
  if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
  return -1;
}

class Parser {
 public:
  explicit Parser(const QString& text) : t_(text), n_(text.size()) {}

  std::optional<json::Value> run() {
    skipChar();
    if (ch() == u'{') return parseObject();
    if (ch() == u'[') return parseArray();
    gErrors = QStringLiteral("Invalid JSON");
    return std::nullopt;
  }

 private:
  QChar ch() const { return pos_ < n_ ? t_[pos_] : QChar(); }
  QString position() const { return QString::number(pos_ + 1); }
  QString context() const { return pos_ < n_ ? t_.mid(pos_, kContext) : QString(); }
  QString tail() const { return t_.right(kContext); }
  void note(const QString& message) { gErrors += message + kCrLf; }

  // Steps over a comma before the next member or item. False at the closing bracket (stepped
  // over) and at the end of the text, which is reported as the missing bracket.
  bool nextEntry(char16_t close) {
    skipChar();
    if (ch() == close) {
      ++pos_;
      return false;
    }
    if (ch() == u',') {
      ++pos_;
      skipChar();
    } else if (pos_ >= n_) {
      note(QStringLiteral("Missing '") + QChar(close) + QStringLiteral("': ") + tail());
      return false;
    }
    return true;
  }

  void skipChar() {
    bool pending = false, comment = false, block = false;
    for (; pos_ < n_; ++pos_) {
      const char16_t c = t_[pos_].unicode();
      switch (c) {
        case u'\r': case u'\n':
          if (!block) pending = comment = false;
          break;
        case u'\t': case u' ': case u'(': case u')':
          break;
        case u'/':
          if (block) {
            if (pending) block = comment = pending = false;
          } else if (pending) {
            comment = true;
            pending = false;
          } else {
            pending = true;
            comment = block = false;
          }
          break;
        case u'*':
          if (pending) {
            comment = block = true;
            pending = false;
          } else {
            pending = true;
          }
          break;
        default:
          if (!comment) return;
      }
    }
  }

  json::Value parseValue() {
    skipChar();
    switch (ch().unicode()) {
      case u'{': return parseObject();
      case u'[': return parseArray();
      case u'"': case u'\'': return json::Value(parseString());
      case u't': case u'f': return json::Value(parseBoolean());
      case u'n': return parseNull();
      default: return parseNumber();
    }
  }

  struct Nesting {
    explicit Nesting(Parser& p) : p_(p) {
      if (p_.depth_ == kMaxDepth) throw TooDeep{p_.pos_};
      ++p_.depth_;
    }
    ~Nesting() { --p_.depth_; }
    Parser& p_;
  };

  json::Value parseObject() {
    skipChar();
    if (ch() != u'{') {
      note(QStringLiteral("Invalid Object at position ") + position() + QStringLiteral(" : ") + context());
      return json::Value(json::Object());
    }
    Nesting nesting(*this);
    ++pos_;
    // Members gather on a stack shared by all objects of the parse, so each object is
    // allocated once at its final size.
    const size_t first = members_.size();
    QHash<QString, size_t> seen;  // only for objects too large to search by hand
    auto present = [&](const QString& key) {
      if (members_.size() - first < 32) {
        for (size_t i = first; i < members_.size(); ++i)
          if (members_[i].first == key) return true;
        return false;
      }
      if (seen.isEmpty())
        for (size_t i = first; i < members_.size(); ++i) seen.insert(members_[i].first, i);
      return seen.contains(key);
    };
    while (nextEntry(u'}')) {
      skipChar();
      const qsizetype keyAt = pos_ + 1;
      QString key = parseKey();
      try {
        json::Value value = parseValue();
        if (present(key)) throw ValueError{QStringLiteral("Kunci ganda pada posisi ") + QString::number(keyAt)};
        if (!seen.isEmpty()) seen.insert(key, members_.size());
        members_.emplace_back(std::move(key), std::move(value));
      } catch (const ValueError& e) {
        note(e.description + QStringLiteral(": ") + key);
        break;
      }
    }
    std::vector<json::Object::Member> own(std::make_move_iterator(members_.begin() + std::ptrdiff_t(first)),
                                          std::make_move_iterator(members_.end()));
    members_.resize(first);
    return json::Value(json::Object(std::move(own)));
  }

  json::Value parseArray() {
    skipChar();
    if (ch() != u'[') {
      note(QStringLiteral("Invalid Array at position ") + position() + QStringLiteral(" : ") + context());
      return json::Value(json::Array());
    }
    Nesting nesting(*this);
    ++pos_;
    const size_t first = items_.size();  // items gather on a shared stack, as members do
    while (nextEntry(u']')) {
      const qsizetype before = pos_;
      try {
        items_.push_back(parseValue());
      } catch (const ValueError& e) {
        note(e.description + QStringLiteral(": ") + context());
        break;
      }
      // A value that consumed nothing (a misspelt true or null) would be read again forever.
      if (pos_ == before && pos_ < n_) break;
    }
    json::Array own(std::make_move_iterator(items_.begin() + std::ptrdiff_t(first)), std::make_move_iterator(items_.end()));
    items_.resize(first);
    return json::Value(std::move(own));
  }

  QString parseString() {
    skipChar();
    const QChar quote = ch();
    ++pos_;
    const QChar* s = t_.constData();
    qsizetype end = pos_;
    while (end < n_ && s[end] != quote && s[end] != u'\\') ++end;
    if (end < n_ && s[end] == quote) {  // nothing to unescape
      const qsizetype start = pos_;
      pos_ = end + 1;
      return QString(s + start, end - start);
    }
    buf_.Remove(0, buf_.length());  // keeps the capacity for the next string
    while (pos_ < n_) {
      const QChar c = s[pos_];
      if (c == quote) {
        ++pos_;
        return buf_.toString();
      }
      if (c != u'\\') {
        qsizetype end = pos_ + 1;
        while (end < n_ && s[end] != quote && s[end] != u'\\') ++end;
        buf_.Append(QStringView(s + pos_, end - pos_));
        pos_ = end;
        continue;
      }
      ++pos_;
      const QChar e = ch();
      char16_t out = 0;
      switch (e.unicode()) {
        case u'"': case u'\\': case u'/': case u'\'': out = e.unicode(); break;
        case u'b': out = 8; break;
        case u'f': out = 12; break;
        case u'n': out = 10; break;
        case u'r': out = 13; break;
        case u't': out = 9; break;
        case u'u': {
          unsigned code = 0;
          for (qsizetype k = pos_ + 1; k < pos_ + 5 && k < n_ && hexValue(s[k]) >= 0; ++k) code = code * 16 + unsigned(hexValue(s[k]));
          const char16_t unit = char16_t(code);
          buf_.Append(QStringView(&unit, 1));
          pos_ += 5;
          continue;
        }
        default:
          continue;  // the backslash is dropped; the next character is read as it stands
      }
      buf_.Append(QStringView(&out, 1));
      ++pos_;
    }
    return buf_.toString();
  }

  json::Value parseNumber() {
    skipChar();
    const qsizetype start = pos_;
    while (pos_ < n_ && isNumberChar(t_[pos_])) ++pos_;
    if (pos_ >= n_) return json::Value();
    bool overflow = false;
    const auto d = json::Decimal::fromText(QStringView(t_).mid(start, pos_ - start), &overflow);
    if (!d) {
      throw ValueError{(overflow ? QStringLiteral("Angka di luar jangkauan pada posisi ") : QStringLiteral("Angka tidak sah pada posisi ")) +
                       QString::number(start + 1)};
    }
    return json::Value(*d);
  }

  bool parseBoolean() {
    skipChar();
    const QStringView rest = QStringView(t_).mid(pos_);
    if (rest.startsWith(u"true")) {
      pos_ += 4;
      return true;
    }
    if (rest.startsWith(u"false")) {
      pos_ += 5;
      return false;
    }
    note(QStringLiteral("Invalid Boolean at position ") + position() + QStringLiteral(" : ") + context());
    return false;
  }

  json::Value parseNull() {
    skipChar();
    if (QStringView(t_).mid(pos_).startsWith(u"null")) {
      pos_ += 4;
      return json::Value::null();
    }
    note(QStringLiteral("Invalid null value at position ") + position() + QStringLiteral(" : ") + context());
    return json::Value();
  }

  QString parseKey() {
    skipChar();
    QString key;
    bool dq = false, sq = false;
    while (pos_ < n_) {
      const QChar c = t_[pos_];
      // Inside a quoted key the other quote is an ordinary character, as in strings.
      if ((c == u'"' && !sq) || (c == u'\'' && !dq)) {
        bool& flag = c == u'"' ? dq : sq;
        flag = !flag;
        ++pos_;
        if (!flag) {
          skipChar();
          if (ch() != u':') {
            note(QStringLiteral("Invalid Key at position ") + position() + QStringLiteral(" : ") + key);
            return key;
          }
        }
      } else if (c == u':') {
        ++pos_;
        if (!dq && !sq) return key;
        key += c;
      } else if (c == u'\r' || c == u'\n' || c == u'\t' || c == u' ') {
        ++pos_;
      } else if (c == u'\\' && (dq || sq) && pos_ + 1 < n_) {
        // Kept as written, but an escaped quote does not end the key.
        key += c;
        key += t_[pos_ + 1];
        pos_ += 2;
      } else {
        qsizetype end = pos_ + 1;  // a run of ordinary characters goes in at once
        while (end < n_ && isKeyText(t_[end])) ++end;
        key += QStringView(t_).mid(pos_, end - pos_);
        pos_ = end;
      }
    }
    return key;
  }

  const QString& t_;
  const qsizetype n_;
  qsizetype pos_ = 0;
  int depth_ = 0;
  cTextBuffer buf_;
  std::vector<json::Object::Member> members_;
  json::Array items_;
};

}  // namespace

std::optional<json::Value> parse(const QString& text) {
  gErrors.clear();
  try {
    return Parser(text).run();
  } catch (const TooDeep& e) {
    gErrors += QStringLiteral("Struktur terlalu dalam (lebih dari %1 tingkat) pada posisi %2").arg(kMaxDepth).arg(e.position + 1) + kCrLf;
  } catch (const std::exception& e) {
    gErrors += QStringLiteral("JSON tidak dapat dibaca: ") + QString::fromLocal8Bit(e.what()) + kCrLf;
  }
  return std::nullopt;
}

QString GetParserErrors() { return gErrors; }

}  // namespace JSON
