// The workbook readers through workbook-dump, on workbooks written by the test (parts
// zipped as given), by openpyxl and by xlwt, and on damaged, encrypted and oversized files.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "qt_printers.h"
#include "workbook.h"

namespace {

constexpr const char* kWriter = R"(import sys, zipfile, datetime
mode, out = sys.argv[1], sys.argv[2]
when = datetime.datetime(2024, 3, 9, 10, 20, 30)
if mode == "zip":
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in zip(sys.argv[3::2], sys.argv[4::2]):
            encoding, _, name = name.rpartition("|")  # "utf-16|xl/s.xml": the part in that encoding
            z.writestr(name, text.encode(encoding or "utf-8"))
elif mode == "xlwt":
    import xlwt
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("Siswa Ä")
    for c, v in enumerate(["Nama", 12345, 0.1]):
        ws.write(0, c, v)
    ws.write(0, 3, when, xlwt.easyxf(num_format_str="yyyy-mm-dd hh:mm:ss"))
    ws.write(0, 4, True)
    ws.write(2, 0, "x" * 9000)  # longer than a record: carried on in CONTINUE records
    ws.write(2, 1, "Ä" * 5000)
    for c in range(4):
        ws.write(1, c, xlwt.Formula("1+1"), xlwt.easyxf(num_format_str="dd/mm/yyyy" if c == 3 else "General"))
    wb.add_sheet("Kosong")
    wb.save(out)
    # xlwt saves no formula values; put in those Excel would have saved: a number, a
    # boolean, an error and a date.
    import struct
    parts = open(out, "rb").read().split(struct.pack("<Q", 0xFFFF000000000003))
    saved = [struct.pack("<d", 2.5), struct.pack("<Q", 0xFFFF000000010001), struct.pack("<Q", 0xFFFF000000070002),
             struct.pack("<d", 45360)]
    data = b"".join(p + v for p, v in zip(parts, saved + [b""]))
    if len(sys.argv) > 3:  # a FILEPASS record where WINDOWPROTECT stood: an encrypted workbook
        data = data.replace(b"\x19\x00\x02\x00", b"\x2f\x00\x02\x00", 1)
    open(out, "wb").write(data)
else:
    import openpyxl
    from openpyxl.utils.datetime import CALENDAR_MAC_1904
    wb = openpyxl.Workbook()
    if mode == "openpyxl1904":
        wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "Siswa Ä"
    ws.append(["Nama", 12345, 0.1, True, when, "=1+1", "#N/A"])
    wb.create_sheet("Kosong")
    wb.save(out))";

const char* const kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

class Workbooks : public ::testing::Test {
 protected:
  QString write(const QString& name, const QStringList& args) {
    const QString path = dir.filePath(name);
    QProcess p;
    p.start(QStringLiteral(LENTAVO_PYTHON3), QStringList{"-c", kWriter} + args.mid(0, 1) + QStringList{path} + args.mid(1));
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    return path;
  }
  // A workbook of our own parts: shared strings with runs and a phonetic guide, escapes, an
  // empty text (an empty cell), an inline string, cached formula values, a prefixed sheet
  // whose cells partly lack positions, rows out of order, date styles built in and custom,
  // and a chart sheet.
  QString handBuilt(const QString& name, const char* date1904, const char* sharedIndex = "2") {
    const QString sheet = QStringLiteral(
        R"(<x:worksheet xmlns:x="%1"><x:sheetData><x:row r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c>)"
        R"(<x:c r="B1" t="s"><x:v>1</x:v></x:c><x:c t="s"><x:v>%2</x:v></x:c><x:c t="s"><x:v>3</x:v></x:c><x:c t="s"><x:v>4</x:v></x:c></x:row>)"
        R"(<x:row><x:c r="A2" t="inlineStr"><x:is><x:r><x:t>O'</x:t></x:r><x:r><x:t>Neil</x:t></x:r></x:is></x:c>)"
        R"(<x:c r="B2" t="str"><x:f>A1&amp;"!"</x:f><x:v>Ani!</x:v></x:c><x:c r="C2" t="b"><x:v>1</x:v></x:c>)"
        R"(<x:c r="D2" t="e"><x:v>#DIV/0!</x:v></x:c><x:c r="E2"><x:f>1/0</x:f></x:c><x:c r="F2" s="1"/></x:row>)"
        R"(<x:row r="4"><x:c r="A4" s="1"><x:v>45360</x:v></x:c><x:c r="B4" s="2"><x:v>45360.5</x:v></x:c>)"
        R"(<x:c r="C4" s="3"><x:v>12345</x:v></x:c><x:c r="D4" s="4"><x:v>0.1</x:v></x:c>)"
        R"(<x:c r="E4" s="5"><x:v>0.75</x:v></x:c><x:c r="F4" t="d"><x:v>2024-03-09T10:20:30Z</x:v></x:c>)"
        R"(<x:c r="G4"><x:v>1E+21</x:v></x:c><x:c r="H4" s="99"><x:v>-2.5</x:v></x:c></x:row>)"
        R"(<x:row r="3"><x:c r="A3"><x:v>1</x:v></x:c></x:row></x:sheetData></x:worksheet>)")
                              .arg(kMain, sharedIndex);
    return write(
        name,
        {"zip", "_rels/.rels",
         QStringLiteral(R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                        R"(<Relationship Id="r1" Type="%1/officeDocument" Target="xl/workbook.xml"/></Relationships>)")
             .arg(kRel),
         "xl/workbook.xml",
         QStringLiteral(R"(<workbook xmlns="%1" xmlns:r="%2"><workbookPr date1904="%3"/><sheets>)"
                        R"(<sheet name="Data &amp; Nilai" sheetId="1" r:id="rId1"/>)"
                        R"(<sheet name="Grafik" sheetId="2" r:id="rId2"/></sheets></workbook>)")
             .arg(kMain, kRel, date1904),
         "xl/_rels/workbook.xml.rels",
         QStringLiteral(R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
                        R"(<Relationship Id="rId1" Type="%1/worksheet" Target="/xl/worksheets/data.xml"/>)"
                        R"(<Relationship Id="rId2" Type="%1/chartsheet" Target="chartsheets/sheet1.xml"/>)"
                        R"(<Relationship Id="rId3" Type="%1/sharedStrings" Target="strings.xml"/>)"
                        R"(<Relationship Id="rId4" Type="%1/styles" Target="./styles.xml"/></Relationships>)")
             .arg(kRel),
         "xl/worksheets/data.xml", sheet, "xl/strings.xml",
         QStringLiteral(R"(<sst xmlns="%1"><si><t>Ani</t></si><si><r><rPr><b/></rPr><t>Bu</t></r>)"
                        R"(<r><t xml:space="preserve">di </t></r><rPh sb="0" eb="1"><t>ぶ</t></rPh></si>)"
                        R"(<si><t>a_x000D_b_x005F_x0041_ _xD83D__xDE00_</t></si><si><t xml:space="preserve"> </t></si><si><t/></si></sst>)")
             .arg(kMain),
         "xl/styles.xml",
         QStringLiteral(R"(<styleSheet xmlns="%1"><numFmts><numFmt numFmtId="164" formatCode="yyyy\-mm\-dd h:mm"/>)"
                        R"(<numFmt numFmtId="165" formatCode="0.00&quot;d&quot;"/><numFmt numFmtId="166" formatCode="[Magenta]0.00"/>)"
                        R"(</numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="164"/><xf numFmtId="165"/>)"
                        R"(<xf numFmtId="166"/><xf numFmtId="20"/></cellXfs></styleSheet>)")
             .arg(kMain)});
  }
  // A workbook of one sheet "S" that holds `rows`, after `prolog`, its part in `encoding`.
  QString oneSheet(const QString& name, const QString& rows, const QString& prolog = {},
                   const QString& encoding = {}) {
    const QString wb = R"(<workbook xmlns="%1" xmlns:r="%2"><sheets><sheet name="S" r:id="r1"/></sheets></workbook>)";
    return write(
        name,
        {"zip", "xl/workbook.xml", wb.arg(kMain, kRel), "xl/_rels/workbook.xml.rels",
         QStringLiteral(R"(<Relationships><Relationship Id="r1" Type="%1/worksheet" Target="s.xml"/></Relationships>)")
             .arg(kRel),
         encoding + "|xl/s.xml", prolog + "<worksheet xmlns=\"" + kMain + "\"><sheetData>" + rows + "</sheetData></worksheet>"});
  }
  static QString dump(const QString& path) {
    QProcess p;
    p.start(QStringLiteral(LENTAVO_WORKBOOK_DUMP), {path});
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }
  QTemporaryDir dir;
};

TEST_F(Workbooks, EveryCellReadsWithItsTypeAndValue) {
  const QString rowOne = R"({"name":"Siswa Ä","cells":{"A1":{"t":"s","v":"Nama"},"B1":{"t":"n","v":12345},)"
                         R"("C1":{"t":"n","v":0.1})";
  const QString openpyxl = rowOne + R"(,"D1":{"t":"b","v":true},"E1":{"t":"d","v":"2024-03-09T10:20:30"},)"
                                    R"("G1":{"t":"e","v":"#N/A"}}},{"name":"Kosong","cells":{}}]})";
  const QString own = QStringLiteral(
      R"({"status":"ok","sheets":[{"name":"Data & Nilai","cells":{"A1":{"t":"s","v":"Ani"},"B1":{"t":"s","v":"Budi "},)"
      R"("C1":{"t":"s","v":"a\u000db_x0041_ 😀"},"D1":{"t":"s","v":" "},"A2":{"t":"s","v":"O'Neil"},)"
      R"("B2":{"t":"s","v":"Ani!"},"C2":{"t":"b","v":true},"D2":{"t":"e","v":"#DIV/0!"},"A3":{"t":"n","v":1},)"
      R"("A4":{"t":"d","v":"%1T00:00:00"},"B4":{"t":"d","v":"%1T12:00:00"},"C4":{"t":"n","v":12345},)"
      R"("D4":{"t":"n","v":0.1},"E4":{"t":"d","v":"18:00:00"},"F4":{"t":"d","v":"2024-03-09T10:20:30"},)"
      R"("G4":{"t":"n","v":1e+21},"H4":{"t":"n","v":-2.5}}},{"name":"Grafik","cells":{}}]})");
  const QString ok = R"({"status":"ok","sheets":[{"name":%1}}]})";
  const struct {
    QString file;
    QString json;
  } cases[] = {
      {handBuilt("own.xlsx", "0"), own.arg("2024-03-09")},
      {handBuilt("own1904.xlsx", "true"), own.arg("2028-03-10")},
      // openpyxl and XlsxWriter keep 16 digits, so the largest number rounds up past itself; gnumeric saves
      // an infinity in .xls; its rich text is an RSTRING record; Excel 5 reads through freexl.
      {oneSheet(
           "max.xlsx",
           "<row><c><v>1.797693134862316e+308</v></c><c><v>-1.797693134862316E+308</v></c><c><v>-1e-400</v></c></row>"),
       ok.arg(R"("S","cells":{"A1":{"t":"n","v":1.7976931348623157e+308},)"
              R"("B1":{"t":"n","v":-1.7976931348623157e+308},"C1":{"t":"n","v":0})")},
      {LENTAVO_EXCEL_SEEDS "/xls/infinite.xls",
       ok.arg(R"("S","cells":{"A1":{"t":"e","v":"#NUM!"},"B1":{"t":"n","v":1},"C1":{"t":"e","v":"#NUM!"})")},
      {LENTAVO_EXCEL_SEEDS "/xls/rstring.xls",
       ok.arg(R"("S","cells":{"A1":{"t":"s","v":"Budi Ä"},"B1":{"t":"n","v":2})")},
      {LENTAVO_EXCEL_SEEDS "/xls/biff5.xls",
       ok.arg(R"("S0","cells":{"A1":{"t":"s","v":"hi"},"B1":{"t":"n","v":42.5})")},
      {write("openpyxl.xlsx", {"openpyxl"}), R"({"status":"ok","sheets":[)" + openpyxl},
      {write("openpyxl1904.xlsx", {"openpyxl1904"}), R"({"status":"ok","sheets":[)" + openpyxl},
      {write("xlwt.xls", {"xlwt"}),
       R"({"status":"ok","sheets":[)" + rowOne +
           R"(,"D1":{"t":"d","v":"2024-03-09T10:20:30"},"E1":{"t":"b","v":true},"A2":{"t":"n","v":2.5},)"
           R"("B2":{"t":"b","v":true},"C2":{"t":"e","v":"#DIV/0!"},"D2":{"t":"d","v":"2024-03-09T00:00:00"},)"
           R"("A3":{"t":"s","v":")" + QString(9000, 'x') + R"("},"B3":{"t":"s","v":")" + QString(5000, u'Ä') +
           R"("}}},{"name":"Kosong","cells":{}}]})"},
  };
  for (const auto& c : cases) EXPECT_EQ(dump(c.file), c.json) << c.file.toStdString();
  // A workbook stream small enough to live in the compound file's mini stream.
  EXPECT_EQ(dump(LENTAVO_EXCEL_SEEDS "/xls/ministream.xls"),
            R"({"status":"ok","sheets":[{"name":"S","cells":{"A1":{"t":"s","v":"hi"},"B1":{"t":"n","v":42}}}]})");
}

// Parts are read in chunks: what a chunk's end cuts (a reference, a line end, a tag) reads as
// a whole, in every encoding a part may come in, and markup inside a text is read as XML says.
TEST_F(Workbooks, PartsReadAlikeWhateverTheirEncodingAndChunks) {
  const QString cells = R"(<row><c t="inlineStr"><is><t>Ä😀 &amp; ok</t></is></c><c><v>2</v></c></row>)";
  const QString read = R"({"status":"ok","sheets":[{"name":"S","cells":{%1}}]})";
  const QString both = read.arg(R"("A1":{"t":"s","v":"Ä😀 & ok"},"B1":{"t":"n","v":2})");
  const struct {
    QString file;
    QString json;
  } cases[] = {
      {oneSheet("utf16.xlsx", cells, {}, "utf-16"), both},
      {oneSheet("utf16be.xlsx", cells, {}, "utf-16-be"), both},
      {oneSheet("utf32.xlsx", cells, {}, "utf-32"), both},
      {oneSheet("bom.xlsx", cells, {}, "utf-8-sig"), both},
      {oneSheet("latin1.xlsx", R"(<row><c t="inlineStr"><is><t>Ä</t></is></c></row>)",
                R"(<?xml version="1.0" encoding="ISO-8859-1"?>)", "latin-1"),
       read.arg(R"("A1":{"t":"s","v":"Ä"})")},
      {oneSheet("markup.xlsx",
                R"(<row><c t="inlineStr"><is><t>a<!--x--><![CDATA[<b>&amp;]]>&#x41;&lt;&#66;&bogus;&#1;<?pi ?>)"
                "\r\nz\r</t></is></c>"
                R"(<c t="inlineStr"><is><t xml:space="preserve"> </t></is></c><c t="inlineStr"><is><t> <x/></t></is></c>)"
                R"(<c><v> <!--x-->3</v></c></row>)"),
       read.arg(R"("A1":{"t":"s","v":"a<b>&amp;A<B&bogus;\u0001\u000az\u000a"},"B1":{"t":"s","v":" "},)"
                R"("D1":{"t":"n","v":3})")},
      {oneSheet("dup.xlsx", R"(<row r="2"><c r="B2"><v>1</v></c></row><row r="1"><c r="A1"><v>3</v></c><c r="B2"><v>2</v></c></row>)"),
       read.arg(R"("A1":{"t":"n","v":3},"B2":{"t":"n","v":2})")},
  };
  for (const auto& c : cases) EXPECT_EQ(dump(c.file), c.json) << c.file.toStdString();
  // A long text of references and line ends, shifted so that wherever a chunk ends it cuts
  // each of them at each place.
  const QString unit = "&#x41;&amp;\r\n";
  for (int shift = 0; shift < unit.size(); ++shift) {
    const QString lead(shift, 'x');
    const QString sheet = R"(<row><c t="inlineStr"><is><t>)" + lead + unit.repeated(8000) +
                          R"(</t></is></c><c r="B1" t="b"><v>1</v></c></row>)";
    EXPECT_EQ(dump(oneSheet("chunks.xlsx", sheet)),
              read.arg(R"("A1":{"t":"s","v":")" + lead + QString(R"(A&\u000a)").repeated(8000) +
                       R"("},"B1":{"t":"b","v":true})"))
        << shift;
  }
}

// What a workbook keeps (cells, texts, shared strings) is counted as it is read, and one that
// would keep more than its budget is refused however small its file.
TEST_F(Workbooks, WhatAWorkbookKeepsIsCountedAgainstItsBudget) {
  const QString wb = R"(<workbook xmlns="%1" xmlns:r="%2"><sheets><sheet name="S" r:id="r1"/></sheets></workbook>)";
  QString strings, cells;
  for (int i = 0; i < 2000; ++i) {
    strings += QStringLiteral("<si><t>Siswa %1</t></si>").arg(i, 4, 10, QChar('0'));
    cells += "<c><v>1</v></c>";
  }
  const QString shared = write(
      "shared.xlsx",
      {"zip", "xl/workbook.xml", wb.arg(kMain, kRel), "xl/_rels/workbook.xml.rels",
       QStringLiteral(R"(<Relationships><Relationship Id="r1" Type="%1/worksheet" Target="s.xml"/>)"
                      R"(<Relationship Id="r2" Type="%1/sharedStrings" Target="t.xml"/></Relationships>)")
           .arg(kRel),
       "xl/t.xml", "<sst>" + strings + "</sst>", "xl/s.xml",
       R"(<worksheet><sheetData><row><c t="s"><v>1999</v></c></row></sheetData></worksheet>)"});
  const QString text = oneSheet("text.xlsx", R"(<row><c t="inlineStr"><is><t>)" + QString(100000, 'x') + "</t></is></c></row>");
  const QString many = oneSheet("many.xlsx", "<row>" + cells + "</row>");
  const struct {
    QString file;
    std::size_t budget;
    std::string why;
  } cases[] = {
      {text, 1u << 20, ""},
      {text, 50000, "Workbook terlalu besar untuk dibaca."},
      {many, 2000 * sizeof(excel::Cell) + 16384, ""},
      {many, 2000 * sizeof(excel::Cell), "Workbook terlalu besar untuk dibaca."},
      {shared, 1u << 20, ""},
      {shared, 30000, "Workbook terlalu besar untuk dibaca."},
  };
  for (const auto& c : cases) {
    QFile f(c.file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    excel::Limits limits;
    limits.maxKeptBytes = c.budget;
    excel::Workbook book;
    EXPECT_EQ(excel::readXlsx(bytes.constData(), size_t(bytes.size()), &book, limits), c.why)
        << c.file.toStdString() << " " << c.budget;
  }
}

TEST_F(Workbooks, DamagedEncryptedAndOversizedWorkbooksAreRefusedWithAReason) {
  const QString good = handBuilt("good.xlsx", "0");
  auto file = [&](const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  };
  auto head = [](const QString& path, int n) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.read(n);
  };
  QByteArray encrypted("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  encrypted += QByteArray(600, '\0') + QByteArray("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
  const std::string corrupt = "File rusak atau bukan workbook Excel yang sah.";
  const std::string notExcel = "File ini bukan workbook Excel (.xlsx atau .xls).";
  const std::string locked =
      "Workbook dilindungi kata sandi (terenkripsi). Buka di Excel, hapus kata sandinya, lalu simpan ulang.";
  const struct {
    QString file;
    std::string error;
  } cases[] = {
      {file("empty.xlsx", {}), corrupt},
      {file("text.xlsx", "hello, not a workbook"), notExcel},
      {file("cut.xlsx", head(good, 900)), corrupt},
      {write("odf.xlsx", {"zip", "mimetype", "application/vnd.oasis.opendocument.spreadsheet"}), notExcel},
      {handBuilt("index.xlsx", "0", "5"), corrupt},
      {handBuilt("negative.xlsx", "0", "-1"), corrupt},
      {oneSheet("entities.xlsx", R"(<row><c t="inlineStr"><is><t>&b;</t></is></c></row>)",
                R"(<!DOCTYPE w [<!ENTITY b "bb">]>)"),
       corrupt},
      {oneSheet("nested.xlsx", "<row>" + QString("<c>").repeated(1000) + QString("</c>").repeated(1000) + "</row>"),
       corrupt},
      {oneSheet("mismatch.xlsx", "<row><c><v>1</v></x></row>"), corrupt},
      {oneSheet("unquoted.xlsx", "<row><c r=A1><v>1</v></c></row>"), corrupt},
      {oneSheet("joined.xlsx", R"(<row><c r="A1"t="n"><v>1</v></c></row>)"), corrupt},
      {oneSheet("comment.xlsx", "<row><c><v>1</v></c></row><!-- never closed"), corrupt},
      {oneSheet("late-doctype.xlsx", "<row><!DOCTYPE x></row>"), corrupt},
      {oneSheet("cut-utf16.xlsx", "<row><c><v>1</v></c></row", {}, "utf-16"), corrupt},
      {file("locked.xlsx", encrypted), locked},
      {write("locked.xls", {"xlwt", "locked"}), locked},
      {file("cut.xls", head(write("whole.xls", {"xlwt"}), 1200)), corrupt},
      {dir.filePath("missing.xlsx"), "File tidak dapat dibuka: No such file or directory."},
      // Two Excel 5 sheets that claim every position: freexl would set aside 500 MB for them.
      {LENTAVO_EXCEL_SEEDS "/xls/biff5_dims.xls", "Workbook terlalu besar untuk dibaca."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dump(c.file), QString::fromStdString(R"({"status":"error","error":")" + c.error + "\"}"))
        << c.file.toStdString();
  }
  // Sizes are checked before anything is read: a part larger than allowed, more cells than
  // allowed; and what is read is counted: more kept than allowed.
  QFile f(good);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  excel::Workbook book;
  for (const excel::Limits& limits : {excel::Limits{500}, excel::Limits{1u << 20, 1u << 20, 10},
                                      excel::Limits{1u << 20, 1u << 20, 1000, 10, 2000}}) {
    EXPECT_EQ(excel::readXlsx(bytes.constData(), size_t(bytes.size()), &book, limits), "Workbook terlalu besar untuk dibaca.");
    EXPECT_TRUE(book.sheets.empty());
  }
  EXPECT_EQ(excel::readXlsx(bytes.constData(), size_t(bytes.size()), &book), "");
  EXPECT_EQ(book.firstWorksheet()->at(4, 3)->number, 12345);
}

}  // namespace
