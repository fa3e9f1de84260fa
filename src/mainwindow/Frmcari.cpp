#include "Frmcari.h"

#include <QApplication>
#include <QCursor>
#include <QResizeEvent>
#include <algorithm>

#include "Frmtentang.h"
#include "bersihAwal.h"
#include "Module1.h"
#include "msgbox.h"
#include "named.h"
#include "textfield.h"
#include "twips.h"
#include "vb.h"

namespace {

QIcon icon(const QString& name) { return QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".png")); }

QToolButton* toolButton(QWidget* parent, const char* name, const QString& caption, const QString& iconName) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(caption);
  b->setIcon(icon(iconName));
  b->setIconSize(QSize(28, 28));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setAutoRaise(true);
  return b;
}

using ui::named;

QPushButton* button(QWidget* parent, const char* name, const QString& caption, const QString& iconName = {}) {
  auto* b = named(new QPushButton(caption, parent), name);
  if (!iconName.isEmpty()) b->setIcon(icon(iconName));
  return b;
}

}  // namespace

Frmcari::Frmcari() {
  setObjectName(QStringLiteral("Frmcari"));
  setCaption(QStringLiteral("Data Siswa"));
  buildLayout();
  buildStatusBar();
}

Frmcari::~Frmcari() = default;

void Frmcari::buildLayout() {
  resize(twips::toPx(16500), twips::toPx(10500));

  Image1 = named(new QLabel(this), "Image1");
  Image1->setPixmap(QPixmap(QStringLiteral(":/images/banner.png")));
  Image1->setScaledContents(true);
  twips::setGeometry(Image1, 0, 0, 16500, 1215);

  struct Tool {
    QToolButton** slot;
    const char* name;
    const char* caption;
    const char* icon;
  };
  const Tool tools[] = {
      {&PushButton1, "PushButton1", "Import Excel", "excel"},    {&PushButton5, "PushButton5", "Import Foto", "photos"},
      {&PushButton6, "PushButton6", "Input data", "input"},      {&PushButton7, "PushButton7", "Set kartu", "card"},
      {&PushButton2, "PushButton2", "Backup", "backup"},         {&PushButton3, "PushButton3", "Restore", "restore"},
      {&PushButton8, "PushButton8", "Hapus Semua", "deleteall"}, {&PushButton4, "PushButton4", "About", "about"},
  };
  long long x = 0;
  for (const Tool& t : tools) {
    *t.slot = toolButton(this, t.name, QString::fromLatin1(t.caption), QString::fromLatin1(t.icon));
    twips::setGeometry(*t.slot, x, 0, 1455, 855);
    x += 1455;
  }

  Frame1 = named(new QGroupBox(QStringLiteral("Filter PEncarian Seluruh data"), this), "Frame1");
  twips::setGeometry(Frame1, 0, 960, 16500, 975);
  auto* kelasCaption = new QLabel(QStringLiteral("Kelas"), Frame1);
  twips::setGeometry(kelasCaption, 120, 240, 600, 300);
  CmbKelas = named(new QComboBox(Frame1), "CmbKelas");
  kelasCaption->setBuddy(CmbKelas);
  twips::setGeometry(CmbKelas, 720, 220, 2200, 330);
  auto* cariCaption = new QLabel(QStringLiteral("Cari"), Frame1);
  twips::setGeometry(cariCaption, 3060, 240, 500, 300);
  Text1 = named(new QLineEdit(Frame1), "Text1");
  ui::refuseControlCharacters(Text1);
  cariCaption->setBuddy(Text1);
  twips::setGeometry(Text1, 3540, 220, 4200, 330);
  Command1 = button(Frame1, "Command1", QStringLiteral("Cari"), QStringLiteral("search"));
  twips::setGeometry(Command1, 7860, 200, 1200, 375);
  cmdbersih = button(Frame1, "cmdbersih", QStringLiteral("Refresh"), QStringLiteral("refresh"));
  twips::setGeometry(cmdbersih, 9180, 200, 1200, 375);
  Label2 = named(new QLabel(QStringLiteral("Label2"), Frame1), "Label2");
  twips::setGeometry(Label2, 3540, 580, 7000, 300);
  Label4 = named(new QLabel(QStringLiteral("Total Record"), Frame1), "Label4");
  twips::setGeometry(Label4, 14000, 180, 2300, 300);
  Label1 = named(new QLabel(QStringLiteral("0"), Frame1), "Label1");
  QFont big = Label1->font();
  big.setBold(true);
  big.setPointSize(big.pointSize() + 4);
  Label1->setFont(big);
  twips::setGeometry(Label1, 14000, 450, 2300, 450);

  GroupBox1 = named(new QFrame(this), "GroupBox1");
  twips::setGeometry(GroupBox1, 0, 1920, 16500, 6900);
  Check1 = named(new QCheckBox(QStringLiteral("Select All"), GroupBox1), "Check1");
  twips::setGeometry(Check1, 60, 120, 1800, 300);
  Lv1 = named(new ui::ListView(GroupBox1), "Lv1");
  twips::setGeometry(Lv1, 0, 480, 13700, 6000);
  Lv2 = named(new ui::ListView(GroupBox1), "Lv2");
  Lv2->setVisible(false);

  Frame3 = named(new QGroupBox(QStringLiteral("Foto"), GroupBox1), "Frame3");
  twips::setGeometry(Frame3, 14000, 360, 2415, 6120);
  Label5 = named(new QLabel(QStringLiteral("Label5"), Frame3), "Label5");
  twips::setGeometry(Label5, 120, 300, 2175, 255);
  Text2 = named(new QLineEdit(Frame3), "Text2");
  Text2->setReadOnly(true);
  Label5->setBuddy(Text2);
  twips::setGeometry(Text2, 120, 560, 2175, 330);
  Label11 = named(new QLabel(QStringLiteral("Image Size 3 x 4 "), Frame3), "Label11");
  twips::setGeometry(Label11, 120, 950, 2175, 255);
  Image2 = named(new photobox::PhotoBox(Frame3), "Image2");
  twips::setGeometry(Image2, 240, 1230, 1935, 2580);
  cmdfoto = button(Frame3, "cmdfoto", QStringLiteral("Add Foto"), QStringLiteral("photo"));
  twips::setGeometry(cmdfoto, 120, 3930, 2175, 375);
  Command2 = button(Frame3, "Command2", QStringLiteral("Webcame"), QStringLiteral("webcam"));
  twips::setGeometry(Command2, 120, 4365, 2175, 375);
  Command3 = button(Frame3, "Command3", QStringLiteral("Simpan Foto"), QStringLiteral("save"));
  twips::setGeometry(Command3, 120, 4800, 2175, 375);

  Frame2 = named(new QGroupBox(QStringLiteral("Proses"), this), "Frame2");
  twips::setGeometry(Frame2, 0, 9000, 16500, 855);
  struct Cmd {
    QPushButton** slot;
    const char* name;
    const char* caption;
    const char* icon;
  };
  const Cmd cmds[] = {
      {&Command4, "Command4", "Tambah data", "add"}, {&PushButton11, "PushButton11", "Ubah", "edit"},
      {&Command5, "Command5", "Hapus", "delete"},    {&Command6, "Command6", "Cetak Kartu", "print"},
      {&Export, "Export", "Export", "excel"},        {&Cmdtutup, "Cmdtutup", "Tutup", "close"},
  };
  x = 120;
  for (const Cmd& c : cmds) {
    *c.slot = button(Frame2, c.name, QString::fromLatin1(c.caption), QString::fromLatin1(c.icon));
    twips::setGeometry(*c.slot, x, 300, 1500, 420);
    x += 1600;
  }
  Frame2->raise();

  // The smallest size at which the resize rule keeps every control whole and apart. Across:
  // the toolbar, and the search line's hint left of the count, which stands 2500 from the
  // right edge. Down: the rule makes the list the window's height less `listMargin` and the
  // photo panel 120 higher than the list, so the panel keeps a margin of 120 below its last
  // button, and the list ends above "Proses".
  const long long minWidth = std::max(twips::left(PushButton4) + twips::width(PushButton4),
                                      twips::left(Label2) + twips::width(Label2) + 120 + 2500);
  const long long listMargin = twips::height(Frame1) + twips::height(Frame2) + twips::height(Image1) + 700;
  const long long minHeight = twips::top(Command3) + twips::height(Command3) + listMargin;
  setMinimumSize(int((minWidth + twips::kPerPixel - 1) / twips::kPerPixel),
                 int((minHeight + twips::kPerPixel - 1) / twips::kPerPixel));

  std::tie(m_Cetak, m_ukuranA4, m_ukuranIDCard, m_Front, m_back) = cetakKartu::buatMenu(this);

  connect(Cmdtutup, &QPushButton::clicked, this, &Frmcari::Cmdtutup_Click);
  connect(CmbKelas, qOverload<int>(&QComboBox::activated), this, [this](int) { CmbKelas_Click(); });
  connect(cmdbersih, &QPushButton::clicked, this, &Frmcari::cmdbersih_Click);
  connect(Check1, &QCheckBox::stateChanged, this, [this](int) { Check1_Click(); });
  connect(Lv1, &ui::ListView::itemClicked, this, &Frmcari::Lv1_Click);
  connect(Lv1, &ui::ListView::itemDoubleClicked, this, &Frmcari::Lv1_DblClick);
  connect(Text1, &QLineEdit::textChanged, this, [this](const QString&) { Text1_Change(); });
  connectCommands();

  setTabOrder(CmbKelas, Text1);
  setTabOrder(Text1, Command1);
  setTabOrder(Command1, cmdbersih);
  setTabOrder(cmdbersih, Check1);
  setTabOrder(Check1, Lv1);
}

void Frmcari::Form_Load() {
  // Before the connection: a killed run may have left the register half restored.
  bersihAwal::jalankan();
  if (!Module1::bukaKoneksi()) return;

  vb::resumeNext([this] {
    vb::setAppTitle(QStringLiteral("Lentavo ") + QStringLiteral(LENTAVO_VERSION));
    setCaption(vb::appTitle());
  });
  vb::resumeNext([] {
    Module1::Conn->Execute(QStringLiteral("update tblsetting set lokasi = '") + ado::q(vb::programFolder()) +
                           QStringLiteral("'"));
  });
  vb::resumeNext([this] { setHeader(); });
  vb::resumeNext([this] { Lv1->clearItems(); });
  vb::resumeNext([this] { tampilData(); });
  isiKelas();
}

void Frmcari::isiKelas() {
  vb::resumeNext([this] {
    QSignalBlocker block(CmbKelas);
    CmbKelas->clear();
    CmbKelas->addItem(QStringLiteral("Semua Kelas"));
    Module1::isiDaftar(CmbKelas, QStringLiteral("Select Distinct KELAS From t_KELAS order By 1"),
                       QStringLiteral("kelas"));
  });
  // "Semua Kelas" lists exactly what tampilData has just listed: selecting it fills nothing again.
  vb::resumeNext([this] {
    QSignalBlocker block(CmbKelas);
    CmbKelas->setCurrentIndex(0);
  });
}

void Frmcari::resizeEvent(QResizeEvent* e) {
  forms::Form::resizeEvent(e);
  Form_Resize();
}

void Frmcari::Form_Resize() {
  const long long SW = twips::width(this);
  const long long SH = twips::height(this);
  // The status bar keeps to the bottom edge; the rule below leaves room for it.
  StatusBar2->setGeometry(0, height() - StatusBar2->sizeHint().height(), width(), StatusBar2->sizeHint().height());
  vb::resumeNext([&] { twips::setWidth(Frame1, SW); });
  vb::resumeNext([&] { twips::setWidth(GroupBox1, SW); });
  vb::resumeNext([&] { twips::setHeight(GroupBox1, SH - (twips::height(Frame1) + twips::height(Frame2))); });
  vb::resumeNext([&] { twips::setLeft(Frame3, twips::width(GroupBox1) - 2500); });
  vb::resumeNext([&] { twips::setHeight(Frame3, twips::height(Lv1) + 120); });
  vb::resumeNext([&] { twips::setLeft(Label1, twips::left(Frame3)); });
  vb::resumeNext([&] { twips::setLeft(Label4, twips::left(Frame3)); });
  vb::resumeNext([&] { twips::setWidth(Image1, SW); });
  vb::resumeNext([&] { twips::setWidth(Lv1, twips::width(GroupBox1) - twips::width(Frame3) - 300); });
  vb::resumeNext([&] {
    twips::setHeight(Lv1, SH - (twips::height(Frame1) + twips::height(Frame2) + twips::height(Image1) + 700));
  });
  vb::resumeNext([&] { twips::setTop(Frame2, twips::top(Lv1) + twips::height(Lv1) + 2000); });
  vb::resumeNext([&] { twips::setWidth(Frame2, SW); });
}

bool Frmcari::Form_QueryUnload() {
  vb::resumeNext([] { QApplication::setOverrideCursor(Qt::WaitCursor); });
  vb::resumeNext([] { QCoreApplication::processEvents(); });
  vb::resumeNext([] { QApplication::restoreOverrideCursor(); });
  vb::resumeNext([] { Module1::tutupKoneksi(); });
  app::end();
  return false;
}

void Frmcari::Cmdtutup_Click() { close(); }
