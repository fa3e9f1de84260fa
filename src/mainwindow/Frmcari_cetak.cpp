// Card printing of the ticked members.
#include <QApplication>

#include "Frmcari.h"
#include "Module1.h"
#include "cetakKartu.h"
#include "msgbox.h"
#include "vb.h"

namespace {

// The hourglass over the window for as long as it lives, whatever way the print ends.
class Hourglass {
 public:
  explicit Hourglass(QWidget* w) : w_(w) { w_->setCursor(Qt::WaitCursor); }
  ~Hourglass() { w_->unsetCursor(); }
  Hourglass(const Hourglass&) = delete;
  Hourglass& operator=(const Hourglass&) = delete;

 private:
  QWidget* w_;
};

}  // namespace

void Frmcari::cetak(cetakKartu::Menu menu) {
  if (Lv1->count() == 0) return;
  try {
    Module1::Conn->Execute(QStringLiteral("delete * from tbltemp"));
    const int n = Lv1->count();
    int ticked = 0;
    for (int i = 1; i <= n; ++i)
      if (Lv1->checked(i)) ++ticked;
    if (ticked == 0) {
      ui::msgBox(QStringLiteral("silakan pilih atau ceklist data yang akan di cetak KTA-nya"), ui::vbExclamation);
      return;
    }
    for (int i = 1; i <= n; ++i)
      if (Lv1->checked(i))
        Module1::Conn->Execute(QStringLiteral("insert into tbltemp(id) values ('") + ado::q(Lv1->subItem(i, 9)) +
                               QStringLiteral("')"));
    const QString jenis = menu == cetakKartu::Menu::Back ? QString() : cetakKartu::jenisBarcode();
    const QString sql = QStringLiteral(
        "select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id order by nama");
    ado::Recordset rs;
    rs.Open(sql, *Module1::Conn);
    if (!rs.EOF_()) {
      if (menu != cetakKartu::Menu::Back) {
        Hourglass wait(this);
        for (; !rs.EOF_(); rs.MoveNext())
          if (jenis == QLatin1String("QR Code")) cetakKartu::buatQr(rs);
      }
      cetakKartu::jalankan(CardReport, cetakKartu::template_(menu, jenis), QStringLiteral("Cetak Kartu Siswa"), sql);
    }
    rs.Close();
  } catch (const vb::VbError& e) {
    ui::msgBox(e.description, ui::vbOKOnly);
  }
}

void Frmcari::m_ukuranA4_Click() { cetak(cetakKartu::Menu::A4); }
void Frmcari::m_Front_Click() { cetak(cetakKartu::Menu::Front); }
void Frmcari::m_back_Click() { cetak(cetakKartu::Menu::Back); }
