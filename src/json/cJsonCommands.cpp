#include "cJsonCommands.h"

#include "JSON.h"
#include "cTextBuffer.h"
#include "msgbox.h"

namespace {

constexpr int kMaxNesting = 40;

// A value as text without running it: scalars as they render, arrays and objects as "".
QString plainText(const json::Value* v) {
  if (!v) return QString();
  switch (v->kind()) {
    case json::Value::Kind::String: return v->string();
    case json::Value::Kind::Number: return v->number().toString();
    case json::Value::Kind::Boolean: return v->boolean() ? QStringLiteral("true") : QStringLiteral("false");
    case json::Value::Kind::Null: return QStringLiteral("null");
    default: return QString();
  }
}

}  // namespace

QString cJsonCommands::Eval(const QString& sJSON) {
  const auto tree = JSON::parse(sJSON);
  const QString errors = JSON::GetParserErrors();
  if (!errors.isEmpty() || !tree) {
    ui::msgBox(errors, ui::vbExclamation, QStringLiteral("Parser Error"));
    return QString();
  }
  if (tree->kind() == json::Value::Kind::Object) return ExecCommand(*tree);  // one step of commands
  cTextBuffer out;
  for (const json::Value& step : tree->array()) out.Append(ExecCommand(step));
  return out.toString();
}

QString cJsonCommands::ExecCommand(const json::Value& Obj) {
  if (nesting_ > kMaxNesting) return QStringLiteral("ERROR: Nesting level exceeded.");
  struct Level {  // back to the old level on every way out
    explicit Level(int& n) : n_(n) { ++n_; }
    ~Level() { --n_; }
    int& n_;
  } level(nesting_);
  switch (Obj.kind()) {
    case json::Value::Kind::Array: {
      cTextBuffer out;
      for (const json::Value& item : Obj.array()) out.Append(ExecCommand(item));
      return out.toString();
    }
    case json::Value::Kind::Object: {
      cTextBuffer out;
      for (const auto& [key, value] : Obj.object()) out.Append(runCommand(key, value));
      return out.toString();
    }
    default:
      return plainText(&Obj);
  }
}

QString cJsonCommands::runCommand(const QString& key, const json::Value& value) {
  const json::Object* args = value.kind() == json::Value::Kind::Object ? &value.object() : nullptr;
  auto member = [&](const char16_t* name) { return args ? args->find(QString::fromUtf16(name)) : nullptr; };
  // An absent member renders as Empty does.
  auto render = [&](const char16_t* name) {
    const json::Value* v = member(name);
    return v ? ExecCommand(*v) : ExecCommand(json::Value());
  };
  const QString command = key.toLower();

  if (command == u"alert") {
    const QString message = render(u"message");
    const QString title = render(u"title");
    ui::msgBox(message, ui::vbInformation, title);
    return QString();
  }
  if (command == u"input") {
    const QString prompt = render(u"prompt");
    const QString title = render(u"title");
    const QString def = render(u"default");
    return ui::inputBox(prompt, title, def);
  }
  if (command == u"switch") {
    QString result = render(u"default");
    const QString wanted = render(u"case").toLower();
    static const json::Array none;
    const json::Value* items = member(u"items");
    for (const json::Value& item : items ? items->array() : none) {
      if (plainText(item.object().find(QStringLiteral("case"))).toLower() != wanted) continue;
      const json::Value* ret = item.object().find(QStringLiteral("return"));
      result = ret ? ExecCommand(*ret) : ExecCommand(json::Value());
      break;
    }
    return result;
  }
  if (command == u"set") {
    const QString name = plainText(member(u"name"));
    variables_.insert(name, render(u"value"));
    return QString();
  }
  if (command == u"get") {
    const QString stored = variables_[plainText(member(u"name"))];
    return stored.isEmpty() ? render(u"default") : stored;
  }
  if (command == u"if") {
    const QString a = render(u"value1");
    const QString b = render(u"value2");
    const QString type = plainText(member(u"type")).toLower();
    bool holds = false;
    if (type == u"eq") holds = a.compare(b, Qt::CaseInsensitive) == 0;
    else if (type == u"gt") holds = a > b;
    else if (type == u"lt") holds = a < b;
    else if (type == u"gte") holds = a >= b;
    else if (type == u"lte") holds = a <= b;
    return render(holds ? u"true" : u"false");
  }
  if (command == u"return") return value.kind() == json::Value::Kind::String ? value.string() : ExecCommand(value);

  QString arguments;
  if (args) {
    QStringList parts;
    for (const auto& [name, v] : *args) parts << plainText(&v);
    arguments = parts.join(u',');
  } else {
    arguments = plainText(&value);  // a string, or a number or boolean as it renders
  }
  return QStringLiteral("<%") + key.toUpper() + u'(' + arguments + QStringLiteral(")%>");
}
