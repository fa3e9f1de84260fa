#include "cardreport.h"

#include <QDir>

#include "ado.h"
#include "cardrender.h"
#include "cardtemplate.h"
#include "connstring.h"
#include "preview.h"
#include "reporterrors.h"
#include "vb.h"

namespace report {
namespace {

RunHook& hookStore() {
  static RunHook hook;
  return hook;
}

[[noreturn]] void fail(const QString& description) { throw vb::VbError(kErrCall, kSource, description); }

// The one row a lookup query gives, by lower-case column name; empty when there is none.
}  // namespace

void setRunHook(RunHook hook) { hookStore() = std::move(hook); }
RunHook runHook() { return hookStore(); }

const CardTemplate& CardReportX::cardTemplate() {
  if (ReportFile.isEmpty()) fail(QStringLiteral("No report template is set."));
  if (!template_ || template_->file != ReportFile)
    template_ = std::make_shared<const CardTemplate>(loadTemplate(ReportFile));
  return *template_;
}

void CardReportX::checkConnectionName(const QString& name) {
  const CardTemplate& t = cardTemplate();
  if (name.compare(t.connection, Qt::CaseInsensitive) != 0)
    fail(QStringLiteral("The report template '%1' has no connection named \"%2\" (its connection is \"%3\").")
             .arg(QDir::toNativeSeparators(t.file), name, t.connection));
}

void CardReportX::SetConnection(const QString& name, const QString& connectionString) {
  checkConnectionName(name);
  job_.connectionName = name;
  job_.connectionString = connectionString;
  connected_ = false;
  datasetOpen_ = false;
  conn_.reset();
}

void CardReportX::Connect(const QString& name) {
  checkConnectionName(name);
  if (job_.connectionString.isEmpty())
    fail(QStringLiteral("The connection \"%1\" has no connection string.").arg(name));
  const QMap<QString, QString> pairs = parseConnectionString(job_.connectionString);
  const QString file = pairs.value(QStringLiteral("data source"));
  if (file.isEmpty()) fail(QStringLiteral("The connection string of \"%1\" names no data source.").arg(name));

  auto conn = std::make_shared<ado::Connection>();
  conn->Provider = pairs.value(QStringLiteral("provider"));
  conn->ConnectionString = QStringLiteral("Data Source=") + file;
  conn->setProperty(QStringLiteral("Jet OLEDB:Database Password"),
                    pairs.value(QStringLiteral("jet oledb:database password")));
  conn->Open();  // a missing file or a wrong password throws the provider's error
  conn_ = std::move(conn);
  connected_ = true;
  datasetOpen_ = false;
}

void CardReportX::SetDatasetSQL(const QString& name, QString& sql) {
  const CardTemplate& t = cardTemplate();
  if (name.compare(t.dataset, Qt::CaseInsensitive) != 0)
    fail(QStringLiteral("The report template '%1' has no dataset named \"%2\" (its dataset is \"%3\").")
             .arg(QDir::toNativeSeparators(t.file), name, t.dataset));
  job_.datasetName = name;
  job_.query = sql;
  datasetOpen_ = false;
}

void CardReportX::OpenDataset(const QString& name) {
  const CardTemplate& t = cardTemplate();
  if (name.compare(t.dataset, Qt::CaseInsensitive) != 0)
    fail(QStringLiteral("The report template '%1' has no dataset named \"%2\" (its dataset is \"%3\").")
             .arg(QDir::toNativeSeparators(t.file), name, t.dataset));
  if (job_.datasetName.isEmpty()) fail(QStringLiteral("The dataset \"%1\" has no query.").arg(name));
  if (!connected_ || !conn_) fail(QStringLiteral("The connection \"%1\" is not open.").arg(t.connection));

  QStringList names;
  std::vector<QVariantList> rows;
  ado::Recordset rs;
  rs.Open(job_.query, *conn_);
  for (int i = 0; i < rs.fieldCount(); ++i) names << rs.fieldName(i);
  for (; !rs.EOF_(); rs.MoveNext()) {
    QVariantList row;
    row.reserve(names.size());
    for (int i = 0; i < names.size(); ++i) row << rs.field(i);
    rows.push_back(std::move(row));
  }
  rs.Close();
  // The card settings the face shows, on the same connection.
  job_.face = cardface::readSettings(*conn_);
  job_.fieldNames = names;
  job_.rows = std::move(rows);
  datasetOpen_ = true;
}

QVariant CardReportX::Field(int row, const QString& name) const {
  qsizetype at = 0;
  while (at < job_.fieldNames.size() && job_.fieldNames.at(at).compare(name, Qt::CaseInsensitive) != 0) ++at;
  if (at == job_.fieldNames.size())
    throw vb::VbError(3265, kSource, QStringLiteral("Item cannot be found in the collection: %1").arg(name));
  if (row < 0 || row >= RecordCount()) fail(QStringLiteral("There is no row %1 in the dataset.").arg(row));
  return job_.rows[size_t(row)].value(at);
}

void CardReportX::ZoomToFit(bool on) { job_.zoomToFit = on; }

int CardReportX::Run() {
  const CardTemplate& t = cardTemplate();
  if (!datasetOpen_) fail(QStringLiteral("The dataset \"%1\" is not open.").arg(t.dataset));
  job_.templateFile = ReportFile;
  job_.title = Title;
  job_.preview = Preview;
  job_.modal = Modal;
  if (const RunHook hook = runHook()) {
    hook(job_);
    return 0;
  }
  auto renderer = std::make_shared<CardRenderer>(job_, template_);
  if (Preview)
    showPreview(renderer, Title, Modal, job_.zoomToFit);
  else
    printDirect(*renderer, Title);
  return 0;
}

}  // namespace report
