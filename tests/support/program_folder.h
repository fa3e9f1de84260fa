#pragma once
// A fresh program folder in a temporary directory: the shipped database, the blank photo
// and the empty data folders, as the install lays them out. The test target defines
// LENTAVO_SEED_DB and LENTAVO_ASSETS.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <memory>

#include "ado.h"
#include "vb.h"

namespace testsupport {

class ProgramFolder {
 public:
  explicit ProgramFolder(bool withDatabase = true) {
    EXPECT_TRUE(dir_.isValid());
    QDir d(dir_.path());
    for (const char* sub : {"database", "photos", "images", "barcode", "temp"}) d.mkpath(QString::fromLatin1(sub));
    if (withDatabase) {
      EXPECT_TRUE(QFile::copy(QStringLiteral(LENTAVO_SEED_DB), path("database/database.mdb")))
          << "seed database missing: " << LENTAVO_SEED_DB;
      QFile::setPermissions(path("database/database.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    }
    QFile::copy(QStringLiteral(LENTAVO_ASSETS "/images/temp.jpg"), path("images/temp.jpg"));
    // The card templates and card faces, as the install lays them out.
    const QDir templates(QStringLiteral(LENTAVO_ASSETS "/temp"));
    for (const QString& f : templates.entryList({QStringLiteral("*.rep")}, QDir::Files))
      QFile::copy(templates.filePath(f), path("temp/" + f));
    for (const char* face : {"depan2.jpg", "back2.jpg"})
      QFile::copy(QStringLiteral(LENTAVO_ASSETS "/images/") + QLatin1String(face),
                  path(QStringLiteral("images/") + QLatin1String(face)));
    vb::setProgramFolder(dir_.path());
  }
  QString root() const { return dir_.path(); }
  QString path(const QString& rel) const { return dir_.path() + '/' + rel; }

  // A second connection of the test's own, to arrange and check rows.
  ado::Connection& db() {
    if (!conn_) {
      conn_ = std::make_unique<ado::Connection>();
      conn_->ConnectionString = QStringLiteral("Data Source=") + path("database/database.mdb");
      conn_->setProperty(QStringLiteral("Jet OLEDB:Database Password"), QStringLiteral("718403"));
      conn_->Open();
    }
    return *conn_;
  }
  void addMember(const QString& nis, const QString& nama, const QString& kelas = QString(),
                 const QString& barcode = QString(), const QString& nisn = QString()) {
    db().Execute(
        QStringLiteral("insert into tblanggota (nis, nisn, nama, ttl, agama, kelamin, barcode, kelas) "
                       "values ('%1', '%2', '%3', 'Bandung, 1 Mei 2010', 'Islam', 'L', %4, '%5')")
            .arg(ado::q(nis), ado::q(nisn.isEmpty() ? QStringLiteral("00") + nis : nisn), ado::q(nama),
                 barcode.isNull() ? QStringLiteral("NULL") : QLatin1Char('\'') + ado::q(barcode) + QLatin1Char('\''),
                 ado::q(kelas)));
  }
  void addKelas(const QString& kelas) {
    db().Execute(QStringLiteral("insert into t_kelas (kelas) values ('%1')").arg(ado::q(kelas)));
  }
  // Writes a small JPEG of one colour.
  void writePhoto(const QString& rel, QColor color, QSize size = QSize(30, 40)) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(color);
    EXPECT_TRUE(img.save(path(rel), "JPG"));
  }
  void closeDb() { conn_.reset(); }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<ado::Connection> conn_;
};

}  // namespace testsupport
