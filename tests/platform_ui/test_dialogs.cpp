#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "dialogs.h"
#include "msgbox.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"
#include "vb.h"

using testsupport::ScriptedDialogs;

namespace {

TEST(Filters, VbFiltersBecomeQtNameFilters) {
  EXPECT_EQ(ui::qtNameFilters("jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg"), QStringList({"jpeg file (*.jpg *.jpeg)"}));
  EXPECT_EQ(ui::qtNameFilters("Excel (*.xls;*.xlsx)|*.xls;*.xlsx|Semua|*.*"),
            QStringList({"Excel (*.xls *.xlsx)", "Semua (*.*)"}));
  // A description whose bracket disagrees with its patterns shows the real patterns.
  EXPECT_EQ(ui::qtNameFilters("Pictures (*.jpeg;*.jpg;)|*.jpeg;*.jpg"), QStringList({"Pictures (*.jpeg *.jpg)"}));
  EXPECT_TRUE(ui::qtNameFilters("").isEmpty());
  EXPECT_EQ(ui::qtNameFilters("Only a description").size(), 0);
}

TEST(Filters, MatchingIgnoresCaseAndUsesTheChosenFilter) {
  const QString f = "jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg|Excel|*.xls";
  EXPECT_TRUE(ui::matchesFilter(f, 1, "/tmp/Foto.JPG"));
  EXPECT_TRUE(ui::matchesFilter(f, 1, "a.JpEg"));
  EXPECT_FALSE(ui::matchesFilter(f, 1, "a.png"));
  EXPECT_FALSE(ui::matchesFilter(f, 1, "a.jpg.txt"));
  EXPECT_FALSE(ui::matchesFilter(f, 1, "book.xls"));
  EXPECT_TRUE(ui::matchesFilter(f, 2, "BOOK.XLS"));
  EXPECT_TRUE(ui::matchesFilter(f, 9, "x.jpg"));  // out of range: the first filter
  EXPECT_TRUE(ui::matchesFilter("All|*.*", 1, "README"));
  EXPECT_TRUE(ui::matchesFilter("", 1, "anything"));
}

TEST(CommonDialog, OpenPassesPropertiesAndSetsFileName) {
  ScriptedDialogs d;
  d.queueFile("/data/foto.jpg");
  ui::CommonDialog cd;
  cd.DialogTitle = "Pilih File jpg";
  cd.Filter = "jpeg file (*.jpg)|*.jpg";
  cd.InitDir = "";
  cd.ShowOpen();
  EXPECT_EQ(cd.FileName, "/data/foto.jpg");
  ASSERT_EQ(d.calls.size(), 1u);
  const auto& req = d.calls[0].file;
  EXPECT_FALSE(req.save);
  EXPECT_EQ(req.title, "Pilih File jpg");
  EXPECT_EQ(req.filter, "jpeg file (*.jpg)|*.jpg");
  EXPECT_EQ(req.filterIndex, 1);
}

TEST(CommonDialog, CancelRaisesTheCancelErrorOnlyWhenAskedTo) {
  ScriptedDialogs d;
  ui::CommonDialog cd;
  cd.FileName = "Export Lentavo 1.0";
  d.queueFileCancel();
  cd.ShowSave();  // CancelError off: nothing happens, the name stays
  EXPECT_EQ(cd.FileName, "Export Lentavo 1.0");
  EXPECT_TRUE(d.calls.back().file.save);
  EXPECT_EQ(d.calls.back().file.fileName, "Export Lentavo 1.0");

  cd.CancelError = true;
  d.queueFileCancel();
  try {
    cd.ShowOpen();
    FAIL() << "cancel raised nothing";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, 32755);
    EXPECT_EQ(e.number, vb::kErrCancel);
    EXPECT_EQ(e.description, "Cancel was selected.");
  }

  d.queueFontCancel();
  EXPECT_THROW(cd.ShowFont(), vb::VbError);
  QFont f("DejaVu Sans", 14);
  d.queueFont(f, Qt::red);
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
  EXPECT_EQ(d.msgBoxes()[0].flags, ui::vbInformation);
  EXPECT_EQ(d.msgBoxes()[1].title, "Konfirmasi");
  EXPECT_EQ(d.msgBoxTexts(), QStringList({"Telah dihapus", "Yakin?"}));
}

TEST(MsgBox, ScriptedHostsNestAndRestore) {
  ScriptedDialogs outer;
  {
    ScriptedDialogs inner;
    ui::msgBox("inner");
    EXPECT_EQ(inner.calls.size(), 1u);
  }
  ui::msgBox("outer");
  EXPECT_EQ(outer.msgBoxTexts(), QStringList({"outer"}));
  EXPECT_EQ(&ui::dialogHost(), &outer);
}

TEST(AppEnd, HookRecordsTheCall) {
  testsupport::ScopedEndHook hook;
  app::end();
  EXPECT_EQ(hook.count(), 1);
}

// The production host, driven by a timer that answers the dialog it opened.
class QtHost : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = ui::setDialogHost(nullptr); }
  void TearDown() override { ui::setDialogHost(previous_); }

  // Runs `act` on the modal dialog once it is up.
  static void whenModal(std::function<void(QWidget*)> act, int attempt = 0) {
    QTimer::singleShot(10, qApp, [act, attempt] {
      if (QWidget* w = QApplication::activeModalWidget()) {
        act(w);
      } else if (attempt < 200) {
        whenModal(act, attempt + 1);
      }
    });
  }
  ui::DialogHost* previous_ = nullptr;
};

TEST_F(QtHost, MessageBoxShowsVbButtonsAndIconAndReturnsVbCodes) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title;
  int buttons = 0;
  whenModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    title = box->windowTitle();
    buttons = box->standardButtons();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(ui::msgBox("Yakin anda ingin menghapus semua Record ?", ui::vbYesNo | ui::vbQuestion, "hapus"), ui::vbNo);
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(title, "hapus");
  EXPECT_EQ(buttons, int(QMessageBox::Yes | QMessageBox::No));

  whenModal([&](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_EQ(ui::msgBox("Telah dihapus", ui::vbExclamation, "Hapus"), ui::vbOK);
  EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST_F(QtHost, InputBoxReturnsTextOrEmptyOnCancel) {
  whenModal([](QWidget* w) {
    auto* dlg = qobject_cast<QInputDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->textValue(), "awal");
    dlg->setTextValue("baru");
    static_cast<QDialog*>(dlg)->accept();
  });
  EXPECT_EQ(ui::inputBox("Nama?", "T", "awal"), "baru");
  whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  EXPECT_EQ(ui::inputBox("Nama?", "T", "awal"), "");
}

TEST_F(QtHost, OpenDialogListsUpperCaseNamesAndRefusesNamesOutsideTheFilter) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* name : {"A.JPG", "b.jpg", "c.png"}) {
    QFile f(dir.filePath(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  QStringList shown;
  bool refused = false;
  whenModal([&](QWidget* w) {
    auto* dlg = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dlg, nullptr);
    auto* model = dlg->findChild<QFileSystemModel*>();
    auto* list = dlg->findChild<QListView*>("listView");
    ASSERT_TRUE(model && list);
    // The directory is read in the background; wait for it.
    for (int i = 0; i < 500 && list->model()->rowCount(list->rootIndex()) < 2; ++i) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
      shown << list->model()->index(r, 0, list->rootIndex()).data().toString();
    // A typed name outside the filter is refused: the dialog stays open.
    dlg->selectFile(dir.filePath("c.png"));
    static_cast<QDialog*>(dlg)->accept();
    refused = dlg->isVisible();
    dlg->selectFile(dir.filePath("A.JPG"));
    static_cast<QDialog*>(dlg)->accept();
  });
  ui::CommonDialog cd;
  cd.Filter = "jpeg file (*.jpg)|*.jpg";
  cd.InitDir = dir.path();
  cd.ShowOpen();
  shown.sort();
  EXPECT_EQ(shown, QStringList({"A.JPG", "b.jpg"}));
  EXPECT_TRUE(refused);
  EXPECT_EQ(cd.FileName, dir.filePath("A.JPG"));
}

TEST_F(QtHost, CancelledOpenDialogWithCancelErrorThrows) {
  whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  ui::CommonDialog cd;
  cd.CancelError = true;
  cd.Filter = "jpeg file (*.jpg)|*.jpg";
  EXPECT_THROW(cd.ShowOpen(), vb::VbError);
}

}  // namespace
