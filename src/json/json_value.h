#pragma once
// The values a JSON text parses into: objects keep their members in text order and compare
// keys exactly, arrays keep their items in order, strings are UTF-16, numbers are scaled
// decimals (never binary floating point).
#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace json {

// A signed 96-bit integer scaled by 10^-scale, scale 0..28.
struct Decimal {
  unsigned __int128 magnitude = 0;  // below 2^96
  int scale = 0;
  bool negative = false;

  // Reads an optional sign, digits with at most one ".", and an optional exponent
  // ("e"/"E", optional sign, digits); "." is the separator whatever the locale. Digits
  // beyond 28 decimals round half to even. Empty on text it rejects; `overflow` is set when
  // the number is well formed but too large.
  static std::optional<Decimal> fromText(QStringView text, bool* overflow = nullptr);
  // The one number-to-text form: "-", digits, "." and the fraction without trailing zeros.
  QString toString() const;
  bool operator==(const Decimal&) const = default;
};

class Object;
class Value;
using Array = std::vector<Value>;

class Value {
 public:
  enum class Kind { Empty, Null, Boolean, Number, String, Array, Object };

  Value() = default;
  static Value null();
  explicit Value(bool b);
  explicit Value(Decimal d);
  explicit Value(QString s);
  explicit Value(Array a);
  explicit Value(Object o);
  Value(Value&&) noexcept;
  Value& operator=(Value&&) noexcept;
  ~Value();

  Kind kind() const { return kind_; }
  bool boolean() const { return boolean_; }
  const Decimal& number() const { return number_; }
  const QString& string() const { return string_; }
  const Array& array() const;    // empty for other kinds
  const Object& object() const;  // empty for other kinds

 private:
  Kind kind_ = Kind::Empty;
  bool boolean_ = false;
  Decimal number_;
  QString string_;
  std::unique_ptr<Array> array_;
  std::unique_ptr<Object> object_;
};

class Object {
 public:
  using Member = std::pair<QString, Value>;
  // False, and nothing added, when the key is present already.
  bool add(QString key, Value value);
  const Value* find(const QString& key) const;
  qsizetype size() const { return members_.size(); }
  auto begin() const { return members_.begin(); }
  auto end() const { return members_.end(); }

 private:
  std::vector<Member> members_;
  QHash<QString, qsizetype> index_;  // built once an object grows past a few members
};

}  // namespace json
