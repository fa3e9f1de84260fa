#pragma once
// A dialog host for tests: every box and dialog is recorded, and answered from queues the
// test fills. Boxes that only inform (OK alone) are answered OK by themselves; a question,
// a file, font, folder or input dialog without a queued answer fails the test, and so does any
// colour dialog (no test expects one). Documents "open" without a word.
// Installs itself for its lifetime and puts the previous host back afterwards.
#include <QColor>
#include <QFont>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "dialogs.h"
#include "qt_printers.h"
#include "msgbox.h"

namespace testsupport {

class ScriptedDialogs : public ui::DialogHost {
 public:
  enum class Kind { MsgBox, InputBox, File, Font, Color, Folder, OpenDocument };

  struct Call {
    Kind kind = Kind::MsgBox;
    QString prompt;        // msgBox/inputBox prompt; folder title; opened document path
    int flags = 0;         // msgBox buttons | icon
    QString title;         // msgBox/inputBox title
    QString defaultText;   // inputBox default
    ui::FileRequest file;  // file dialogs
    QFont font;            // font dialog: initial font
    QColor color;          // font/colour dialog: initial colour
    int answer = 0;        // msgBox result given
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  // Answers, used in order.
  void expectMsgBox(int result);  // answer to the next box that asks (buttons other than OK alone)
  void queueFile(const QString& fileName);
  void queueFileCancel();
  void queueFont(const QFont& font, const QColor& color = QColor(Qt::black));
  void queueFontCancel();
  void queueFolder(const QString& folder);  // "" answers as a cancel
  void queueInput(const QString& text);     // what the user types into the next input box

  // Everything shown, in order.
  std::vector<Call> calls;
  std::vector<Call> callsOf(Kind k) const;
  std::vector<Call> msgBoxes() const { return callsOf(Kind::MsgBox); }
  // The texts of the message boxes shown, in order.
  QStringList msgBoxTexts() const;
  // The last message box; fails the test when none was shown.
  Call lastMsgBox() const;
  void clear() { calls.clear(); }

  // By default every queued answer must have been used when the host goes away.
  bool requireAllAnswersUsed = true;
  // Runs while a message box is up, before it is answered (what else reaches the program
  // while the user looks at the box).
  std::function<void(const Call&)> whileMsgBoxUp;
  // What opening a document answers: false as when no program opens it.
  bool openDocumentSucceeds = true;

  // ui::DialogHost
  int msgBox(const QString& prompt, int flags, const QString& title) override;
  QString inputBox(const QString& prompt, const QString& title, const QString& def) override;
  ui::FileAnswer file(const ui::FileRequest& req) override;
  ui::FontAnswer font(const QFont& initial, const QColor& color) override;
  ui::ColorAnswer color(const QColor& initial) override;
  ui::FolderAnswer folder(const QString& title) override;
  bool openDocument(const QString& path) override;

 private:
  ui::DialogHost* previous_;
  std::deque<int> msgAnswers_;
  std::deque<ui::FileAnswer> files_;
  std::deque<ui::FontAnswer> fonts_;
  std::deque<ui::FolderAnswer> folders_;
  std::deque<QString> inputs_;
};

}  // namespace testsupport
