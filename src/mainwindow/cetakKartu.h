#pragma once
// What the print commands of the main window and the entry window share: the barcode
// type, the template of each menu item, the QR images and the ten report steps.
#include <QAction>
#include <QMenu>
#include <QString>
#include <functional>
#include <tuple>

#include "ado.h"
#include "cardreport.h"

namespace cetakKartu {

enum class Menu { A4, Front, Back };

// The print menu "Cetak" of a window: m_Cetak, m_ukuranA4, m_ukuranIDCard, m_Front, m_back.
std::tuple<QMenu*, QAction*, QMenu*, QAction*, QAction*> buatMenu(QWidget* owner);

// "select barcode from tblsetting", first row; Null counts as "Code 128", no row as "".
QString jenisBarcode();
// Template file under the program folder for a menu item and barcode type.
QString template_(Menu menu, const QString& jenis);
// Writes the QR image of each row `from` .. `to` - 1 of the report's dataset whose
// barcode has a value, unless the image on disk already shows it; for a row without a
// value it removes an image an earlier print left, so no card carries an old code.
// Several images are written at a time: making a file takes longer than making its
// picture. The first failure is thrown once the images under way are written.
void buatQr(const report::CardReportX& report, int from, int to);
// Runs the ten report steps on `report`. The dataset is read once, by step 7: when it
// holds no row nothing more happens and false is returned; otherwise `beforeRun` runs
// with the rows in the report (the QR images) and then the report runs.
bool jalankan(report::CardReportX& report, const QString& templateFile, const QString& title, QString sql,
              const std::function<void()>& beforeRun);
// The connection string as the open connection reports it, password included.
QString connectionString();

}  // namespace cetakKartu
