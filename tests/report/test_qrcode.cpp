// The QR picture the print handlers write before a QR card print: a JPEG that a scanner
// reads back as the exact text, written atomically.
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include "qrcode.h"
#include "report_fixture.h"

using namespace reporttest;

namespace {

TEST(QrCode, TheJpegReadsBackAsTheExactTextIncludingNonAscii) {
  QTemporaryDir dir;
  for (const QString& text : {QStringLiteral("Siti Nurhaliza – 12/3 é"), QStringLiteral("0012345678"),
                              QStringLiteral("café"), QString(150, u'Z')}) {
    SCOPED_TRACE(text.toStdString());
    const QString file = dir.filePath(QStringLiteral("1.jpg"));
    barcode::saveQrJpeg(text, file);
    QImageReader reader(file);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_GE(reader.size().width(), 150);  // big enough to print sharp
    EXPECT_EQ(decodeCodes(file), QStringList{text});
  }
}

TEST(QrCode, AnEmptyTextGivesAPictureThatHoldsNoCode) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("7.jpg"));
  barcode::saveQrJpeg(QString(), file);
  EXPECT_EQ(QImageReader(file).format(), QByteArray("jpeg"));
  EXPECT_TRUE(decodeCodes(file).isEmpty());
}

TEST(QrCode, AnOldPictureIsReplacedWholeAndAFailureLeavesNothingBehind) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("5.jpg"));
  barcode::saveQrJpeg(QStringLiteral("first"), file);
  barcode::saveQrJpeg(QStringLiteral("second"), file);
  EXPECT_EQ(decodeCodes(file), QStringList{QStringLiteral("second")});
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("5.jpg")});

  // The handlers never create the folder: writing into a missing one fails.
  EXPECT_THROW(barcode::saveQrJpeg(QStringLiteral("x"), dir.filePath(QStringLiteral("barcode/5.jpg"))), vb::VbError);
  // More than a QR code holds.
  EXPECT_THROW(barcode::saveQrJpeg(QString(3000, u'x'), file), vb::VbError);
  EXPECT_EQ(decodeCodes(file), QStringList{QStringLiteral("second")});
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("5.jpg")});
}

}  // namespace
