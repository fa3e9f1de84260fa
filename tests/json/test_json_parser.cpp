#include <gtest/gtest.h>

#include <QLocale>

#include "JSON.h"

namespace {

// Compact form of a tree: {k=v,..} [v,..] 's' numbers true false null, and ~ for Empty.
QString dump(const json::Value& v) {
  using K = json::Value::Kind;
  switch (v.kind()) {
    case K::Empty: return QStringLiteral("~");
    case K::Null: return QStringLiteral("null");
    case K::Boolean: return v.boolean() ? QStringLiteral("true") : QStringLiteral("false");
    case K::Number: return v.number().toString();
    case K::String: return u'\'' + v.string() + u'\'';
    case K::Array: {
      QStringList items;
      for (const json::Value& i : v.array()) items << dump(i);
      return u'[' + items.join(u',') + u']';
    }
    case K::Object: {
      QStringList items;
      for (const auto& [k, i] : v.object()) items << k + u'=' + dump(i);
      return u'{' + items.join(u',') + u'}';
    }
  }
  return {};
}

QString parsed(const QString& text) {
  const auto v = JSON::parse(text);
  return v ? dump(*v) : QStringLiteral("nothing");
}

struct Case {
  QString text, tree, errors;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(parsed(c.text), c.tree) << c.text.toStdString();
    EXPECT_EQ(JSON::GetParserErrors(), c.errors) << c.text.toStdString();
  }
}

}  // namespace

TEST(JsonParser, LenientDialect) {
  check({
      {"", "nothing", "Invalid JSON"},
      {"abc", "nothing", "Invalid JSON"},
      {"/* note */ {'a':1}", "{a=1}", ""},
      {"{'a':'x'}", "{a='x'}", ""},
      {"{a:'x'}", "{a='x'}", ""},
      {"{'a':1 'b':2}", "{a=1,b=2}", ""},
      {"// c\n[1]", "[1]", ""},
      {"// c\r\n[1]", "[1]", ""},
      {"([1])", "[1]", ""},
      {"[1,2", "[1,~]", "Missing ']': [1,2\r\n"},
      {"{\"a b\":1}", "{ab=1}", ""},
      {"{\"it's\":1, 'say \"hi\"':2}", "{it's=1,say\"hi\"=2}", ""},
      {"{\"a\\\"b\":1}", "{a\\\"b=1}", ""},
      {"[\"x\" \"y\", true false null {}]", "['x','y',true,false,null,{}]", ""},
      {"{\"k\":[1,{\"z\":null}]} trailing", "{k=[1,{z=null}]}", ""},
  });
}

TEST(JsonParser, ExactErrorTexts) {
  check({
      {"{'a':1,'a':2}", "{a=1}", "Kunci ganda pada posisi 8: a\r\n"},
      {"{'x':tru}", "{x=false,tru}=~}", "Invalid Boolean at position 6 : tru}\r\nMissing '}': {'x':tru}\r\n"},
      {"[1,nul]", "[1,~]", "Invalid null value at position 4 : nul]\r\n"},
      {"{\"a\" 1}", "{a=1}", "Invalid Key at position 6 : a\r\n"},
      {"[1,-]", "[1]", "Angka tidak sah pada posisi 4: ]\r\n"},
      {"[1e29]", "[]", "Angka di luar jangkauan pada posisi 2: ]\r\n"},
      // Long contexts are cut to 20 characters.
      {"{'x':t" + QString(100, u'a') + "}", "{x=false,t" + QString(100, u'a') + "}=~}",
       "Invalid Boolean at position 6 : t" + QString(19, u'a') + "\r\nMissing '}': " + QString(19, u'a') + "}\r\n"},
  });
}

TEST(JsonParser, MisspeltWordsAndDeepNestingEnd) {
  // These looped forever or ran out of stack.
  check({
      {"[tru]", "[false]", "Invalid Boolean at position 2 : tru]\r\n"},
      {"[f]", "[false]", "Invalid Boolean at position 2 : f]\r\n"},
      {"[nul]", "[~]", "Invalid null value at position 2 : nul]\r\n"},
      {"[[tru]]", "[[false],false]", "Invalid Boolean at position 3 : tru]]\r\nInvalid Boolean at position 3 : tru]]\r\n"},
      {QString(100000, u'['), "nothing", "Struktur terlalu dalam (lebih dari 512 tingkat) pada posisi 513\r\n"},
  });
  const QString deepest = QString(JSON::kMaxDepth, u'[') + QString(JSON::kMaxDepth, u']');
  EXPECT_TRUE(JSON::parse(deepest));
  EXPECT_EQ(JSON::GetParserErrors(), QString());
}

TEST(JsonParser, NumbersReadWithAPointWhateverTheLocale) {
  QLocale::setDefault(QLocale(QLocale::Indonesian));
  check({
      {"[1.5,-0.25,+3,.5,5.,-0]", "[1.5,-0.25,3,0.5,5,0]", ""},
      {"[1e3,1.5E-3,2e+1,100e-5,1.50]", "[1000,0.0015,20,0.001,1.5]", ""},
      {"[79228162514264337593543950335,-79228162514264337593543950335]",
       "[79228162514264337593543950335,-79228162514264337593543950335]", ""},
      {"[0.12345678901234567890123456789,2.5e-28,1.5e-28,1e-400,0e999999]",
       "[0.1234567890123456789012345679,0.0000000000000000000000000002,0.0000000000000000000000000002,0,0]", ""},
      {"[1.1.1]", "[]", "Angka tidak sah pada posisi 2: ]\r\n"},
      {"[1e]", "[]", "Angka tidak sah pada posisi 2: ]\r\n"},
  });
  QLocale::setDefault(QLocale::c());
}

TEST(JsonParser, StringsAndEscapes) {
  check({
      {R"(["\u0041\"\\\/\'\b\f\n\r\t"])", "['A\"\\/'\b\f\n\r\t']", ""},
      {R"(["\x", '\u00zz!', "a'b", 'a"b'])", QStringLiteral("['x','") + QChar(0) + "!','a'b','a\"b']", ""},
      {"[\"open", "['open']", "Missing ']': [\"open\r\n"},
      {R"(["\uD83D\uDE00"])", QStringLiteral("['\U0001F600']"), ""},
  });
}
