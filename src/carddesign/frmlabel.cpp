#include "frmlabel.h"

#include "Frmcari.h"
#include "Module1.h"
#include "vb.h"

void frmlabel::gantiformat() {
  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tlabel where idlabel = '") + QStringLiteral("2") + QStringLiteral("'"),
          *Module1::Conn);
  const bool hasRow = !rs.EOF_();
  auto caption = [&](int i) { return hasRow ? vb::text(rs.field(QStringLiteral("label21(%1)").arg(i))) : QString(); };
  Frmcari* main = forms::get<Frmcari>();
  ui::ListView* lv = main->Lv1;
  lv->clearColumns();
  lv->setReportStyle();
  const int widths[] = {950, 1450, 2500, 1500, 1500, 1500};
  lv->addColumn(QStringLiteral("No"), 400);
  for (int i = 0; i < 6; ++i) lv->addColumn(caption(i), widths[i]);
  lv->addColumn(QStringLiteral("Barcode"), 1000);
  lv->addColumn(QStringLiteral("Kelas"), 1000);
  lv->addColumn(QStringLiteral("ID"));
  main->Label5->setText(caption(0));
  rs.Close();
}
