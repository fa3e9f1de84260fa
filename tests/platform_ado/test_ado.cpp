// The ADO stand-in against real SQLCipher files: a copy of the seed database in a fresh
// temporary folder for every test.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ado.h"
#include "jet.h"
#include "vb.h"

namespace {

const QString kPassword = QStringLiteral("718403");

QByteArray fileHash(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

template <class F>
long errorOf(F&& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return e.number;
  }
  return 0;
}

class AdoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("database")));
    dbPath = dir.filePath(QStringLiteral("database/database.mdb"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LENTAVO_SEED_DB), dbPath));
    QFile::setPermissions(dbPath, QFile::ReadOwner | QFile::WriteOwner);
  }

  void open(ado::Connection& c, const QString& path, const QString& password) {
    c.Provider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
    c.ConnectionString = QStringLiteral("Data Source=") + path;
    c.setProperty(QStringLiteral("Jet OLEDB:Database Password"), password);
    c.Open();
  }
  void openConn() { open(conn, dbPath, kPassword); }

  // Adds a member through an editable recordset, as the entry window does; returns its id.
  qlonglong addMember(const QString& nis, const QString& nama, const QString& kelas) {
    ado::Recordset rs;
    rs.CursorLocation = ado::adUseClient;
    rs.CursorType = ado::adOpenDynamic;
    rs.LockType = ado::adLockOptimistic;
    rs.Open(QStringLiteral("Select * From tblanggota where id = 0"), conn);
    EXPECT_TRUE(rs.EOF_());
    rs.AddNew();
    rs.setField(QStringLiteral("nis"), nis);
    rs.setField(QStringLiteral("nisn"), QStringLiteral("00") + nis);
    rs.setField(QStringLiteral("nama"), nama);
    rs.setField(QStringLiteral("kelas"), kelas);
    rs.Update();
    const qlonglong id = rs.field(QStringLiteral("id")).toLongLong();
    rs.Close();
    return id;
  }

  long count(const QString& sql) {
    ado::Recordset rs;
    rs.Open(sql, conn);
    return rs.RecordCount();
  }

  QTemporaryDir dir;
  QString dbPath;
  ado::Connection conn;
};

// ------------------------------------------------------------------ opening

TEST_F(AdoTest, OpensWithThePasswordAndEitherPathSeparator) {
  openConn();
  EXPECT_TRUE(conn.isOpen());
  EXPECT_EQ(conn.dataSource(), dbPath);
  conn.Close();
  EXPECT_FALSE(conn.isOpen());

  QString windowsStyle = dbPath;
  windowsStyle.replace(u'/', u'\\');
  open(conn, windowsStyle, kPassword);
  EXPECT_EQ(conn.dataSource(), dbPath);
  EXPECT_EQ(errorOf([&] { conn.Open(); }), 3705);  // already open
}

TEST_F(AdoTest, WrongOrMissingPasswordFailsAtOpenAndLeavesTheFileAlone) {
  const QByteArray before = fileHash(dbPath);
  for (const QString& pw : {QStringLiteral("718404"), QString(), QStringLiteral("'; DROP TABLE tlabel; --")}) {
    ado::Connection c;
    EXPECT_EQ(errorOf([&] { open(c, dbPath, pw); }), -2147467259) << pw.toStdString();
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(errorOf([&] { c.Execute(QStringLiteral("delete * from tbltemp")); }), 3704);
  }
  EXPECT_EQ(fileHash(dbPath), before);
  openConn();  // the right key still opens it
  EXPECT_EQ(count(QStringLiteral("select * from tlabel")), 1);
}

TEST_F(AdoTest, MissingFileOrFolderThrowsAndCreatesNothing) {
  const QStringList entriesBefore = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
  const QString missing = dir.filePath(QStringLiteral("missing.mdb"));
  const QString inMissingFolder = dir.filePath(QStringLiteral("nofolder/database.mdb"));
  for (const QString& path : {missing, inMissingFolder, dir.path(), QString()}) {
    ado::Connection c;
    EXPECT_EQ(errorOf([&] { open(c, path, kPassword); }), -2147467259) << path.toStdString();
    EXPECT_FALSE(c.isOpen());
  }
  EXPECT_FALSE(QFile::exists(missing));
  EXPECT_FALSE(QFile::exists(inMissingFolder));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entriesBefore);
}

TEST_F(AdoTest, FileThatIsNoDatabaseThrowsAndStaysAsItWas) {
  const QString text = dir.filePath(QStringLiteral("notes.mdb"));
  const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
  {
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (int i = 0; i < 500; ++i) f.write("this is not a database\n");
    QFile e(empty);
    ASSERT_TRUE(e.open(QIODevice::WriteOnly));
  }
  const QByteArray before = fileHash(text);
  for (const QString& path : {text, empty}) {
    ado::Connection c;
    EXPECT_EQ(errorOf([&] { open(c, path, kPassword); }), -2147467259) << path.toStdString();
  }
  EXPECT_EQ(fileHash(text), before);
  EXPECT_EQ(QFileInfo(empty).size(), 0);
}

// ------------------------------------------------------------------ schema and seed

TEST_F(AdoTest, ShippedDatabaseHoldsTheSettingsRowsAndNoMembers) {
  openConn();
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota")), 0);
  EXPECT_EQ(count(QStringLiteral("select * from t_kelas")), 0);
  EXPECT_EQ(count(QStringLiteral("select * from tbl_ctrl")), 0);

  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tlabel where idlabel = '2'"), conn);
  ASSERT_FALSE(rs.EOF_());
  EXPECT_EQ(rs.field(QStringLiteral("label21(0)")).toString(), QStringLiteral("NIS"));
  EXPECT_EQ(rs.field(QStringLiteral("Label21(3)")).toString(), QStringLiteral("Tempat, Tgl. Lahir"));
  EXPECT_EQ(rs.field(QStringLiteral("Label21(6)")).toString(), QStringLiteral("Kelas"));
  for (int i = 0; i < 7; ++i) {
    const QVariant v = rs.field(QStringLiteral("check21(%1)").arg(i));
    EXPECT_EQ(v.typeId(), QMetaType::Bool);
    EXPECT_TRUE(v.toBool());
  }
  rs.Close();

  rs.Open(QStringLiteral("Select * From Tblsetting where idtext= '2'"), conn);
  ASSERT_FALSE(rs.EOF_());
  EXPECT_EQ(rs.field(QStringLiteral("Barcode")).toString(), QStringLiteral("Code 128"));
  EXPECT_EQ(rs.field(QStringLiteral("textjudul")).toString(), QStringLiteral("KARTU PELAJAR"));
  rs.Close();

  rs.Open(QStringLiteral("Select * From Tblukuran where idfont = '2'"), conn);
  ASSERT_FALSE(rs.EOF_());
  EXPECT_EQ(rs.fieldCount(), 37);
  EXPECT_EQ(rs.fieldName(1), QStringLiteral("textheader(0)fontName"));
  EXPECT_EQ(rs.fieldName(36), QStringLiteral("textheader(5)fontItalic"));
  EXPECT_FALSE(rs.field(QStringLiteral("textheader(0)fontName")).toString().isEmpty());
  EXPECT_GT(rs.field(QStringLiteral("textheader(0)fontSize")).toDouble(), 0);
  EXPECT_EQ(rs.field(QStringLiteral("textheader(0)fontBold")).typeId(), QMetaType::Bool);
}

TEST_F(AdoTest, ColumnsStandWhereTheReadersByPositionExpectThem) {
  openConn();
  addMember(QStringLiteral("12"), QStringLiteral("Budi"), QStringLiteral("X-1"));
  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tblanggota"), conn, ado::adOpenForwardOnly, ado::adLockReadOnly);
  ASSERT_EQ(rs.fieldCount(), 9);
  const QStringList expected = {"id", "nis", "nisn", "nama", "ttl", "agama", "kelamin", "barcode", "kelas"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(rs.fieldName(i), expected[i]);
  EXPECT_EQ(rs.field(1).toString(), QStringLiteral("12"));
  EXPECT_EQ(rs.field(8).toString(), QStringLiteral("X-1"));
  EXPECT_EQ(rs.field(0).typeId(), QMetaType::LongLong);
  EXPECT_TRUE(rs.field(QStringLiteral("barcode")).isNull());
  rs.Close();

  conn.Execute(QStringLiteral("Insert Into T_kelas (kelas) values ('X-1')"));
  rs.Open(QStringLiteral("select * from t_kelas"), conn);
  EXPECT_EQ(rs.fieldName(1), QStringLiteral("kelas"));
  EXPECT_EQ(rs.field(1).toString(), QStringLiteral("X-1"));
}

TEST_F(AdoTest, YesNoColumnsReadBackAsBooleans) {
  openConn();
  conn.Execute(
      QStringLiteral("update tlabel set [check21(0)] = 1, [check21(1)] = 0, [check21(2)] = -1 "
                     "where idlabel = '2'"));
  ado::Recordset rs;
  rs.Open(QStringLiteral("Select * From Tlabel where idlabel= '2'"), conn);
  EXPECT_EQ(rs.field(QStringLiteral("check21(0)")), QVariant(true));
  EXPECT_EQ(rs.field(QStringLiteral("check21(1)")), QVariant(false));
  EXPECT_EQ(rs.field(QStringLiteral("check21(2)")), QVariant(true));
  rs.Close();

  // Through a recordset, as the caption window stores its check boxes (0 or 1).
  rs.Open(QStringLiteral("select * from tlabel where idlabel = '2'"), conn, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.setField(QStringLiteral("check21(3)"), 0);
  rs.setField(QStringLiteral("check21(4)"), 1);
  rs.setField(QStringLiteral("check21(5)"), QStringLiteral("False"));
  rs.Update();
  EXPECT_EQ(rs.field(QStringLiteral("check21(3)")), QVariant(false));
  EXPECT_EQ(rs.field(QStringLiteral("check21(4)")), QVariant(true));
  EXPECT_EQ(rs.field(QStringLiteral("check21(5)")), QVariant(false));
}

// ------------------------------------------------------------------ statements as the windows write them

TEST_F(AdoTest, DeleteStarFromAndBracketedNames) {
  openConn();
  for (const char* k : {"x", "X-2", "y"})
    conn.Execute(QStringLiteral("Insert Into T_kelas (kelas) values ('%1')").arg(k));
  EXPECT_EQ(conn.Execute(QStringLiteral("DELETE * FROM [t_kelas] WHERE [kelas]='x'")), 1);
  EXPECT_EQ(count(QStringLiteral("select * from t_kelas")), 2);

  conn.Execute(QStringLiteral("insert into tbltemp(id) values ('1')"));
  conn.Execute(QStringLiteral("insert into tbltemp(id) values ('2')"));
  EXPECT_EQ(conn.Execute(QStringLiteral("delete   *   from tbltemp")), 2);
  EXPECT_EQ(count(QStringLiteral("select * from tbltemp")), 0);
}

TEST_F(AdoTest, NamesAndTextComparisonsIgnoreCase) {
  openConn();
  addMember(QStringLiteral("A1"), QStringLiteral("Citra"), QStringLiteral("ABC"));
  for (const char* t : {"tblanggota", "Tblanggota", "TblAnggota", "TBLANGGOTA"})
    EXPECT_EQ(count(QStringLiteral("Select * From %1 where kelas = 'abc'").arg(t)), 1) << t;
  EXPECT_EQ(count(QStringLiteral("Select * From Tblanggota where nis like '%a%'")), 1);

  for (const char* k : {"XI", "X", "x", "XII"})
    conn.Execute(QStringLiteral("Insert Into T_kelas (kelas) values ('%1')").arg(k));
  ado::Recordset rs;
  rs.Open(QStringLiteral("Select Distinct KELAS From t_KELAS order By 1"), conn);
  QStringList got;
  for (; !rs.EOF_(); rs.MoveNext()) got << rs.field(0).toString().toUpper();
  EXPECT_EQ(got, QStringList({"X", "XI", "XII"}));
}

TEST_F(AdoTest, PrintSelectionJoinsQuotedDigitsWithMemberIds) {
  openConn();
  const qlonglong zaki = addMember(QStringLiteral("1"), QStringLiteral("Zaki"), QStringLiteral("X"));
  const qlonglong ani = addMember(QStringLiteral("2"), QStringLiteral("Ani"), QStringLiteral("X"));
  addMember(QStringLiteral("3"), QStringLiteral("Not ticked"), QStringLiteral("X"));
  conn.Execute(QStringLiteral("delete * from tbltemp"));
  for (qlonglong id : {zaki, ani})
    conn.Execute(QStringLiteral("insert into tbltemp(id) values ('") + QString::number(id) + QStringLiteral("')"));

  ado::Recordset rs;
  rs.Open(QStringLiteral("select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id "
                         "order by nama"),
          conn);
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.field(QStringLiteral("idsiswa")), QVariant(QString::number(ani)));
  EXPECT_EQ(rs.field(QStringLiteral("nama")).toString(), QStringLiteral("Ani"));
  rs.MoveNext();
  EXPECT_EQ(rs.field(QStringLiteral("IDSISWA")), QVariant(QString::number(zaki)));
  rs.MoveNext();
  EXPECT_TRUE(rs.EOF_());
  rs.Close();

  rs.Open(QStringLiteral("select Cstr(id) as idsiswa,* from tblanggota where nis = '2'"), conn);
  EXPECT_EQ(rs.field(0), QVariant(QString::number(ani)));
  EXPECT_EQ(rs.field(QStringLiteral("nis")).toString(), QStringLiteral("2"));
  rs.Close();

  rs.Open(QStringLiteral("select Cstr(12), CStr(1.5), cstr(2.0), Cstr('a'), Cstr(NULL)"), conn);
  EXPECT_EQ(rs.field(0), QVariant(QStringLiteral("12")));
  EXPECT_EQ(rs.field(1), QVariant(QStringLiteral("1.5")));
  EXPECT_EQ(rs.field(2), QVariant(QStringLiteral("2")));
  EXPECT_EQ(rs.field(3), QVariant(QStringLiteral("a")));
  EXPECT_TRUE(rs.field(4).isNull());
}

TEST_F(AdoTest, QuotesInValuesNeverChangeAStatement) {
  openConn();
  addMember(QStringLiteral("1"), QStringLiteral("Keep me"), QStringLiteral("X"));
  const QString evil = QStringLiteral("x' OR '1'='1");
  EXPECT_EQ(conn.Execute(QStringLiteral("DELETE * FROM tblanggota WHERE nis='") + ado::q(evil) + QStringLiteral("'")),
            0);
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota")), 1);

  // Texts that look like the dialect stay exactly as written.
  const QStringList values = {QStringLiteral("O'Brien"),     QStringLiteral("DELETE * FROM x"),
                              QStringLiteral("[a]"),         QStringLiteral("select a into b from c"),
                              QStringLiteral("\"q\"; drop"), QStringLiteral("Zoë Ñúñez 日本")};
  for (const QString& v : values)
    conn.Execute(QStringLiteral("Insert Into T_kelas (kelas) values ('") + ado::q(v) + QStringLiteral("')"));
  for (const QString& v : values) {
    ado::Recordset rs;
    rs.Open(QStringLiteral("Select * From T_kelas where kelas='") + ado::q(v) + QStringLiteral("'"), conn);
    ASSERT_FALSE(rs.EOF_()) << v.toStdString();
    EXPECT_EQ(rs.field(QStringLiteral("kelas")).toString(), v);
  }

  // A second statement after the first is refused, not run and not silently dropped.
  EXPECT_NE(errorOf([&] { conn.Execute(QStringLiteral("delete * from tbltemp; delete * from tblanggota")); }), 0);
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota")), 1);
}

TEST_F(AdoTest, DialectRewriteLeavesQuotedTextAlone) {
  EXPECT_EQ(ado::jetToSqlite(QStringLiteral("DELETE * FROM [t_kelas] WHERE [kelas]='[x] DELETE * FROM y'")),
            QStringLiteral("DELETE FROM \"t_kelas\" WHERE \"kelas\"='[x] DELETE * FROM y'"));
  EXPECT_EQ(ado::jetToSqlite(QStringLiteral("Select distinct * into temp from TblAnggota ")),
            QStringLiteral("CREATE TABLE temp AS Select distinct * from TblAnggota "));
  EXPECT_EQ(ado::jetToSqlite(QStringLiteral("select nama from tblanggota where nama = 'it''s into x from'")),
            QStringLiteral("select nama from tblanggota where nama = 'it''s into x from'"));
  EXPECT_EQ(ado::jetToSqlite(QStringLiteral("insert into tbltemp(id) values ('1')")),
            QStringLiteral("insert into tbltemp(id) values ('1')"));
  EXPECT_EQ(ado::jetToSqlite(QStringLiteral("select * from \"a [b]\"")), QStringLiteral("select * from \"a [b]\""));
}

TEST_F(AdoTest, SelectIntoMakesATableAndLeavesTheRecordsetClosed) {
  openConn();
  addMember(QStringLiteral("1"), QStringLiteral("Dewi"), QStringLiteral("X"));
  addMember(QStringLiteral("2"), QStringLiteral("Eko"), QStringLiteral("X"));
  ado::Recordset rs;
  rs.Open(QStringLiteral("Select distinct * into temp from TblAnggota "), conn, ado::adOpenDynamic,
          ado::adLockOptimistic);
  EXPECT_FALSE(rs.isOpen());
  EXPECT_EQ(errorOf([&] { rs.EOF_(); }), 3704);
  EXPECT_EQ(count(QStringLiteral("select * from temp")), 2);
  // The make-table query again: its target exists, the provider's command error.
  EXPECT_EQ(errorOf([&] { rs.Open(QStringLiteral("Select distinct * into temp from TblAnggota "), conn); }),
            -2147217900);
}

// ------------------------------------------------------------------ reading a recordset

TEST_F(AdoTest, CursorAndFieldErrors) {
  openConn();
  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tblanggota"), conn);
  EXPECT_TRUE(rs.EOF_());
  EXPECT_TRUE(rs.BOF());
  EXPECT_EQ(rs.RecordCount(), 0);
  EXPECT_EQ(errorOf([&] { rs.field(QStringLiteral("nis")); }), 3021);
  EXPECT_EQ(errorOf([&] { rs.MoveNext(); }), 3021);
  EXPECT_EQ(errorOf([&] { rs.field(QStringLiteral("alamat")); }), 3265);
  EXPECT_EQ(errorOf([&] { rs.field(9); }), 3265);
  rs.Close();

  addMember(QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("X"));
  addMember(QStringLiteral("2"), QStringLiteral("B"), QStringLiteral("X"));
  rs.Open(QStringLiteral("select * from tblanggota order by nama"), conn);
  EXPECT_FALSE(rs.BOF());
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs(QStringLiteral("NAMA")).toString(), QStringLiteral("A"));
  rs.MoveNext();
  rs.MoveNext();
  EXPECT_TRUE(rs.EOF_());
  rs.MoveFirst();
  EXPECT_EQ(rs.field(3).toString(), QStringLiteral("A"));
  // A read-only recordset takes no changes.
  EXPECT_EQ(errorOf([&] { rs.setField(QStringLiteral("nama"), QStringLiteral("Z")); }), 3251);
  EXPECT_EQ(errorOf([&] { rs.AddNew(); }), 3251);
}

// ------------------------------------------------------------------ editable recordsets

TEST_F(AdoTest, AddNewGivesTheAutoNumberAndUpdateKeepsIt) {
  openConn();
  const qlonglong first = addMember(QStringLiteral("1"), QStringLiteral("Fajar"), QStringLiteral("X"));
  const qlonglong second = addMember(QStringLiteral("2"), QStringLiteral("Gita"), QStringLiteral("X"));
  EXPECT_GT(first, 0);
  EXPECT_GT(second, first);

  ado::Recordset rs;
  rs.Open(QStringLiteral("Select * From tblanggota where id = ") + QString::number(first), conn, ado::adOpenDynamic,
          ado::adLockOptimistic);
  ASSERT_FALSE(rs.EOF_());
  rs.setField(QStringLiteral("NAMA"), QStringLiteral("Fajar O'Neil"));
  rs.setField(QStringLiteral("barcode"), QVariant());
  rs.Update();
  EXPECT_EQ(rs.field(QStringLiteral("id")).toLongLong(), first);
  rs.Close();

  rs.Open(QStringLiteral("select * from tblanggota order by id"), conn);
  EXPECT_EQ(rs.field(QStringLiteral("id")).toLongLong(), first);
  EXPECT_EQ(rs.field(QStringLiteral("nama")).toString(), QStringLiteral("Fajar O'Neil"));
  rs.MoveNext();
  EXPECT_EQ(rs.field(QStringLiteral("nama")).toString(), QStringLiteral("Gita"));
  rs.Close();

  // Ids are never reused: photo and QR files are named by them.
  conn.Execute(QStringLiteral("DELETE * FROM tblanggota WHERE id =") + QString::number(second));
  EXPECT_GT(addMember(QStringLiteral("3"), QStringLiteral("Hadi"), QStringLiteral("X")), second);
}

TEST_F(AdoTest, RefusedUpdateThrowsAndStoresNothing) {
  openConn();
  const QString tooLong(256, u'n');
  ado::Recordset rs;
  rs.Open(QStringLiteral("Select * From tblanggota where id = 0"), conn, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.AddNew();
  rs.setField(QStringLiteral("nis"), QStringLiteral("1"));
  rs.setField(QStringLiteral("nama"), tooLong);
  EXPECT_EQ(errorOf([&] { rs.Update(); }), -2147467259);
  EXPECT_TRUE(rs.EOF_());
  rs.Close();
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota")), 0);

  // 255 characters fit; the same limit guards a change of an existing row.
  const qlonglong id = addMember(QStringLiteral("2"), QString(255, u'm'), QStringLiteral("X"));
  rs.Open(QStringLiteral("Select * From tblanggota where id = ") + QString::number(id), conn, ado::adOpenDynamic,
          ado::adLockOptimistic);
  rs.setField(QStringLiteral("nama"), tooLong);
  EXPECT_NE(errorOf([&] { rs.Update(); }), 0);
  EXPECT_EQ(rs.field(QStringLiteral("nama")).toString(), QString(255, u'm'));
  rs.Close();
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota where nama = '") + QString(255, u'm') + QStringLiteral("'")),
            1);
}

TEST_F(AdoTest, EditsReachOnlyTheirOwnRow) {
  openConn();
  for (const char* id : {"1", "2", "3"}) conn.Execute(QStringLiteral("insert into tbltemp(id) values ('%1')").arg(id));
  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tbltemp where id = 2"), conn, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.setField(QStringLiteral("id"), QStringLiteral("5"));  // text for a number column becomes a number
  rs.Update();
  EXPECT_EQ(rs.field(QStringLiteral("id")), QVariant(qlonglong(5)));
  rs.Close();
  // Still optimistic from the last open: the hidden row id must not shift "order by 1".
  rs.Open(QStringLiteral("select * from tbltemp order by 1"), conn);
  EXPECT_EQ(rs.fieldCount(), 1);
  QList<qlonglong> ids;
  for (; !rs.EOF_(); rs.MoveNext()) ids << rs.field(0).toLongLong();
  EXPECT_EQ(ids, QList<qlonglong>({1, 3, 5}));
  rs.Close();

  // Delete through the recordset removes its current row only.
  rs.Open(QStringLiteral("select * from tbltemp where id = 3"), conn, ado::adOpenDynamic, ado::adLockOptimistic);
  rs.Delete();
  EXPECT_EQ(errorOf([&] { rs.field(0); }), 3021);
  rs.Close();
  EXPECT_EQ(count(QStringLiteral("select * from tbltemp")), 2);

  // A join names no single row: it reads, but takes no changes.
  rs.Open(QStringLiteral("select a.id, b.nama from tbltemp a left join tblanggota b on a.id = b.id"), conn,
          ado::adOpenDynamic, ado::adLockOptimistic);
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(errorOf([&] { rs.AddNew(); }), 3251);
}

TEST_F(AdoTest, RowsKeepTheirOwnValuesThroughEditsDeletesAndRefusedRows) {
  openConn();
  for (const char* nis : {"1", "2", "3"})
    addMember(QString::fromLatin1(nis), QStringLiteral("N") + nis, QStringLiteral("X"));
  ado::Recordset rs;
  rs.Open(QStringLiteral("select * from tblanggota order by nis"), conn, ado::adOpenDynamic, ado::adLockOptimistic);
  const int nama = 3;
  ASSERT_EQ(rs.fieldName(nama), QStringLiteral("nama"));
  auto names = [&] {
    QStringList out;
    for (rs.MoveFirst(); !rs.EOF_(); rs.MoveNext()) out << rs.fieldRef(nama).toString();
    return out;
  };

  // A change to the middle row lands in that row only, in the recordset and the file.
  rs.MoveNext();
  rs.setField(QStringLiteral("nama"), QStringLiteral("Dua"));
  rs.Update();
  EXPECT_EQ(names(), QStringList({"N1", "Dua", "N3"}));
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota where nama = 'Dua' and nis = '2'")), 1);

  // The deleted row is skipped and no longer counted.
  rs.MoveFirst();
  rs.MoveNext();
  rs.Delete();
  EXPECT_EQ(errorOf([&] { rs.fieldRef(nama); }), 3021);
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(names(), QStringList({"N1", "N3"}));

  // A new row the database refuses goes away again; the cursor returns to where it was.
  rs.MoveFirst();
  rs.AddNew();
  rs.setField(QStringLiteral("nama"), QString(256, u'x'));
  EXPECT_NE(errorOf([&] { rs.Update(); }), 0);
  EXPECT_EQ(rs.field(nama).toString(), QStringLiteral("N1"));
  EXPECT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(names(), QStringList({"N1", "N3"}));

  // A new row that is stored joins the others with its AutoNumber.
  rs.AddNew();
  rs.setField(QStringLiteral("nama"), QStringLiteral("Empat"));
  rs.Update();
  EXPECT_GT(rs.field(QStringLiteral("id")).toLongLong(), 3);
  EXPECT_EQ(names(), QStringList({"N1", "N3", "Empat"}));
  EXPECT_EQ(errorOf([&] { rs.fieldRef(9); }), 3265);

  for (rs.MoveFirst(); !rs.EOF_(); rs.MoveFirst()) rs.Delete();
  EXPECT_TRUE(rs.BOF());
  EXPECT_EQ(rs.RecordCount(), 0);
  rs.Close();
  EXPECT_EQ(count(QStringLiteral("select * from tblanggota")), 0);
}

TEST_F(AdoTest, DesignerRowsKeepNumbersAndFlags) {
  openConn();
  ado::Recordset rs;
  rs.LockType = ado::adLockOptimistic;
  rs.Open(QStringLiteral("select * from tbl_ctrl where ctrl_name = 'NewLabel1' and ctrl_desain = 'Front'"), conn,
          ado::adOpenDynamic);
  ASSERT_TRUE(rs.EOF_());
  rs.AddNew();
  rs.setField(QStringLiteral("ctrl_name"), QStringLiteral("NewLabel1"));
  rs.setField(QStringLiteral("ctrl_caption"), QStringLiteral("Berlaku s/d 2026"));
  rs.setField(QStringLiteral("ctrl_left"), 120.5f);
  rs.setField(QStringLiteral("ctrl_top"), QStringLiteral("360"));
  rs.setField(QStringLiteral("ctrl_visible"), true);
  rs.setField(QStringLiteral("ctrl_font_bold"), false);
  rs.setField(QStringLiteral("ctrl_font_color"), 255);
  rs.setField(QStringLiteral("ctrl_jenis"), QStringLiteral("label"));
  rs.setField(QStringLiteral("ctrl_desain"), QStringLiteral("Front"));
  rs.Update();
  EXPECT_GT(rs.field(QStringLiteral("ID")).toLongLong(), 0);
  rs.Close();

  rs.Open(QStringLiteral("select MAx(ID) as nomer from tbl_ctrl where ctrl_jenis = 'label' and ctrl_desain = 'Front'"),
          conn);
  EXPECT_EQ(rs.field(QStringLiteral("nomer")).toLongLong(), 1);
  rs.Close();
  rs.Open(QStringLiteral("select * from tbl_ctrl"), conn);
  EXPECT_DOUBLE_EQ(rs.field(QStringLiteral("ctrl_left")).toDouble(), 120.5);
  EXPECT_EQ(rs.field(QStringLiteral("ctrl_top")), QVariant(qlonglong(360)));
  EXPECT_EQ(rs.field(QStringLiteral("ctrl_visible")), QVariant(true));
  EXPECT_EQ(rs.field(QStringLiteral("ctrl_font_bold")), QVariant(false));
  EXPECT_TRUE(rs.field(QStringLiteral("ctrl_font_italic")).isNull());
}

}  // namespace
