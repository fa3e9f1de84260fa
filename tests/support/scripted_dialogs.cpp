#include "scripted_dialogs.h"

#include <gtest/gtest.h>

#include "msgbox.h"

namespace testsupport {

namespace {
std::string utf8(const QString& s) { return s.toStdString(); }
ScriptedDialogs::Call make(ScriptedDialogs::Kind k) {
  ScriptedDialogs::Call c;
  c.kind = k;
  return c;
}
}  // namespace

ScriptedDialogs::ScriptedDialogs() : previous_(ui::setDialogHost(this)) {}

ScriptedDialogs::~ScriptedDialogs() {
  ui::setDialogHost(previous_);
  if (!requireAllAnswersUsed) return;
  const size_t left = msgAnswers_.size() + files_.size() + fonts_.size() + folders_.size() + inputs_.size();
  if (left) ADD_FAILURE() << left << " queued dialog answer(s) were never asked for";
}

void ScriptedDialogs::expectMsgBox(int result) { msgAnswers_.push_back(result); }
void ScriptedDialogs::queueFile(const QString& fileName) { files_.push_back(ui::FileAnswer{true, fileName}); }
void ScriptedDialogs::queueFileCancel() { files_.push_back(ui::FileAnswer{}); }
void ScriptedDialogs::queueFont(const QFont& f, const QColor& c) { fonts_.push_back(ui::FontAnswer{true, f, c}); }
void ScriptedDialogs::queueFontCancel() { fonts_.push_back(ui::FontAnswer{}); }
void ScriptedDialogs::queueFolder(const QString& f) { folders_.push_back(ui::FolderAnswer{!f.isEmpty(), f}); }
void ScriptedDialogs::queueInput(const QString& text) { inputs_.push_back(text); }

std::vector<ScriptedDialogs::Call> ScriptedDialogs::callsOf(Kind k) const {
  std::vector<Call> out;
  for (const Call& c : calls)
    if (c.kind == k) out.push_back(c);
  return out;
}

QStringList ScriptedDialogs::msgBoxTexts() const {
  QStringList out;
  for (const Call& c : calls)
    if (c.kind == Kind::MsgBox) out << c.prompt;
  return out;
}

ScriptedDialogs::Call ScriptedDialogs::lastMsgBox() const {
  for (auto it = calls.rbegin(); it != calls.rend(); ++it)
    if (it->kind == Kind::MsgBox) return *it;
  ADD_FAILURE() << "no message box was shown";
  return make(Kind::MsgBox);
}

int ScriptedDialogs::msgBox(const QString& prompt, int flags, const QString& title) {
  Call c = make(Kind::MsgBox);
  c.prompt = prompt;
  c.flags = flags;
  c.title = title;
  if ((flags & 7) == ui::vbOKOnly) {
    c.answer = ui::vbOK;
  } else if (!msgAnswers_.empty()) {
    c.answer = msgAnswers_.front();
    msgAnswers_.pop_front();
  } else {
    ADD_FAILURE() << "unexpected question box: \"" << utf8(prompt) << "\" (title \"" << utf8(title) << "\")";
    c.answer = ui::vbCancel;
  }
  calls.push_back(c);
  if (whileMsgBoxUp) {
    const auto up = whileMsgBoxUp;  // a copy: it may replace itself while it runs
    up(c);
  }
  return c.answer;
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title, const QString& def) {
  Call c = make(Kind::InputBox);
  c.prompt = prompt;
  c.title = title;
  c.defaultText = def;
  calls.push_back(c);
  if (inputs_.empty()) {
    ADD_FAILURE() << "unexpected input box: \"" << utf8(prompt) << "\"";
    return QString();
  }
  const QString typed = inputs_.front();
  inputs_.pop_front();
  return typed;
}

ui::FileAnswer ScriptedDialogs::file(const ui::FileRequest& req) {
  Call c = make(Kind::File);
  c.file = req;
  c.title = req.title;
  calls.push_back(c);
  if (files_.empty()) {
    ADD_FAILURE() << "unexpected file dialog: \"" << utf8(req.title) << "\" filter \"" << utf8(req.filter) << "\"";
    return {};
  }
  ui::FileAnswer a = files_.front();
  files_.pop_front();
  return a;
}

ui::FontAnswer ScriptedDialogs::font(const QFont& initial, const QColor& color) {
  Call c = make(Kind::Font);
  c.font = initial;
  c.color = color;
  calls.push_back(c);
  if (fonts_.empty()) {
    ADD_FAILURE() << "unexpected font dialog";
    return {};
  }
  ui::FontAnswer a = fonts_.front();
  fonts_.pop_front();
  return a;
}

ui::ColorAnswer ScriptedDialogs::color(const QColor& initial) {
  Call c = make(Kind::Color);
  c.color = initial;
  calls.push_back(c);
  ADD_FAILURE() << "unexpected colour dialog";
  return {};
}

ui::FolderAnswer ScriptedDialogs::folder(const QString& title) {
  Call c = make(Kind::Folder);
  c.prompt = title;
  c.title = title;
  calls.push_back(c);
  if (folders_.empty()) {
    ADD_FAILURE() << "unexpected folder picker: \"" << utf8(title) << "\"";
    return {};
  }
  ui::FolderAnswer a = folders_.front();
  folders_.pop_front();
  return a;
}

bool ScriptedDialogs::openDocument(const QString& path) {
  Call c = make(Kind::OpenDocument);
  c.prompt = path;
  calls.push_back(c);
  return openDocumentSucceeds;
}

}  // namespace testsupport
