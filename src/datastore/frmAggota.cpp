#include "frmAggota.h"

#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>

#include "Module1.h"
#include "frmWebcame.h"
#include "frmkelas.h"
#include "msgbox.h"
#include "named.h"
#include "photos.h"
#include "textfield.h"
#include "twips.h"
#include "vb.h"

using ui::named;

frmAggota::frmAggota() {
  setObjectName(QStringLiteral("frmAggota"));
  setCaption(QStringLiteral("Entry Data"));
  setFixedSize(twips::toPx(9600), twips::toPx(7500));

  auto* heading = new QLabel(QStringLiteral("Entry Data"), this);
  QFont hf = heading->font();
  hf.setBold(true);
  hf.setPointSize(hf.pointSize() + 5);
  heading->setFont(hf);
  twips::setGeometry(heading, 240, 120, 6000, 420);
  auto* sub = new QLabel(QStringLiteral("Untuk memasukan semua data peserta didik"), this);
  twips::setGeometry(sub, 240, 540, 6000, 300);

  frameDetail_ = new QGroupBox(QStringLiteral("Detail Data"), this);
  twips::setGeometry(frameDetail_, 240, 960, 6600, 4500);
  Textid = named(new QLineEdit(QStringLiteral("0"), frameDetail_), "Textid");
  Textid->setVisible(false);

  struct Field {
    QLabel** label;
    const char* labelName;
    const char* caption;
    QLineEdit** edit;
    const char* name;
  };
  const Field fields[] = {
      {&Label3, "Label3", "N I S", &TextNis, "TextNis"},
      {&Label4, "Label4", "NISN", &TextNISN, "TextNISN"},
      {&Label5, "Label5", "Nama", &TextNama, "TextNama"},
      {&Label6, "Label6", "Tempat, Tgl. Lahir", &TextTTL, "TextTTL"},
      {&Label12, "Label12", "Agama", &Textagama, "Textagama"},
      {&Label7, "Label7", "Jenis Kelamin", &Textkelamin, "Textkelamin"},
      {&Label8, "Label8", "Barcode", &TextAlamat, "TextAlamat"},
  };
  long long y = 360;
  for (const Field& f : fields) {
    *f.label = named(new QLabel(QString::fromLatin1(f.caption), frameDetail_), f.labelName);
    twips::setGeometry(*f.label, 180, y + 30, 1800, 300);
    *f.edit = named(new QLineEdit(frameDetail_), f.name);
    ui::refuseControlCharacters(*f.edit);
    (*f.label)->setBuddy(*f.edit);
    twips::setGeometry(*f.edit, 2040, y, 4380, 330);
    chain_ << *f.edit;
    y += 480;
  }
  Label9 = named(new QLabel(QStringLiteral("Kelas"), frameDetail_), "Label9");
  twips::setGeometry(Label9, 180, y + 30, 1800, 300);
  CmbKelas = named(new QComboBox(frameDetail_), "CmbKelas");
  CmbKelas->setEditable(true);
  CmbKelas->setInsertPolicy(QComboBox::NoInsert);
  ui::refuseControlCharacters(CmbKelas->lineEdit());
  Label9->setBuddy(CmbKelas);
  twips::setGeometry(CmbKelas, 2040, y, 3780, 330);
  Command2 = named(new QPushButton(QStringLiteral("..."), frameDetail_), "Command2");
  Command2->setToolTip(QStringLiteral("Master Kelas"));
  Command2->setAccessibleName(QStringLiteral("Master Kelas"));
  twips::setGeometry(Command2, 5880, y, 540, 330);
  chain_ << CmbKelas;
  for (int i = 0; i + 1 < chain_.size(); ++i) setTabOrder(chain_[i], chain_[i + 1]);
  for (int i = 0; i + 1 < chain_.size(); ++i) chain_[i]->installEventFilter(this);

  Label11 = named(new QLabel(QStringLiteral("Image Size 3 x 4 "), this), "Label11");
  twips::setGeometry(Label11, 7020, 960, 2340, 300);
  Image1 = named(new photobox::PhotoBox(this), "Image1");
  twips::setGeometry(Image1, 7140, 1260, 2100, 2800);
  cmdfoto = named(new QPushButton(QStringLiteral("Add Foto"), this), "cmdfoto");
  twips::setGeometry(cmdfoto, 7020, 4200, 2340, 400);
  Command1 = named(new QPushButton(QStringLiteral("Webcame"), this), "Command1");
  twips::setGeometry(Command1, 7020, 4680, 2340, 400);

  frameProses_ = new QGroupBox(QStringLiteral("Proses"), this);
  twips::setGeometry(frameProses_, 240, 5640, 9120, 1200);
  struct Btn {
    QPushButton** slot;
    const char* name;
    const char* caption;
  };
  const Btn buttons[] = {{&Cmdtambah, "Cmdtambah", "Tambah"},
                         {&cmdSimpan, "cmdSimpan", "Simpan"},
                         {&CMDHapus, "CMDHapus", "Hapus"},
                         {&Cmdcetak, "Cmdcetak", "Cetak"},
                         {&Cmdtutup, "Cmdtutup", "Tutup"}};
  long long x = 180;
  for (const Btn& b : buttons) {
    *b.slot = named(new QPushButton(QString::fromLatin1(b.caption), frameProses_), b.name);
    twips::setGeometry(*b.slot, x, 420, 1620, 480);
    x += 1780;
  }

  std::tie(m_Cetak, m_ukuranA4, m_ukuranIDCard, m_Front, m_back) = cetakKartu::buatMenu(this);

  TextNis->installEventFilter(this);
  connect(Cmdtambah, &QPushButton::clicked, this, &frmAggota::Cmdtambah_Click);
  connect(cmdSimpan, &QPushButton::clicked, this, &frmAggota::cmdSimpan_Click);
  connect(CMDHapus, &QPushButton::clicked, this, &frmAggota::CMDHapus_Click);
  connect(Cmdtutup, &QPushButton::clicked, this, &frmAggota::Cmdtutup_Click);
  connect(Cmdcetak, &QPushButton::clicked, this, &frmAggota::Cmdcetak_Click);
  connect(cmdfoto, &QPushButton::clicked, this, &frmAggota::cmdfoto_Click);
  connect(Command1, &QPushButton::clicked, this, &frmAggota::Command1_Click);
  connect(Command2, &QPushButton::clicked, this, &frmAggota::Command2_Click);
  connect(m_ukuranA4, &QAction::triggered, this, &frmAggota::m_ukuranA4_Click);
  connect(m_Front, &QAction::triggered, this, &frmAggota::m_Front_Click);
  connect(m_back, &QAction::triggered, this, &frmAggota::m_back_Click);
}

bool frmAggota::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      const int i = chain_.indexOf(static_cast<QWidget*>(o));
      if (i >= 0 && i + 1 < chain_.size()) {
        chain_[i + 1]->setFocus();
        return true;
      }
    }
    // The member number is always typed in capitals.
    if (o == TextNis && !k->text().isEmpty() && k->text().at(0).isPrint() &&
        !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      TextNis->insert(k->text().toUpper());
      return true;
    }
  }
  return forms::Form::eventFilter(o, e);
}

void frmAggota::Form_Load() {
  bersih();
  photobox::PhotoBoxGlobal::showMemberPhoto(*Image1, TextNis->text());
}

void frmAggota::Form_Activate() {
  if (!Module1::koneksiTerbuka()) return;
  vb::resumeNext([this] {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.Open(QStringLiteral("select * from tlabel where idlabel = '") + QStringLiteral("2") + QStringLiteral("'"),
            *Module1::Conn, ado::adOpenDynamic, ado::adLockOptimistic);
    // A Null or missing caption keeps the caption the label has.
    auto set = [&rs](QLabel* l, const char* column) {
      vb::resumeNext([&] {
        const QVariant v = rs.field(QString::fromLatin1(column));
        if (!v.isNull()) l->setText(v.toString());
      });
    };
    set(Label3, "label21(0)");
    set(Label4, "label21(1)");
    set(Label5, "label21(2)");
    set(Label6, "label21(3)");
    set(Label12, "label21(4)");
    set(Label7, "label21(5)");
    Label8->setText(QStringLiteral("Barcode"));
    Label9->setText(QStringLiteral("Kelas"));
    rs.Close();
  });
}

void frmAggota::isiKelas() {
  if (!Module1::koneksiTerbuka()) return;
  vb::resumeNext([this] {
    const QString typed = CmbKelas->currentText();
    QSignalBlocker block(CmbKelas);
    CmbKelas->clear();
    Module1::isiDaftar(CmbKelas, QStringLiteral("Select Distinct kelas From t_kelas order By 1"),
                       QStringLiteral("kelas"));
    CmbKelas->setEditText(typed);
  });
}

void frmAggota::bersih() {
  for (QLineEdit* e : {TextNis, TextNISN, TextNama, TextTTL, Textkelamin, TextAlamat, Textagama}) e->clear();
  CmbKelas->setEditText(QString());
  isiKelas();
  CmbKelas->setEditText(QString());
  // Emptied first: when the blank photo cannot be loaded, the previous member's picture
  // must not stay to be saved as the next member's photo.
  Image1->setPicture(photobox::Picture());
  Image1->setSourceFile(QString());
  vb::resumeNext([this] { photobox::PhotoBoxGlobal::loadInto(*Image1, photos::blankPhotoFile()); });
}

void frmAggota::Cmdtambah_Click() {
  TextNis->setEnabled(true);
  bersih();
  Textid->setText(QStringLiteral("0"));
  TextNis->setFocus();
  Cmdcetak->setEnabled(false);
}

void frmAggota::Cmdtutup_Click() { forms::unload<frmAggota>(); }

void frmAggota::Cmdcetak_Click() { m_Cetak->popup(QCursor::pos()); }

void frmAggota::Command1_Click() {
  frmWebcame* cam = forms::get<frmWebcame>();
  cam->setCaption(QStringLiteral("Input"));
  cam->show();
}

void frmAggota::Command2_Click() {
  forms::showModal(forms::get<frmkelas>(), this);
  isiKelas();
}

void frmAggota::cmdfoto_Click() {
  try {
    CommonDialog1.CancelError = true;
    CommonDialog1.DialogTitle = QStringLiteral("Pilih File jpg");
    CommonDialog1.Filter = QStringLiteral("jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg");
    CommonDialog1.ShowOpen();
    if (QFileInfo(CommonDialog1.FileName).size() > photobox::kMaxPhotoFileBytes) {
      ui::msgBox(QStringLiteral("Size File Photo Tidak boleh lebih dari 600 kb"), ui::vbExclamation,
                 QStringLiteral("Korvanta"));
      return;
    }
    photobox::PhotoBoxGlobal::loadInto(*Image1, CommonDialog1.FileName);
  } catch (const vb::VbError& e) {
    ui::msgBox(e.description, ui::vbOKOnly);
  }
}

long long frmAggota::kunci() const {
  const QString t = Textid->text().trimmed();
  int n = 0;
  while (n < t.size() && t.at(n).isDigit() && n < 18) ++n;
  return n == 0 ? 0 : t.left(n).toLongLong();
}
