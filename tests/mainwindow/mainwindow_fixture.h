#pragma once
// A main window started on a fresh program folder, with every dialog scripted.
#include <gtest/gtest.h>

#include <QApplication>

#include "Frmcari.h"
#include "Module1.h"
#include "forms.h"
#include "program_folder.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"

namespace testsupport {

class MainWindowTest : public ::testing::Test {
 protected:
  void TearDown() override { closeAll(); }

  // Loads the main window as the program's start does (its Form_Load runs).
  Frmcari* start() {
    w = forms::get<Frmcari>();
    return w;
  }
  static void closeAll() {
    for (QWidget* f : forms::loaded()) forms::unload(f);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Module1::tutupKoneksi();
  }
  // Texts of one list row: the row text then sub-items 1..9.
  static QStringList row(ui::ListView* lv, int i) {
    QStringList r{lv->itemText(i)};
    for (int s = 1; s <= 9; ++s) r << lv->subItem(i, s);
    return r;
  }
  static QStringList column(ui::ListView* lv, int sub) {
    QStringList c;
    for (int i = 1; i <= lv->count(); ++i) c << (sub == 0 ? lv->itemText(i) : lv->subItem(i, sub));
    return c;
  }
  // Clicks row i as the user does (current row, then the click handler).
  void clickRow(int i) {
    w->Lv1->setCurrentIndex1(i);
    w->Lv1_Click();
  }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook endHook;
  Frmcari* w = nullptr;
};

}  // namespace testsupport
