-- Rows the program relies on and never inserts itself: the row '2' of the card texts, the
-- header fonts and the field captions. No members, classes or design elements ship.

INSERT INTO tblsetting (idtext, "textheader(0)", "textheader(1)", "textheader(2)", "textheader(3)",
  KARTU, "textheader(5)", "textfooter(0)", "textfooter(1)", "textfooter(2)", "textfooter(3)",
  "textfooter(4)", textjudul, textisi, textbawah, barcode, lokasi)
VALUES ('2', 'PEMERINTAH KABUPATEN CONTOH', 'DINAS PENDIDIKAN', 'SMA NEGERI 1 CONTOH',
  'Jl. Pendidikan No. 1, Contoh, Telp. (0123) 456789', 'KARTU PELAJAR', '',
  'Kepala Sekolah,', '', 'Nama Kepala Sekolah', 'NIP. -', '',
  'KARTU PELAJAR',
  'Kartu ini berlaku selama pemegang masih tercatat sebagai siswa. Bila menemukan kartu ini, mohon dikembalikan ke alamat sekolah.',
  'Kartu ini milik sekolah dan tidak dapat dipindahtangankan', 'Code 128', '');

INSERT INTO Tblukuran (idfont,
  "textheader(0)fontName", "textheader(0)fontSize", "textheader(0)fontBold", "textheader(0)fontColor", "textheader(0)fontUnderline", "textheader(0)fontItalic",
  "textheader(1)fontName", "textheader(1)fontSize", "textheader(1)fontBold", "textheader(1)fontColor", "textheader(1)fontUnderline", "textheader(1)fontItalic",
  "textheader(2)fontName", "textheader(2)fontSize", "textheader(2)fontBold", "textheader(2)fontColor", "textheader(2)fontUnderline", "textheader(2)fontItalic",
  "textheader(3)fontName", "textheader(3)fontSize", "textheader(3)fontBold", "textheader(3)fontColor", "textheader(3)fontUnderline", "textheader(3)fontItalic",
  "textheader(4)fontName", "textheader(4)fontSize", "textheader(4)fontBold", "textheader(4)fontColor", "textheader(4)fontUnderline", "textheader(4)fontItalic",
  "textheader(5)fontName", "textheader(5)fontSize", "textheader(5)fontBold", "textheader(5)fontColor", "textheader(5)fontUnderline", "textheader(5)fontItalic")
VALUES ('2',
  'Arial', 9, 1, 0, 0, 0,
  'Arial', 9, 1, 0, 0, 0,
  'Arial', 11, 1, 0, 0, 0,
  'Arial', 7, 0, 0, 0, 1,
  'Arial', 8, 1, 0, 0, 0,
  'Arial', 8, 0, 0, 0, 0);

INSERT INTO tlabel (idlabel, "Label21(0)", "Label21(1)", "Label21(2)", "Label21(3)", "Label21(4)",
  "Label21(5)", "Label21(6)", "check21(0)", "check21(1)", "check21(2)", "check21(3)", "check21(4)",
  "check21(5)", "check21(6)")
VALUES ('2', 'NIS', 'NISN', 'Nama', 'Tempat, Tgl. Lahir', 'Agama', 'Jenis Kelamin', 'Kelas',
  1, 1, 1, 1, 1, 1, 1);
