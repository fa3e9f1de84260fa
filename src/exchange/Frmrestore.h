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
  // Copies the designer's pictures (*.gif), belakang.jpg and depan.jpg from the folder of
  // the path in Text1 into images/. The first failing step raises VbError for the caller.
  void kopi();
  void Command1_Click();
  void cmdrestore_Click();

  // The register a restore replaced, kept until a later restore has replaced the register,
  // and the new one while it is copied and checked.
  static QString keptRegister();
  static QString stagedRegister();

 private:
  // Refills the main window's list (LvTampil).
  Q_INVOKABLE void tampilUlang();
  // Copies `source`, with a journal or log beside it, to the staged register and checks
  // the copy; "" when it can replace the register, otherwise why not.
  static QString stage(const QString& source);
  // Removes the staged register and what the engine keeps beside it.
  static void removeStaged();
  // Puts the checked staged register in place of the register under the register's lock;
  // the register it replaces becomes the kept one once the swap is done. "" on success,
  // otherwise why nothing was replaced.
  static QString replaceDatabase(const QString& source, const QString& target);
  // Copies the photos beside the restored file into the photo folder, and tells the user.
  void restorePhotos(const QString& folder);
};
