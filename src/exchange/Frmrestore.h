#pragma once
// The restore window: puts a chosen database file, and the photos beside it, in place of
// the program's own.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <functional>

#include "dialogs.h"
#include "forms.h"

class Frmrestore : public forms::Form {
  Q_OBJECT
 public:
  Frmrestore();

  QLabel* Label14;
  QLabel* Label1;
  QLineEdit* Text1;
  QPushButton* Command1;
  QPushButton* cmdrestore;
  QPushButton* Command2;
  ui::CommonDialog CommonDialog1;

  // Refills the main window's member list and count from tblanggota, in query order.
  void LvTampil();
  void Command1_Click();
  void cmdrestore_Click();

  // Runs after the new database file is in place and before the connection opens again;
  // a test makes the restore fail there.
  static std::function<void()> afterReplaceHook;

 private:
  // Replaces `target` by `source` around the shared connection; on failure the previous
  // file is back in place, the connection open again and `why` says what went wrong.
  static bool replaceDatabase(const QString& source, const QString& target, QString* why);
};
