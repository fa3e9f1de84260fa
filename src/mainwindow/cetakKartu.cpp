#include "cetakKartu.h"

#include <QDir>
#include <QFile>
#include <QThreadPool>
#include <deque>
#include <exception>
#include <future>

#include "Module1.h"
#include "cardface.h"
#include "qrcode.h"
#include "vb.h"

namespace cetakKartu {

std::tuple<QMenu*, QAction*, QMenu*, QAction*, QAction*> buatMenu(QWidget* owner) {
  auto* menu = new QMenu(QStringLiteral("Cetak"), owner);
  menu->setObjectName(QStringLiteral("m_Cetak"));
  QAction* a4 = menu->addAction(QStringLiteral("Ukuran A4"));
  a4->setObjectName(QStringLiteral("m_ukuranA4"));
  QMenu* idCard = menu->addMenu(QStringLiteral("Ukuran ID Card"));
  idCard->setObjectName(QStringLiteral("m_ukuranIDCard"));
  QAction* front = idCard->addAction(QStringLiteral("Desain Depan"));
  front->setObjectName(QStringLiteral("m_Front"));
  QAction* back = idCard->addAction(QStringLiteral("Desain Belakang"));
  back->setObjectName(QStringLiteral("m_back"));
  return {menu, a4, idCard, front, back};
}

QString jenisBarcode() {
  ado::Recordset rs;
  rs.Open(QStringLiteral("select barcode from tblsetting"), *Module1::Conn);
  QString jenis;
  if (!rs.EOF_()) {
    const QVariant v = rs.field(QStringLiteral("Barcode"));
    jenis = v.isNull() ? QStringLiteral("Code 128") : v.toString();
  }
  rs.Close();
  return jenis;
}

QString template_(Menu menu, const QString& jenis) {
  const bool code128 = !cardface::isQr(jenis);  // as the settings window shows it
  switch (menu) {
    case Menu::A4:
      return vb::appPath(code128 ? QStringLiteral("temp/01.rep") : QStringLiteral("temp/02.rep"));
    case Menu::Front:
      return vb::appPath(code128 ? QStringLiteral("temp/03.rep") : QStringLiteral("temp/04.rep"));
    case Menu::Back:
      break;
  }
  return vb::appPath(QStringLiteral("temp/05.rep"));
}

void buatQr(const report::CardReportX& report, int from, int to) {
  const QString folder = vb::appPath(QStringLiteral("barcode"));
  std::deque<std::future<void>> running;
  std::exception_ptr failure;
  const auto finishFirst = [&] {
    try {
      running.front().get();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
    running.pop_front();
  };
  const int atOnce = qMax(2, QThreadPool::globalInstance()->maxThreadCount());
  for (int row = from; row < to && !failure; ++row) {
    QVariant id = report.Field(row, QStringLiteral("ID"));
    if (id.isNull()) id = report.Field(row, QStringLiteral("idsiswa"));  // a member deleted since it was ticked
    bool isNumber = false;
    const qlonglong n = id.toLongLong(&isNumber);
    if (!isNumber) continue;
    const QString file = folder + QLatin1Char('/') + QString::number(n) + QStringLiteral(".jpg");
    const QVariant v = report.Field(row, QStringLiteral("Barcode"));
    const QString text = v.isNull() ? QStringLiteral("0") : v.toString();
    auto task = std::make_shared<std::packaged_task<void()>>([folder, file, text] {
      if (text == QLatin1String("0") || text.isEmpty()) {
        QFile::remove(file);
        return;
      }
      if (barcode::qrJpegShows(text, file)) return;  // written for this very text by an earlier print
      if (!QDir().mkpath(folder))
        throw vb::VbError(76, QStringLiteral("Cetak"), QStringLiteral("Path not found: ") + folder);
      barcode::saveQrJpeg(text, file);
    });
    if (int(running.size()) >= atOnce) finishFirst();
    running.push_back(task->get_future());
    QThreadPool::globalInstance()->start([task] { (*task)(); });
  }
  while (!running.empty()) finishFirst();
  if (failure) std::rethrow_exception(failure);
}

QString connectionString() {
  const ado::Connection& c = *Module1::Conn;
  QString path = c.dataSource();
  path.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QStringLiteral("Provider=") + c.Provider + QStringLiteral(";Data Source=\"") + path +
         QStringLiteral("\";Jet OLEDB:Database Password=") + c.property(QStringLiteral("Jet OLEDB:Database Password"));
}

bool jalankan(report::CardReportX& report, const QString& templateFile, const QString& title, QString sql,
              const std::function<void()>& beforeRun) {
  report.ReportFile = templateFile;
  report.Preview = true;
  report.Title = title;
  report.SetConnection(QStringLiteral("gg"), connectionString());
  report.Connect(QStringLiteral("gg"));
  report.SetDatasetSQL(QStringLiteral("datasiswa"), sql);
  report.OpenDataset(QStringLiteral("datasiswa"));
  if (report.RecordCount() == 0) return false;
  beforeRun();
  report.Modal = true;
  report.ZoomToFit(true);
  report.Run();
  return true;
}

}  // namespace cetakKartu
