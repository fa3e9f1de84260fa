#include "Frmimport.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QSet>
#include <QStandardPaths>

#include "Module1.h"
#include "frmAggota.h"
#include "frmlabel.h"
#include "msgbox.h"
#include "named.h"
#include "vb.h"
#include "workbook.h"
#include "xlsxwrite.h"

namespace {

const QString kTitle = QStringLiteral("Import");

// The member columns that sheet columns B to I (list sub-items 1 to 8) hold.
const char* const kFields[] = {"nis", "nisn", "nama", "ttl", "agama", "kelamin", "barcode", "kelas"};

QString cellText(const excel::Sheet& sheet, std::uint32_t row, std::uint32_t col) {
  const excel::Cell* c = sheet.at(row, col);
  return c ? QString::fromStdString(excel::cellText(*c)) : QString();
}

}  // namespace

Frmimport::Frmimport() {
  setObjectName(QStringLiteral("Frmimport"));
  setCaption(QStringLiteral("Import File Excel"));
  auto* g = new QGridLayout(this);
  auto label = [this](const char* name, const QString& text) { return ui::named(new QLabel(text, this), name); };
  auto button = [this](const char* name, const QString& text) { return ui::named(new QPushButton(text, this), name); };
  Label9 = label("Label9", QStringLiteral("Digunakan Untuk Import File Excel"));
  QFont f = Label9->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 3);
  Label9->setFont(f);
  Label1 = label("Label1", QStringLiteral("Untuk Import file Excel,"));
  Labelpath = label("Labelpath", QStringLiteral("File Name"));
  Textpath = new QLineEdit(this);
  Textpath->setObjectName(QStringLiteral("Textpath"));
  Labelpath->setBuddy(Textpath);
  cmdCariFileExcel = button("cmdCariFileExcel", QStringLiteral("Browse"));
  Command2 = button("Command2", QStringLiteral("Templete"));
  cmdImportToAccess = button("cmdImportToAccess", QStringLiteral("Import"));
  Command1 = button("Command1", QStringLiteral("Tutup"));
  lvwList = new ui::ListView(this);
  lvwList->setObjectName(QStringLiteral("lvwList"));
  lvwList->Checkboxes = false;
  Image2 = label("Image2", QString());
  Image2->setPixmap(QPixmap(QStringLiteral(":/icons/excel.png")));
  g->addWidget(Image2, 0, 0, 2, 1);
  g->addWidget(Label9, 0, 1, 1, 4);
  g->addWidget(Label1, 1, 1, 1, 4);
  g->addWidget(Labelpath, 2, 0);
  g->addWidget(Textpath, 2, 1, 1, 3);
  g->addWidget(cmdCariFileExcel, 2, 4);
  g->addWidget(lvwList, 3, 0, 1, 5);
  g->addWidget(Command2, 4, 2);
  g->addWidget(cmdImportToAccess, 4, 3);
  g->addWidget(Command1, 4, 4);
  g->setColumnStretch(1, 1);
  connect(cmdCariFileExcel, &QPushButton::clicked, this, &Frmimport::cmdCariFileExcel_Click);
  connect(Command2, &QPushButton::clicked, this, &Frmimport::Command2_Click);
  connect(cmdImportToAccess, &QPushButton::clicked, this, &Frmimport::cmdImportToAccess_Click);
  connect(Command1, &QPushButton::clicked, this, &Frmimport::Command1_Click);
  resize(760, 460);
}

void Frmimport::Form_Load() { aturKolom(); }

Frmimport::Sibuk::~Sibuk() {
  if (--w_->sibuk_ > 0 || !w_->tutupTertunda_) return;
  w_->tutupTertunda_ = false;
  forms::unload(w_);
}

void Frmimport::Command1_Click() {
  if (sibuk_ > 0) {
    tutupTertunda_ = true;
    return;
  }
  forms::unload(this);
}

void Frmimport::closeEvent(QCloseEvent* e) {
  if (sibuk_ > 0) {
    tutupTertunda_ = true;
    e->ignore();
    return;
  }
  forms::Form::closeEvent(e);
}

void Frmimport::aturKolom() {
  lvwList->setReportStyle();
  lvwList->clearColumns();
  frmAggota* entry = forms::get<frmAggota>();
  lvwList->addColumn(QStringLiteral("NO"), 750);
  lvwList->addColumn(entry->Label3->text(), 750);
  lvwList->addColumn(entry->Label4->text(), 1250);
  lvwList->addColumn(entry->Label5->text(), 2500);
  lvwList->addColumn(entry->Label6->text(), 1500);
  lvwList->addColumn(entry->Label12->text(), 1500);
  lvwList->addColumn(entry->Label7->text(), 1500);
  lvwList->addColumn(QStringLiteral("Barcode"), 1000);
  lvwList->addColumn(QStringLiteral("Kelas"), 1000);
}

void Frmimport::cmdCariFileExcel_Click() {
  const Sibuk sibuk(this);
  CommonDialog1.DialogTitle = QStringLiteral("Pilih File Excel");
  CommonDialog1.Filter = QStringLiteral("Excel (*.xls;*.xlsx)|*.xls;*.xlsx");
  CommonDialog1.InitDir = QString();
  vb::resumeNext([&] { CommonDialog1.ShowOpen(); });
  CommonDialog1.CancelError = false;
  Textpath->setText(CommonDialog1.FileName);
  const QString path = Textpath->text();
  if (path.isEmpty()) return;

  excel::Workbook book;
  const std::string why = excel::readWorkbook(QFile::encodeName(path).toStdString(), &book);
  lvwList->clearItems();
  sheetRows_.clear();
  const excel::Sheet* sheet = book.firstWorksheet();
  if (!why.empty() || !sheet) {
    ui::msgBox(QStringLiteral("File %1 tidak dapat dibaca: %2")
                   .arg(path, why.empty() ? QStringLiteral("workbook tidak memuat worksheet.") : QString::fromStdString(why)),
               ui::vbExclamation, kTitle);
    return;
  }
  // Member rows run from row 2 to the first row whose column A is empty.
  QList<QStringList> shown;
  for (std::uint32_t r = 2;; ++r) {
    QStringList row{cellText(*sheet, r, 1)};
    if (row[0].isEmpty()) break;
    for (std::uint32_t c = 2; c <= 9; ++c) row << cellText(*sheet, r, c);
    sheetRows_ << row;
    for (qsizetype c = 1; c < row.size(); ++c) row[c].replace(QLatin1Char('\''), QLatin1Char('`'));
    shown << row;
  }
  lvwList->addRows(shown);
}

void Frmimport::Command2_Click() {
  const Sibuk sibuk(this);
  frmlabel* captions = forms::get<frmlabel>();
  QStringList heading{QStringLiteral("No")};
  for (int i = 0; i <= 5; ++i) heading << captions->label21[static_cast<size_t>(i)]->text();
  heading << QStringLiteral("Barcode") << QStringLiteral("Kelas");
  // The user fills the template and comes back with it: it goes where the user says,
  // never into a temporary folder. A dialog of its own leaves Browse's file name alone.
  ui::CommonDialog save;
  save.DialogTitle = QStringLiteral("Simpan Template Excel");
  save.Filter = QStringLiteral("Excel (*.xlsx)|*.xlsx");
  save.InitDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  save.FileName = QStringLiteral("Template Import Siswa.xlsx");
  save.CancelError = true;
  try {
    save.ShowSave();
  } catch (const vb::VbError&) {
    return;  // cancelled: nothing written
  }
  const QString file = save.FileName;
  const QString why = excel::writeTextSheet(file, {heading});
  if (!why.isEmpty()) {
    ui::msgBox(why, ui::vbOKOnly, vb::appTitle());
    return;
  }
  // Opened first, so one box says at once where the template is and whether it opened; a
  // failure told after the first box was answered would come in the way of what follows.
  if (ui::openDocument(file))
    ui::msgBox(QStringLiteral("Template disimpan di %1").arg(file), ui::vbInformation, kTitle);
  else
    ui::msgBox(QStringLiteral("Template tersimpan di %1, tetapi tidak dapat dibuka.").arg(file), ui::vbOKOnly,
               vb::appTitle());
}

void Frmimport::cmdImportToAccess_Click() {
  const Sibuk sibuk(this);
  if (sheetRows_.isEmpty()) {
    ui::msgBox(QStringLiteral("Belum ada data untuk diimport. Pilih file Excel terlebih dahulu."), ui::vbExclamation,
               kTitle);
    return;
  }
  int added = 0, skipped = 0, item = 0;
  try {
    ado::Connection& conn = Module1::koneksi();
    conn.BeginTrans();
    try {
      // Numbers and classes are compared regardless of case, as the database compares them.
      QSet<QString> used, classes;
      ado::Recordset rs;
      rs.Open(QStringLiteral("select nis from tblanggota"), conn);
      for (; !rs.EOF_(); rs.MoveNext()) used.insert(vb::text(rs.field(0)).trimmed().toCaseFolded());
      rs.Close();
      rs.Open(QStringLiteral("select kelas from t_kelas"), conn);
      for (; !rs.EOF_(); rs.MoveNext()) classes.insert(vb::text(rs.field(0)).toCaseFolded());
      rs.Close();
      ado::Recordset members, kelas;
      members.CursorLocation = kelas.CursorLocation = ado::adUseClient;
      members.Open(QStringLiteral("select * from tblanggota where 1 = 0"), conn, ado::adOpenDynamic,
                   ado::adLockOptimistic);
      kelas.Open(QStringLiteral("select * from t_kelas where 1 = 0"), conn, ado::adOpenDynamic, ado::adLockOptimistic);
      for (item = 1; item <= sheetRows_.size(); ++item) {
        const QStringList& row = sheetRows_[item - 1];
        // Blanks around a number are invisible in a cell and would only make the member
        // unfindable; every other text is stored as the workbook holds it.
        const QString nis = row[1].trimmed();
        if (nis.isEmpty() || used.contains(nis.toCaseFolded())) {
          ++skipped;
          continue;
        }
        used.insert(nis.toCaseFolded());
        members.AddNew();
        members.setField(QStringLiteral("nis"), nis);
        for (int s = 2; s <= 8; ++s) members.setField(QString::fromLatin1(kFields[s - 1]), row[s]);
        members.Update();
        const QString& k = row[8];
        if (!k.trimmed().isEmpty() && !classes.contains(k.toCaseFolded())) {
          classes.insert(k.toCaseFolded());
          kelas.AddNew();
          kelas.setField(QStringLiteral("kelas"), k);
          kelas.Update();
        }
        ++added;
      }
      item = 0;
      conn.CommitTrans();
    } catch (...) {
      vb::resumeNext([&] { conn.RollbackTrans(); });
      throw;
    }
  } catch (const vb::VbError& e) {
    const QString where = item > 0 ? QStringLiteral(" pada baris %1").arg(item + 1) : QString();
    ui::msgBox(QStringLiteral("Import gagal%1: %2\nTidak ada data yang disimpan.").arg(where, e.description),
               ui::vbCritical, kTitle);
    return;
  }
  ui::msgBox(QStringLiteral("%1 data siswa ditambahkan, %2 dilewati (NIS kosong atau sudah terdaftar).")
                 .arg(added)
                 .arg(skipped),
             ui::vbInformation, kTitle);
}

void Frmimport::hapusDuplikat() {
  const Sibuk sibuk(this);
  // One statement is one transaction: the table is never dropped or copied, so a failure
  // leaves every member where it was. Of the rows alike in every column but `id`, the
  // first one stays.
  try {
    Module1::koneksi().Execute(
        QStringLiteral("delete from tblanggota where id not in (select min(id) from tblanggota "
                       "group by nis, nisn, nama, ttl, agama, kelamin, barcode, kelas)"));
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Data ganda gagal dihapus; data anggota tidak berubah: ") + e.description,
               ui::vbCritical, kTitle);
    return;
  }
  ui::msgBox(QStringLiteral("Import Sukses"), ui::vbInformation, kTitle);
}
