// Save and delete of the member shown in the entry window.
#include <QFileInfo>

#include "Module1.h"
#include "frmAggota.h"
#include "msgbox.h"
#include "photos.h"
#include "vb.h"

void frmAggota::cmdSimpan_Click() {
  if (!Module1::koneksiTerbuka()) return;
  auto wajib = [this](QLineEdit* field, const QString& message) {
    ui::msgBox(message, ui::vbExclamation);
    field->setFocus();
  };
  if (TextNis->text().isEmpty()) return wajib(TextNis, Label3->text() + QStringLiteral(" tidak boleh kosong"));
  if (TextNISN->text().isEmpty()) return wajib(TextNISN, Label4->text() + QStringLiteral(" tidak boleh kosong"));
  if (TextNama->text().isEmpty()) return wajib(TextNama, Label5->text() + QStringLiteral("tidak boleh kosong"));

  bool ubah = false;
  try {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.CursorType = ado::adOpenDynamic;
    rs.LockType = ado::adLockOptimistic;
    rs.Open(QStringLiteral("Select * From tblanggota where id =") + QLatin1Char(' ') + QString::number(kunci()),
            *Module1::Conn);
    ubah = !rs.EOF_();
    if (!ubah) {
      ado::Recordset cek;
      cek.Open(QStringLiteral("select * from tblanggota where nis = '") + ado::q(TextNis->text()) + QStringLiteral("'"),
               *Module1::Conn);
      const bool taken = !cek.EOF_();
      cek.Close();
      if (taken) {
        ui::msgBox(QStringLiteral("Data dengan") + Label3->text() +
                       QStringLiteral(" sdh ada di dalam database, gunakan yang lain"),
                   ui::vbExclamation);
        return;
      }
      rs.AddNew();
    }
    rs.setField(QStringLiteral("nis"), TextNis->text());
    rs.setField(QStringLiteral("nisn"), TextNISN->text());
    rs.setField(QStringLiteral("nama"), TextNama->text());
    rs.setField(QStringLiteral("ttl"), TextTTL->text());
    rs.setField(QStringLiteral("agama"), Textagama->text());
    rs.setField(QStringLiteral("kelamin"), Textkelamin->text());
    rs.setField(QStringLiteral("barcode"), TextAlamat->text());
    rs.setField(QStringLiteral("kelas"), CmbKelas->currentText());
    rs.Update();
    // The stored row's key, so a second save changes this member instead of adding it again.
    Textid->setText(vb::text(rs.field(QStringLiteral("id"))));
    rs.Close();
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Data gagal disimpan: ") + e.description, ui::vbCritical);
    return;
  }

  const QString file = photos::memberPhotoFile(TextNis->text());
  QString pemilik;
  const bool fotoOk = vb::resumeNext([&] {
    pemilik = photos::pemilikLain(TextNis->text(), kunci());
    if (!pemilik.isEmpty() || Image1->picture().isEmpty()) return;
    // The blank photo never replaces a member's own photo that could not be shown.
    if (ubah && Image1->sourceFile() == photos::blankPhotoFile() && QFileInfo::exists(file)) return;
    photobox::PhotoBoxGlobal::SavePictureFile(Image1->picture(), file, 0);
  });
  CommonDialog1.FileName.clear();
  ui::msgBox(QStringLiteral("Data berhasil di simpan"), ui::vbInformation);
  if (!pemilik.isEmpty())
    ui::msgBox(QStringLiteral("Foto tidak disimpan: file foto %1 sudah dipakai anggota dengan %2 %3.")
                   .arg(photobox::photoFileName(TextNis->text()), Label3->text(), pemilik),
               ui::vbExclamation);
  else if (!fotoOk)
    ui::msgBox(QStringLiteral("Foto gagal disimpan"), ui::vbExclamation);
  TextNis->setEnabled(false);
  Cmdcetak->setEnabled(true);
}

void frmAggota::CMDHapus_Click() {
  if (!Module1::koneksiTerbuka()) return;
  if (TextNis->text().isEmpty()) {
    ui::msgBox(QStringLiteral("Pilih Record yang akan di hapus"), ui::vbExclamation, QStringLiteral("Korvanta"));
    return;
  }
  if (ui::msgBox(QStringLiteral("Apakah Anda Yakin Menghapus ") + Label3->text() + QLatin1Char(' ') + TextNis->text() +
                     QStringLiteral(" ?"),
                 ui::vbYesNo, QStringLiteral("Korvanta")) != ui::vbYes)
    return;
  try {
    Module1::Conn->Execute(QStringLiteral("DELETE * FROM tblanggota WHERE nis='") + ado::q(TextNis->text()) +
                           QStringLiteral("'"));
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Data gagal dihapus: ") + e.description, ui::vbCritical, QStringLiteral("Korvanta"));
    return;
  }
  bersih();
  ui::msgBox(QStringLiteral("Telah dihapus"), ui::vbInformation, QStringLiteral("Korvanta"));
}
