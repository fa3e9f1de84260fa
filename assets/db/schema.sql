-- Schema of database/database.mdb. Columns stand in the order the program relies on
-- (the restore window reads tblanggota by position).
--
-- Type conventions:
--   Text       TEXT COLLATE NOCASE CHECK (length(col) <= 255): compared regardless of case
--              and refused when longer than a Jet Text(255) field. textisi (a multi-line body
--              text) and lokasi (a folder path) have no limit, like a Jet Memo field.
--   AutoNumber INTEGER PRIMARY KEY AUTOINCREMENT: ids are never reused, files are named by them.
--   Yes/No     declared type YESNO (numeric affinity); holds 0 and 1 (or -1), and the ado layer
--              reads any non-zero value back as True.
--   Number     NUMERIC (sizes and positions; whole values are kept as integers).
--   Long       INTEGER (colours, ids).
-- Names such as "Label21(0)" are quoted. SQLite matches table and column names regardless
-- of case, as Jet does.

CREATE TABLE tblanggota (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  nis TEXT COLLATE NOCASE CHECK (length(nis) <= 255),
  nisn TEXT COLLATE NOCASE CHECK (length(nisn) <= 255),
  nama TEXT COLLATE NOCASE CHECK (length(nama) <= 255),
  ttl TEXT COLLATE NOCASE CHECK (length(ttl) <= 255),
  agama TEXT COLLATE NOCASE CHECK (length(agama) <= 255),
  kelamin TEXT COLLATE NOCASE CHECK (length(kelamin) <= 255),
  barcode TEXT COLLATE NOCASE CHECK (length(barcode) <= 255),
  kelas TEXT COLLATE NOCASE CHECK (length(kelas) <= 255)
);
CREATE INDEX tblanggota_nama ON tblanggota (nama);

CREATE TABLE t_kelas (
  idkelas INTEGER PRIMARY KEY AUTOINCREMENT,
  kelas TEXT COLLATE NOCASE CHECK (length(kelas) <= 255)
);

CREATE TABLE tblsetting (
  idtext TEXT COLLATE NOCASE CHECK (length(idtext) <= 255),
  "textheader(0)" TEXT COLLATE NOCASE CHECK (length("textheader(0)") <= 255),
  "textheader(1)" TEXT COLLATE NOCASE CHECK (length("textheader(1)") <= 255),
  "textheader(2)" TEXT COLLATE NOCASE CHECK (length("textheader(2)") <= 255),
  "textheader(3)" TEXT COLLATE NOCASE CHECK (length("textheader(3)") <= 255),
  KARTU TEXT COLLATE NOCASE CHECK (length(KARTU) <= 255),
  "textheader(5)" TEXT COLLATE NOCASE CHECK (length("textheader(5)") <= 255),
  "textfooter(0)" TEXT COLLATE NOCASE CHECK (length("textfooter(0)") <= 255),
  "textfooter(1)" TEXT COLLATE NOCASE CHECK (length("textfooter(1)") <= 255),
  "textfooter(2)" TEXT COLLATE NOCASE CHECK (length("textfooter(2)") <= 255),
  "textfooter(3)" TEXT COLLATE NOCASE CHECK (length("textfooter(3)") <= 255),
  "textfooter(4)" TEXT COLLATE NOCASE CHECK (length("textfooter(4)") <= 255),
  textjudul TEXT COLLATE NOCASE CHECK (length(textjudul) <= 255),
  textisi TEXT COLLATE NOCASE,
  textbawah TEXT COLLATE NOCASE CHECK (length(textbawah) <= 255),
  checklogo1 YESNO,
  checklogo2 YESNO,
  checkstempel YESNO,
  kertas TEXT COLLATE NOCASE CHECK (length(kertas) <= 255),
  barcode TEXT COLLATE NOCASE CHECK (length(barcode) <= 255),
  lokasi TEXT COLLATE NOCASE
);

CREATE TABLE Tblukuran (
  idfont TEXT COLLATE NOCASE CHECK (length(idfont) <= 255),
  "textheader(0)fontName" TEXT COLLATE NOCASE CHECK (length("textheader(0)fontName") <= 255),
  "textheader(0)fontSize" NUMERIC,
  "textheader(0)fontBold" YESNO,
  "textheader(0)fontColor" INTEGER,
  "textheader(0)fontUnderline" YESNO,
  "textheader(0)fontItalic" YESNO,
  "textheader(1)fontName" TEXT COLLATE NOCASE CHECK (length("textheader(1)fontName") <= 255),
  "textheader(1)fontSize" NUMERIC,
  "textheader(1)fontBold" YESNO,
  "textheader(1)fontColor" INTEGER,
  "textheader(1)fontUnderline" YESNO,
  "textheader(1)fontItalic" YESNO,
  "textheader(2)fontName" TEXT COLLATE NOCASE CHECK (length("textheader(2)fontName") <= 255),
  "textheader(2)fontSize" NUMERIC,
  "textheader(2)fontBold" YESNO,
  "textheader(2)fontColor" INTEGER,
  "textheader(2)fontUnderline" YESNO,
  "textheader(2)fontItalic" YESNO,
  "textheader(3)fontName" TEXT COLLATE NOCASE CHECK (length("textheader(3)fontName") <= 255),
  "textheader(3)fontSize" NUMERIC,
  "textheader(3)fontBold" YESNO,
  "textheader(3)fontColor" INTEGER,
  "textheader(3)fontUnderline" YESNO,
  "textheader(3)fontItalic" YESNO,
  "textheader(4)fontName" TEXT COLLATE NOCASE CHECK (length("textheader(4)fontName") <= 255),
  "textheader(4)fontSize" NUMERIC,
  "textheader(4)fontBold" YESNO,
  "textheader(4)fontColor" INTEGER,
  "textheader(4)fontUnderline" YESNO,
  "textheader(4)fontItalic" YESNO,
  "textheader(5)fontName" TEXT COLLATE NOCASE CHECK (length("textheader(5)fontName") <= 255),
  "textheader(5)fontSize" NUMERIC,
  "textheader(5)fontBold" YESNO,
  "textheader(5)fontColor" INTEGER,
  "textheader(5)fontUnderline" YESNO,
  "textheader(5)fontItalic" YESNO
);

CREATE TABLE tlabel (
  idlabel TEXT COLLATE NOCASE CHECK (length(idlabel) <= 255),
  "Label21(0)" TEXT COLLATE NOCASE CHECK (length("Label21(0)") <= 255),
  "Label21(1)" TEXT COLLATE NOCASE CHECK (length("Label21(1)") <= 255),
  "Label21(2)" TEXT COLLATE NOCASE CHECK (length("Label21(2)") <= 255),
  "Label21(3)" TEXT COLLATE NOCASE CHECK (length("Label21(3)") <= 255),
  "Label21(4)" TEXT COLLATE NOCASE CHECK (length("Label21(4)") <= 255),
  "Label21(5)" TEXT COLLATE NOCASE CHECK (length("Label21(5)") <= 255),
  "Label21(6)" TEXT COLLATE NOCASE CHECK (length("Label21(6)") <= 255),
  "check21(0)" YESNO,
  "check21(1)" YESNO,
  "check21(2)" YESNO,
  "check21(3)" YESNO,
  "check21(4)" YESNO,
  "check21(5)" YESNO,
  "check21(6)" YESNO
);

-- The print selection: numeric, so quoted digits become numbers and join with tblanggota.id.
CREATE TABLE tbltemp (
  id INTEGER
);

CREATE TABLE tbl_ctrl (
  ID INTEGER PRIMARY KEY AUTOINCREMENT,
  ctrl_name TEXT COLLATE NOCASE CHECK (length(ctrl_name) <= 255),
  ctrl_caption TEXT COLLATE NOCASE CHECK (length(ctrl_caption) <= 255),
  ctrl_left NUMERIC,
  ctrl_top NUMERIC,
  ctrl_width NUMERIC,
  ctrl_height NUMERIC,
  ctrl_visible YESNO,
  ctrl_font_name TEXT COLLATE NOCASE CHECK (length(ctrl_font_name) <= 255),
  ctrl_font_size NUMERIC,
  ctrl_font_bold YESNO,
  ctrl_font_italic YESNO,
  ctrl_font_color INTEGER,
  ctrl_jenis TEXT COLLATE NOCASE CHECK (length(ctrl_jenis) <= 255),
  ctrl_desain TEXT COLLATE NOCASE CHECK (length(ctrl_desain) <= 255)
);
