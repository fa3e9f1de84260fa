#include "Frmbackup.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>

#include "Module1.h"
#include "backup.h"
#include "filecopy.h"
#include "msgbox.h"
#include "named.h"
#include "vb.h"

qint16 Frmbackup::persen = 0;
qint16 Frmbackup::hitung = 0;

namespace {

const QString kTitle = QStringLiteral("Backup");

// True when `folder` is the photo folder or lies inside it: a backup there would copy
// itself into itself.
bool insidePhotos(const QString& folder) {
  const QString photos = QFileInfo(vb::appPath(QStringLiteral("photos"))).canonicalFilePath();
  const QString chosen = QFileInfo(folder).canonicalFilePath();
  return !photos.isEmpty() && (chosen == photos || chosen.startsWith(photos + u'/'));
}

}  // namespace

Frmbackup::Frmbackup() {
  setObjectName(QStringLiteral("Frmbackup"));
  setCaption(QStringLiteral("Back Up"));
  auto* g = new QGridLayout(this);
  auto label = [this](const char* name, const QString& text) { return ui::named(new QLabel(text, this), name); };
  auto button = [this](const char* name, const QString& text) { return ui::named(new QPushButton(text, this), name); };
  Label14 = label("Label14", QStringLiteral("Backup Database"));
  QFont f = Label14->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 3);
  Label14->setFont(f);
  Label1 = label("Label1", QStringLiteral("Backup Destination"));
  txtDestination = new QLineEdit(this);
  txtDestination->setObjectName(QStringLiteral("txtDestination"));
  txtDestination->setReadOnly(true);
  Label1->setBuddy(txtDestination);
  cmdbrowse = button("cmdbrowse", QStringLiteral("&Open"));
  Command1 = button("Command1", QStringLiteral("&Tutup"));
  progStat = new QProgressBar(this);
  progStat->setObjectName(QStringLiteral("progStat"));
  progStat->setRange(0, 100);
  progStat->setValue(0);
  lblCount = label("lblCount", QStringLiteral("(0%)..."));
  lblInform = label("lblInform", QStringLiteral("Creating backup......."));
  for (QWidget* hidden : {static_cast<QWidget*>(progStat), static_cast<QWidget*>(lblCount),
                          static_cast<QWidget*>(lblInform)})
    hidden->setVisible(false);
  g->addWidget(Label14, 0, 0, 1, 3);
  g->addWidget(Label1, 1, 0);
  g->addWidget(txtDestination, 1, 1);
  g->addWidget(cmdbrowse, 1, 2);
  g->addWidget(lblInform, 2, 0);
  g->addWidget(lblCount, 2, 1);
  g->addWidget(progStat, 3, 0, 1, 3);
  g->addWidget(Command1, 4, 2);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(10);
  connect(cmdbrowse, &QPushButton::clicked, this, &Frmbackup::cmdbrowse_Click);
  connect(Command1, &QPushButton::clicked, this, &Frmbackup::Command1_Click);
  connect(Timer1, &QTimer::timeout, this, &Frmbackup::Timer1_Timer);
  Timer1->start();
  resize(480, 200);
}

// Closing the window stops the copy; what was copied stays.
Frmbackup::~Frmbackup() { stopCopy(); }

void Frmbackup::stopCopy() {
  if (!copy_) return;
  copy_->cancel = true;
  if (copy_->thread.joinable()) copy_->thread.join();
}

void Frmbackup::Form_Load() { sumber = Module1::databaseFile(); }

// No tick may run between the unload and the window's deletion.
void Frmbackup::Form_Unload() { Timer1->stop(); }

void Frmbackup::cmdbrowse_Click() {
  const QString folder = backup::PilihFolder(QStringLiteral("Select backup path"));
  if (folder.isEmpty()) return;
  if (insidePhotos(folder)) {
    ui::msgBox(QStringLiteral("Folder tujuan tidak boleh berada di dalam folder foto."), ui::vbExclamation, kTitle);
    return;
  }
  txtDestination->setText(folder);
}

void Frmbackup::Command1_Click() { forms::unload<Frmbackup>(); }

void Frmbackup::tutupForm() { forms::unload<Frmbackup>(); }

QStringList Frmbackup::kopi() {
  const QString destination = txtDestination->text();
  // No folder chosen yet: there is no backup folder to copy into.
  if (destination.isEmpty()) return {QLatin1String(backup::kCardPictureFolder)};
  const std::atomic<bool> never{false};
  // The folder may hold a finished backup: each picture reaches the disk before it replaces one.
  return backup::kopi(vb::appPath(QStringLiteral("images")), backup::datedFolder(destination), true, never);
}

QStringList Frmbackup::kopi1() { return kopi(); }

void Frmbackup::Timer1_Timer() {
  const QString destination = txtDestination->text();
  if (destination.isEmpty()) return;
  if (!copy_) {
    // Copied once; the ticks only move the bar, which waits short of the end for the copy.
    cmdbrowse->setEnabled(false);
    copy_ = std::make_unique<Copy>();
    const backup::Sources from{sumber, vb::appPath(QStringLiteral("photos")), vb::appPath(QStringLiteral("images"))};
    copy_->thread = std::thread([c = copy_.get(), from, folder = backup::datedFolder(destination)] {
      c->failed = backup::BuatBackup(from, folder, c->cancel);
      c->done = true;
    });
  }
  lblCount->setVisible(true);
  lblInform->setVisible(true);
  progStat->setVisible(true);
  if (progStat->value() + 2 >= 100 && !copy_->done) return;
  progStat->setValue(progStat->value() + 2);
  tampilProgres();
  if (progStat->value() != 100) return;
  Timer1->stop();
  copy_->thread.join();
  if (copy_->failed.isEmpty())
    ui::msgBox(QStringLiteral("Backup database complete"), ui::vbInformation, kTitle);
  else
    ui::msgBox(QStringLiteral("Backup tidak lengkap. Gagal disalin: ") + exchange::someNames(copy_->failed) +
                   QStringLiteral(". Backup ini tidak disimpan; backup lama di folder tujuan tidak diubah."),
               ui::vbCritical, kTitle);
  forms::unload<Frmbackup>();
}

void Frmbackup::tampilProgres() {
  ++hitung;
  if (persen < 100) {
    persen += 2;
    lblCount->setText(QStringLiteral("(%1%)...").arg(persen));
  }
  if (hitung == 100) {
    lblCount->setText(QStringLiteral("App..."));
    lblInform->setText(QStringLiteral("Starting"));
  }
}
