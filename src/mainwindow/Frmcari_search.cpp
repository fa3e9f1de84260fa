// The three searches and the column sort of the member list.
#include <QKeyEvent>

#include "Frmcari.h"
#include "Module1.h"
#include "msgbox.h"
#include "sORTED.h"
#include "vb.h"

namespace {

// The five searched columns; the keyword's quotes are doubled, "%" and "_" stay wildcards.
QString keywordCondition(const QString& keyword) {
  const QString t = ado::q(keyword);
  return QStringLiteral("nis like '%") + t + QStringLiteral("%' or  nisn like '%") + t +
         QStringLiteral("%' or  nama  like '%") + t + QStringLiteral("%' or  ttl like '%") + t +
         QStringLiteral("%' or  agama like '%") + t + QStringLiteral("%'");
}

void pesanTidakDitemukan() {
  ui::msgBox(QStringLiteral("Data yang anda cai tidak ditemukan"), ui::vbExclamation, QStringLiteral("Korvanta"));
}

}  // namespace

void Frmcari::Command1_Click() {
  if (!Module1::koneksiTerbuka()) return;
  const QString kelas = CmbKelas->currentText();
  QString sql;
  if (kelas == QLatin1String("Semua Kelas"))
    sql = QStringLiteral("Select * From Tblanggota where ") + keywordCondition(Text1->text()) +
          QStringLiteral(" order by nama");
  else
    sql = QStringLiteral("Select * From Tblanggota where kelas = '") + ado::q(kelas) + QStringLiteral("' and (") +
          keywordCondition(Text1->text()) + QStringLiteral(") order by nama ");
  // A search that cannot run has said why; it then ends like one that found nothing.
  const Hasil hasil = isiDari(sql);
  if (hasil == Hasil::Kosong) pesanTidakDitemukan();
  if (hasil != Hasil::Ada) bersih();
  tulisJumlah();
}

void Frmcari::Text1_Change() {
  if (!Module1::koneksiTerbuka()) return;
  const QString sql = QStringLiteral("Select * From Tblanggota where ") + keywordCondition(Text1->text()) +
                      QStringLiteral(" order by nis");
  if (isiDari(sql) != Hasil::Ada) bersih();
  tulisJumlah();
}

void Frmcari::Text1_KeyPress(int KeyAscii) {
  if (!Module1::koneksiTerbuka()) return;
  if (KeyAscii == 13) {
    const QString sql = QStringLiteral("Select * From Tblanggota where nis = '") + ado::q(Text1->text()) +
                        QStringLiteral("' order by nis ");
    if (isiDari(sql) == Hasil::Kosong) pesanTidakDitemukan();
  }
  tulisJumlah();
}

bool Frmcari::eventFilter(QObject* o, QEvent* e) {
  if (o == Text1 && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
    if (enter) {
      Text1_KeyPress(13);
      return true;
    }
    if (!k->text().isEmpty()) Text1_KeyPress(k->text().at(0).unicode());
  }
  return forms::Form::eventFilter(o, e);
}

QIcon Frmcari::ImgSorted(const QString& key) const {
  return QIcon(QStringLiteral(":/icons/") + key + QStringLiteral(".png"));
}

void Frmcari::resetIcon(int index) {
  for (int i = 1; i <= Lv1->columnCount(); ++i)
    if (i != index) Lv1->setColumnIconKey(i, QString(), QIcon());
}

void Frmcari::Lv1_ColumnClick(int k) {
  resetIcon(k);
  if (k < 1 || k > 13) return;
  int order = 0;
  if (Lv1->columnIconKey(k) == QLatin1String("down")) {
    Lv1->setColumnIconKey(k, QStringLiteral("up"), ImgSorted(QStringLiteral("up")));
    order = 1;
  } else {
    Lv1->setColumnIconKey(k, QStringLiteral("down"), ImgSorted(QStringLiteral("down")));
  }
  sORTED::SortListView(*Lv1, k, order, sORTED::kText);
}
