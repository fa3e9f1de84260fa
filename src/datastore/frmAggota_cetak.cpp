// Card printing of the member on screen.
#include "Module1.h"
#include "cetakKartu.h"
#include "frmAggota.h"
#include "msgbox.h"
#include "vb.h"

void frmAggota::cetak(cetakKartu::Menu menu) {
  if (!Module1::koneksiTerbuka()) return;
  try {
    const QString jenis = menu == cetakKartu::Menu::Back ? QString() : cetakKartu::jenisBarcode();
    const QString sql = QStringLiteral("select Cstr(id) as idsiswa,* from tblanggota where nis = '") +
                        ado::q(TextNis->text().trimmed()) + QStringLiteral("'");
    // Members sharing the nis are all printed; the first one gets its QR image.
    cetakKartu::jalankan(CardReport, cetakKartu::template_(menu, jenis), QStringLiteral("Cetak Kartu Anggota"), sql,
                         [&] {
                           if (menu != cetakKartu::Menu::Back && cardface::isQr(jenis))
                             cetakKartu::buatQr(CardReport, 0, 1);
                         });
  } catch (const vb::VbError& e) {
    ui::msgBox(e.description, ui::vbOKOnly);
  }
}

void frmAggota::m_ukuranA4_Click() { cetak(cetakKartu::Menu::A4); }
void frmAggota::m_Front_Click() { cetak(cetakKartu::Menu::Front); }
void frmAggota::m_back_Click() { cetak(cetakKartu::Menu::Back); }
