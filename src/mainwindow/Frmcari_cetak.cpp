// Card printing of the ticked members.
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

// Ends the selection's transaction after a failure: the rows written before it stay, as
// they would without a transaction; when even that fails, nothing of it stays.
void keepWhatWasDone(ado::Connection& conn) {
  try {
    conn.Execute(QStringLiteral("commit"));
  } catch (const vb::VbError&) {
    try {
      conn.Execute(QStringLiteral("rollback"));
    } catch (const vb::VbError&) {
    }
  }
}

}  // namespace

void Frmcari::cetak(cetakKartu::Menu menu) {
  if (Lv1->count() == 0 || !Module1::Conn || !Module1::Conn->isOpen()) return;  // nothing, or closing down
  try {
    // The selection is written in one transaction: one write to the disk instead of one
    // for every ticked member.
    ado::Connection& conn = *Module1::Conn;
    bool ticked = false;
    conn.Execute(QStringLiteral("begin"));
    try {
      conn.Execute(QStringLiteral("delete * from tbltemp"));
      const int n = Lv1->count();
      for (int i = 1; i <= n; ++i)
        if (Lv1->checked(i)) {
          ticked = true;
          conn.Execute(QStringLiteral("insert into tbltemp(id) values ('") + ado::q(Lv1->subItem(i, 9)) +
                       QStringLiteral("')"));
        }
    } catch (const vb::VbError&) {
      keepWhatWasDone(conn);
      throw;
    }
    conn.Execute(QStringLiteral("commit"));
    if (!ticked) {
      ui::msgBox(QStringLiteral("silakan pilih atau ceklist data yang akan di cetak KTA-nya"), ui::vbExclamation);
      return;
    }
    const QString jenis = menu == cetakKartu::Menu::Back ? QString() : cetakKartu::jenisBarcode();
    const QString sql = QStringLiteral(
        "select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id order by nama");
    cetakKartu::jalankan(CardReport, cetakKartu::template_(menu, jenis), QStringLiteral("Cetak Kartu Siswa"), sql, [&] {
      if (menu == cetakKartu::Menu::Back) return;
      Hourglass wait(this);
      // Every card printed with a QR code gets its member's current one.
      if (cardface::isQr(jenis)) cetakKartu::buatQr(CardReport, 0, CardReport.RecordCount());
    });
  } catch (const vb::VbError& e) {
    ui::msgBox(e.description, ui::vbOKOnly);
  }
}

void Frmcari::m_ukuranA4_Click() { cetak(cetakKartu::Menu::A4); }
void Frmcari::m_Front_Click() { cetak(cetakKartu::Menu::Front); }
void Frmcari::m_back_Click() { cetak(cetakKartu::Menu::Back); }
