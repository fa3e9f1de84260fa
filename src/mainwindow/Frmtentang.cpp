#include "Frmtentang.h"

#include <QMouseEvent>

#include "twips.h"
#include "vb.h"

namespace {
QLabel* label(QWidget* parent, const QString& name, const QString& text, long long l, long long t, long long w,
              long long h) {
  auto* lb = new QLabel(text, parent);
  lb->setObjectName(name);
  lb->setWordWrap(true);
  twips::setGeometry(lb, l, t, w, h);
  return lb;
}
}  // namespace

Frmtentang::Frmtentang() {
  setObjectName(QStringLiteral("Frmtentang"));
  setCaption(QStringLiteral("Tentang"));
  setFixedSize(twips::toPx(7200), twips::toPx(4200));

  Frame1 = new QFrame(this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setFrameShape(QFrame::StyledPanel);
  twips::setGeometry(Frame1, 120, 120, 6960, 2880);

  Image1 = new QLabel(Frame1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(QPixmap(QStringLiteral(":/images/about.png")));
  Image1->setScaledContents(true);
  twips::setGeometry(Image1, 120, 240, 1800, 1800);

  Label2[2] = label(Frame1, QStringLiteral("Label2_2"), QStringLiteral("Lentavo"), 2100, 180, 4700, 420);
  QFont title(QStringLiteral("Tahoma"), 12);
  title.setBold(true);
  Label2[2]->setFont(title);
  Label2[4] = label(Frame1, QStringLiteral("Label2_4"), QString(), 2100, 620, 4700, 300);
  Label2[5] = label(Frame1, QStringLiteral("Label2_5"),
                    QStringLiteral("Hak cipta \u00a9 Korvanta. Seluruh hak dilindungi."), 2100, 920, 4700, 300);
  Label2[0] = label(Frame1, QStringLiteral("Label2_0"), QStringLiteral("Sales dan Pembelian Aplikasi :"), 2100, 1380,
                    4700, 300);
  Label2[0]->setFont(QFont(QStringLiteral("Arial"), 9));
  Label2[7] = label(Frame1, QStringLiteral("Label2_7"), QStringLiteral("Korvanta"), 2100, 1680, 4700, 300);
  Label1[0] = label(Frame1, QStringLiteral("Label1_0"), QStringLiteral("Layanan pelanggan: hubungi penjual aplikasi"),
                    2100, 1980, 4700, 300);
  Label1[2] = label(Frame1, QStringLiteral("Label1_2"), QStringLiteral("Pembaruan dan dukungan melalui penjual resmi"),
                    2100, 2280, 4700, 300);

  Label2[3] = label(this, QStringLiteral("Label2_3"),
                    QStringLiteral("Program ini dilindungi hak cipta. Dilarang menggandakan tanpa izin."), 120, 3120,
                    5400, 480);
  Line1 = new QFrame(this);
  Line1->setObjectName(QStringLiteral("Line1"));
  Line1->setFrameShape(QFrame::HLine);
  twips::setGeometry(Line1, 120, 3060, 6960, 30);

  Button1 = new QPushButton(QStringLiteral("ok"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  twips::setGeometry(Button1, 5760, 3600, 1320, 420);
  connect(Button1, &QPushButton::clicked, this, &Frmtentang::Button1_Click);

  // A click on the picture, a label or the frame is theirs, not the window's.
  for (QWidget* w : findChildren<QWidget*>())
    if (w != Button1) w->installEventFilter(this);
}

void Frmtentang::Form_Load() {
  Label2[2]->setText(vb::appTitle());
  Label2[4]->setText(QStringLiteral("Build ") + QStringLiteral(LENTAVO_VERSION));
}

void Frmtentang::Button1_Click() { forms::unload<Frmtentang>(); }

void Frmtentang::Form_Click() { forms::unload<Frmtentang>(); }

void Frmtentang::mousePressEvent(QMouseEvent* e) {
  e->accept();
  Form_Click();
}

bool Frmtentang::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease) return true;
  return forms::Form::eventFilter(o, e);
}
