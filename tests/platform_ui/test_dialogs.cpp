// The common dialog's filters and cancel error, the message box's title, and the
// production dialog host driven while its dialogs are up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "dialogs.h"
#include "msgbox.h"
#include "scripted_dialogs.h"
#include "vb.h"

using testsupport::ScriptedDialogs;

namespace {

TEST(Filters, VbFiltersBecomeQtNameFilters) {
  const std::pair<const char*, QStringList> cases[] = {
      {"jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg", {"jpeg file (*.jpg *.jpeg)"}},
      {"Excel (*.xls;*.xlsx)|*.xls;*.xlsx|Semua|*.*", {"Excel (*.xls *.xlsx)", "Semua (*.*)"}},
      // A description whose bracket disagrees with its patterns shows the real patterns.
      {"Pictures (*.jpeg;*.jpg;)|*.jpeg;*.jpg", {"Pictures (*.jpeg *.jpg)"}},
      {"", {}},
      {"Only a description", {}}};
  for (const auto& [vb, qt] : cases) EXPECT_EQ(ui::qtNameFilters(vb), qt) << vb;
}

TEST(Filters, MatchingIgnoresCaseAndUsesTheChosenFilter) {
  const QString f = "jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg|Excel|*.xls";
  const struct {
    QString filter;
    int index;
    const char* name;
    bool matches;
  } cases[] = {{f, 1, "/tmp/Foto.JPG", true},  {f, 1, "a.JpEg", true},    {f, 1, "a.png", false},
               {f, 1, "a.jpg.txt", false},     {f, 1, "book.xls", false}, {f, 2, "BOOK.XLS", true},
               {f, 9, "x.jpg", true},  // out of range: the first filter
               {"All|*.*", 1, "README", true}, {"", 1, "anything", true}};
  for (const auto& c : cases) EXPECT_EQ(ui::matchesFilter(c.filter, c.index, c.name), c.matches) << c.name;
}

TEST(CommonDialog, OpenPassesPropertiesAndSetsFileName) {
  ScriptedDialogs d;
  d.queueFile("/data/foto.jpg");
  ui::CommonDialog cd;
  cd.DialogTitle = "Pilih File jpg";
  cd.Filter = "jpeg file (*.jpg)|*.jpg";
  cd.ShowOpen();
  EXPECT_EQ(cd.FileName, "/data/foto.jpg");
  const auto& req = d.calls.at(0).file;
  EXPECT_FALSE(req.save);
  EXPECT_EQ(req.title, "Pilih File jpg");
  EXPECT_EQ(req.filter, "jpeg file (*.jpg)|*.jpg");
}

TEST(CommonDialog, CancelRaisesTheCancelErrorOnlyWhenAskedTo) {
  ScriptedDialogs d;
  ui::CommonDialog cd;
  cd.FileName = "Export Lentavo 1.0";
  d.queueFileCancel();
  cd.ShowSave();  // CancelError off: nothing happens, the name stays
  EXPECT_EQ(cd.FileName, "Export Lentavo 1.0");
  EXPECT_EQ(d.calls.back().file.fileName, "Export Lentavo 1.0");

  cd.CancelError = true;
  d.queueFileCancel();
  try {
    cd.ShowOpen();
    ADD_FAILURE() << "cancel raised nothing";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, 32755);
    EXPECT_EQ(e.description, "Cancel was selected.");
  }
  d.queueFontCancel();
  EXPECT_THROW(cd.ShowFont(), vb::VbError);
  d.queueFont(QFont("DejaVu Sans", 14), Qt::red);
  cd.ShowFont();
  EXPECT_EQ(cd.Font.pointSize(), 14);
  EXPECT_EQ(cd.Color, QColor(Qt::red));
}

TEST(MsgBox, EmptyTitleMeansTheApplicationTitle) {
  ScriptedDialogs d;
  const QString old = vb::appTitle();
  vb::setAppTitle("Lentavo 1.0");
  ui::msgBox("Telah dihapus", ui::vbInformation);
  d.expectMsgBox(ui::vbNo);
  EXPECT_EQ(ui::msgBox("Yakin?", ui::vbYesNo, "Konfirmasi"), ui::vbNo);
  vb::setAppTitle(old);
  ASSERT_EQ(d.msgBoxes().size(), 2u);
  EXPECT_EQ(d.msgBoxes()[0].title, "Lentavo 1.0");
  EXPECT_EQ(d.msgBoxes()[1].title, "Konfirmasi");
}

// The production host. Each dialog is driven from inside its own modal loop and closed
// afterwards whatever happened, so a failing expectation fails the test and never leaves
// it waiting on an open dialog.
class QtHost : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = ui::setDialogHost(nullptr); }
  void TearDown() override { ui::setDialogHost(previous_); }

  static void whenModal(std::function<void(QDialog*)> act) {
    QTimer::singleShot(0, qApp, [act] {
      auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dlg) {
        ADD_FAILURE() << "no dialog is up";
        return;
      }
      act(dlg);
      if (dlg->isVisible()) {
        ADD_FAILURE() << "the dialog was left open";
        dlg->reject();
      }
    });
  }
  ui::DialogHost* previous_ = nullptr;
};

TEST_F(QtHost, MessageBoxShowsVbButtonsAndIconAndReturnsVbCodes) {
  const struct {
    int flags;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton press;
    QMessageBox::Icon icon;
    int result;
  } cases[] = {{ui::vbYesNo | ui::vbQuestion, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                QMessageBox::Question, ui::vbNo},
               {ui::vbExclamation, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Warning, ui::vbOK}};
  for (const auto& c : cases) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QMessageBox::StandardButtons buttons;
    whenModal([&](QDialog* d) {
      auto* box = qobject_cast<QMessageBox*>(d);
      ASSERT_NE(box, nullptr);
      icon = box->icon();
      title = box->windowTitle();
      buttons = box->standardButtons();
      box->button(c.press)->click();
    });
    EXPECT_EQ(ui::msgBox("Yakin?", c.flags, "hapus"), c.result);
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(title, "hapus");
    EXPECT_EQ(buttons, c.buttons);
  }
}

TEST_F(QtHost, InputBoxReturnsTextOrEmptyOnCancel) {
  whenModal([](QDialog* d) {
    auto* dlg = qobject_cast<QInputDialog*>(d);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->textValue(), "awal");
    dlg->setTextValue("baru");
    dlg->accept();
  });
  EXPECT_EQ(ui::inputBox("Nama?", "T", "awal"), "baru");
  whenModal([](QDialog* d) { d->reject(); });
  EXPECT_EQ(ui::inputBox("Nama?", "T", "awal"), "");
}

TEST_F(QtHost, OpenDialogListsUpperCaseNamesAndRefusesNamesOutsideTheFilter) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* name : {"A.JPG", "b.jpg", "c.png"})
    ASSERT_TRUE(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
  QStringList shown;
  bool refused = false;
  whenModal([&](QDialog* dlg) {
    auto* list = dlg->findChild<QListView*>("listView");
    auto* name = dlg->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(list && name);
    // The folder is read in the background: wait for its rows to arrive.
    QSignalSpy arrived(list->model(), &QAbstractItemModel::rowsInserted);
    while (list->model()->rowCount(list->rootIndex()) < 2) ASSERT_TRUE(arrived.wait(20000));
    for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
      shown << list->model()->index(r, 0, list->rootIndex()).data().toString();
    // The name is typed into the name field, as the user does; a name outside the filter
    // is refused and the dialog stays.
    name->setText("c.png");
    dlg->accept();
    refused = dlg->isVisible();
    name->setText("A.JPG");
    dlg->accept();
  });
  ui::CommonDialog cd;
  cd.Filter = "jpeg file (*.jpg)|*.jpg";
  cd.InitDir = dir.path();
  cd.ShowOpen();
  shown.sort();
  EXPECT_EQ(shown, QStringList({"A.JPG", "b.jpg"}));
  EXPECT_TRUE(refused);
  EXPECT_EQ(cd.FileName, dir.filePath("A.JPG"));

  whenModal([](QDialog* d) { d->reject(); });
  cd.CancelError = true;
  EXPECT_THROW(cd.ShowOpen(), vb::VbError);
}

}  // namespace
