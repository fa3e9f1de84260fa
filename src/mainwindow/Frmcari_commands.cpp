// The main window's buttons: photo of the selected member, entry window, deletes, and
// the windows of the other tasks.
#include <QDate>
#include <QFileInfo>

#include "Frmbackup.h"
#include "Frmcari.h"
#include "Frmimport.h"
#include "Frmtentang.h"
#include "Frmrestore.h"
#include "Form4.h"
#include "Module1.h"
#include "Module3.h"
#include "frmAggota.h"
#include "frmWebcame.h"
#include "frmsetting.h"
#include "msgbox.h"
#include "photos.h"
#include "vb.h"
#include "xlsxwrite.h"

void Frmcari::connectCommands() {
  connect(Command1, &QPushButton::clicked, this, &Frmcari::Command1_Click);
  connect(cmdfoto, &QPushButton::clicked, this, &Frmcari::cmdfoto_Click);
  connect(Command2, &QPushButton::clicked, this, &Frmcari::Command2_Click);
  connect(Command3, &QPushButton::clicked, this, &Frmcari::Command3_Click);
  connect(Command4, &QPushButton::clicked, this, &Frmcari::Command4_Click);
  connect(PushButton11, &QPushButton::clicked, this, &Frmcari::PushButton11_Click);
  connect(Command5, &QPushButton::clicked, this, &Frmcari::Command5_Click);
  connect(Command6, &QPushButton::clicked, this, &Frmcari::Command6_Click);
  connect(Export, &QPushButton::clicked, this, &Frmcari::Export_Click);
  connect(PushButton1, &QToolButton::clicked, this, &Frmcari::PushButton1_Click);
  connect(PushButton5, &QToolButton::clicked, this, &Frmcari::PushButton5_Click);
  connect(PushButton6, &QToolButton::clicked, this, &Frmcari::PushButton6_Click);
  connect(PushButton7, &QToolButton::clicked, this, &Frmcari::PushButton7_Click);
  connect(PushButton2, &QToolButton::clicked, this, &Frmcari::PushButton2_Click);
  connect(PushButton3, &QToolButton::clicked, this, &Frmcari::PushButton3_Click);
  connect(PushButton8, &QToolButton::clicked, this, &Frmcari::PushButton8_Click);
  connect(PushButton4, &QToolButton::clicked, this, &Frmcari::PushButton4_Click);
  connect(Lv1, &ui::ListView::columnClicked, this, &Frmcari::Lv1_ColumnClick);
  connect(m_ukuranA4, &QAction::triggered, this, &Frmcari::m_ukuranA4_Click);
  connect(m_Front, &QAction::triggered, this, &Frmcari::m_Front_Click);
  connect(m_back, &QAction::triggered, this, &Frmcari::m_back_Click);
  Text1->installEventFilter(this);
}

void Frmcari::cmdfoto_Click() {
  CommonDialog1.DialogTitle = QStringLiteral("Pilih File jpg");
  CommonDialog1.Filter = QStringLiteral("jpeg file (*.jpg)|*.jpg");
  CommonDialog1.InitDir = QString();
  CommonDialog1.CancelError = true;
  try {
    CommonDialog1.ShowOpen();
  } catch (const vb::VbError&) {
    return;  // cancelled: the photo stays as it was
  }
  vb::resumeNext([this] { photobox::PhotoBoxGlobal::loadInto(*Image2, CommonDialog1.FileName); });
}

void Frmcari::Command2_Click() {
  frmWebcame* cam = forms::get<frmWebcame>();
  cam->setCaption(QStringLiteral("Cari"));
  forms::showFront(cam);
}

void Frmcari::Command3_Click() {
  if (Text2->text().isEmpty()) {
    ui::msgBox(QStringLiteral("silakan Pilih salah satu siswa"), ui::vbExclamation);
    return;
  }
  const QString nis = Text2->text();
  try {
    // Another member whose nis gives the same file name ("2024/002", "2024-002") keeps
    // the photo: the member shown here is the one with exactly this nis, if any.
    long long id = -1;
    ado::Recordset rs;
    rs.Open(QStringLiteral("select id from tblanggota where nis = '") + ado::q(nis) + QStringLiteral("'"),
            *Module1::Conn);
    if (!rs.EOF_()) id = rs.field(QStringLiteral("id")).toLongLong();
    rs.Close();
    const QString pemilik = photos::pemilikLain(nis, id);
    if (!pemilik.isEmpty()) {
      ui::msgBox(QStringLiteral("Foto tidak disimpan: file foto %1 sudah dipakai anggota dengan NIS %2.")
                     .arg(photobox::photoFileName(nis), pemilik),
                 ui::vbExclamation);
      return;
    }
    photobox::PhotoBoxGlobal::SavePictureFile(Image2->picture(), photos::memberPhotoFile(nis), 0);
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Foto gagal disimpan: ") + e.description, ui::vbExclamation);
    return;
  }
  ui::msgBox(QStringLiteral("Foto berhasil di simpan"), ui::vbInformation);
}

void Frmcari::Command4_Click() {
  // A new member: the window is cleared as its own "Tambah" does (print off), even when it
  // still holds a member opened with "Ubah", so the new one never overwrites that member.
  frmAggota* f = forms::get<frmAggota>();
  f->Cmdtambah_Click();
  forms::showFront(f);
  tampilData();
}

void Frmcari::PushButton6_Click() { forms::showFront(forms::get<frmAggota>()); }

void Frmcari::PushButton11_Click() {
  if (Lv1->count() == 0) {
    ui::msgBox(QStringLiteral("Data masih kosong"), ui::vbExclamation);
    return;
  }
  const int row = Lv1->currentIndex1();
  if (row == 0) return;  // no current row: nothing to open
  frmAggota* f = forms::get<frmAggota>();
  QLineEdit* fields[] = {f->TextNis, f->TextNISN, f->TextNama, f->TextTTL, f->Textagama, f->Textkelamin, f->TextAlamat};
  for (int s = 1; s <= 7; ++s) fields[s - 1]->setText(Lv1->subItem(row, s));
  f->CmbKelas->setEditText(Lv1->subItem(row, 8));
  f->Textid->setText(Lv1->subItem(row, 9));
  const QString nis = Lv1->subItem(row, 1);
  photobox::PhotoBoxGlobal::showMemberPhoto(*f->Image1, nis);
  f->TextNis->setEnabled(false);
  forms::showFront(f);
}

void Frmcari::Command5_Click() {
  if (!Module1::koneksiTerbuka() || Lv1->count() == 0) return;
  const int current = Lv1->currentIndex1();
  if (current == 0 || Lv1->itemText(current).isEmpty()) {
    ui::msgBox(QStringLiteral("Pilih Record yang akan di hapus"), ui::vbExclamation, QStringLiteral("Hapus"));
    return;
  }
  // The ticked rows from the last to the first, so a removal never shifts one still to come.
  QList<int> rows;
  for (int j = Lv1->count(); j > 0; --j)
    if (Lv1->checked(j)) rows.push_back(j);
  if (rows.isEmpty()) {
    ui::msgBox(QStringLiteral("Silakan pilih / ceklist data yang ingin dihapus"), ui::vbExclamation);
    return;
  }
  if (ui::msgBox(
          QStringLiteral("Apakah Anda Yakin Menghapus ") + QString::number(rows.size()) + QStringLiteral("  data? "),
          ui::vbYesNo, QStringLiteral("Konfirmasi")) != ui::vbYes)
    return;
  // One transaction: every ticked member goes, or none does and every row stays listed.
  try {
    Module1::Conn->BeginTrans();
    for (int row : rows) {
      // The id is a number: anything else in the cell is refused rather than put in the statement.
      bool isNumber = false;
      const qlonglong id = Lv1->subItem(row, 9).toLongLong(&isNumber);
      if (!isNumber) throw vb::VbError(13, QStringLiteral("Lentavo"), QStringLiteral("Type mismatch"));
      Module1::Conn->Execute(QStringLiteral("DELETE * FROM tblanggota WHERE id =") + QString::number(id));
    }
    Module1::Conn->CommitTrans();
  } catch (const vb::VbError& e) {
    vb::resumeNext([] { Module1::Conn->RollbackTrans(); });
    ui::msgBox(QStringLiteral("Data gagal dihapus: ") + e.description, ui::vbCritical, QStringLiteral("Hapus"));
    return;
  }
  for (int row : rows) Lv1->removeItem(row);
  ui::msgBox(QStringLiteral("Telah dihapus"), ui::vbInformation, QStringLiteral("Hapus"));
}

void Frmcari::PushButton8_Click() {
  if (!Module1::koneksiTerbuka()) return;
  if (ui::msgBox(QStringLiteral("Yakin anda ingin menghapus semua Record ?"), ui::vbYesNo, QStringLiteral("hapus")) !=
      ui::vbYes)
    return;
  try {
    Module1::Conn->Execute(QStringLiteral("DELETE * FROM [TblAnggota]"));
  } catch (const vb::VbError& e) {
    // The photos belong to members that are still there: keep them.
    ui::msgBox(QStringLiteral("Data gagal dihapus: ") + e.description, ui::vbCritical, QStringLiteral("Hapus"));
    return;
  }
  Module3::HapusIsiFolder(vb::appPath(QStringLiteral("photos")));
  ui::msgBox(QStringLiteral("Semua Record Telah berhasil dihapus"), ui::vbInformation, QStringLiteral("Hapus"));
  tampilData();
}

void Frmcari::Command6_Click() { m_Cetak->popup(QCursor::pos()); }

void Frmcari::PushButton1_Click() {
  forms::showModal(forms::get<Frmimport>(), this);
  tampilData();
  // The import may have added classes; the filter offers them now, not at the next start.
  isiKelas();
}

void Frmcari::PushButton5_Click() { forms::showModal(forms::get<Form4>(), this); }

void Frmcari::PushButton7_Click() { forms::showModal(forms::get<frmsetting>(), this); }

void Frmcari::PushButton2_Click() { forms::showModal(forms::get<Frmbackup>(), this); }

void Frmcari::PushButton3_Click() {
  forms::showModal(forms::get<Frmrestore>(), this);
  tampilData();
  // The restored register brings its own classes.
  isiKelas();
}

void Frmcari::PushButton4_Click() { forms::showModal(forms::get<Frmtentang>(), this); }

void Frmcari::Export_Click() {
  if (Lv1->count() == 0) {
    ui::msgBox(QStringLiteral("No data to export"), ui::vbInformation, Caption());
    return;
  }
  // The list as shown: its headings and rows in their order, without the last (id) column.
  const int columns = Lv1->columnCount() - 1;
  QList<QStringList> rows;
  rows.reserve(Lv1->count() + 1);
  QStringList header;
  for (int c = 1; c <= columns; ++c) header << Lv1->columnText(c);
  rows << header;
  for (int i = 1; i <= Lv1->count(); ++i) {
    QStringList r{Lv1->itemText(i)};
    for (int c = 2; c <= columns; ++c) r << Lv1->subItem(i, c - 1);
    rows << r;
  }

  CommonDialog1.CancelError = true;
  CommonDialog1.Flags = 2054;
  CommonDialog1.Filter = QStringLiteral("Excel File (*.xlsx)|*.xlsx");
  CommonDialog1.FileName = QStringLiteral("Export ") + Caption() +
                           QDate::currentDate().toString(QStringLiteral("ddMMyyyy")) + QStringLiteral(".xlsx");
  try {
    CommonDialog1.ShowSave();
  } catch (const vb::VbError&) {
    ui::msgBox(QStringLiteral("you cancelled the dialog box"), ui::vbOKOnly, vb::appTitle());
    return;
  }
  const QString file = CommonDialog1.FileName;
  const QString error = excel::writeTextSheet(file, rows);
  if (!error.isEmpty()) {
    ui::msgBox(QStringLiteral("Unexpected error. Err %1 : ").arg(vb::kErrFileAccess) + error, ui::vbOKOnly,
               vb::appTitle());
    return;
  }
  ui::msgBox(QStringLiteral("Export Completed"), ui::vbInformation, Caption());
  ui::openDocument(file);
}

void Frmcari::bukaPanduan() {
  const QString file = vb::appPath(QStringLiteral("panduan.pdf"));
  if (!QFileInfo::exists(file) || !ui::openDocument(file))
    ui::msgBox(QStringLiteral("Terjadi kesalahan saat memuat file bantuan, pastikan pc anda telah terinstall Adobe "
                              "Reader / PDF Reader"),
               ui::vbInformation, QStringLiteral("Korvanta"));
}

void Frmcari::bukaWeb() { ui::openDocument(QStringLiteral("https://korvanta.example/")); }
