#pragma once
// The card settings window on a fresh program folder, with every dialog scripted.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "Module1.h"
#include "forms.h"
#include "frmsetting.h"
#include "program_folder.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"

namespace testsupport {

class CardDesignTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Module1::bukaKoneksi()); }
  void TearDown() override {
    for (QWidget* f : forms::loaded()) forms::unload(f);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Module1::tutupKoneksi();
  }
  frmsetting* open() {
    s = forms::get<frmsetting>();
    s->show();
    return s;
  }
  // Every value of a settings row, in column order.
  QVariantList row(const QString& table, const QString& key) {
    ado::Recordset rs;
    rs.Open("select * from " + table + " where " + key + " = '2'", pf.db());
    QVariantList v;
    for (int i = 0; i < rs.fieldCount(); ++i) v << rs.field(i);
    return v;
  }
  int column(const QString& table, const QString& name) {
    ado::Recordset rs;
    rs.Open("select * from " + table, pf.db());
    for (int i = 0; i < rs.fieldCount(); ++i)
      if (rs.fieldName(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
  }
  static void click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook endHook;  // unloading the main window ends the program
  frmsetting* s = nullptr;
};

}  // namespace testsupport
