#include "Frmrestore.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Frmcari.h"
#include "Module1.h"
#include "filecopy.h"
#include "msgbox.h"
#include "vb.h"

std::function<void()> Frmrestore::afterReplaceHook;

namespace {

const QString kTitle = QStringLiteral("Restore");

// True when `file` opens with the program's key and holds the member table.
bool isRegister(const QString& file) {
  ado::Connection c;
  c.ConnectionString = QStringLiteral("Data Source=") + file;
  c.setProperty(QStringLiteral("Jet OLEDB:Database Password"), QString::fromLatin1(Module1::kDatabasePassword));
  return vb::resumeNext([&] {
    c.Open();
    ado::Recordset rs;
    rs.Open(QStringLiteral("select * from tblanggota where 0 = 1"), c);
  });
}

bool renameOver(const QString& from, const QString& to) {
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

Frmrestore::Frmrestore() {
  setObjectName(QStringLiteral("Frmrestore"));
  setCaption(QStringLiteral("Restore"));
  auto* g = new QGridLayout(this);
  auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  Label14 = new QLabel(QStringLiteral("Restore Database"), this);
  Label14->setObjectName(QStringLiteral("Label14"));
  QFont f = Label14->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 3);
  Label14->setFont(f);
  Label1 = new QLabel(QStringLiteral("Pilih file database"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Label1->setBuddy(Text1);
  Command1 = button("Command1", QStringLiteral("&Browse"));
  cmdrestore = button("cmdrestore", QStringLiteral("&Restore"));
  Command2 = button("Command2", QStringLiteral("&Tutup"));
  g->addWidget(Label14, 0, 0, 1, 3);
  g->addWidget(Label1, 1, 0);
  g->addWidget(Text1, 1, 1);
  g->addWidget(Command1, 1, 2);
  g->addWidget(cmdrestore, 2, 1, Qt::AlignRight);
  g->addWidget(Command2, 2, 2);
  connect(Command1, &QPushButton::clicked, this, &Frmrestore::Command1_Click);
  connect(cmdrestore, &QPushButton::clicked, this, &Frmrestore::cmdrestore_Click);
  connect(Command2, &QPushButton::clicked, this, [] { forms::unload<Frmrestore>(); });
  resize(520, 160);
}

void Frmrestore::Command1_Click() {
  CommonDialog1.DialogTitle = QStringLiteral("Pilih  Database");
  CommonDialog1.Filter = QStringLiteral("Acces File (*.mdb)|*.mdb");
  CommonDialog1.InitDir = QString();
  vb::resumeNext([&] { CommonDialog1.ShowOpen(); });
  Text1->setText(CommonDialog1.FileName);
}

bool Frmrestore::replaceDatabase(const QString& source, const QString& target, QString* why) {
  // The new file is staged whole beside the target before the connection closes.
  const QString staged = target + QStringLiteral(".baru");
  const QString safety = target + QStringLiteral(".lama");
  if (!exchange::replaceFile(source, staged, true, why)) return false;
  const bool wasOpen = Module1::koneksiTerbuka();
  if (wasOpen) Module1::Conn->Close();
  auto reopen = [&] { return !wasOpen || vb::resumeNext([] { Module1::Conn->Open(); }); };
  if (!exchange::replaceFile(target, safety, true, why)) {
    QFile::remove(staged);
    reopen();
    return false;
  }
  if (!renameOver(staged, target)) {
    *why = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(staged);
    QFile::remove(safety);
    reopen();
    return false;
  }
  bool opened = false;
  try {
    if (afterReplaceHook) afterReplaceHook();
    if (wasOpen) Module1::Conn->Open();
    opened = true;
  } catch (const vb::VbError& e) {
    *why = e.description;
  } catch (...) {
    *why = QStringLiteral("database tidak dapat dibuka");
  }
  if (opened) {
    QFile::remove(safety);
    return true;
  }
  if (!renameOver(safety, target)) *why += QStringLiteral("; salinan pengaman tersimpan di ") + safety;
  reopen();
  return false;
}

void Frmrestore::cmdrestore_Click() {
  const QString source = Text1->text();
  if (source.isEmpty()) {
    ui::msgBox(QStringLiteral("Pilih File database terlebih dahulu"), ui::vbInformation, kTitle);
    return;
  }
  const QString target = Module1::databaseFile();
  const QFileInfo from(source);
  if (!from.isFile()) {
    ui::msgBox(QStringLiteral("File database %1 tidak ditemukan").arg(source), ui::vbExclamation, kTitle);
    return;
  }
  // Restoring the database onto itself would only copy it over itself.
  if (from.canonicalFilePath() == QFileInfo(target).canonicalFilePath()) return;
  if (!isRegister(source)) {
    ui::msgBox(QStringLiteral("File %1 bukan database program ini atau kata sandinya berbeda. Database tidak diubah.")
                   .arg(source),
               ui::vbExclamation, kTitle);
    return;
  }
  QString why;
  if (!replaceDatabase(source, target, &why)) {
    ui::msgBox(QStringLiteral("Restore gagal: %1. Database sebelumnya dikembalikan.").arg(why), ui::vbCritical, kTitle);
    LvTampil();
    return;
  }
  const QString folder = exchange::withSlash(from.absolutePath());
  const QString photos = vb::appPath(QStringLiteral("photos/"));
  QStringList failed;
  for (const QString& name : exchange::jpgFiles(folder))
    if (!exchange::replaceFile(folder + name, photos + name, true)) failed << name;
  if (failed.isEmpty())
    ui::msgBox(QStringLiteral("Restore Complete"), ui::vbInformation, kTitle);
  else
    ui::msgBox(QStringLiteral("Database dikembalikan, tetapi foto berikut gagal disalin: ") + failed.join(u", "),
               ui::vbCritical, kTitle);
  LvTampil();
}

void Frmrestore::LvTampil() {
  Frmcari* main = forms::get<Frmcari>();
  ui::ListView* lv = main->Lv1;
  ado::Recordset rs;
  const bool opened = Module1::koneksiTerbuka() &&
                      vb::resumeNext([&] { rs.Open(QStringLiteral("select * from tblanggota"), *Module1::Conn); });
  lv->clearItems();
  lv->setSorted(false);
  if (opened)
    vb::resumeNext([&] {
      for (; !rs.EOF_(); rs.MoveNext()) {
        QStringList row{QString::number(lv->count() + 1)};
        for (int c = 1; c <= 8; ++c) row << vb::text(rs.field(c));
        lv->addRow(row);
      }
    });
  main->Label1->setText(vb::formatCount(lv->count()));
}
