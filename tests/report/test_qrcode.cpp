// The QR picture the print handlers write before a QR card print: a JPEG that a scanner
// reads back as the exact text, written atomically, and known again as current.
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include "report_fixture.h"

using namespace reporttest;

namespace {

TEST(QrCode, TheJpegReadsBackAsTheExactTextAndIsKnownAsCurrentForItOnly) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("1.jpg"));
  for (const QString& text :
       {QStringLiteral("Siti Nurhaliza – 12/3 é"), QStringLiteral("0012345678"), QString(150, u'Z'), QString()}) {
    SCOPED_TRACE(text.toStdString());
    barcode::saveQrJpeg(text, file);
    QImageReader reader(file);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_GE(reader.size().width(), 150);  // big enough to print sharp
    EXPECT_EQ(decodeCodes(file), text.isEmpty() ? QStringList() : QStringList{text});
    EXPECT_TRUE(barcode::qrJpegShows(text, file));
    EXPECT_FALSE(barcode::qrJpegShows(text + u'x', file));
  }
}

TEST(QrCode, APictureThatIsMissingCutShortOrNotOursIsNotCurrent) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("2.jpg"));
  EXPECT_FALSE(barcode::qrJpegShows(QStringLiteral("A"), file));
  barcode::saveQrJpeg(QStringLiteral("A"), file);
  QFile f(file);
  ASSERT_TRUE(f.resize(f.size() - 100));
  EXPECT_FALSE(barcode::qrJpegShows(QStringLiteral("A"), file));
  QImage plain(100, 100, QImage::Format_RGB32);
  plain.fill(Qt::white);
  ASSERT_TRUE(plain.save(file, "JPG"));
  EXPECT_FALSE(barcode::qrJpegShows(QStringLiteral("A"), file));
}

TEST(QrCode, AnOldPictureIsReplacedWholeAndAFailureLeavesNothingBehind) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("5.jpg"));
  barcode::saveQrJpeg(QStringLiteral("first"), file);
  barcode::saveQrJpeg(QStringLiteral("second"), file);
  EXPECT_EQ(decodeCodes(file), QStringList{QStringLiteral("second")});
  // The handlers never create the folder: writing into a missing one fails.
  EXPECT_THROW(barcode::saveQrJpeg(QStringLiteral("x"), dir.filePath(QStringLiteral("barcode/5.jpg"))), vb::VbError);
  EXPECT_THROW(barcode::saveQrJpeg(QString(3000, u'x'), file), vb::VbError);  // more than a QR code holds
  EXPECT_EQ(decodeCodes(file), QStringList{QStringLiteral("second")});
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("5.jpg")});
}

}  // namespace
