#include "frmlabel.h"

#include "Frmcari.h"
#include "Module1.h"
#include "vb.h"

void frmlabel::gantiformat() {
  // Every caption is read before the list is touched: a failure leaves the old columns.
  const QStringList c = Frmcari::bacaCaption();
  static const Frmcari::LebarKolom lebar{{400, 950, 1450, 2500, 1500, 1500, 1500, 1000, 1000}, "ID", -1};
  Frmcari* main = forms::get<Frmcari>();
  Frmcari::pasangHeader(*main->Lv1, c, lebar);
  main->Label5->setText(c[0]);
}
