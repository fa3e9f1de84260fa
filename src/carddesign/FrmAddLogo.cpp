#include "FrmAddLogo.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <cstring>

#include "Module1.h"
#include "cBitmap24.h"
#include "cPicture.h"
#include "dc.h"
#include "msgbox.h"
#include "named.h"
#include "image.h"
#include "picture_host.h"
#include "textfield.h"
#include "twips.h"
#include "vb.h"

using desain::Elemen;

namespace {

const QString kLatar = QStringLiteral("latar");

template <class W>
W* place(W* w, const char* name, int l, int t, int wd, int ht) {
  ui::named(w, name);
  twips::setGeometry(w, l, t, wd, ht);
  return w;
}

QLabel* caption(QWidget* parent, const QString& text, QWidget* buddy, int l, int t) {
  auto* c = new QLabel(text, parent);
  twips::setGeometry(c, l, t, 1995, 240);
  c->setBuddy(buddy);
  return c;
}

QScrollBar* bar(QWidget* parent, const char* name, int l, int t, int min, int max, int small, int large) {
  auto* b = place(new QScrollBar(Qt::Horizontal, parent), name, l, t, 1995, 255);
  b->setRange(min, max);
  b->setSingleStep(small);
  b->setPageStep(large);
  b->setValue(min);
  return b;
}

// A value of a row, or nothing when it is Null or the column is missing: that one
// assignment is skipped.
bool baca(const ado::Recordset& rs, const char* column, QVariant& v) {
  return vb::resumeNext([&] { v = rs.field(QString::fromLatin1(column)); }) && !v.isNull();
}

void bacaAngka(const ado::Recordset& rs, const char* column, double& into) {
  QVariant v;
  if (baca(rs, column, v)) into = v.toFloat();  // stored as single precision
}

void bacaGeometri(const ado::Recordset& rs, Elemen& e) {
  bacaAngka(rs, "ctrl_left", e.left);
  bacaAngka(rs, "ctrl_top", e.top);
  bacaAngka(rs, "ctrl_width", e.width);
  bacaAngka(rs, "ctrl_height", e.height);
}

QString sisi() { return ado::q(Module1::Desain); }

// A 24-bit or 32-bit bitmap that its host draws as it is (no GDI+ image, no events, no owner
// drawing): drawn at its own size, it shows its own pixels when they are opaque.
std::shared_ptr<gdi::Dib> bitmapPolos(cPicture& pics, const gdi::StdPicture& p) {
  std::uint32_t attr = 0;
  if (p->type() != gdi::PICTYPE_BITMAP || p->attributes(&attr) != gdi::S_OK || (attr & gdi::PICTURE_TRANSPARENT))
    return nullptr;
  if (auto* host = pics.host(); host && host->recordOf(p.get()) && (host->flags(p.get()) & 0x201E)) return nullptr;
  auto dib = gdi::find<gdi::Dib>(p->handle());
  return dib && (dib->bitCount() == 24 || dib->bitCount() == 32) ? dib : nullptr;
}

// A single-frame picture with alpha whose host draws it, as it is, from a GDI+ image that lies
// over the picture's own 32-bit bitmap: those rows are what the background shows.
const gdiplus::Image* alphaOverBitmap(cPicture& pics, const gdi::StdPicture& p) {
  auto* host = pics.host();
  if (p->type() != gdi::PICTYPE_BITMAP || !host || !host->recordOf(p.get())) return nullptr;
  if ((host->flags(p.get()) & 0x1000201C) || host->attributes(p.get())) return nullptr;
  const gdiplus::Image* img = host->image(p.get());
  auto dib = gdi::find<gdi::Dib>(p->handle());
  if (!img || !dib || dib->bitCount() != 32 || !img->borrowed() || img->borrowed() != dib->bits()) return nullptr;
  return img;
}

}  // namespace

// A picture's pixels as the background shows them: drawn at its own size over the white
// canvas that lies under it.
QImage desain::pikselLatar(cPicture& pics, const gdi::StdPicture& p) {
  int w = 0, h = 0;
  pics.GetImageDimensions(p, w, h, 0, 0);
  if (const auto dib = bitmapPolos(pics, p); dib && dib->width() == w && dib->absHeight() == h) {
    // Row by row into the canvas's format: a picture at the limits is not copied through
    // drawing surfaces on the way.
    QImage img(w, h, QImage::Format_RGB32);
    if (img.isNull()) return img;
    bool opaque = true;
    for (int y = 0; y < h && opaque; ++y) {
      const std::uint8_t* src = dib->scanLine(y);
      auto* dst = reinterpret_cast<QRgb*>(img.scanLine(y));
      if (dib->bitCount() == 24) {
        for (int x = 0; x < w; ++x, src += 3) dst[x] = qRgb(src[2], src[1], src[0]);
        continue;
      }
      // 32-bit rows are the canvas's own format; a pixel that is not opaque would be drawn
      // blended, which the drawing below does.
      std::memcpy(dst, src, std::size_t(w) * 4);
      for (int x = 0; x < w && opaque; ++x) opaque = qAlpha(dst[x]) == 255;
    }
    if (opaque) return img;
  }
  if (const gdiplus::Image* over = alphaOverBitmap(pics, p); over && over->width() == w && over->height() == h) {
    // Drawn over the white canvas a row at a time, straight from the bitmap's rows.
    QImage img(w, h, QImage::Format_RGB32);
    if (img.isNull()) return img;
    img.fill(Qt::white);
    const QImage& rows = over->rows();
    QPainter painter(&img);
    for (int y = 0; y < h; ++y) {
      const int from = over->upsideDown() ? h - 1 - y : y;
      painter.drawImage(0, y, QImage(rows.constScanLine(from), w, 1, rows.bytesPerLine(), rows.format()));
    }
    return img;
  }
  cBitmap24 bmp;
  if (!bmp.Create(w, h)) return QImage();
  gdi::fillRect(bmp.hDC(), QRect(0, 0, w, h), qRgb(255, 255, 255));
  pics.PaintPictureEx(bmp.hDC(), p, 0, 0, float(w), float(h));
  const auto dib = gdi::surfaceOf(bmp.hDC());
  return dib ? dib->toImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

// ---- the element widgets ----

GambarDesain::GambarDesain(QWidget* canvas, Elemen* e) : photobox::PhotoBox(canvas), elemen(e) {
  setObjectName(e->nama);
  setAccessibleName(e->nama);
}

void GambarDesain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  desain::gambarElemen(p, *elemen, QRectF(rect()), 1.0 / desain::kTwipsPerPixel);
  // An empty element still shows where it lies, so it can be found and dragged; the card
  // face never shows this outline.
  if (elemen->nama != kLatar && (elemen->gambar.isEmpty() || tandaGeser)) {
    p.setPen(QPen(tandaGeser ? Qt::black : Qt::gray, 1, Qt::DashLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

LabelDesain::LabelDesain(QWidget* canvas, Elemen* e) : QLabel(canvas), elemen(e) { setObjectName(e->nama); }

void LabelDesain::paintEvent(QPaintEvent*) {
  QPainter p(this);
  desain::gambarElemen(p, *elemen, QRectF(rect()), 1.0 / desain::kTwipsPerPixel);
  if (elemen->bingkai) {
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

// ---- the window ----

FrmAddLogo::FrmAddLogo() {
  setObjectName(QStringLiteral("FrmAddLogo"));
  setCaption(QStringLiteral("Desain Kartu"));
  resize(twips::toPx(14460), twips::toPx(6570));

  picture1 = place(new QWidget(this), "picture1", 0, 0, desain::kCanvasWidth, desain::kCanvasHeight);
  picture1->setAutoFillBackground(true);
  QPalette pal = picture1->palette();
  pal.setColor(QPalette::Window, Qt::white);
  picture1->setPalette(pal);
  // Made bottom first, so the background lies under the logos, the labels over them.
  for (int i = 4; i >= 0; --i) buatGambar(desain::kGambar[i]);
  latar = static_cast<GambarDesain*>(kontrol(kLatar));
  logo1 = static_cast<GambarDesain*>(kontrol(QStringLiteral("logo1")));
  logo2 = static_cast<GambarDesain*>(kontrol(QStringLiteral("logo2")));
  stempel = static_cast<GambarDesain*>(kontrol(QStringLiteral("stempel")));
  tanda_tangan = static_cast<GambarDesain*>(kontrol(QStringLiteral("tanda_tangan")));
  for (GambarDesain* g : {logo1, logo2, stempel, tanda_tangan}) g->installEventFilter(this);

  Frame8 = place(new QGroupBox(this), "Frame8", 9840, 0, 4365, 6375);
  FlatButton2 = place(new QPushButton(QStringLiteral("Add Label"), Frame8), "FlatButton2", 120, 240, 1335, 375);
  FlatButton3 = place(new QPushButton(QStringLiteral("Delete Label"), Frame8), "FlatButton3", 1515, 240, 1335, 375);
  FlatButton4 = place(new QPushButton(QStringLiteral("Pilih Font"), Frame8), "FlatButton4", 2910, 240, 1335, 375);
  CmbJenis = place(new QComboBox(Frame8), "CmbJenis", 120, 1000, 1950, 315);
  vkCommand1 = place(new QPushButton(QStringLiteral("Browse"), Frame8), "vkCommand1", 2160, 1000, 975, 315);
  cmbVisible = place(new QComboBox(Frame8), "cmbVisible", 3240, 1000, 1005, 315);
  caption(Frame8, QStringLiteral("Nama Control"), CmbJenis, 120, 760);
  caption(Frame8, QStringLiteral("File"), vkCommand1, 2160, 760);
  caption(Frame8, QStringLiteral("Visibiltas"), cmbVisible, 3240, 760);
  Text1 = place(new QLineEdit(Frame8), "Text1", 120, 1720, 4125, 315);
  Text1->setMaxLength(255);
  ui::refuseControlCharacters(Text1);
  caption(Frame8, QStringLiteral("Text"), Text1, 120, 1480);
  H_height = bar(Frame8, "H_height", 120, 2440, 300, 6000, 301, 1201);
  H_top = bar(Frame8, "H_top", 2250, 2440, 50, 8000, 51, 1601);
  H_Width = bar(Frame8, "H_Width", 120, 3120, 50, 12000, 601, 2401);
  H_left = bar(Frame8, "H_left", 2250, 3120, 50, 8000, 51, 1601);
  caption(Frame8, QStringLiteral("Height"), H_height, 120, 2200);
  caption(Frame8, QStringLiteral("Top"), H_top, 2250, 2200);
  caption(Frame8, QStringLiteral("Width"), H_Width, 120, 2880);
  caption(Frame8, QStringLiteral("Left"), H_left, 2250, 2880);
  vkCommand2 = place(new QPushButton(QStringLiteral("Simpan"), Frame8), "vkCommand2", 120, 5640, 1995, 495);
  FlatButton1 = place(new QPushButton(QStringLiteral("Tutup"), Frame8), "FlatButton1", 2250, 5640, 1995, 495);
  H_Width->installEventFilter(this);
  setTabOrder(FlatButton2, FlatButton3);
  for (auto [a, b] : {std::pair<QWidget*, QWidget*>{FlatButton3, FlatButton4}, {FlatButton4, CmbJenis},
                      {CmbJenis, vkCommand1}, {vkCommand1, cmbVisible}, {cmbVisible, Text1}, {Text1, H_height},
                      {H_height, H_top}, {H_top, H_Width}, {H_Width, H_left}, {H_left, vkCommand2},
                      {vkCommand2, FlatButton1}})
    setTabOrder(a, b);

  connect(CmbJenis, &QComboBox::activated, this, [this] { CmbJenis_Click(); });
  connect(cmbVisible, &QComboBox::activated, this, [this] { cmbVisible_Click(); });
  connect(H_height, &QScrollBar::valueChanged, this, [this] { H_height_Change(); });
  connect(H_top, &QScrollBar::valueChanged, this, [this] { H_top_Change(); });
  connect(H_left, &QScrollBar::valueChanged, this, [this] { H_left_Change(); });
  connect(H_Width, &QScrollBar::valueChanged, this, [this] { H_Width_Change(); });
  connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
  connect(FlatButton2, &QPushButton::clicked, this, [this] { FlatButton2_Click(); });
  connect(FlatButton3, &QPushButton::clicked, this, [this] { FlatButton3_Click(); });
  connect(FlatButton4, &QPushButton::clicked, this, [this] { FlatButton4_Click(); });
  connect(vkCommand1, &QPushButton::clicked, this, [this] { vkCommand1_Click(); });
  connect(vkCommand2, &QPushButton::clicked, this, [this] { vkCommand2_Click(); });
  connect(FlatButton1, &QPushButton::clicked, this, [this] { FlatButton1_Click(); });
}

// The views go before the elements they show.
FrmAddLogo::~FrmAddLogo() { delete picture1; }

GambarDesain* FrmAddLogo::buatGambar(const desain::Rancangan& r) {
  auto e = std::make_unique<Elemen>();
  e->nama = QString::fromLatin1(r.nama);
  e->left = r.left;
  e->top = r.top;
  e->width = r.width;
  e->height = r.height;
  auto* g = new GambarDesain(picture1, e.get());
  tampilkan(*e);
  // Kept in the window's control order, which is the reverse of the order they are made.
  gambar_.insert(gambar_.begin(), std::move(e));
  return g;
}

LabelDesain* FrmAddLogo::buatLabel(const QString& nama) {
  auto e = std::make_unique<Elemen>();
  e->nama = nama;
  e->label = true;
  e->font.color = desain::kWarnaLabel;
  auto* l = new LabelDesain(picture1, e.get());
  label_.push_back(std::move(e));
  colDrag.push_back(std::make_unique<clsDragLabel>(this, l));
  return l;
}

QWidget* FrmAddLogo::kontrol(const QString& nama) const {
  return picture1->findChild<QWidget*>(nama, Qt::FindDirectChildrenOnly);
}

Elemen* FrmAddLogo::elemen(const QString& nama) {
  for (auto* list : {&gambar_, &label_})
    for (auto& e : *list)
      if (e->nama == nama) return e.get();
  return nullptr;
}

bool FrmAddLogo::namaDipakai(const QString& nama) const {
  // Rows are found by name regardless of case, so two elements never differ by case alone.
  for (const Elemen* e : daftarElemen())
    if (e->nama.compare(nama, Qt::CaseInsensitive) == 0) return true;
  return false;
}

Elemen* FrmAddLogo::terpilih() { return CmbJenis->currentIndex() < 0 ? nullptr : elemen(CmbJenis->currentText()); }

std::vector<const Elemen*> FrmAddLogo::daftarElemen() const {
  std::vector<const Elemen*> out;
  for (const auto* list : {&gambar_, &label_})
    for (const auto& e : *list) out.push_back(e.get());
  return out;
}

QImage FrmAddLogo::komposisi() const {
  // Bottom first, as the canvas stacks them: the image elements as made, then the labels.
  std::vector<const Elemen*> urutan;
  for (auto it = gambar_.rbegin(); it != gambar_.rend(); ++it) urutan.push_back(it->get());
  for (const auto& e : label_) urutan.push_back(e.get());
  return desain::komposisi(urutan);
}

void FrmAddLogo::tampilkan(const Elemen& e) {
  QWidget* w = kontrol(e.nama);
  if (!w) return;
  constexpr double k = 1.0 / desain::kTwipsPerPixel;
  const auto px = [](double v) { return int(vb::vbRound(v * k)); };
  w->setGeometry(px(e.left), px(e.top), std::max(0, px(e.width)), std::max(0, px(e.height)));
  w->setVisible(e.visible);
  if (auto* l = qobject_cast<QLabel*>(w)) {
    l->setText(e.caption);
    l->setAccessibleName(e.caption);
  }
  w->update();
}

// ---- load ----

void FrmAddLogo::Form_Load() {
  const QString side = sisi();
  QVariant maxId;
  vb::resumeNext([&] {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select MAx(ID) as nomer from tbl_ctrl where ctrl_jenis = 'label' and ctrl_desain = '") +
                side + QLatin1Char('\''),
            Module1::koneksi(), -1, -1);
    if (!rs.EOF_()) maxId = rs.field(QStringLiteral("nomer"));
  });
  picEx = std::make_unique<cPicture>();
  for (auto& g : gambar_)
    vb::resumeNext([&] {
      g->gambar = photobox::PhotoBoxGlobal::LoadPictureFile(desain::fileGambar(Module1::Desain, g->nama), -1, -1);
      static_cast<photobox::PhotoBox*>(kontrol(g->nama))->setPicture(g->gambar);
    });
  {
    const QSignalBlocker block(CmbJenis);
    CmbJenis->clear();
    vb::resumeNext([&] {
      Module1::isiDaftar(CmbJenis,
                         QStringLiteral("Select ctrl_name From tbl_ctrl where ctrl_desain ='") + side +
                             QStringLiteral("' order By id"),
                         QStringLiteral("ctrl_name"));
    });
    CmbJenis->setCurrentIndex(CmbJenis->count() > 0 ? 0 : -1);
  }
  if (CmbJenis->count() > 0) CmbJenis_Click();
  {
    const QSignalBlocker block(cmbVisible);
    cmbVisible->clear();
    cmbVisible->addItems({QStringLiteral("True"), QStringLiteral("False")});
    cmbVisible->setCurrentIndex(0);
  }
  cmbVisible_Click();
  vb::resumeNext([&] {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select * from tbl_ctrl where ctrl_jenis ='label' and ctrl_desain = '") + side +
                QLatin1Char('\''),
            Module1::koneksi(), -1, -1);
    for (; !rs.EOF_(); rs.MoveNext()) {
      QVariant v;
      // A row whose name is empty or already taken (an edit from outside) makes no label.
      if (!baca(rs, "ctrl_name", v) || vb::text(v).isEmpty() || namaDipakai(vb::text(v))) continue;
      LabelDesain* l = buatLabel(vb::text(v));
      Elemen& e = *l->elemen;
      if (baca(rs, "ctrl_caption", v)) e.caption = vb::text(v);
      bacaGeometri(rs, e);
      if (baca(rs, "ctrl_visible", v)) e.visible = vb::isTrue(v);
      if (baca(rs, "ctrl_font_name", v)) e.font.name = vb::text(v);
      if (baca(rs, "ctrl_font_size", v)) e.font.size = v.toFloat();
      if (baca(rs, "ctrl_font_color", v)) e.font.color = qint32(v.toLongLong());
      if (baca(rs, "ctrl_font_bold", v)) e.font.bold = vb::isTrue(v);
      if (baca(rs, "ctrl_font_italic", v)) e.font.italic = vb::isTrue(v);
      tampilkan(e);
      l->raise();
    }
  });
  QStringList namaLabel;
  for (const auto& e : label_) namaLabel << e->nama;
  nomerLabel = desain::nomorLabelBerikut(maxId, namaLabel);
  openDesain();
  Elemen* bg = elemen(kLatar);
  bg->width = desain::kCanvasWidth;
  bg->height = desain::kCanvasHeight;
  tampilkan(*bg);
  // The first entry may be a label made only now: the box shows its text.
  const QSignalBlocker block(Text1);
  const Elemen* e = terpilih();
  Text1->setText(e && e->label ? e->caption : QString());
}

void FrmAddLogo::Form_Unload() { picEx.reset(); }

void FrmAddLogo::openDesain() {
  for (const Elemen* c : daftarElemen()) {
    Elemen& e = *elemen(c->nama);
    vb::resumeNext([&] {
      ado::Recordset rs;
      rs.Open(QStringLiteral("select * from tbl_ctrl where ctrl_name = '") + ado::q(e.nama) +
                  QStringLiteral("' and ctrl_desain = '") + sisi() + QLatin1Char('\''),
              Module1::koneksi(), ado::adOpenDynamic, ado::adLockOptimistic);
      if (rs.EOF_()) return;
      QVariant v;
      if (e.label && baca(rs, "ctrl_caption", v)) e.caption = vb::text(v);
      bacaGeometri(rs, e);
      if (!e.label && baca(rs, "ctrl_visible", v) && !vb::isTrue(v)) e.visible = false;
    });
    tampilkan(e);
  }
}

// ---- selection and the bars ----

bool FrmAddLogo::pilih(const QString& nama) {
  const int i = CmbJenis->findText(nama, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (i < 0) return false;
  {
    const QSignalBlocker block(CmbJenis);
    CmbJenis->setCurrentIndex(i);
  }
  CmbJenis_Click();
  return true;
}

void FrmAddLogo::setBar(QScrollBar* b, double value) {
  // A value outside the bar's range is refused and the bar keeps its value; the bar
  // itself would take the nearest end and move the element there.
  const long long v = vb::vbRound(value);
  if (v < b->minimum() || v > b->maximum()) return;
  b->setValue(int(v));
}

void FrmAddLogo::CmbJenis_Click() {
  Elemen* e = terpilih();
  {
    // The box shows the selected label's own text, so typing changes only that label.
    const QSignalBlocker block(Text1);
    Text1->setText(e && e->label ? e->caption : QString());
  }
  if (!e || e->nama == kLatar) return;
  {
    const QSignalBlocker block(cmbVisible);
    cmbVisible->setCurrentIndex(e->visible ? 0 : 1);
  }
  setBar(H_height, e->height);
  setBar(H_Width, e->width);
  setBar(H_top, e->top);
  setBar(H_left, e->left);
}

void FrmAddLogo::cmbVisible_Click() {
  Elemen* e = terpilih();
  if (!e || e->nama == kLatar) return;
  e->visible = cmbVisible->currentIndex() == 0;
  tampilkan(*e);
}

void FrmAddLogo::ubahGeometri(QScrollBar* b, double Elemen::*prop) {
  Elemen* e = terpilih();
  if (!e || e->nama == kLatar) return;
  e->*prop = b->value();
  tampilkan(*e);
}

void FrmAddLogo::H_height_Change() { ubahGeometri(H_height, &Elemen::height); }
void FrmAddLogo::H_top_Change() { ubahGeometri(H_top, &Elemen::top); }
void FrmAddLogo::H_left_Change() { ubahGeometri(H_left, &Elemen::left); }

void FrmAddLogo::H_Width_Change() {
  ubahGeometri(H_Width, &Elemen::width);
  if (Elemen* e = terpilih(); e && e->label) {
    e->bingkai = true;
    tampilkan(*e);
  }
}

void FrmAddLogo::H_Width_LostFocus() {
  if (Elemen* e = terpilih(); e && e->label) {
    e->bingkai = false;
    tampilkan(*e);
  }
}

// ---- dragging the image elements ----

bool FrmAddLogo::eventFilter(QObject* o, QEvent* ev) {
  if (o == H_Width && ev->type() == QEvent::FocusOut) H_Width_LostFocus();
  auto* g = qobject_cast<GambarDesain*>(o);
  if (!g || g == latar) return forms::Form::eventFilter(o, ev);
  const auto tw = [ev] { return static_cast<QMouseEvent*>(ev)->position() * desain::kTwipsPerPixel; };
  switch (ev->type()) {
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton) {
        dragX = tw().x();
        dragY = tw().y();
        dragging = true;
        g->tandaGeser = true;
        g->setCursor(Qt::ClosedHandCursor);
        g->update();
      }
      return true;
    case QEvent::MouseMove:
      if (dragging) {
        g->elemen->left += tw().x() - dragX;
        g->elemen->top += tw().y() - dragY;
        tampilkan(*g->elemen);
      }
      return true;
    case QEvent::MouseButtonRelease:
      dragging = false;
      g->tandaGeser = false;
      g->unsetCursor();
      g->update();
      // The click that ends a left press selects the element, when the list has it.
      if (static_cast<QMouseEvent*>(ev)->button() == Qt::LeftButton) pilih(g->objectName());
      return true;
    default:
      return forms::Form::eventFilter(o, ev);
  }
}

// ---- labels ----

void FrmAddLogo::FlatButton2_Click() {
  int n = nomerLabel;
  // A name in use (a row added from outside) is never given a second time.
  // A name in the list names a stored row, which the save would take over.
  const auto dipakai = [this](const QString& nama) {
    return namaDipakai(nama) || CmbJenis->findText(nama, Qt::MatchFixedString) >= 0;
  };
  while (dipakai(QStringLiteral("NewLabel%1").arg(n))) ++n;
  LabelDesain* l = buatLabel(QStringLiteral("NewLabel%1").arg(n));
  Elemen& e = *l->elemen;
  e.caption = QStringLiteral("Label %1").arg(n);
  e.left = 100.0 * n + 100;
  e.top = 100;
  e.visible = true;
  e.font.size = 20;
  e.autoSize = true;
  e.font.name = QStringLiteral("Arial");
  desain::ukurOtomatis(e);
  tampilkan(e);
  l->raise();
  {
    // Appended without changing the selection (an empty list selects nothing still).
    const QSignalBlocker block(CmbJenis);
    const int i = CmbJenis->currentIndex();
    CmbJenis->addItem(e.nama);
    CmbJenis->setCurrentIndex(i);
  }
  nomerLabel = n + 1;
}

void FrmAddLogo::FlatButton3_Click() {
  QString nama;
  if (Elemen* e = terpilih(); e && e->label) {
    try {
      Module1::koneksi().Execute(QStringLiteral("delete * from tbl_ctrl where ctrl_name = '") + ado::q(e->nama) +
                                 QStringLiteral("' and ctrl_desain ='") + sisi() + QLatin1Char('\''));
    } catch (const vb::VbError& err) {
      // The label stays, as its row does.
      ui::msgBox(QStringLiteral("Label tidak dapat dihapus: ") + err.description, ui::vbCritical,
                 QStringLiteral("Hapus"));
      return;
    }
    nama = e->nama;
    delete kontrol(nama);
    std::erase_if(label_, [&](const auto& p) { return p.get() == e; });
  }
  {
    const QSignalBlocker block(CmbJenis);
    if (!nama.isEmpty())
      if (const int i = CmbJenis->findText(nama, Qt::MatchExactly | Qt::MatchCaseSensitive); i >= 0)
        CmbJenis->removeItem(i);
    CmbJenis->setCurrentIndex(CmbJenis->count() > 0 ? 0 : -1);
  }
  {
    const QSignalBlocker block(Text1);
    Text1->clear();
  }
  if (CmbJenis->count() > 0) CmbJenis_Click();
}

void FrmAddLogo::FlatButton4_Click() {
  Elemen* e = terpilih();
  if (!e || !e->label) return;  // an image element has no font
  CommonDialog1.CancelError = true;
  CommonDialog1.Flags = 257;
  CommonDialog1.Font = e->font.font();
  CommonDialog1.Color = e->font.qcolor();
  try {
    CommonDialog1.ShowFont();
  } catch (const vb::VbError&) {
    return;
  }
  const cardface::FontValue dipilih = cardface::fontOf(CommonDialog1.Font, CommonDialog1.Color);
  e->font.name = dipilih.name;
  e->font.size = dipilih.size;
  e->font.bold = dipilih.bold;
  e->font.italic = dipilih.italic;
  e->font.color = dipilih.color;
  e->autoSize = true;
  desain::ukurOtomatis(*e);
  tampilkan(*e);
}

void FrmAddLogo::Text1_Change() {
  Elemen* e = terpilih();
  if (!e || e->nama == kLatar || !e->label) return;
  e->caption = Text1->text();
  e->autoSize = true;
  desain::ukurOtomatis(*e);
  tampilkan(*e);
}

void FrmAddLogo::vkCommand1_Click() {
  CommonDialog9.CancelError = true;
  CommonDialog9.InitDir = QString();
  CommonDialog9.Filter = QStringLiteral("Pictures (*.gif;*.jpg;*.png)|*.gif;*.jpg;*.png");
  Elemen* e = nullptr;
  photobox::Picture pic;
  try {
    CommonDialog9.ShowOpen();
    e = terpilih();
    if (!e || e->label) return;  // a label has no picture
    pic = photobox::PhotoBoxGlobal::LoadPictureFile(CommonDialog9.FileName, -1, -1);
  } catch (const vb::VbError&) {
    return;
  }
  e->gambar = pic;
  e->gambarBaru = true;
  static_cast<photobox::PhotoBox*>(kontrol(e->nama))->setPicture(pic);
  CommonDialog9.FileName = QString();
}

void FrmAddLogo::bukaLatar() {
  CommonDialog9.CancelError = true;
  CommonDialog9.InitDir = QString();
  CommonDialog9.Filter = QStringLiteral("Pictures (*.jpeg;*.jpg;)|*.jpeg;*.jpg");
  try {
    CommonDialog9.ShowOpen();
    const QString file = CommonDialog9.FileName;
    int imageDpi = 0;
    const gdi::StdPicture p = picEx->LoadPictureEx(file, -1, false, imageDpi, std::int32_t(0x80000005u), 0, 0, 0, 0);
    if (!p || !p->handle()) {
      if (!QFileInfo(file).isFile())
        throw vb::VbError(vb::kErrFileNotFound, objectName(), QStringLiteral("File not found"));
      throw vb::VbError(vb::kErrInvalidPicture, objectName(), QStringLiteral("Invalid picture"));
    }
    QImage img = desain::pikselLatar(*picEx, p);
    if (img.isNull()) throw vb::VbError(7, objectName(), QStringLiteral("Out of memory"));
    // Loaded without its file's bytes: the save writes these pixels.
    Elemen& e = *elemen(kLatar);
    e.gambar = photobox::Picture(std::move(img));
    e.gambarBaru = true;
    latar->setPicture(e.gambar);
  } catch (const vb::VbError& err) {
    ui::msgBox(err.description, ui::vbOKOnly, vb::appTitle());
    CommonDialog9.FileName = QString();
  }
}

void FrmAddLogo::FlatButton1_Click() { forms::unload(this); }
