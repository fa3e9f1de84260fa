// The designer's save: the rows of the side in one transaction, its new pictures and its
// card face written into a pending folder first and moved into place once the rows are
// stored (see simpanTertunda.h).

#include "FrmAddLogo.h"
#include "Module1.h"
#include "cBitmap24.h"
#include "dc.h"
#include "frmsetting.h"
#include "mJpegWriter.h"
#include "msgbox.h"
#include "simpanTertunda.h"
#include "vb.h"

namespace {

const QString kSumber = QStringLiteral("FrmAddLogo");

// A single-precision value as the shortest decimal that reads back as it.
double tunggal(double v) { return QString::number(float(v), 'g', 9).toDouble(); }

void tulisBaris(ado::Connection& conn, const QString& side, const desain::Elemen& e) {
  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tbl_ctrl where ctrl_name = '") + ado::q(e.nama) +
              QStringLiteral("' and ctrl_desain = '") + ado::q(side) + QLatin1Char('\''),
          conn, ado::adOpenDynamic, ado::adLockOptimistic);
  // Of several rows with the name, the first is the element's.
  const bool baru = rs.EOF_();
  if (baru) rs.AddNew();
  rs.setField(QStringLiteral("ctrl_name"), e.nama);
  if (e.label) rs.setField(QStringLiteral("ctrl_caption"), e.caption);
  rs.setField(QStringLiteral("ctrl_left"), tunggal(e.left));
  rs.setField(QStringLiteral("ctrl_top"), tunggal(e.top));
  rs.setField(QStringLiteral("ctrl_width"), tunggal(e.width));
  rs.setField(QStringLiteral("ctrl_height"), tunggal(e.height));
  rs.setField(QStringLiteral("ctrl_visible"), e.visible);
  if (e.label) {
    rs.setField(QStringLiteral("ctrl_font_name"), e.font.name);
    rs.setField(QStringLiteral("ctrl_font_size"), QString::number(e.font.size, 'g', 7).toDouble());
    rs.setField(QStringLiteral("ctrl_font_bold"), e.font.bold);
    rs.setField(QStringLiteral("ctrl_font_italic"), e.font.italic);
    rs.setField(QStringLiteral("ctrl_font_color"), e.font.color);
  }
  if (baru) {
    if (e.label) rs.setField(QStringLiteral("ctrl_jenis"), QStringLiteral("label"));
    rs.setField(QStringLiteral("ctrl_desain"), side);
  }
  rs.Update();
  rs.Close();
}

}  // namespace

void FrmAddLogo::vkCommand2_Click() {
  QString belum;
  try {
    simpan(&belum);
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Desain tidak tersimpan: ") + e.description, ui::vbCritical, QStringLiteral("Simpan"));
    return;
  }
  if (!belum.isEmpty())
    ui::msgBox(QStringLiteral("Desain tersimpan, tetapi gambar kartu belum dapat dipasang (") + belum +
                   QStringLiteral("). Gambar itu dipasang saat program dibuka lagi."),
               ui::vbExclamation, QStringLiteral("Simpan"));
  forms::get<frmsetting>()->muatGambarKartu();
  CommonDialog9.FileName = QString();
  forms::unload(this);
}

void FrmAddLogo::simpan(QString* belum) {
  const QString side = Module1::Desain;
  simpanTertunda::Tertunda tertunda(side);
  // A picture not picked anew keeps its file untouched: no loss from encoding it again.
  for (const auto& g : gambar_)
    if (g->gambarBaru && !g->gambar.isEmpty())
      photobox::PhotoBoxGlobal::SavePictureFile(g->gambar, tertunda.berkas(desain::fileGambar(side, g->nama)),
                                                g->nama == QLatin1String("latar") ? 0 : 9);

  const QImage wajah = komposisi();
  if (!bmpKomposisi_) bmpKomposisi_ = std::make_unique<cBitmap24>();
  if (!bmpKomposisi_->Create(wajah.width(), wajah.height()))
    throw vb::VbError(7, kSumber, QStringLiteral("Out of memory"));
  {
    gdi::DcPainter dc(bmpKomposisi_->hDC());
    if (!dc.isActive()) throw vb::VbError(7, kSumber, QStringLiteral("Out of memory"));
    dc->drawImage(0, 0, wajah);
  }
  mJpegWriter::SaveJPG(*bmpKomposisi_, tertunda.berkas(desain::fileWajah(side)), 90);
  tertunda.siap();

  ado::Connection& conn = Module1::koneksi();
  conn.BeginTrans();
  try {
    for (const desain::Elemen* e : daftarElemen()) tulisBaris(conn, side, *e);
    tertunda.catat(conn);
    conn.CommitTrans();
  } catch (...) {
    vb::resumeNext([&] { conn.RollbackTrans(); });
    throw;
  }
  for (const auto& g : gambar_) g->gambarBaru = false;
  tertunda.selesaikan(belum);
}
