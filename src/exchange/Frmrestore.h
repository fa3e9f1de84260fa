#pragma once
// The restore window: puts a chosen database file, and the photos beside it, in place of
// the program's own.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

  // The register a restore replaced, kept until the next restore replaces it, and the new
  // one while it is copied and checked.
  static QString keptRegister();
  static QString stagedRegister();

 private:
  // Puts the checked file `staged` in place of the register under the register's lock and
  // keeps the register it replaces; "" on success, otherwise why nothing was replaced.
  static QString replaceDatabase(const QString& staged, const QString& target);
  // Copies the photos beside the restored file into the photo folder, and tells the user.
  void restorePhotos(const QString& folder);
};
