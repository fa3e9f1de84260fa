#include "Form4.h"

#include <QFileInfo>
#include <QGridLayout>

#include "dialogs.h"
#include "filecopy.h"
#include "frmAggota.h"
#include "msgbox.h"
#include "vb.h"

Form4::Form4() {
  setObjectName(QStringLiteral("Form4"));
  setCaption(QStringLiteral("Import Foto"));
  auto* g = new QGridLayout(this);
  auto label = [this](const char* name, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QString::fromLatin1(name));
    l->setWordWrap(true);
    return l;
  };
  auto button = [this](const char* name, const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    return b;
  };
  Label4 = label("Label4", QStringLiteral("Import Foto"));
  QFont f = Label4->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 3);
  Label4->setFont(f);
  Label2 = label("Label2", QStringLiteral("Pilih Folder dimana Anda menyimpan file Foto lalu klik import untuk "
                                          "memasukkan foto kedalam database"));
  Label1 = label("Label1", QStringLiteral("Nama Folder"));
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Label1->setBuddy(Text1);
  cmdopen = button("cmdopen", QStringLiteral("Buka Folder"), QStringLiteral("Memilih Folder Yang bersisi foto"));
  cmdimport = button("cmdimport", QStringLiteral("Import"), QStringLiteral("Import foto kedalam database"));
  Cmdtutup = button("Cmdtutup", QStringLiteral("Tutup"), QStringLiteral("Tekan Untuk Keluar"));
  Label3 = label("Label3", QString());
  g->addWidget(Label4, 0, 0, 1, 3);
  g->addWidget(Label2, 1, 0, 1, 3);
  g->addWidget(Label1, 2, 0);
  g->addWidget(Text1, 2, 1);
  g->addWidget(cmdopen, 2, 2);
  g->addWidget(Label3, 3, 0, 1, 3);
  g->addWidget(cmdimport, 4, 1, Qt::AlignRight);
  g->addWidget(Cmdtutup, 4, 2);
  connect(cmdopen, &QPushButton::clicked, this, &Form4::cmdopen_Click);
  connect(cmdimport, &QPushButton::clicked, this, &Form4::cmdimport_Click);
  connect(Cmdtutup, &QPushButton::clicked, this, [] { forms::unload<Form4>(); });
  resize(520, 240);
}

void Form4::Form_Load() {
  Text1->clear();
  Label3->setText(QStringLiteral("Catatatan : Nama File foto harus sama dengan ") + forms::get<frmAggota>()->Label3->text() +
                  QStringLiteral(" masing-masing siswa dan berformat *.jpg."));
}

void Form4::cmdopen_Click() {
  const QString folder = ui::browseForFolder(QStringLiteral("This is the title"));
  if (!folder.isEmpty()) Text1->setText(folder);
}

void Form4::cmdimport_Click() {
  const QString title = QStringLiteral("NISN");
  if (Text1->text().isEmpty()) {
    ui::msgBox(QStringLiteral("pilih folder terlebih dahulu"), ui::vbExclamation, title);
    return;
  }
  const QString source = exchange::withSlash(Text1->text());
  const QString destination = vb::appPath(QStringLiteral("photos/"));
  if (!QFileInfo(source).isDir()) {
    ui::msgBox(source + QStringLiteral(" folder tidak ditemukan"), ui::vbExclamation, title);
    return;
  }
  if (!QFileInfo(destination).isDir()) {
    ui::msgBox(destination + QStringLiteral("tidak ditemukan"), ui::vbCritical, title);
    return;
  }
  const QStringList names = exchange::jpgFiles(source);
  if (names.isEmpty()) {
    ui::msgBox(QStringLiteral("Tidak ditemukan file berformat *.jpg di folder tersebut! "), ui::vbExclamation, title);
    return;
  }
  // A photo that cannot be copied is named; the ones copied before it stay whole. "123.JPG"
  // arrives as "123.jpg", the name the member's photo is looked up by.
  for (const QString& name : names) {
    QString target = name;
    if (target.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)) target.replace(target.size() - 4, 4, ".jpg");
    QString why;
    if (!exchange::replaceFile(source + name, destination + target, true, &why)) {
      ui::msgBox(QStringLiteral("Foto %1 tidak dapat diimport: %2").arg(name, why), ui::vbCritical, title);
      return;
    }
  }
  ui::msgBox(QStringLiteral("Photo telah diimport"), ui::vbInformation, title);
}
