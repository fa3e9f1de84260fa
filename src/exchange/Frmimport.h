#pragma once
// The Excel import window: previews the member rows of a workbook's first sheet, brings
// them into the register, and makes an empty template workbook for the user to fill.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "dialogs.h"
#include "forms.h"
#include "listview.h"

class Frmimport : public forms::Form {
  Q_OBJECT
 public:
  Frmimport();
  void Form_Load() override;

  QLabel* Label9;
  QLabel* Label1;
  QLabel* Labelpath;
  QLineEdit* Textpath;
  QPushButton* cmdCariFileExcel;
  QPushButton* Command2;
  QPushButton* cmdImportToAccess;
  QPushButton* Command1;
  ui::CommonDialog CommonDialog1;
  ui::ListView* lvwList;
  QLabel* Image2;

  void aturKolom();
  void cmdCariFileExcel_Click();
  void Command2_Click();
  void cmdImportToAccess_Click();
  // Removes every member row that repeats an earlier one in all columns but `id`; the
  // table keeps its key, its counter and its columns. No window calls it.
  void hapusDuplikat();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  // A handler that shows a box or a dialog runs its event loop: a close arriving meanwhile
  // (the close box, "Tutup" pressed through the accessibility bus) would destroy the window
  // under its own handler and the box it owns. Such a close waits until the handler is done.
  class Sibuk {
   public:
    explicit Sibuk(Frmimport* w) : w_(w) { ++w_->sibuk_; }
    ~Sibuk();
    Sibuk(const Sibuk&) = delete;
    Sibuk& operator=(const Sibuk&) = delete;

   private:
    Frmimport* w_;
  };
  void Command1_Click();
  int sibuk_ = 0;
  bool tutupTertunda_ = false;

  // The previewed rows as the workbook holds them (columns A to I). The list shows them
  // with "'" as "`"; the import stores these, so a name keeps its apostrophe.
  QList<QStringList> sheetRows_;
};
