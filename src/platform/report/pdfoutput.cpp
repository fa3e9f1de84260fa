// The cards of a job as a PDF file at true size.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

#include "atomicfile.h"
#include "cardrender.h"
#include "cardreport.h"
#include "cardtemplate.h"
#include "reporterrors.h"
#include "vb.h"

namespace report {
namespace {

constexpr int kPdfDpi = 300;

// Qt writes each page's MediaBox in whole points, which puts a card page 0.13 mm off
// its true width (85.60 mm is 242.65 pt). This pass-through device puts the exact size
// back as the pages stream by. The new numbers take no more bytes than the old ones
// (padded with blanks), so the cross-reference offsets Qt counted stay right.
class PageBoxFix : public QIODevice {
 public:
  PageBoxFix(QIODevice* out, const QPageLayout& layout) : out_(out) {
    const QRect rounded = layout.fullRectPoints();
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    from_ = "/MediaBox [0 0 " + QByteArray::number(double(rounded.width()), 'f', 6) + ' ' +
            QByteArray::number(double(rounded.height()), 'f', 6) + ']';
    QByteArray to = "/MediaBox [0 0 " + QByteArray::number(mm.width() * 72.0 / 25.4, 'f', 6) + ' ' +
                    QByteArray::number(mm.height() * 72.0 / 25.4, 'f', 6);
    if (to.size() + 1 <= from_.size()) to_ = to + QByteArray(from_.size() - to.size() - 1, ' ') + ']';
  }
  bool isSequential() const override { return true; }
  // Writes what is still held back; false when the file could not take it.
  bool finish() {
    if (!pending_.isEmpty() && out_->write(pending_) != pending_.size()) failed_ = true;
    pending_.clear();
    return !failed_;
  }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char* data, qint64 len) override {
    if (failed_) return -1;
    pending_.append(data, len);
    if (!to_.isEmpty()) pending_.replace(from_, to_);
    // Hold back a tail that could be the start of a box split across two writes.
    const qint64 keep = std::min<qint64>(pending_.size(), from_.size() - 1);
    const qint64 flush = pending_.size() - keep;
    if (flush > 0) {
      if (out_->write(pending_.constData(), flush) != flush) {
        failed_ = true;
        return -1;
      }
      pending_.remove(0, flush);
    }
    return len;
  }

 private:
  QIODevice* out_;
  QByteArray from_, to_, pending_;
  bool failed_ = false;
};

[[noreturn]] void cannotWrite(const QString& file, const QString& why) {
  throw vb::VbError(kErrOutput, kSource,
                    QStringLiteral("The PDF file '%1' cannot be written: %2").arg(QDir::toNativeSeparators(file), why));
}

}  // namespace

void writePdf(CardRenderer& renderer, const QString& pdfFile, const QString& title) {
  // Streamed into the one file helper's new file, which takes the name only when complete.
  const QPageLayout layout = renderer.pageLayout();
  QString why, placing;  // what failed while writing, or else while putting it in place
  const bool written = vb::replaceFileWith(pdfFile, [&](int fd) {
    QFile out;
    if (!out.open(fd, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
      why = out.errorString();
      return EIO;
    }
    PageBoxFix fix(&out, layout);
    fix.open(QIODevice::WriteOnly);
    renderer.setForPreview(false);
    bool ok = false;
    {
      QPdfWriter writer(&fix);
      writer.setResolution(kPdfDpi);
      writer.setPageLayout(layout);
      writer.setTitle(title);
      writer.setCreator(vb::appTitle());
      QPainter p;
      if (!p.begin(&writer)) cannotWrite(pdfFile, QStringLiteral("the PDF writer did not start"));
      ok = renderer.render(p, [&writer] { return writer.newPage(); });
      ok = p.end() && ok;
    }
    ok = fix.finish() && out.flush() && ok;
    if (ok) return 0;
    why = out.error() != QFileDevice::NoError ? out.errorString() : QStringLiteral("writing failed");
    return EIO;
  }, true, &placing);
  if (!written) cannotWrite(pdfFile, why.isEmpty() ? placing : why);
}

void renderToPdf(const Job& job, const QString& pdfFile) {
  auto tpl = std::make_shared<const CardTemplate>(loadTemplate(job.templateFile));
  if (job.rows.empty())
    throw vb::VbError(kErrCall, kSource, QStringLiteral("The dataset holds no rows: there is no card to print."));
  CardRenderer renderer(job, tpl);
  writePdf(renderer, pdfFile, job.title);
}

}  // namespace report
