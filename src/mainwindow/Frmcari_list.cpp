// The member list: full fill, class filter, "Refresh", "Select All", row click, headers.
#include <QPainter>
#include <algorithm>
#include <iterator>

#include "Frmcari.h"
#include "Module1.h"
#include "msgbox.h"
#include "vb.h"

namespace {
const char* const kRowColumns[] = {"nis", "nisn", "nama", "ttl", "agama", "kelamin", "Barcode", "kelas", "ID"};
const char* const kSemuaAnggota = "select * from tblanggota order by nama";
}  // namespace

void Frmcari::tambahBaris(ado::Recordset& rs) {
  // Positions of the nine columns, looked up once for the whole fill.
  int pos[std::size(kRowColumns)];
  for (size_t c = 0; c < std::size(kRowColumns); ++c) {
    pos[c] = -1;
    for (int f = 0; f < rs.fieldCount(); ++f)
      if (rs.fieldName(f).compare(QLatin1String(kRowColumns[c]), Qt::CaseInsensitive) == 0) {
        pos[c] = f;
        break;
      }
    if (pos[c] < 0) rs.field(QString::fromLatin1(kRowColumns[c]));  // raises the unknown-field error
  }
  QList<QStringList> rows;
  rows.reserve(rs.RecordCount());
  int next = Lv1->count() + 1;
  while (!rs.EOF_()) {
    QStringList row;
    row.reserve(10);
    row << QString::number(next++);
    for (int p : pos) {
      // Text cells share the recordset's strings; the general conversion is slow for them.
      const QVariant& v = rs.fieldRef(p);
      row << (v.typeId() == QMetaType::QString ? v.value<QString>() : vb::text(v));
    }
    rows << std::move(row);
    rs.MoveNext();
  }
  Lv1->setSorted(false);
  Lv1->addRows(rows);
}

void Frmcari::tulisJumlah() { Label1->setText(vb::formatCount(Lv1->count())); }

Frmcari::Hasil Frmcari::isiDari(const QString& sql) {
  // Every fill reads forward only; the recordset's defaults.
  ado::Recordset rs;
  try {
    rs.Open(sql, *Module1::Conn);
  } catch (const vb::VbError& e) {
    Lv1->clearItems();
    ui::msgBox(QStringLiteral("Data gagal dibaca: ") + e.description, ui::vbCritical);
    return Hasil::Gagal;
  }
  Lv1->clearItems();
  if (rs.EOF_()) return Hasil::Kosong;
  vb::resumeNext([&] { tambahBaris(rs); });
  return Hasil::Ada;
}

void Frmcari::tampilData() {
  if (!Module1::koneksiTerbuka()) return;
  isiDari(QString::fromLatin1(kSemuaAnggota));
  tulisJumlah();
}

void Frmcari::CmbKelas_Click() {
  if (!Module1::koneksiTerbuka()) return;
  const QString kelas = CmbKelas->currentText();
  QString sql = QStringLiteral("Select * From Tblanggota");
  if (kelas == QLatin1String("Semua Kelas"))
    sql += QStringLiteral(" order by nama ");
  else
    sql += QStringLiteral(" where kelas = '") + ado::q(kelas) + QStringLiteral("' order by nama");
  // A query that cannot run ends like one that found nothing, after its message.
  if (isiDari(sql) != Hasil::Ada) bersih();
  tulisJumlah();
}

void Frmcari::cmdbersih_Click() {
  if (!Module1::koneksiTerbuka()) return;
  Lv1->clearItems();
  const bool terbaca = isiDari(QString::fromLatin1(kSemuaAnggota)) != Hasil::Gagal;
  if (terbaca) {
    Text1->setText(QString());
  } else {
    // The search would only fail the same way: one click, one message.
    QSignalBlocker block(Text1);
    Text1->clear();
  }
  tulisJumlah();
}

void Frmcari::Check1_Click() {
  const bool on = Check1->checkState() == Qt::Checked;
  for (int i = 1; i <= Lv1->count(); ++i) {
    Lv1->setChecked(i, on);
    Lv1->setSelected(i, on);
  }
}

void Frmcari::bersih() {
  Text2->setText(QString());
  Image2->setPicture(photobox::Picture());
  Image2->setSourceFile(QString());
}

void Frmcari::Lv1_Click() {
  if (Lv1->count() == 0) return;
  const int row = Lv1->currentIndex1();
  if (row == 0) return;  // rows but none current: nothing to show
  const QString nis = Lv1->subItem(row, 1);
  Text2->setText(nis);
  photobox::PhotoBoxGlobal::showMemberPhoto(*Image2, nis);
}

void Frmcari::Lv1_DblClick() {
  vb::resumeNext([this] { PushButton11_Click(); });
}

QStringList Frmcari::bacaCaption() {
  ado::Recordset rs;
  rs.CursorLocation = ado::adUseClient;
  rs.Open(QStringLiteral("select * from tlabel where idlabel = '") + QStringLiteral("2") + QStringLiteral("'"),
          Module1::koneksi(), ado::adOpenDynamic, ado::adLockOptimistic);
  QStringList captions;
  for (int i = 0; i < 7; ++i) captions << vb::text(rs.field(QStringLiteral("label21(%1)").arg(i)));
  rs.Close();
  return captions;
}

void Frmcari::pasangHeader(ui::ListView& lv, const QStringList& captions, const LebarKolom& k) {
  lv.clearColumns();
  lv.setReportStyle();
  lv.addColumn(QStringLiteral("No"), k.lebar[0]);
  for (int i = 0; i < 6; ++i) lv.addColumn(captions.value(i), k.lebar[1 + i]);
  lv.addColumn(QStringLiteral("Barcode"), k.lebar[7]);
  lv.addColumn(QStringLiteral("Kelas"), k.lebar[8]);
  lv.addColumn(QString::fromLatin1(k.idCaption), k.idLebar);
}

void Frmcari::setHeader() {
  // A missing row gives empty captions: the list still gets all ten columns, since
  // printing and deleting read the last one.
  QStringList c(7);
  bool hasRow = true;
  try {
    c = bacaCaption();
  } catch (const vb::VbError& e) {
    if (e.number != 3021) throw;
    hasRow = false;
  }
  static const LebarKolom lv1{{400, 1250, 1850, 2500, 1800, 1800, 1800, 1800, 8500}, "", 0};
  static const LebarKolom lv2{{400, 950, 1450, 2500, 1500, 1500, 1500, 1800, 8500}, "", 0};
  pasangHeader(*Lv1, c, lv1);
  pasangHeader(*Lv2, c, lv2);
  if (hasRow) {
    Label5->setText(c[0]);
    Label2->setText(QStringLiteral(" Kata Kunci : ") + c[0] + QStringLiteral(" atau ") + c[2] +
                    QStringLiteral(" atau ") + c[3] + QStringLiteral(" atau ") + c[4]);
  }
}

void Frmcari::warnaBaris(ui::ListView& L) {
  // One band per row, each exactly a row high and as wide as the list.
  const int rows = L.count();
  const int rowHeight = rows > 0 ? L.visualRect(L.model()->index(0, 0)).height() : 0;
  QImage picture(std::max(1, L.width()), std::max(1, rowHeight * rows), QImage::Format_RGB32);
  picture.fill(L.palette().color(QPalette::Base));
  QPainter p(&picture);
  for (int i = 1; i <= rows; ++i)
    p.fillRect(0, (i - 1) * rowHeight, picture.width(), rowHeight,
               i % 2 == 1 ? QColor(200, 225, 225) : QColor(225, 225, 200));
  p.end();
  L.setBackgroundPicture(picture);
}
