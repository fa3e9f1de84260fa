#pragma once
// The values a JSON text parses into: objects keep their members in text order and compare
// keys exactly, arrays keep their items in order, strings are UTF-16, numbers are scaled
// decimals (never binary floating point).
#include <QHash>
#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace json {

// A signed 96-bit integer scaled by 10^-scale, scale 0..28.
struct Decimal {
  quint64 low = 0;   // the magnitude, below 2^96, in two parts
  quint32 high = 0;
  quint8 scale = 0;
  bool negative = false;

  unsigned __int128 magnitude() const { return (static_cast<unsigned __int128>(high) << 64) | low; }

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
  bool boolean() const;
  const Decimal& number() const;
  const QString& string() const;
  const Array& array() const;    // empty for other kinds
  const Object& object() const;  // empty for other kinds

 private:
  Kind kind_ = Kind::Empty;
  std::variant<std::monostate, bool, Decimal, QString, std::unique_ptr<Array>, std::unique_ptr<Object>> data_;
};

class Object {
 public:
  using Member = std::pair<QString, Value>;
  Object() = default;
  // Takes members whose keys are known to differ.
  explicit Object(std::vector<Member> members);
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
