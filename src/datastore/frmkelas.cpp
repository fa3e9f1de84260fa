#include "frmkelas.h"

#include "Module1.h"
#include "msgbox.h"
#include "textfield.h"
#include "twips.h"
#include "vb.h"

frmkelas::frmkelas() {
  setObjectName(QStringLiteral("frmkelas"));
  setCaption(QStringLiteral("Master Kelas"));
  setFixedSize(twips::toPx(5400), twips::toPx(5400));

  Label2 = new QLabel(QStringLiteral("Untuk Input data Kelas"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  QFont f = Label2->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 2);
  Label2->setFont(f);
  twips::setGeometry(Label2, 240, 180, 4900, 360);

  Label1 = new QLabel(QStringLiteral("Kelas"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  twips::setGeometry(Label1, 240, 720, 900, 300);
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  ui::refuseControlCharacters(Text1);
  Label1->setBuddy(Text1);
  twips::setGeometry(Text1, 1140, 690, 3960, 330);

  Lv1 = new ui::ListView(this);
  Lv1->setObjectName(QStringLiteral("Lv1"));
  Lv1->Checkboxes = false;
  Lv1->FullRowSelect = true;
  Lv1->applyOptions();
  Lv1->addColumn(QStringLiteral("Kelas"), 3800);
  twips::setGeometry(Lv1, 240, 1200, 4860, 3180);

  Cmdtambah = new QPushButton(QStringLiteral("Tambah"), this);
  Cmdtambah->setObjectName(QStringLiteral("Cmdtambah"));
  twips::setGeometry(Cmdtambah, 240, 4560, 1500, 420);
  CMDHapus = new QPushButton(QStringLiteral("Hapus"), this);
  CMDHapus->setObjectName(QStringLiteral("CMDHapus"));
  twips::setGeometry(CMDHapus, 1920, 4560, 1500, 420);
  Cmdtutup = new QPushButton(QStringLiteral("Tutup"), this);
  Cmdtutup->setObjectName(QStringLiteral("Cmdtutup"));
  twips::setGeometry(Cmdtutup, 3600, 4560, 1500, 420);

  connect(Lv1, &ui::ListView::itemClicked, this, &frmkelas::Lv1_Click);
  connect(Cmdtambah, &QPushButton::clicked, this, &frmkelas::Cmdtambah_Click);
  connect(CMDHapus, &QPushButton::clicked, this, &frmkelas::CMDHapus_Click);
  connect(Cmdtutup, &QPushButton::clicked, this, &frmkelas::Cmdtutup_Click);
}

void frmkelas::Form_Load() { tampilKelas(); }

void frmkelas::tampilKelas() {
  if (!Module1::koneksiTerbuka()) return;
  vb::resumeNext([this] {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select * from t_kelas order by kelas"), *Module1::Conn);
    QList<QStringList> rows;
    while (!rs.EOF_()) {
      rows << QStringList{vb::text(rs.field(1))};
      rs.MoveNext();
    }
    Lv1->addRows(rows);
    rs.Close();
  });
}

void frmkelas::Lv1_Click() {
  vb::resumeNext([this] {
    const int i = Lv1->currentIndex1();
    if (i > 0) Text1->setText(Lv1->itemText(i));
  });
}

void frmkelas::Cmdtambah_Click() {
  if (!Module1::koneksiTerbuka()) return;
  if (Cmdtambah->text() == QLatin1String("Tambah")) {
    Cmdtambah->setText(QStringLiteral("Simpan"));
    Text1->clear();
    Text1->setFocus();
    Cmdtutup->setText(QStringLiteral("Batal"));
    return;
  }
  if (Text1->text().isEmpty()) {
    ui::msgBox(QStringLiteral("Data belum lengkap"), ui::vbExclamation, QStringLiteral("Simpan"));
    return;
  }
  const QString kelas = Text1->text();
  bool taken = false;
  vb::resumeNext([&] {
    ado::Recordset rs;
    rs.Open(QStringLiteral("Select * From T_kelas where kelas='") + ado::q(kelas) + QStringLiteral("'"),
            *Module1::Conn);
    taken = !rs.EOF_();
    rs.Close();
  });
  if (taken) {
    ui::msgBox(QStringLiteral("Nama Kelas sudah digunakan, silakan pilih  yang lain"), ui::vbExclamation,
               QStringLiteral("Master Kelamin"));
    return;
  }
  const bool stored = vb::resumeNext([&] {
    Module1::Conn->Execute(QStringLiteral("Insert Into T_kelas (kelas) values ('") + ado::q(kelas) +
                           QStringLiteral("')"));
  });
  if (!stored) {
    // Nothing was stored: say so and stay in the entry state.
    ui::msgBox(QStringLiteral("Data gagal disimpan"), ui::vbCritical, QStringLiteral("Simpan"));
    return;
  }
  ui::msgBox(QStringLiteral("Data Sudah Tersimpan"), ui::vbInformation, QStringLiteral("Simpan"));
  Text1->setFocus();
  Lv1->clearItems();
  tampilKelas();
  Cmdtambah->setText(QStringLiteral("Tambah"));
  Cmdtutup->setText(QStringLiteral("Tutup"));
}

void frmkelas::Cmdtutup_Click() {
  if (Cmdtutup->text() == QLatin1String("Batal")) {
    Text1->clear();
    Cmdtambah->setText(QStringLiteral("Tambah"));
    Cmdtutup->setText(QStringLiteral("Tutup"));
    return;
  }
  forms::unload<frmkelas>();
}

void frmkelas::CMDHapus_Click() {
  if (!Module1::koneksiTerbuka()) return;
  if (Text1->text().isEmpty()) {
    ui::msgBox(QStringLiteral("Pilih Record yang akan di hapus"), ui::vbExclamation, QStringLiteral("Hapus"));
    return;
  }
  if (ui::msgBox(QStringLiteral("Apakah Anda Yakin Menghapus?"), ui::vbYesNo, QStringLiteral("Konfirmasi")) !=
      ui::vbYes)
    return;
  const bool deleted = vb::resumeNext([this] {
    Module1::Conn->Execute(QStringLiteral("DELETE * FROM [t_kelas] WHERE [kelas]='") + ado::q(Text1->text()) +
                           QStringLiteral("'"));
  });
  if (!deleted) {
    ui::msgBox(QStringLiteral("Data gagal dihapus"), ui::vbCritical, QStringLiteral("Hapus"));
    return;
  }
  // The list is read again so it shows exactly what the table holds.
  Lv1->clearItems();
  tampilKelas();
  Text1->clear();
  ui::msgBox(QStringLiteral("Telah dihapus"), ui::vbInformation, QStringLiteral("Hapus"));
}
