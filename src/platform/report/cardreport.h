#pragma once
// The report component: loads a card template, takes the connection and the dataset
// query, and presents the cards under the given title (a print preview from which the
// user prints or saves a PDF). Run returns when the preview is closed.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "cardface.h"

namespace ado {
class Connection;
}

namespace report {

struct CardTemplate;

// One print job as the window handed it over, with the rows the query gave.
struct Job {
  QString templateFile;
  QString title;
  QString connectionName;
  QString connectionString;
  QString datasetName;
  QString query;
  bool preview = false;
  bool modal = false;
  bool zoomToFit = false;
  QStringList fieldNames;          // of the dataset, in query order
  std::vector<QVariantList> rows;  // the dataset's rows, in query order
  // Read on the same connection when the dataset opens: the card texts, header fonts,
  // field captions and show flags (the rows '2' of tblsetting, Tblukuran and tlabel).
  cardface::Settings face;
};

class CardReportX {
 public:
  // 1: the template file (temp/01.rep .. temp/05.rep under the program folder).
  QString ReportFile;
  // 2: show a preview window rather than printing straight away.
  bool Preview = false;
  // 3: the preview window's title.
  QString Title;
  // 4: the connection string of the template's named connection.
  void SetConnection(const QString& name, const QString& connectionString);
  // 5: opens that connection.
  void Connect(const QString& name);
  // 6: the query of the template's named dataset.
  void SetDatasetSQL(const QString& name, QString& sql);
  // 7: runs the dataset's query.
  void OpenDataset(const QString& name);
  // 8: the preview is modal: Run returns when it is closed.
  bool Modal = false;
  // 9: the preview opens with a whole page in view.
  void ZoomToFit(bool on);
  // 10: lays out the cards and presents them. Throws vb::VbError on failure
  // (template missing or unreadable, connection or query failing).
  int Run();

  // The dataset as step 7 read it, for a caller that needs its rows before the run:
  // the number of rows, and a field of a row (0-based) by name, regardless of case.
  // Field throws vb::VbError for a name the dataset does not have.
  int RecordCount() const { return int(job_.rows.size()); }
  QVariant Field(int row, const QString& name) const;

 private:
  void checkConnectionName(const QString& name);
  const CardTemplate& cardTemplate();

  Job job_;
  bool connected_ = false;
  bool datasetOpen_ = false;
  std::shared_ptr<ado::Connection> conn_;
  std::shared_ptr<const CardTemplate> template_;
};

// Tests replace what Run presents: the hook receives the finished job instead of a
// preview window. nullptr restores the preview.
using RunHook = std::function<void(const Job&)>;
void setRunHook(RunHook hook);
RunHook runHook();

// Renders a job's cards into a PDF file at true size. Throws vb::VbError on failure.
void renderToPdf(const Job& job, const QString& pdfFile);

}  // namespace report
