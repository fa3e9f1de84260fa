#include "json_value.h"

#include <QVarLengthArray>
#include <algorithm>

namespace json {

namespace {
constexpr int kMaxScale = 28;
constexpr unsigned __int128 kLimit = static_cast<unsigned __int128>(1) << 96;  // magnitude stays below
constexpr qsizetype kLinearMembers = 32;  // small objects find keys without a hash

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
}  // namespace

std::optional<Decimal> Decimal::fromText(QStringView text, bool* overflow) {
  if (overflow) *overflow = false;
  qsizetype i = 0;
  const qsizetype n = text.size();
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  // Significant digits (leading zeros dropped) and where the decimal point stands among them.
  QVarLengthArray<char, 40> digits;
  std::int64_t intCount = 0;
  bool anyDigit = false, point = false;
  for (; i < n; ++i) {
    const QChar c = text[i];
    if (c == u'.' && !point) {
      point = true;
    } else if (isDigit(c)) {
      anyDigit = true;
      if (!digits.isEmpty() || c != u'0') {
        digits.push_back(char(c.unicode() - u'0'));
        if (!point) ++intCount;
      } else if (point) {
        --intCount;  // a zero between the point and the first significant digit
      }
    } else {
      break;
    }
  }
  if (!anyDigit) return std::nullopt;
  std::int64_t exponent = 0;
  if (i < n && (text[i] == u'e' || text[i] == u'E')) {
    ++i;
    bool expNegative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) expNegative = text[i++] == u'-';
    if (i >= n || !isDigit(text[i])) return std::nullopt;
    for (; i < n && isDigit(text[i]); ++i) exponent = std::min<std::int64_t>(exponent * 10 + (text[i].unicode() - u'0'), 1000000000);
    if (expNegative) exponent = -exponent;
  }
  if (i != n) return std::nullopt;

  Decimal d;
  if (digits.isEmpty()) return d;
  unsigned __int128 mag = 0;
  int scale = 0;
  intCount += exponent;  // digits before the point, negative for zeros after it
  if (intCount < -kMaxScale) return d;  // every digit lies beyond the last decimal: rounds to 0
  const qsizetype leadingZeros = intCount < 0 ? -intCount : 0;
  const qsizetype streamSize = leadingZeros + qsizetype(digits.size());
  auto digitAt = [&](qsizetype j) { return j < leadingZeros ? 0 : digits[j - leadingZeros]; };
  const std::int64_t intDigits = std::max<std::int64_t>(intCount, 0);
  qsizetype j = 0;
  for (; j < streamSize; ++j) {
    const bool isInt = j < intDigits;
    if (!isInt && scale == kMaxScale) break;
    const unsigned __int128 next = mag * 10 + unsigned(digitAt(j));
    if (next >= kLimit) {
      if (isInt) {
        if (overflow) *overflow = true;
        return std::nullopt;
      }
      break;
    }
    mag = next;
    if (!isInt) ++scale;
  }
  if (j < streamSize) {  // round the dropped digits half to even
    const int first = digitAt(j);
    bool sticky = false;
    for (qsizetype k = j + 1; k < streamSize && !sticky; ++k) sticky = digitAt(k) != 0;
    if (first > 5 || (first == 5 && (sticky || (mag & 1)))) {
      if (++mag >= kLimit) {
        if (scale == 0) {
          if (overflow) *overflow = true;
          return std::nullopt;
        }
        const bool up = mag % 10 >= 5;
        mag = mag / 10 + (up ? 1 : 0);
        --scale;
      }
    }
  } else {
    for (std::int64_t k = qsizetype(digits.size()); k < intDigits; ++k) {
      mag *= 10;
      if (mag >= kLimit) {
        if (overflow) *overflow = true;
        return std::nullopt;
      }
    }
  }
  d.low = quint64(mag);
  d.high = quint32(mag >> 64);
  d.scale = quint8(scale);
  d.negative = negative && mag != 0;
  return d;
}

QString Decimal::toString() const {
  char buf[64];
  int len = 0;
  unsigned __int128 m = magnitude();
  do {
    buf[len++] = char('0' + int(m % 10));
    m /= 10;
  } while (m);
  while (len <= scale) buf[len++] = '0';
  std::reverse(buf, buf + len);
  int intLen = len - scale, end = len;
  while (end > intLen && buf[end - 1] == '0') --end;
  QString out;
  if (negative && magnitude() != 0) out += u'-';
  out += QLatin1StringView(buf, intLen);
  if (end > intLen) out += u'.' + QLatin1StringView(buf + intLen, end - intLen);
  return out;
}

Value Value::null() {
  Value v;
  v.kind_ = Kind::Null;
  return v;
}
Value::Value(bool b) : kind_(Kind::Boolean), data_(b) {}
Value::Value(Decimal d) : kind_(Kind::Number), data_(d) {}
Value::Value(QString s) : kind_(Kind::String), data_(std::move(s)) {}
Value::Value(Array a) : kind_(Kind::Array), data_(std::make_unique<Array>(std::move(a))) {}
Value::Value(Object o) : kind_(Kind::Object), data_(std::make_unique<Object>(std::move(o))) {}
Value::Value(Value&&) noexcept = default;
Value& Value::operator=(Value&&) noexcept = default;
Value::~Value() = default;

bool Value::boolean() const {
  const bool* b = std::get_if<bool>(&data_);
  return b && *b;
}
const Decimal& Value::number() const {
  static const Decimal none;
  const Decimal* d = std::get_if<Decimal>(&data_);
  return d ? *d : none;
}
const QString& Value::string() const {
  static const QString none;
  const QString* s = std::get_if<QString>(&data_);
  return s ? *s : none;
}
const Array& Value::array() const {
  static const Array none;
  const auto* a = std::get_if<std::unique_ptr<Array>>(&data_);
  return a ? **a : none;
}
const Object& Value::object() const {
  static const Object none;
  const auto* o = std::get_if<std::unique_ptr<Object>>(&data_);
  return o ? **o : none;
}

Object::Object(std::vector<Member> members) : members_(std::move(members)) {
  if (members_.size() >= size_t(kLinearMembers))
    for (size_t i = 0; i < members_.size(); ++i) index_.insert(members_[i].first, qsizetype(i));
}

bool Object::add(QString key, Value value) {
  if (find(key)) return false;
  members_.emplace_back(std::move(key), std::move(value));
  if (members_.size() == size_t(kLinearMembers)) {
    for (qsizetype i = 0; i < kLinearMembers; ++i) index_.insert(members_[size_t(i)].first, i);
  } else if (members_.size() > size_t(kLinearMembers)) {
    index_.insert(members_.back().first, qsizetype(members_.size()) - 1);
  }
  return true;
}

const Value* Object::find(const QString& key) const {
  if (members_.size() < size_t(kLinearMembers)) {
    for (const Member& m : members_)
      if (m.first == key) return &m.second;
    return nullptr;
  }
  const auto it = index_.constFind(key);
  return it == index_.cend() ? nullptr : &members_[size_t(*it)].second;
}

}  // namespace json
