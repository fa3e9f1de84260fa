#include "frmlabel.h"

#include "Frmcari.h"
#include "Module1.h"
#include "frmsetting.h"
#include "msgbox.h"
#include "named.h"
#include "textfield.h"
#include "twips.h"
#include "vb.h"

namespace {
const QString kQuery =
    QStringLiteral("Select * From Tlabel where idlabel= '") + QStringLiteral("2") + QStringLiteral("'");
QString col(const char* name, int i) { return QString::fromLatin1(name) + QStringLiteral("(%1)").arg(i); }
}  // namespace

frmlabel::frmlabel() {
  setObjectName(QStringLiteral("frmlabel"));
  setCaption(QStringLiteral("Ganti Label"));
  resize(twips::toPx(4095), twips::toPx(5895));
  Label1 = ui::named(new QLabel(QStringLiteral("Silakan Ganti Label di bawah ini sesuai dengan keperluan, Jika Label "
                                               "Tidak Diperlukan, bisa di kosongi Saja"),
                                this),
                     "Label1");
  Label1->setWordWrap(true);
  twips::setGeometry(Label1, 120, 120, 3855, 675);
  Frame1 = ui::named(new QGroupBox(QStringLiteral("Label Caption"), this), "Frame1");
  twips::setGeometry(Frame1, 120, 840, 3855, 3975);
  for (int i = 0; i < 7; ++i) {
    label21[i] = new QLineEdit(Frame1);
    label21[i]->setObjectName(col("label21", i));
    twips::setGeometry(label21[i], 360, 360 + 480 * i, 2295, 375);
    label21[i]->setMaxLength(255);
    ui::refuseControlCharacters(label21[i]);
    Check21[i] = new QCheckBox(Frame1);
    Check21[i]->setObjectName(col("Check21", i));
    twips::setGeometry(Check21[i], 2760, 480 + 480 * i, 255, 195);
    Check21[i]->setAccessibleName(QStringLiteral("Tampilkan"));
    // The seventh caption is only stored and mirrored; the user does not edit it here.
    label21[i]->setVisible(i < 6);
    Check21[i]->setVisible(i < 6);
    connect(label21[i], &QLineEdit::textChanged, this, [this, i] { label21_Change(i); });
    connect(Check21[i], &QCheckBox::stateChanged, this, [this, i] { Check21_Click(i); });
  }
  Frame2 = ui::named(new QGroupBox(QStringLiteral("Proses"), this), "Frame2");
  twips::setGeometry(Frame2, 120, 4800, 3855, 975);
  Command1 = ui::named(new QPushButton(QStringLiteral("Simpan"), Frame2), "Command1");
  twips::setGeometry(Command1, 240, 300, 1575, 495);
  Command2 = ui::named(new QPushButton(QStringLiteral("Tutup"), Frame2), "Command2");
  twips::setGeometry(Command2, 2040, 300, 1575, 495);
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { forms::unload(this); });
}

void frmlabel::Form_Load() {
  // Each value set here mirrors itself into the settings preview, which loads that
  // window hidden.
  vb::resumeNext([this] {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.Open(kQuery, Module1::koneksi(), ado::adOpenDynamic, ado::adLockOptimistic);
    if (rs.EOF_()) return;
    for (int i = 0; i < 7; ++i) vb::resumeNext([&] { label21[i]->setText(vb::text(rs.field(col("Label21", i)))); });
    for (int i = 0; i < 7; ++i)
      vb::resumeNext([&] { Check21[i]->setChecked(vb::isTrue(rs.field(col("check21", i)))); });
  });
}

void frmlabel::label21_Change(int index) {
  frmsetting* s = forms::get<frmsetting>();
  s->Label8[index]->setText(label21[index]->text());
  s->Label15[index]->setText(QStringLiteral(": ") + label21[index]->text());
}

void frmlabel::Check21_Click(int index) {
  frmsetting* s = forms::get<frmsetting>();
  s->Label8[index]->setVisible(Check21[index]->isChecked());
  s->Label15[index]->setVisible(Check21[index]->isChecked());
}

void frmlabel::Command1_Click() {
  try {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.Open(kQuery, Module1::koneksi(), ado::adOpenDynamic, ado::adLockOptimistic);
    if (!rs.EOF_()) {
      for (int i = 0; i < 7; ++i) rs.setField(col("Label21", i), label21[i]->text());
      for (int i = 0; i < 7; ++i) rs.setField(col("check21", i), Check21[i]->isChecked() ? 1 : 0);
      rs.Update();
      ui::msgBox(QStringLiteral("Data tersimpan"), ui::vbInformation, vb::appTitle());
    }
    rs.Close();
    gantiformat();
  } catch (const vb::VbError&) {
    ui::msgBox(QStringLiteral("Terjadi kesalahan saat simpan, silakan hubungu admin"), ui::vbCritical, vb::appTitle());
  }
}

void frmlabel::gantiformat() {
  // Every caption is read before the list is touched: a failure leaves the old columns.
  const QStringList c = Frmcari::bacaCaption();
  static const Frmcari::LebarKolom lebar{{400, 950, 1450, 2500, 1500, 1500, 1500, 1000, 1000}, "ID", -1};
  Frmcari* main = forms::get<Frmcari>();
  Frmcari::pasangHeader(*main->Lv1, c, lebar);
  main->Label5->setText(c[0]);
}
