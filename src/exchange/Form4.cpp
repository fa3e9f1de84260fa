#include "Form4.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHash>

#include "dialogs.h"
#include "filecopy.h"
#include "Module1.h"
#include "frmAggota.h"
#include "msgbox.h"
#include "photofile.h"
#include "vb.h"

namespace {

// The photo name of every member, keyed by that name regardless of case.
QHash<QString, QStringList> memberPhotoNames() {
  QHash<QString, QStringList> names;
  ado::Recordset rs;
  rs.Open(QStringLiteral("select nis from tblanggota"), Module1::koneksi());
  for (; !rs.EOF_(); rs.MoveNext()) {
    const QString name = photobox::photoFileName(vb::text(rs.field(0)));
    if (name.isEmpty()) continue;
    QStringList& same = names[name.toCaseFolded()];
    if (!same.contains(name)) same << name;
  }
  return names;
}

// The name a file from the source folder is stored under. A photo of a member, whatever
// the case of its letters, gets the member's own photo name ("a-9.JPG" for "A-9" becomes
// "A-9.jpg"), so the member finds it; any other ".jpg" arrives with a lower-case
// extension and anything else keeps its name. "" when the file fits several members'
// photo names ("Ab7.jpg", "aB7.jpg") and none exactly: it is nobody's for sure.
QString storedName(const QString& file, const QHash<QString, QStringList>& names) {
  if (!file.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive)) return file;
  const QString lowered = file.chopped(4) + QStringLiteral(".jpg");
  const QStringList same = names.value(lowered.toCaseFolded());
  if (same.isEmpty()) return lowered;
  if (same.size() == 1) return same.first();
  return same.contains(lowered) ? lowered : QString();
}

}  // namespace

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
  const QStringList files = exchange::jpgFiles(source);
  if (files.isEmpty()) {
    ui::msgBox(QStringLiteral("Tidak ditemukan file berformat *.jpg di folder tersebut! "), ui::vbExclamation, title);
    return;
  }
  // Which name each file is stored under, read before anything is copied.
  QHash<QString, QStringList> names;
  try {
    names = memberPhotoNames();
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Data anggota tidak dapat dibaca; tidak ada foto yang diimport: ") + e.description,
               ui::vbCritical, title);
    return;
  }
  QList<QPair<QString, QString>> copies;  // source name, stored name
  QStringList skipped;
  QHash<QString, qsizetype> byTarget;  // stored name -> its entry in `copies`
  for (const QString& name : files) {
    const QString target = storedName(name, names);
    if (target.isEmpty()) {
      skipped << name;
      continue;
    }
    // Two files for one photo ("a-9.jpg", "A-9.JPG"): the one already named exactly so
    // wins, otherwise the first; the other is skipped rather than copied over it.
    const auto seen = byTarget.constFind(target);
    if (seen == byTarget.cend()) {
      byTarget.insert(target, copies.size());
      copies.append({name, target});
    } else if (name == target && copies[*seen].first != target) {
      skipped << copies[*seen].first;
      copies[*seen].first = name;
    } else {
      skipped << name;
    }
  }
  // A photo that cannot be copied is named; the ones copied before it stay whole.
  int copied = 0;
  for (const auto& [from, to] : copies) {
    QString why;
    if (!exchange::replaceFile(source + from, destination + to, true, &why)) {
      ui::msgBox(QStringLiteral("Foto %1 tidak dapat diimport: %2\n%3 foto sudah disalin.")
                     .arg(from, why, QString::number(copied)),
                 ui::vbCritical, title);
      return;
    }
    ++copied;
  }
  QString done = QStringLiteral("Photo telah diimport\n%1 foto disalin, %2 dilewati.").arg(copied).arg(skipped.size());
  if (!skipped.isEmpty()) {
    skipped.sort();
    done += QStringLiteral("\nDilewati karena ganda atau tidak jelas milik siswa yang mana: ") +
            exchange::someNames(skipped, 10);
  }
  ui::msgBox(done, skipped.isEmpty() ? ui::vbInformation : ui::vbExclamation, title);
}
