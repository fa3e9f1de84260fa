#include "fontchooser.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace ui {

namespace {

struct Warna {
  const char* nama;
  QRgb rgb;
};
// The basic colours of the common font dialog, in its order.
constexpr Warna kWarna[16] = {
    {"Hitam", 0x000000},   {"Merah marun", 0x800000}, {"Hijau", 0x008000},   {"Zaitun", 0x808000},
    {"Biru laut", 0x000080}, {"Ungu", 0x800080},       {"Hijau toska", 0x008080}, {"Abu-abu", 0x808080},
    {"Perak", 0xC0C0C0},   {"Merah", 0xFF0000},       {"Hijau muda", 0x00FF00}, {"Kuning", 0xFFFF00},
    {"Biru", 0x0000FF},    {"Fuchsia", 0xFF00FF},     {"Biru muda", 0x00FFFF}, {"Putih", 0xFFFFFF}};

QIcon kotakWarna(const QColor& c) {
  QPixmap px(16, 12);
  px.fill(c);
  QPainter p(&px);
  p.setPen(Qt::black);
  p.drawRect(px.rect().adjusted(0, 0, -1, -1));
  return QIcon(px);
}

template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

FontChooser::FontChooser(QWidget* parent, const QFont& initial, const QColor& color)
    : QDialog(parent), awal_(initial) {
  setObjectName(QStringLiteral("FontChooser"));
  setWindowTitle(QStringLiteral("Font"));
  cmbHuruf = named(new QFontComboBox(this), "cmbHuruf");
  cmbHuruf->setEditable(false);
  // A family that is not installed stays on offer under its own name.
  if (cmbHuruf->findText(initial.family(), Qt::MatchFixedString) < 0) cmbHuruf->addItem(initial.family());
  cmbHuruf->setCurrentIndex(cmbHuruf->findText(initial.family(), Qt::MatchFixedString));
  txtUkuran = named(new QDoubleSpinBox(this), "txtUkuran");
  txtUkuran->setRange(1, 1638);
  txtUkuran->setDecimals(2);
  txtUkuran->setValue(initial.pointSizeF() > 0 ? initial.pointSizeF() : 8.25);
  chkTebal = named(new QCheckBox(QStringLiteral("&Tebal"), this), "chkTebal");
  chkMiring = named(new QCheckBox(QStringLiteral("&Miring"), this), "chkMiring");
  chkGarisBawah = named(new QCheckBox(QStringLiteral("&Garis bawah"), this), "chkGarisBawah");
  chkTebal->setChecked(initial.bold());
  chkMiring->setChecked(initial.italic());
  chkGarisBawah->setChecked(initial.underline());
  cmbWarna = named(new QComboBox(this), "cmbWarna");
  const QColor awal = color.isValid() ? color : QColor(Qt::black);
  for (const Warna& w : kWarna) cmbWarna->addItem(kotakWarna(QColor(w.rgb)), QString::fromLatin1(w.nama), QColor(w.rgb));
  int i = cmbWarna->findData(awal);
  if (i < 0) {
    cmbWarna->addItem(kotakWarna(awal), QStringLiteral("Lainnya (%1)").arg(awal.name()), awal);
    i = cmbWarna->count() - 1;
  }
  cmbWarna->setCurrentIndex(i);
  lblContoh = named(new QLabel(QStringLiteral("AaBbYyZz"), this), "lblContoh");
  lblContoh->setAlignment(Qt::AlignCenter);
  lblContoh->setMinimumSize(220, 60);
  lblContoh->setFrameShape(QFrame::StyledPanel);
  tombol = named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this), "tombol");
  tombol->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Batal"));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("&Huruf:"), cmbHuruf);
  form->addRow(QStringLiteral("&Ukuran:"), txtUkuran);
  auto* gaya = new QHBoxLayout;
  for (QCheckBox* c : {chkTebal, chkMiring, chkGarisBawah}) gaya->addWidget(c);
  form->addRow(QStringLiteral("Gaya:"), gaya);
  form->addRow(QStringLiteral("&Warna:"), cmbWarna);
  form->addRow(QStringLiteral("Contoh:"), lblContoh);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(tombol);

  connect(tombol, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(tombol, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(cmbHuruf, &QComboBox::currentIndexChanged, this, [this] { perbaruiContoh(); });
  connect(txtUkuran, &QDoubleSpinBox::valueChanged, this, [this] { perbaruiContoh(); });
  connect(cmbWarna, &QComboBox::currentIndexChanged, this, [this] { perbaruiContoh(); });
  for (QCheckBox* c : {chkTebal, chkMiring, chkGarisBawah})
    connect(c, &QCheckBox::toggled, this, [this] { perbaruiContoh(); });
  perbaruiContoh();
}

QFont FontChooser::chosenFont() const {
  QFont f = awal_;
  f.setFamily(cmbHuruf->currentText());
  f.setPointSizeF(txtUkuran->value());
  f.setBold(chkTebal->isChecked());
  f.setItalic(chkMiring->isChecked());
  f.setUnderline(chkGarisBawah->isChecked());
  return f;
}

QColor FontChooser::chosenColor() const { return cmbWarna->currentData().value<QColor>(); }

void FontChooser::perbaruiContoh() {
  lblContoh->setFont(chosenFont());
  QPalette pal = lblContoh->palette();
  pal.setColor(QPalette::WindowText, chosenColor());
  lblContoh->setPalette(pal);
}

}  // namespace ui
