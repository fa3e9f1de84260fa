// The card settings window: load and save of the card texts and header fonts, the
// barcode list, the preview layout and the sliding frames.
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QPainter>

#include "carddesign_fixture.h"
#include "cardface.h"
#include "cetakKartu.h"
#include "dc.h"
#include "dib.h"
#include "screen.h"

using namespace testsupport;

namespace {

class Settings : public CardDesignTest {};

TEST_F(Settings, SaveWritesBackExactlyWhatWasReadButTheEditedText) {
  // A font not installed here, size 9.75 and a system colour (button text).
  pf.db().Execute(
      "update Tblukuran set [textheader(0)fontName] = 'Gaya Sekolah Pro', [textheader(0)fontSize] = 9.75, "
      "[textheader(0)fontColor] = -2147483630, [textheader(0)fontUnderline] = 1, "
      "[textheader(0)fontItalic] = 1, [textheader(5)fontColor] = 16711680 where idfont = '2'");
  const QVariantList setting = row("tblsetting", "idtext"), fonts = row("Tblukuran", "idfont"),
                     labels = row("tlabel", "idlabel");
  open();
  EXPECT_EQ(s->LabelHeader[0]->font().family(), "Gaya Sekolah Pro");
  EXPECT_EQ(s->hurufHeader[0].qcolor(), QColor(0, 0, 0));
  EXPECT_EQ(s->hurufHeader[5].qcolor(), QColor(0, 0, 255));
  EXPECT_EQ(s->LabelHeader[1]->text(), "DINAS PENDIDIKAN");
  EXPECT_EQ(s->Label2->text(), s->Textisi->toPlainText());
  s->TextFooter[3]->selectAll();
  QTest::keyClicks(s->TextFooter[3], "NIP. 1970");
  EXPECT_EQ(s->Label4[3]->text(), "NIP. 1970");
  click(s->cmdSimpan);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Simpan Sukses"});
  QVariantList expected = setting;
  expected[column("tblsetting", "textfooter(3)")] = "NIP. 1970";
  EXPECT_EQ(row("tblsetting", "idtext"), expected);
  EXPECT_EQ(row("Tblukuran", "idfont"), fonts);
  EXPECT_EQ(row("tlabel", "idlabel"), labels);
}

TEST_F(Settings, BarcodeListShowsWhatPrintingUses) {
  struct Case {
    const char* stored;
    const char* shown;
  };
  const Case cases[] = {{nullptr, "Code 128"},  {"Code 128", "Code 128"}, {"QR Code", "QR Code"},
                        {"qr code", "QR Code"}, {"Code 128 ", "QR Code"}, {"xyz", "QR Code"},
                        {"", "QR Code"}};
  // The card front printing picks for the stored type, before and after a save.
  auto printed = [] {
    return QFileInfo(cetakKartu::template_(cetakKartu::Menu::Front, cetakKartu::jenisBarcode())).fileName();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored ? c.stored : "Null");
    pf.db().Execute(QString("update tblsetting set barcode = %1 where idtext = '2'")
                        .arg(c.stored ? QString("'%1'").arg(c.stored) : QString("NULL")));
    const QString front = printed();
    open();
    EXPECT_EQ(s->cmbBarcode->currentText(), c.shown);
    EXPECT_EQ(front, QString(c.shown) == "QR Code" ? "04.rep" : "03.rep");
    EXPECT_EQ(s->qrcode->isVisibleTo(s->picture1), QString(c.shown) == "QR Code");
    EXPECT_EQ(s->Barcode->isVisibleTo(s->picture1), QString(c.shown) == "Code 128");
    click(s->cmdSimpan);
    EXPECT_EQ(row("tblsetting", "idtext")[column("tblsetting", "barcode")].toString(), c.shown);
    EXPECT_EQ(printed(), front);
    forms::unload<frmsetting>();
  }
}

TEST_F(Settings, BackTextsDropPastedControlCharactersAndKeepLineBreaks) {
  struct Case {
    QPlainTextEdit* frmsetting::*box;
    const char* column;
    QString pasted, kept;
  };
  const Case cases[] = {
      {&frmsetting::Textisi, "textisi", "Baris satu\nBaris\tdua\x01", "Baris satu\nBarisdua"},
      {&frmsetting::Textisi, "textisi", QString("a\r\nb") + QChar(0) + "c\x1b[0m", "a\nbc[0m"},
      {&frmsetting::TextBawah, "textbawah", "Alamat:\x07\nJl. Merdeka\x7f 1\x0c", "Alamat:\nJl. Merdeka 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kept.toStdString());
    open();
    QPlainTextEdit* box = s->*c.box;
    box->clear();
    QGuiApplication::clipboard()->setText(c.pasted);
    box->setFocus();
    QTest::keySequence(box, QKeySequence::Paste);
    EXPECT_EQ(box->toPlainText(), c.kept);
    EXPECT_EQ((c.box == &frmsetting::Textisi ? s->Label2 : s->Label3)->text(), c.kept);  // the preview
    click(s->cmdSimpan);
    EXPECT_EQ(row("tblsetting", "idtext")[column("tblsetting", c.column)].toString(), c.kept);
    forms::unload<frmsetting>();
  }
}

TEST_F(Settings, FailedSaveSaysSoAndStoresNothing) {
  const QVariantList setting = row("tblsetting", "idtext");
  pf.db().Execute("delete from Tblukuran");
  open();
  QTest::keyClicks(s->Textjudul, " BARU");
  click(s->cmdSimpan);
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_NE(dialogs.lastMsgBox().prompt, "Simpan Sukses");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
  EXPECT_EQ(row("tblsetting", "idtext"), setting);
  Module1::tutupKoneksi();  // an event after the main window's close path
  click(s->cmdSimpan);
  EXPECT_EQ(dialogs.msgBoxes().size(), 2u);
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
}

TEST_F(Settings, TutupLeavesTheDatabaseUnchanged) {
  const QVariantList setting = row("tblsetting", "idtext"), fonts = row("Tblukuran", "idfont");
  open();
  QTest::keyClicks(s->TextHeader[0], "X");
  s->cmbBarcode->setCurrentIndex(0);
  click(s->Cmdtutup);
  EXPECT_FALSE(forms::isLoaded<frmsetting>());
  EXPECT_EQ(row("tblsetting", "idtext"), setting);
  EXPECT_EQ(row("Tblukuran", "idfont"), fonts);
}

TEST_F(Settings, HiddenFieldRowsLeaveTheirGaps) {
  open();
  QList<QRect> allShown;
  for (int i = 0; i < 7; ++i) allShown << s->Label8[i]->geometry() << s->Label15[i]->geometry();
  forms::unload<frmsetting>();
  pf.db().Execute("update tlabel set [check21(3)] = 0, [check21(5)] = NULL, [Label21(1)] = NULL where idlabel = '2'");
  open();
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    // No row moves up into a hidden one's place; the rows stand one below another, right of the photo.
    EXPECT_EQ(s->Label8[i]->geometry(), allShown[2 * i]);
    EXPECT_EQ(s->Label15[i]->geometry(), allShown[2 * i + 1]);
    if (i > 0) EXPECT_GT(s->Label8[i]->y(), s->Label8[i - 1]->y());
    EXPECT_GE(s->Label8[i]->x(), s->photo->geometry().right());
    EXPECT_EQ(s->Label8[i]->isVisibleTo(s->picture1), i != 3 && i != 5);
    EXPECT_EQ(s->Label15[i]->isVisibleTo(s->picture1), i != 3 && i != 5);
  }
  EXPECT_EQ(s->Label8[1]->text(), "");
  EXPECT_EQ(s->Label15[1]->text(), ": ");
  EXPECT_EQ(s->Label15[2]->text(), ": Nama");
}

TEST_F(Settings, HeaderLinesStackByTheirFontsAndAFontChosenRestacks) {
  open();
  auto top = [&](int k) { return s->LabelHeader[k]->twips().top(); };
  auto bottom = [&](int k) { return s->LabelHeader[k]->twips().bottom() + 1; };
  for (int k = 1; k < 4; ++k) EXPECT_EQ(top(k), bottom(k - 1)) << k;
  EXPECT_EQ(top(5), bottom(3));
  EXPECT_GT(s->LabelHeader[2]->twips().height(), s->LabelHeader[3]->twips().height());  // 11 pt over 7 pt
  const int before = top(2);
  QFont big("Liberation Serif");
  big.setPointSizeF(16);
  big.setUnderline(true);
  dialogs.queueFont(big, QColor(200, 0, 0));
  QTest::mouseDClick(s->LabelHeader[1], Qt::LeftButton);
  EXPECT_GT(top(2), before);
  EXPECT_EQ(s->hurufHeader[1].name, "Liberation Serif");
  EXPECT_EQ(s->hurufHeader[1].color, 200);
  EXPECT_TRUE(s->hurufHeader[1].underline);
}

TEST_F(Settings, ScrollingSlidesTheFramesAndBringsThemBack) {
  open();
  EXPECT_EQ(s->VScroll1->maximum(), 12225 - 5055);
  EXPECT_EQ(s->VScroll1->singleStep(), 150);
  EXPECT_EQ(s->VScroll1->pageStep(), 150);
  const QList<QGroupBox*> frames{s->Frame1, s->Frame2, s->Frame3, s->Frame5, s->framebarcode, s->Frame6};
  QList<QPoint> design;
  for (QGroupBox* f : frames) design << f->pos();
  const QPoint rightArrow(s->VScroll1->width() - 4, s->VScroll1->height() / 2);
  for (int i = 0; i < 3; ++i) QTest::mouseClick(s->VScroll1, Qt::LeftButton, {}, rightArrow);
  EXPECT_EQ(s->VScroll1->value(), 450);
  for (int i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i]->pos(), design[i] - QPoint(30, 0)) << i;
  EXPECT_EQ(s->Frame8->pos(), QPoint(0, 0));
  QTest::mouseClick(s->VScroll1, Qt::LeftButton, {}, QPoint(4, s->VScroll1->height() / 2));
  EXPECT_EQ(s->VScroll1->value(), 300);
  s->VScroll1->setValue(0);
  for (int i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i]->pos(), design[i]) << i;
  // A window opened 3,000 pixels wide scrolls beyond 16-bit twips and still comes back.
  s->VScroll1->setMaximum(40000);
  s->VScroll1->setValue(36000);
  EXPECT_EQ(s->Frame1->x(), design[0].x() - 2400);
  s->VScroll1->setValue(0);
  for (int i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i]->pos(), design[i]) << i;
  s->resize(s->width() + 100, s->height());
  EXPECT_EQ(s->VScroll1->width(), s->width());
}

TEST_F(Settings, PreviewDrawsTheCardFromItsControls) {
  open();
  QImage shot(s->picture1->size(), QImage::Format_RGB32);
  s->picture1->render(&shot);
  // The header line's text darkens the middle of its row; the card image is under it.
  const QRect line = s->LabelHeader[2]->geometry();
  int dark = 0;
  for (int x = line.left(); x <= line.right(); ++x) dark += qGray(shot.pixel(x, line.center().y())) < 100;
  EXPECT_GT(dark, 10);
  // For a look by eye under Xvfb: LENTAVO_SHOT=file.png saves the whole window.
  if (qEnvironmentVariableIsSet("LENTAVO_SHOT")) s->grab().save(qEnvironmentVariable("LENTAVO_SHOT"));
}

// The key filters for number entry, each of the three alike.
TEST_F(Settings, NumberKeyFiltersLetDigitsPointBackspaceAndSpaceThrough) {
  struct Key {
    int code;
    bool passes;
  };
  const Key keys[] = {{'0', true},  {'5', true},  {'9', true},  {'.', true},  {8, true},   {32, true},   {',', false},
                      {'a', false}, {'/', false}, {':', false}, {'-', false}, {13, false}, {'E', false}, {127, false}};
  frmsetting* w = open();
  using Filter = void (frmsetting::*)(int&);
  const Filter filters[] = {&frmsetting::filterAngka1, &frmsetting::filterAngka2, &frmsetting::filterAngka3};
  for (const Filter filter : filters)
    for (const Key& k : keys) {
      SCOPED_TRACE(k.code);
      dialogs.clear();
      int key = k.code;
      (w->*filter)(key);
      EXPECT_EQ(key, k.passes ? k.code : 0);
      if (k.passes) {
        EXPECT_TRUE(dialogs.msgBoxes().empty());
        continue;
      }
      ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
      EXPECT_EQ(dialogs.lastMsgBox().prompt, "Isikan Angka Saja, jika koma, ganti dengan titik");
      EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
      EXPECT_EQ(dialogs.lastMsgBox().title, "Perhatian");
    }
}

// A picture of one colour as a JPEG of exactly `bytes` bytes: comment segments fill it up.
QByteArray jpegOfSize(QColor c, qint64 bytes) {
  QImage img(60, 40, QImage::Format_RGB32);
  img.fill(c);
  QByteArray jpg;
  QBuffer buf(&jpg);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "JPG", 90);
  QByteArray fill;
  for (qint64 need = bytes - jpg.size(); need > 0;) {
    // A segment is its marker (2 bytes) and its length field's count (2 to 65535).
    qint64 seg = std::min<qint64>(need, 65537);
    if (need - seg > 0 && need - seg < 4) seg -= 4;  // leave room for a last whole segment
    const int len = int(seg - 2);
    fill += QByteArray("\xFF\xFE", 2) + char(len >> 8) + char(len & 0xFF) + QByteArray(len - 2, 'x');
    need -= seg;
  }
  jpg.insert(2, fill);
  return jpg;
}

TEST_F(Settings, BackgroundPickerTakesPicturesUpTo802400BytesForTheBackPreview) {
  const auto write = [&](const QString& name, const QByteArray& bytes) {
    QFile f(pf.path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return pf.path(name);
  };
  struct Case {
    const char* name;
    QString file;  // empty: the user cancels
    QString box;   // the message shown, empty for none
    int flags;
    const char* title;
    QColor shown;  // what the back preview then shows; invalid: as before
  };
  const QString tooBig = "Ukuran Image tidak boleh lebih dari 800Kb",
                wrong = " - Anda harus menggunakan Image Color RGB";
  const Case cases[] = {
      {"cancel", {}, {}, 0, "", {}},
      {"802,400 bytes", write("pas.jpg", jpegOfSize(QColor(0, 160, 0), 802400)), {}, 0, "", QColor(0, 160, 0)},
      {"802,401 bytes",
       write("lebih.jpg", jpegOfSize(QColor(0, 0, 200), 802401)),
       tooBig,
       ui::vbInformation,
       "Incorrect Size Of Image",
       {}},
      {"small", write("kecil.jpg", jpegOfSize(QColor(200, 0, 0), 0)), {}, 0, "", QColor(200, 0, 0)},
      {"no picture",
       write("teks.jpg", "bukan gambar"),
       "481" + wrong,
       ui::vbCritical,
       "Please Select Correct Image",
       {}},
      {"missing", pf.path("hilang.jpg"), "53" + wrong, ui::vbCritical, "Please Select Correct Image", {}},
  };
  ASSERT_EQ(QFileInfo(pf.path("pas.jpg")).size(), 802400);
  ASSERT_EQ(QFileInfo(pf.path("lebih.jpg")).size(), 802401);
  open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.clear();
    const photobox::Picture before = s->image5->picture();
    ASSERT_FALSE(before.isEmpty());
    c.file.isEmpty() ? dialogs.queueFileCancel() : dialogs.queueFile(c.file);
    s->bukaBackground();
    const auto asked = dialogs.callsOf(ScriptedDialogs::Kind::File);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_FALSE(asked[0].file.save);
    EXPECT_EQ(asked[0].file.filter, "Pictures (*.jpg;*.gif;*.bmp;*.ico)|*.jpg;*.gif;*.bmp;*.ico");
    EXPECT_EQ(QDir(asked[0].file.initDir), QDir(pf.path("background")));
    if (c.box.isEmpty()) {
      EXPECT_TRUE(dialogs.msgBoxes().empty());
    } else {
      ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
      EXPECT_EQ(dialogs.lastMsgBox().prompt, c.box);
      EXPECT_EQ(dialogs.lastMsgBox().flags, c.flags);
      EXPECT_EQ(dialogs.lastMsgBox().title, c.title);
    }
    const QImage now = s->image5->picture().image();
    if (!c.shown.isValid()) {
      EXPECT_EQ(s->image5->picture(), before);
      continue;
    }
    EXPECT_EQ(now.size(), QSize(60, 40));
    const auto near = [&](QColor a) {
      return std::abs(a.red() - c.shown.red()) + std::abs(a.green() - c.shown.green()) +
                 std::abs(a.blue() - c.shown.blue()) <
             40;
    };
    EXPECT_TRUE(near(now.pixelColor(30, 20)));
    EXPECT_EQ(s->image5->sourceFile(), c.file);
    // The back preview draws it as its card image.
    const QImage back = s->Picture2->grab().toImage();
    EXPECT_TRUE(near(back.pixelColor(3, back.height() / 2)));
  }
}

// A picture over a bitmap handle: it draws that bitmap, and the bitmap stays the caller's.
TEST_F(Settings, BitmapToPictureWrapsABitmapItDoesNotOwn) {
  struct Case {
    const char* name;
    int width, height, bits;  // 0 x 0: no bitmap behind the handle
    bool deleted;             // a handle that named a bitmap once
  };
  const Case cases[] = {{"24-bit", 8, 6, 24, false},
                        {"32-bit", 3, 5, 32, false},
                        {"1 pixel", 1, 1, 24, false},
                        {"handle 0", 0, 0, 0, false},
                        {"deleted", 4, 4, 24, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gdi::Handle bmp = 0;
    if (c.width) {
      bmp = gdi::createDIBSection(c.width, c.height, c.bits);
      ASSERT_NE(bmp, 0);
      const auto dib = gdi::find<gdi::Dib>(bmp);
      for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
          dib->setPixel(x, y, x < (c.width + 1) / 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
      if (c.deleted) ASSERT_TRUE(gdi::deleteObject(bmp));
    }
    gdi::StdPicture pic = frmsetting::BitmapToPicture(bmp, 0);
    if (!c.width || c.deleted) {
      EXPECT_EQ(pic, nullptr);
      continue;
    }
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->type(), gdi::PICTYPE_BITMAP);
    EXPECT_EQ(pic->handle(), bmp);
    EXPECT_EQ(pic->width(), gdi::pixelsToHimetric(c.width, gdi::screen().dpiX));
    EXPECT_EQ(pic->height(), gdi::pixelsToHimetric(c.height, gdi::screen().dpiY));
    // Drawn into a bitmap of its size, it gives the bitmap's pixels.
    const gdi::Handle dc = gdi::createCompatibleDC(0);
    const gdi::Handle into = gdi::createDIBSection(c.width, c.height, 24);
    const gdi::Handle old = gdi::selectObject(dc, into);
    EXPECT_EQ(pic->render({dc, 0, 0, c.width, c.height, 0, pic->height(), pic->width(), -pic->height()}), gdi::S_OK);
    const auto drawn = gdi::surfaceOf(dc);
    ASSERT_NE(drawn, nullptr);
    EXPECT_EQ(drawn->pixel(0, c.height - 1) & 0xFFFFFF, 0xFF0000u);
    if (c.width > 1) EXPECT_EQ(drawn->pixel(c.width - 1, 0) & 0xFFFFFF, 0x0000FFu);
    gdi::selectObject(dc, old);
    gdi::deleteDC(dc);
    gdi::deleteObject(into);
    // The picture's end leaves the bitmap to the caller, who frees it.
    pic.reset();
    EXPECT_NE(gdi::find<gdi::Dib>(bmp), nullptr);
    EXPECT_TRUE(gdi::deleteObject(bmp));
  }
}

}  // namespace
