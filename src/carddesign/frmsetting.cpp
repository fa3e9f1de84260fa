#include "frmsetting.h"

#include <QFileInfo>
#include <QPainter>
#include <QResizeEvent>

#include "FrmAddLogo.h"
#include "Module1.h"
#include "dialogs.h"
#include "frmlabel.h"
#include "msgbox.h"
#include "named.h"
#include "qrcode.h"
#include "textfield.h"
#include "twips.h"
#include "vb.h"

namespace {

QString idx(const char* name, int i) { return QString::fromLatin1(name) + QStringLiteral("(%1)").arg(i); }

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h) {
  auto* f = ui::named(new QGroupBox(caption, parent), name);
  twips::setGeometry(f, l, t, w, h);
  return f;
}

template <class W>
W* place(W* w, const char* name, int l, int t, int wd, int ht) {
  ui::named(w, name);
  twips::setGeometry(w, l, t, wd, ht);
  return w;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h) {
  return place(new QPushButton(caption, parent), name, l, t, w, h);
}

QString plain(const QPlainTextEdit* e) { return e->toPlainText(); }

// The largest picture the back preview takes, in bytes.
constexpr qint64 kBackgroundMaks = 802400;

void filterAngka(int& KeyAscii) {
  const bool angka = KeyAscii >= '0' && KeyAscii <= '9';
  if (angka || KeyAscii == 46 || KeyAscii == 8 || KeyAscii == 32) return;
  ui::msgBox(QStringLiteral("Isikan Angka Saja, jika koma, ganti dengan titik"), ui::vbExclamation,
             QStringLiteral("Perhatian"));
  KeyAscii = 0;
}

}  // namespace

PreviewLabel::PreviewLabel(QWidget* parent, const QString& name) : QLabel(parent) { setObjectName(name); }

void PreviewLabel::setTwips(const QRect& r) {
  twips_ = r;
  twips::setGeometry(this, r.left(), r.top(), r.width(), r.height());
}

CardPreview::CardPreview(frmsetting* owner, bool front, QWidget* parent)
    : QWidget(parent), owner_(owner), front_(front) {}

void CardPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  cardface::Pictures pics;
  pics.background = (front_ ? owner_->image4 : owner_->image5)->picture().image();
  if (front_) {
    // Sample pictures in the places a printed card shows the member's.
    pics.photo = owner_->contohFoto();
    pics.code128 = QStringLiteral("1234567890");
    static const QImage qr = barcode::qrModules(QStringLiteral("Lentavo"));
    pics.qr = qr;
  }
  cardface::draw(p, owner_->wajah(front_), QRectF(rect()), pics);
}

frmsetting::frmsetting() {
  setObjectName(QStringLiteral("frmsetting"));
  setCaption(QStringLiteral("Pengaturan"));
  resize(twips::toPx(12225), twips::toPx(7155));

  Frame8 = frame(this, "Frame8", QStringLiteral("Preview Kartu"), 0, 0, 5295, 6735);
  picture1 = place(new CardPreview(this, true, Frame8), "picture1", 120, 240, 4950, 3145);
  Picture2 = place(new CardPreview(this, false, Frame8), "Picture2", 120, 3480, 4950, 3145);
  // The card images are drawn by the preview under the texts; the controls hold them.
  image4 = place(new photobox::PhotoBox(picture1), "image4", 0, 0, 4950, 3145);
  image5 = place(new photobox::PhotoBox(Picture2), "image5", 0, 0, 4950, 3145);
  image4->hide();
  image5->hide();
  picture1->setToolTip(QStringLiteral("Double klik pada caption tulisan untuk mengubah jenis dan ukuran font"));

  // Every piece of the two faces, at its design place.
  auto label = [](QWidget* parent, const QString& name, const QRect& r) {
    auto* l = new PreviewLabel(parent, name);
    l->setTwips(r);
    return l;
  };
  const cardface::Face depan = cardface::front(cardface::Settings{});
  const cardface::Face belakang = cardface::back(cardface::Settings{});
  auto at = [&](const cardface::Face& f, const QString& name) {
    for (const auto& it : f)
      if (it.name == name) return it.box;
    return QRect();
  };
  static const int headerTop[6] = {0, 240, 480, 720, 840, 550};
  for (int i = 0; i < 6; ++i) {
    LabelHeader[i] = label(picture1, idx("LabelHeader", i), QRect(0, headerTop[i], i == 4 ? 4935 : 4940, 255));
    connect(LabelHeader[i], &PreviewLabel::doubleClicked, this, [this, i] { LabelHeader_DblClick(i); });
  }
  LabelHeader[0]->setToolTip(picture1->toolTip());
  for (int i = 0; i < 7; ++i) {
    Label8[i] = label(picture1, idx("Label8", i), at(depan, idx("Label8", i)));
    Label15[i] = label(picture1, idx("Label15", i), at(depan, idx("Label15", i)));
    Label8[i]->setText(cardface::Settings{}.caption[i]);  // design captions until the stored ones load
    Label15[i]->setText(QStringLiteral(": ") + Label8[i]->text());
  }
  for (int i = 0; i < 4; ++i) Label4[i] = label(picture1, idx("Label4", i), at(depan, idx("Label4", i)));
  photo = label(picture1, QStringLiteral("photo"), at(depan, QStringLiteral("photo")));
  Barcode = label(picture1, QStringLiteral("Barcode"), at(depan, QStringLiteral("Barcode")));
  qrcode = label(picture1, QStringLiteral("qrcode"), at(depan, QStringLiteral("qrcode")));
  Label1 = label(Picture2, QStringLiteral("Label1"), at(belakang, QStringLiteral("Label1")));
  Label2 = label(Picture2, QStringLiteral("Label2"), at(belakang, QStringLiteral("Label2")));
  Label3 = label(Picture2, QStringLiteral("Label3"), at(belakang, QStringLiteral("Label3")));

  Frame1 = frame(this, "Frame1", QStringLiteral("Header"), 5280, 0, 4575, 1575);
  Frame5 = frame(this, "Frame5", QStringLiteral("Footer"), 5280, 1560, 4575, 1815);
  Frame3 = frame(this, "Frame3", QStringLiteral("Desain Belakang"), 5280, 3360, 4575, 3735);
  framebarcode = frame(this, "framebarcode", QStringLiteral("Format Kartu"), 9840, 120, 2295, 1215);
  Frame2 = frame(this, "Frame2", QStringLiteral("Barcode"), 9840, 1320, 2295, 975);
  Frame6 = frame(this, "Frame6", QString(), 9840, 2280, 2295, 4575);
  for (int i = 0; i < 4; ++i) {
    TextHeader[i] = new QLineEdit(Frame1);
    twips::setGeometry(TextHeader[i], 120, 200 + 300 * i, 4335, 315);
    TextHeader[i]->setObjectName(idx("TextHeader", i));
    connect(TextHeader[i], &QLineEdit::textChanged, LabelHeader[i], &QLabel::setText);
    TextFooter[i] = new QLineEdit(Frame5);
    twips::setGeometry(TextFooter[i], 120, 240 + 360 * i, 4335, 360);
    TextFooter[i]->setObjectName(idx("TextFooter", i));
    connect(TextFooter[i], &QLineEdit::textChanged, Label4[i], &QLabel::setText);
  }
  Textjudul = place(new QLineEdit(Frame3), "Textjudul", 120, 240, 4335, 375);
  Textisi = place(new QPlainTextEdit(Frame3), "Textisi", 120, 720, 4335, 1815);
  TextBawah = place(new QPlainTextEdit(Frame3), "TextBawah", 120, 2640, 4335, 645);
  for (QPlainTextEdit* e : {Textisi, TextBawah}) {
    e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui::refuseControlCharacters(e);  // line breaks stay
  }
  // One-line texts as their columns hold them.
  for (QLineEdit* e : findChildren<QLineEdit*>()) {
    e->setMaxLength(255);
    ui::refuseControlCharacters(e);
  }
  connect(Textjudul, &QLineEdit::textChanged, Label1, &QLabel::setText);
  connect(Textisi, &QPlainTextEdit::textChanged, this, [this] { Label2->setText(plain(Textisi)); });
  connect(TextBawah, &QPlainTextEdit::textChanged, this, [this] { Label3->setText(plain(TextBawah)); });
  Command13 = button(framebarcode, "Command13", QStringLiteral("Format Kartu"), 120, 360, 2055, 615);
  cmbBarcode = place(new QComboBox(Frame2), "cmbBarcode", 120, 360, 2055, 360);
  Command16 = button(Frame6, "Command16", QStringLiteral("Edit Desain Depan"), 120, 240, 2055, 375);
  Command17 = button(Frame6, "Command17", QStringLiteral("Edit Desan Belakang"), 120, 720, 2055, 375);
  cmdSimpan = button(Frame6, "cmdSimpan", QStringLiteral("Simpan"), 120, 3360, 2055, 495);
  Cmdtutup = button(Frame6, "Cmdtutup", QStringLiteral("Tutup"), 120, 3960, 2055, 495);
  VScroll1 = place(new QScrollBar(Qt::Horizontal, this), "VScroll1", 0, 6720, 5055, 375);

  connect(cmbBarcode, &QComboBox::activated, this, [this] { cmbBarcode_Click(); });
  connect(Command13, &QPushButton::clicked, this, [this] { Command13_Click(); });
  connect(Command16, &QPushButton::clicked, this, [this] { Command16_Click(); });
  connect(Command17, &QPushButton::clicked, this, [this] { Command17_Click(); });
  connect(cmdSimpan, &QPushButton::clicked, this, [this] { cmdSimpan_Click(); });
  connect(Cmdtutup, &QPushButton::clicked, this, [this] { forms::unload(this); });
  connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
  connect(VScroll1, &QScrollBar::sliderMoved, this, [this] { geserFrame(); });
}

void frmsetting::Form_Load() {
  vb::resumeNext([this] { posisi2(); });
  vb::resumeNext([this] { BukaCaption(); });
  {
    // Set up silently: the bar sits at 0 and the frames at their design places.
    const QSignalBlocker block(VScroll1);
    const int outer = int(twips::fromPx(frameGeometry().width()));
    const int bar = int(twips::width(VScroll1));
    twips::setLeft(VScroll1, 0);
    twips::setWidth(VScroll1, twips::fromPx(width()));
    VScroll1->setRange(0, std::max(0, outer - bar));
    VScroll1->setSingleStep(twips::kPerPixel * 10);
    VScroll1->setPageStep(VScroll1->singleStep());
  }
  {
    const QSignalBlocker block(cmbBarcode);
    cmbBarcode->clear();
    cmbBarcode->addItem(QStringLiteral("QR Code"));
    cmbBarcode->addItem(QStringLiteral("Code 128"));
    cmbBarcode->setCurrentIndex(0);
  }
  cmbBarcode_Click();
  for (PreviewLabel* l : LabelHeader) l->setText(QString());
  for (PreviewLabel* l : {Label1, Label2, Label3}) l->setText(QString());
  muatGambarKartu();
  vb::resumeNext(
      [this] { contohFoto_ = photobox::readPictureFile(photobox::blankPhotoFile(), QSize(400, 400)).image; });
  vb::resumeNext([this] {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.Open(QStringLiteral("select * from tblsetting where idtext = '") + QStringLiteral("2") + QStringLiteral("'"),
            Module1::koneksi(), ado::adOpenStatic, ado::adLockOptimistic);
    if (rs.EOF_()) return;
    auto txt = [&](const QString& c) {
      QString t;
      vb::resumeNext([&] { t = vb::text(rs.field(c)); });
      return t;
    };
    for (int i = 0; i < 4; ++i) TextHeader[i]->setText(txt(idx("textheader", i)));
    for (int i = 0; i < 4; ++i) TextFooter[i]->setText(txt(idx("textfooter", i)));
    Textjudul->setText(txt(QStringLiteral("textjudul")));
    Textisi->setPlainText(txt(QStringLiteral("textisi")));
    TextBawah->setPlainText(txt(QStringLiteral("textbawah")));
    // The list shows the barcode printing puts on the cards, so a save never switches it.
    vb::resumeNext([&] {
      const bool qr = cardface::isQr(rs.field(QStringLiteral("barcode")));
      {
        const QSignalBlocker block(cmbBarcode);
        cmbBarcode->setCurrentIndex(qr ? 0 : 1);
      }
      cmbBarcode_Click();
    });
  });
  vb::resumeNext([this] {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.Open(QStringLiteral("Select * From Tblukuran where idfont = '") + QStringLiteral("2") + QStringLiteral("'"),
            Module1::koneksi());
    if (rs.EOF_()) return;
    for (int i = 0; i < 6; ++i) {
      cardface::FontValue f = hurufHeader[i];
      cardface::readFont(rs, i, f);
      setHurufHeader(i, f);
    }
  });
  for (int i = 0; i < 4; ++i) LabelHeader[i]->setText(TextHeader[i]->text());
  Label1->setText(Textjudul->text());
  Label2->setText(plain(Textisi));
  Label3->setText(plain(TextBawah));
  for (int i = 0; i < 4; ++i) Label4[i]->setText(TextFooter[i]->text());
  vb::resumeNext([this] { POSISI(); });
}

void frmsetting::setHurufHeader(int i, const cardface::FontValue& f) {
  hurufHeader[i] = f;
  LabelHeader[i]->setFont(f.font());
  update();
}

void frmsetting::cmdSimpan_Click() {
  try {
    simpan();
  } catch (const vb::VbError& e) {
    ui::msgBox(QStringLiteral("Pengaturan gagal disimpan: ") + e.description, ui::vbCritical, QStringLiteral("Simpan"));
    return;
  }
  ui::msgBox(QStringLiteral("Simpan Sukses"), ui::vbInformation, QStringLiteral("Simpan"));
}

void frmsetting::simpan() {
  // Both rows or neither: a failure leaves the stored settings as they were.
  ado::Connection& conn = Module1::koneksi();
  conn.BeginTrans();
  try {
    auto row = [&](ado::Recordset& rs, const QString& sql) {
      rs.CursorLocation = ado::adUseClient;
      rs.Open(sql, conn, ado::adOpenDynamic, ado::adLockOptimistic);
      if (rs.EOF_())
        throw vb::VbError(3021, QStringLiteral("frmsetting"), QStringLiteral("baris pengaturan tidak ditemukan."));
    };
    ado::Recordset st;
    row(st, QStringLiteral("Select * From Tblsetting where idtext= '") + QStringLiteral("2") + QStringLiteral("'"));
    for (int i = 0; i < 4; ++i) st.setField(idx("textheader", i), TextHeader[i]->text());
    for (int i = 0; i < 4; ++i) st.setField(idx("textfooter", i), TextFooter[i]->text());
    st.setField(QStringLiteral("textfooter(4)"), QString(""));
    st.setField(QStringLiteral("textjudul"), Textjudul->text());
    st.setField(QStringLiteral("textisi"), plain(Textisi));
    st.setField(QStringLiteral("textbawah"), plain(TextBawah));
    st.setField(QStringLiteral("barcode"), cmbBarcode->currentText());
    st.Update();
    st.Close();
    ado::Recordset uk;
    row(uk, QStringLiteral("Select * From Tblukuran where idfont = '") + QStringLiteral("2") + QStringLiteral("'"));
    for (int i = 0; i < 6; ++i) cardface::writeFont(uk, i, hurufHeader[i]);
    uk.Update();
    uk.Close();
    conn.CommitTrans();
  } catch (...) {
    vb::resumeNext([&] { conn.RollbackTrans(); });
    throw;
  }
}

void frmsetting::cmbBarcode_Click() {
  const bool qr = cmbBarcode->currentIndex() == 0;
  qrcode->setVisible(qr);
  Barcode->setVisible(!qr);
  update();
}

void frmsetting::Command13_Click() { forms::showModal(forms::get<frmlabel>(), this); }

void frmsetting::Command16_Click() {
  Module1::Desain = QStringLiteral("Front");
  forms::showModal(forms::get<FrmAddLogo>(), this);
}

void frmsetting::Command17_Click() {
  Module1::Desain = QStringLiteral("Back");
  forms::showModal(forms::get<FrmAddLogo>(), this);
}

void frmsetting::muatGambarKartu() {
  // A file that cannot be read leaves its preview as it was.
  vb::resumeNext(
      [this] { photobox::PhotoBoxGlobal::loadInto(*image4, vb::appPath(QStringLiteral("images/depan2.jpg"))); });
  vb::resumeNext(
      [this] { photobox::PhotoBoxGlobal::loadInto(*image5, vb::appPath(QStringLiteral("images/back2.jpg"))); });
  picture1->update();
  Picture2->update();
}

void frmsetting::bukaBackground() {
  CommonDialog3.CancelError = true;
  try {
    CommonDialog3.InitDir = vb::appPath(QStringLiteral("background/"));
    CommonDialog3.Filter = QStringLiteral("Pictures (*.jpg;*.gif;*.bmp;*.ico)|*.jpg;*.gif;*.bmp;*.ico");
    CommonDialog3.ShowOpen();
    const QString file = CommonDialog3.FileName;
    if (file.isEmpty()) return;
    const QFileInfo info(file);
    if (!info.isFile()) throw vb::VbError(vb::kErrFileNotFound, objectName(), QStringLiteral("File not found"));
    if (info.size() > kBackgroundMaks) {
      ui::msgBox(QStringLiteral("Ukuran Image tidak boleh lebih dari 800Kb"), ui::vbInformation,
                 QStringLiteral("Incorrect Size Of Image"));
      return;
    }
    photobox::PhotoBoxGlobal::loadInto(*image5, file);
    Picture2->update();
  } catch (const vb::VbError& e) {
    if (e.number == vb::kErrCancel) return;
    ui::msgBox(
        QString::number(e.number) + QStringLiteral(" - ") + QStringLiteral("Anda harus menggunakan Image Color RGB"),
        ui::vbCritical, QStringLiteral("Please Select Correct Image"));
  }
}

gdi::StdPicture frmsetting::BitmapToPicture(gdi::Handle hBmp, gdi::Handle hPal) {
  (void)hPal;
  return gdi::Picture::createIndirect(gdi::PICTYPE_BITMAP, hBmp, false);
}

void frmsetting::filterAngka1(int& KeyAscii) { filterAngka(KeyAscii); }
void frmsetting::filterAngka2(int& KeyAscii) { filterAngka(KeyAscii); }
void frmsetting::filterAngka3(int& KeyAscii) { filterAngka(KeyAscii); }

void frmsetting::LabelHeader_DblClick(int index) {
  // The header fonts are offered for change here, as the preview's hint says.
  const ui::FontAnswer a = ui::dialogHost().font(hurufHeader[index].font(), hurufHeader[index].qcolor());
  if (!a.accepted) return;
  setHurufHeader(index, cardface::fontOf(a.font, a.color));
  POSISI();
}

void frmsetting::posisi2() {
  const cardface::Face f = cardface::front(cardface::Settings{});
  for (const cardface::Item& it : f)
    if (auto* l = picture1->findChild<PreviewLabel*>(it.name);
        l && (it.name.startsWith(QLatin1String("Label8(")) || it.name.startsWith(QLatin1String("Label15(")) ||
              it.name == QLatin1String("photo") || it.name == QLatin1String("Barcode")))
      l->setTwips(it.box);
}

void frmsetting::BukaCaption() {
  ado::Recordset rs;
  rs.CursorLocation = ado::adUseClient;
  rs.Open(QStringLiteral("Select * From Tlabel where idlabel= '") + QStringLiteral("2") + QStringLiteral("'"),
          Module1::koneksi(), ado::adOpenDynamic, ado::adLockOptimistic);
  if (rs.EOF_()) return;
  for (int i = 0; i < 7; ++i) {
    // A Null caption reads as "", so no row keeps a caption from before.
    QString c;
    vb::resumeNext([&] { c = vb::text(rs.field(idx("Label21", i))); });
    Label8[i]->setText(c);
    Label15[i]->setText(QStringLiteral(": ") + c);
  }
  for (int i = 0; i < 7; ++i) {
    bool show = false;
    vb::resumeNext([&] { show = vb::isTrue(rs.field(idx("check21", i))); });
    Label8[i]->setVisible(show);
    Label15[i]->setVisible(show);
  }
  update();
}

void frmsetting::POSISI() {
  cardface::Settings s;
  for (int i = 0; i < 6; ++i) s.headerFont[i] = hurufHeader[i];
  const cardface::Face f = cardface::front(s);
  for (int k = 0; k < 4; ++k) LabelHeader[k]->setTwips(f[size_t(k)].box);
  LabelHeader[5]->setTop(f[5].box.top());
  update();
}

void frmsetting::geserFrame() {
  for (QGroupBox* f : {Frame1, Frame2, Frame3, Frame5, framebarcode, Frame6})
    twips::setLeft(f, twips::left(f) + nilaiSebelum - VScroll1->value());
  nilaiSebelum = VScroll1->value();
}

void frmsetting::resizeEvent(QResizeEvent* e) {
  forms::Form::resizeEvent(e);
  const QSignalBlocker block(VScroll1);
  twips::setLeft(VScroll1, 0);
  twips::setWidth(VScroll1, twips::fromPx(width()));
  VScroll1->setMinimum(0);
  VScroll1->setSingleStep(twips::kPerPixel * 10);
  VScroll1->setPageStep(VScroll1->singleStep());
}

cardface::Face frmsetting::wajah(bool front) const {
  cardface::Settings s;
  for (int i = 0; i < 6; ++i) s.headerFont[i] = hurufHeader[i];
  cardface::Face face = front ? cardface::front(s) : cardface::back(s);
  const QWidget* host = front ? static_cast<const QWidget*>(picture1) : Picture2;
  for (cardface::Item& it : face)
    if (const auto* l = host->findChild<const PreviewLabel*>(it.name)) {
      it.box = l->twips();
      it.visible = !l->isHidden();
      it.text = l->text();
    }
  return face;
}
