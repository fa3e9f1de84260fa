#include "ado.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "jet.h"
#include "nocase.h"
#include "vb.h"

namespace ado {
namespace {

const QString kSource = QStringLiteral("Microsoft JET Database Engine");
// The generic provider failure and the "command failed" error of the Jet provider.
constexpr long kErrProvider = -2147467259;    // 0x80004005
constexpr long kErrCommand = -2147217900;     // 0x80040E14
constexpr long kErrRowMissing = -2147217864;  // 0x80040E38
constexpr long kErrMultiStep = -2147217887;   // 0x80040E21
constexpr long kErrNotFound = 3265;
constexpr long kErrNoCurrent = 3021;
constexpr long kErrNotUpdatable = 3251;
constexpr long kErrClosed = 3704;
constexpr long kErrIsOpen = 3705;
constexpr long kErrNoConnection = 3709;
constexpr long kErrNoTransaction = 3034;

// How long a statement waits for another connection's lock before it fails with "database
// is locked": short, so a keystroke under a lock never freezes typing.
constexpr int kBusyTimeoutMs = 250;
// Page cache limit of a connection (KiB). Every page read from the file is decrypted; a
// cache that holds the whole register keeps a refill from decrypting it all again. Pages
// take memory only when read, so a small register costs no more.
constexpr int kCacheKiB = 65536;

[[noreturn]] void raise(long number, const QString& description) { throw vb::VbError(number, kSource, description); }

[[noreturn]] void raiseDb(sqlite3* db, int rc) {
  const int ext = db ? sqlite3_extended_errcode(db) : rc;
  const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
  // Every CHECK of the schema is a length limit of a text column.
  if (ext == SQLITE_CONSTRAINT_CHECK)
    raise(kErrProvider, QStringLiteral("The field is too small to accept the amount of data you attempted to "
                                       "add. Try inserting or pasting less data."));
  raise((rc & 0xff) == SQLITE_ERROR ? kErrCommand : kErrProvider, msg);
}

[[noreturn]] void raiseClosed() {
  raise(kErrClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

struct Stmt {
  sqlite3_stmt* s = nullptr;
  Stmt() = default;
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;
  ~Stmt() { sqlite3_finalize(s); }
};

bool blankTail(const char* tail, const char* end) {
  for (; tail && tail < end; ++tail)
    if (*tail != ';' && !std::isspace(static_cast<unsigned char>(*tail))) return false;
  return true;
}

// Prepares exactly one statement; anything after it is refused rather than ignored, so a
// value that slipped past the quoting can never add a statement of its own. SQLite stops
// reading at a NUL character: what follows one is such a tail too, never silently dropped.
void prepareOne(sqlite3* db, const QString& sql, Stmt& st) {
  const QByteArray utf8 = sql.toUtf8();
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &st.s, &tail);
  if (rc != SQLITE_OK) raiseDb(db, rc);
  if (!st.s) raise(kErrCommand, QStringLiteral("Invalid SQL statement."));
  if (!blankTail(tail, utf8.constData() + utf8.size()))
    raise(kErrCommand, QStringLiteral("Characters found after end of SQL statement."));
}

void stepToEnd(sqlite3* db, Stmt& st) {
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) raiseDb(db, rc);
}

QString cstrOfDouble(double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return QString::number(static_cast<qlonglong>(d));
  QString s = QString::number(d, 'g', 15);
  s.replace(u'e', u'E');
  return s;
}

// Cstr(value): the value as text, whole numbers without a decimal part.
void cstrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      sqlite3_result_null(ctx);
      return;
    case SQLITE_INTEGER: {
      const QByteArray t = QByteArray::number(static_cast<qlonglong>(sqlite3_value_int64(v)));
      sqlite3_result_text(ctx, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
      return;
    }
    case SQLITE_FLOAT: {
      const QByteArray t = cstrOfDouble(sqlite3_value_double(v)).toUtf8();
      sqlite3_result_text(ctx, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
      return;
    }
    default: {
      const unsigned char* t = sqlite3_value_text(v);
      sqlite3_result_text(ctx, reinterpret_cast<const char*>(t), sqlite3_value_bytes(v), SQLITE_TRANSIENT);
      return;
    }
  }
}

std::string_view textOf(sqlite3_value* v) {
  const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return {t, static_cast<size_t>(sqlite3_value_bytes(v))};
}

// like(pattern, text [, escape]): what "text LIKE pattern [ESCAPE escape]" runs.
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // Null
  std::optional<char32_t> escape;
  if (argc == 3) {
    escape = nocase::singleCodePoint(textOf(argv[2]));
    if (!escape) {
      sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
      return;
    }
  }
  // Both texts are read before either view is used: reading one may not move the other.
  const std::string_view pattern = textOf(argv[0]);
  const std::string_view text = textOf(argv[1]);
  sqlite3_result_int(ctx, nocase::like(pattern, text, escape) ? 1 : 0);
}

int nocaseCollation(void*, int na, const void* a, int nb, const void* b) {
  return nocase::compare({static_cast<const char*>(a), static_cast<size_t>(na)},
                         {static_cast<const char*>(b), static_cast<size_t>(nb)});
}

bool isYesNoType(const char* decl) {
  if (!decl) return false;
  const QByteArray d = QByteArray(decl).trimmed().toUpper();
  return d == "YESNO" || d == "BOOLEAN" || d == "BIT";
}

QVariant readValue(sqlite3_stmt* st, int i, bool yesNo) {
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_NULL:
      return QVariant();
    case SQLITE_INTEGER: {
      const qlonglong n = sqlite3_column_int64(st, i);
      return yesNo ? QVariant(n != 0) : QVariant(n);
    }
    case SQLITE_FLOAT: {
      const double d = sqlite3_column_double(st, i);
      return yesNo ? QVariant(d != 0.0) : QVariant(d);
    }
    case SQLITE_BLOB: {
      const void* p = sqlite3_column_blob(st, i);
      return QByteArray(static_cast<const char*>(p), sqlite3_column_bytes(st, i));
    }
    default: {
      const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      QString s = QString::fromUtf8(p, sqlite3_column_bytes(st, i));
      if (yesNo) {
        if (s.compare(u"true", Qt::CaseInsensitive) == 0) return true;
        if (s.compare(u"false", Qt::CaseInsensitive) == 0) return false;
      }
      return QVariant(std::move(s));
    }
  }
}

// A Yes/No column takes what VB would coerce to a Boolean: numbers (non-zero is True)
// and the words True and False.
QVariant toYesNo(const QVariant& v) {
  if (v.isNull() || !v.isValid()) return QVariant();
  if (v.typeId() == QMetaType::QString) {
    const QString s = v.toString().trimmed();
    if (s.compare(u"true", Qt::CaseInsensitive) == 0) return true;
    if (s.compare(u"false", Qt::CaseInsensitive) == 0) return false;
    bool ok = false;
    const double d = s.toDouble(&ok);
    return ok ? QVariant(d != 0.0) : v;
  }
  bool ok = false;
  const double d = v.toDouble(&ok);
  return ok ? QVariant(d != 0.0) : v;
}

void bindValue(sqlite3* db, sqlite3_stmt* st, int idx, const QVariant& value) {
  int rc = SQLITE_OK;
  if (value.isNull() || !value.isValid()) {
    rc = sqlite3_bind_null(st, idx);
  } else {
    switch (value.typeId()) {
      case QMetaType::Bool:
        rc = sqlite3_bind_int(st, idx, value.toBool() ? 1 : 0);
        break;
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::Long:
      case QMetaType::LongLong:
      case QMetaType::Short:
      case QMetaType::UShort:
      case QMetaType::Char:
      case QMetaType::SChar:
      case QMetaType::UChar:
        rc = sqlite3_bind_int64(st, idx, value.toLongLong());
        break;
      case QMetaType::ULong:
      case QMetaType::ULongLong:
        rc = sqlite3_bind_int64(st, idx, static_cast<sqlite3_int64>(value.toULongLong()));
        break;
      case QMetaType::Double:
      case QMetaType::Float:
        rc = sqlite3_bind_double(st, idx, value.toDouble());
        break;
      case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        rc = sqlite3_bind_blob(st, idx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        break;
      }
      default: {
        const QByteArray t = value.toString().toUtf8();
        rc = sqlite3_bind_text(st, idx, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        break;
      }
    }
  }
  if (rc != SQLITE_OK) raiseDb(db, rc);
}

QString quoteName(const QString& name) {
  QString n = name;
  n.replace(u'"', QStringLiteral("\"\""));
  return u'"' + n + u'"';
}

// The file named by "Data Source=" in an ADO connection string; "\" counts as "/".
QString dataSourceOf(const QString& connectionString) {
  static const QRegularExpression key(QStringLiteral("(?:^|;)\\s*Data Source\\s*="),
                                      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = key.match(connectionString);
  if (!m.hasMatch()) return {};
  QString rest = connectionString.mid(m.capturedEnd());
  // The value ends where the next "Name=" pair starts.
  static const QRegularExpression next(QStringLiteral(";\\s*[A-Za-z][A-Za-z0-9 :]*="));
  const QRegularExpressionMatch n = next.match(rest);
  if (n.hasMatch()) rest.truncate(n.capturedStart());
  rest = rest.trimmed();
  if (rest.endsWith(u';')) rest.chop(1);
  if (rest.size() >= 2 && rest.startsWith(u'"') && rest.endsWith(u'"')) rest = rest.mid(1, rest.size() - 2);
  rest.replace(u'\\', u'/');
  return rest;
}

}  // namespace

QString q(const QString& value) {
  QString v = value;
  v.replace(u'\'', QStringLiteral("''"));
  return v;
}

// ---------------------------------------------------------------- Connection

struct Connection::Impl {
  sqlite3* db = nullptr;
  QString path;
  bool openFoundDamage = false;
  std::map<QString, QString> props;  // keys in lower case
};

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() { Close(); }

void Connection::setProperty(const QString& name, const QString& value) { d->props[name.toLower()] = value; }

QString Connection::property(const QString& name) const {
  const auto it = d->props.find(name.toLower());
  return it == d->props.end() ? QString() : it->second;
}

void Connection::Open() {
  if (d->db) raise(kErrIsOpen, QStringLiteral("Operation is not allowed when the object is open."));
  d->openFoundDamage = false;
  const QString path = dataSourceOf(ConnectionString);
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists() || !info.isFile())
    raise(kErrProvider, QStringLiteral("Could not find file '%1'.").arg(path));
  // SQLite takes an empty file for an empty database; it holds none of ours.
  if (info.size() == 0) raise(kErrProvider, QStringLiteral("Unrecognized database format '%1'.").arg(path));

  // SQLite keeps memory statistics under a global lock at every allocation; nothing here
  // reads them, and a sort of the whole register allocates once per row. Only possible
  // before SQLite starts, so the first connection of the program sets it.
  static const int memStatusOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)memStatusOff;
  sqlite3* db = nullptr;
  // Read-write without create: a missing file stays missing.
  int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
  auto fail = [&](long number, const QString& description) {
    sqlite3_close_v2(db);
    raise(number, description);
  };
  if (rc != SQLITE_OK) fail(kErrProvider, QStringLiteral("Could not find file '%1'.").arg(path));
  sqlite3_busy_timeout(db, kBusyTimeoutMs);

  const QString password = property(QStringLiteral("Jet OLEDB:Database Password"));
  if (!password.isEmpty()) {
    const QByteArray pragma = (QStringLiteral("PRAGMA key = '") + q(password) + u'\'').toUtf8();
    rc = sqlite3_exec(db, pragma.constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) fail(kErrProvider, QStringLiteral("Not a valid password."));
  }
  // The key is only tried at the first read.
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc == SQLITE_NOTADB)
    fail(kErrProvider, QStringLiteral("Not a valid password, or unrecognized database format '%1'.").arg(path));
  d->openFoundDamage = (rc & 0xff) == SQLITE_CORRUPT;
  if (rc != SQLITE_OK) fail(kErrProvider, QString::fromUtf8(sqlite3_errmsg(db)));

  // Function names are matched regardless of case: this serves Cstr and CStr alike.
  rc = sqlite3_create_function_v2(db, "Cstr", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, cstrFunction, nullptr,
                                  nullptr, nullptr);
  // SQLite's own LIKE and NOCASE fold ASCII letters only, and its LIKE backtracks without
  // bound. Replacing them by name keeps the schema's "COLLATE NOCASE" columns as they are.
  for (int args : {2, 3})
    if (rc == SQLITE_OK)
      rc = sqlite3_create_function_v2(db, "like", args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, likeFunction,
                                      nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, nocaseCollation, nullptr);
  if (rc == SQLITE_OK)
    rc = sqlite3_exec(db, QByteArray("PRAGMA cache_size = -" + QByteArray::number(kCacheKiB)).constData(), nullptr,
                      nullptr, nullptr);
  if (rc != SQLITE_OK) fail(kErrProvider, QString::fromUtf8(sqlite3_errmsg(db)));

  d->db = db;
  d->path = path;
}

void Connection::Close() {
  if (!d->db) return;
  sqlite3_close_v2(d->db);
  d->db = nullptr;
  d->path.clear();
}

bool Connection::isOpen() const { return d->db != nullptr; }

int Connection::Execute(const QString& sql) {
  if (!d->db) raiseClosed();
  Stmt st;
  prepareOne(d->db, jetToSqlite(sql), st);
  const int before = sqlite3_total_changes(d->db);
  stepToEnd(d->db, st);
  return sqlite3_total_changes(d->db) - before;
}

long Connection::BeginTrans() {
  if (!d->db) raiseClosed();
  if (!sqlite3_get_autocommit(d->db)) raise(kErrCommand, QStringLiteral("A transaction is already active."));
  const int rc = sqlite3_exec(d->db, "BEGIN", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) raiseDb(d->db, rc);
  return 1;
}

void Connection::CommitTrans() { endTransaction("COMMIT"); }

void Connection::RollbackTrans() { endTransaction("ROLLBACK"); }

void Connection::endTransaction(const char* statement) {
  if (!d->db) raiseClosed();
  if (sqlite3_get_autocommit(d->db))
    raise(kErrNoTransaction, QStringLiteral("You tried to commit or rollback a transaction without first beginning "
                                            "a transaction."));
  const int rc = sqlite3_exec(d->db, statement, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) raiseDb(d->db, rc);
}

QString Connection::dataSource() const { return d->path; }

sqlite3* Connection::handle() const { return d->db; }

bool Connection::lastOpenFoundDamage() const { return d->openFoundDamage; }

namespace {

// Column `col` of every row of `sql`, as text.
QStringList textColumn(sqlite3* db, const QString& sql, int col) {
  Stmt st;
  prepareOne(db, sql, st);
  QStringList out;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW)
    out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.s, col)));
  if (rc != SQLITE_DONE) raiseDb(db, rc);
  return out;
}

QString quotedName(const QString& name) { return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'; }

const QString kTablesInOrder = QStringLiteral(
    "select name from sqlite_master where type = 'table' and name not like 'sqlite%' order by rowid");

}  // namespace

Connection::Lock Connection::LockExclusive() {
  if (!d->db) raiseClosed();
  const int rc = sqlite3_exec(d->db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) & 0xff;
  if (rc == SQLITE_OK) return Lock::Held;
  return rc == SQLITE_BUSY || rc == SQLITE_LOCKED ? Lock::Busy : Lock::Failed;
}

void Connection::UnlockExclusive() {
  if (d->db && !sqlite3_get_autocommit(d->db)) sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Connection::UseRollbackJournal() {
  if (!d->db) raiseClosed();
  const int rc = sqlite3_exec(d->db, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) raiseDb(d->db, rc);
}

QStringList Connection::IntegrityCheck() {
  if (!d->db) raiseClosed();
  return textColumn(d->db, QStringLiteral("PRAGMA integrity_check"), 0);
}

QStringList Connection::TableNames() {
  if (!d->db) raiseClosed();
  return textColumn(d->db, kTablesInOrder, 0);
}

QStringList Connection::ColumnNames(const QString& table) {
  if (!d->db) raiseClosed();
  return textColumn(d->db, QStringLiteral("PRAGMA table_info(%1)").arg(quotedName(table)), 1);
}

std::vector<TableColumns> tablesOfScript(const QByteArray& script) {
  std::vector<TableColumns> out;
  sqlite3* db = nullptr;
  const bool ran = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                   sqlite3_exec(db, script.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
  if (ran) {
    try {
      for (const QString& t : textColumn(db, kTablesInOrder, 0))
        out.push_back({t, textColumn(db, QStringLiteral("PRAGMA table_info(%1)").arg(quotedName(t)), 1)});
    } catch (const vb::VbError&) {
      out.clear();
    }
  }
  sqlite3_close_v2(db);
  return out;
}

// ---------------------------------------------------------------- Recordset

namespace {
struct Column {
  QString name;
  bool yesNo = false;
  QString origin;  // column of the base table; empty for a computed column
};
// What an editable recordset keeps beside each row's values.
struct RowMeta {
  sqlite3_int64 rowid = 0;
  bool deleted = false;
};
}  // namespace

struct Recordset::Impl {
  bool open = false;
  Connection* conn = nullptr;
  std::vector<Column> cols;
  // Every value of every row in one block, row after row (cols.size() values each): a
  // fill of thousands of rows costs one growing allocation instead of one per row, and a
  // QList grows by moving its QVariants as plain memory.
  QList<QVariant> cells;
  size_t rowCount = 0;
  // One entry per row for an editable recordset; empty for a read-only one, whose rows
  // carry no row id and are never deleted.
  std::vector<RowMeta> meta;
  size_t deletedCount = 0;
  size_t pos = 0;  // rowCount is EOF

  bool editable = false;
  QString table;

  // The edit in progress: a new row (AddNew) or changes to the current one.
  bool pending = false;
  bool pendingNew = false;
  size_t posBeforeAdd = 0;
  std::vector<bool> changed;
  std::vector<QVariant> original;

  void requireOpen() const {
    if (!open) raiseClosed();
  }
  bool atEof() const { return pos >= rowCount; }
  bool deleted(size_t row) const { return row < meta.size() && meta[row].deleted; }
  QVariant* rowValues(size_t row) { return cells.data() + row * cols.size(); }
  const QVariant* rowValues(size_t row) const { return cells.constData() + row * cols.size(); }
  void requireCurrent() const {
    requireOpen();
    if (atEof() || deleted(pos))
      raise(kErrNoCurrent, QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                                          "Requested operation requires a current record."));
  }
  void requireEditable() const {
    requireOpen();
    if (!editable)
      raise(kErrNotUpdatable, QStringLiteral("Current Recordset does not support updating. This may be a "
                                             "limitation of the provider, or of the selected locktype."));
  }
  sqlite3* db() const {
    sqlite3* h = conn ? conn->handle() : nullptr;
    if (!h)
      raise(kErrNoConnection, QStringLiteral("The connection cannot be used to perform this operation. It is "
                                             "either closed or invalid in this context."));
    return h;
  }
  int find(const QString& name) const {
    for (size_t i = 0; i < cols.size(); ++i)
      if (cols[i].name.compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    return -1;
  }
  void skipDeleted() {
    while (pos < rowCount && deleted(pos)) ++pos;
  }
  void cancelEdit() {
    if (!pending) return;
    if (pendingNew) {
      cells.resize(cells.size() - static_cast<qsizetype>(cols.size()));
      meta.pop_back();
      --rowCount;
      pos = posBeforeAdd;
    } else if (pos < rowCount) {
      std::copy(original.begin(), original.end(), rowValues(pos));
    }
    pending = false;
  }
  // Reads the stored row back, so the recordset shows what the database holds.
  void reread(size_t row) {
    QStringList names;
    std::vector<size_t> at;
    for (size_t i = 0; i < cols.size(); ++i)
      if (!cols[i].origin.isEmpty()) {
        names << quoteName(cols[i].origin);
        at.push_back(i);
      }
    if (names.isEmpty()) return;
    Stmt st;
    prepareOne(db(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(names.join(u','), quoteName(table)), st);
    sqlite3_bind_int64(st.s, 1, meta[row].rowid);
    const int rc = sqlite3_step(st.s);
    if (rc == SQLITE_ROW) {
      QVariant* values = rowValues(row);
      for (size_t k = 0; k < at.size(); ++k) values[at[k]] = readValue(st.s, static_cast<int>(k), cols[at[k]].yesNo);
    } else if (rc != SQLITE_DONE) {
      raiseDb(db(), rc);
    }
  }
};

Recordset::Recordset() : d(std::make_unique<Impl>()) {}

Recordset::~Recordset() = default;

void Recordset::Open(const QString& sql, Connection& conn, int cursorType, int lockType) {
  if (d->open) raise(kErrIsOpen, QStringLiteral("Operation is not allowed when the object is open."));
  if (cursorType != adOpenUnspecified) CursorType = cursorType;
  if (lockType != adLockUnspecified) LockType = lockType;
  d->conn = &conn;
  sqlite3* db = d->db();
  const QString text = jetToSqlite(sql);

  Stmt st;
  prepareOne(db, text, st);
  if (sqlite3_column_count(st.s) == 0) {
    // A statement without rows (a make-table query, say) runs and leaves the recordset closed.
    stepToEnd(db, st);
    return;
  }

  bool editable = false;
  QString table;
  if (LockType == adLockOptimistic || LockType == adLockPessimistic) {
    const QString withRowid = selectWithRowid(text);
    Stmt er;
    if (!withRowid.isEmpty() &&
        sqlite3_prepare_v2(db, withRowid.toUtf8().constData(), -1, &er.s, nullptr) == SQLITE_OK && er.s) {
      // Every column taken from a table must come from the same one.
      bool one = true;
      for (int i = 0; i + 1 < sqlite3_column_count(er.s); ++i) {
        const char* t = sqlite3_column_table_name(er.s, i);
        if (!t) continue;
        const QString name = QString::fromUtf8(t);
        if (table.isEmpty())
          table = name;
        else if (table.compare(name, Qt::CaseInsensitive) != 0)
          one = false;
      }
      if (one && !table.isEmpty()) {
        std::swap(st.s, er.s);
        editable = true;
      }
    }
  }

  std::vector<Column> cols;
  // An editable recordset carries the row id as a last, hidden column.
  const int n = sqlite3_column_count(st.s) - (editable ? 1 : 0);
  for (int i = 0; i < n; ++i) {
    Column c;
    c.name = QString::fromUtf8(sqlite3_column_name(st.s, i));
    c.yesNo = isYesNoType(sqlite3_column_decltype(st.s, i));
    if (editable && sqlite3_column_table_name(st.s, i))
      c.origin = QString::fromUtf8(sqlite3_column_origin_name(st.s, i));
    cols.push_back(c);
  }
  QList<QVariant> cells;
  std::vector<RowMeta> meta;
  size_t rowCount = 0;
  int rc;
  while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
    if (editable) meta.push_back(RowMeta{sqlite3_column_int64(st.s, n), false});
    for (int i = 0; i < n; ++i) cells.emplace_back(readValue(st.s, i, cols[static_cast<size_t>(i)].yesNo));
    ++rowCount;
  }
  if (rc != SQLITE_DONE) raiseDb(db, rc);

  d->cols = std::move(cols);
  d->cells = std::move(cells);
  d->meta = std::move(meta);
  d->rowCount = rowCount;
  d->deletedCount = 0;
  d->pos = 0;
  d->editable = editable;
  d->table = table;
  d->pending = false;
  d->open = true;
}

void Recordset::Close() {
  // An edit never stored is dropped, as closing the window drops it.
  d->open = false;
  d->pending = false;
  d->cols.clear();
  d->cells.clear();
  d->meta.clear();
  d->rowCount = 0;
  d->deletedCount = 0;
  d->pos = 0;
  d->editable = false;
  d->table.clear();
}

bool Recordset::isOpen() const { return d->open; }

bool Recordset::EOF_() const {
  d->requireOpen();
  return d->atEof();
}

bool Recordset::BOF() const {
  d->requireOpen();
  return d->rowCount == d->deletedCount;
}

void Recordset::MoveNext() {
  d->requireOpen();
  if (d->atEof()) d->requireCurrent();
  if (d->pending) Update();
  ++d->pos;
  d->skipDeleted();
}

void Recordset::MoveFirst() {
  d->requireOpen();
  if (d->pending) Update();
  d->pos = 0;
  d->skipDeleted();
}

long Recordset::RecordCount() const {
  d->requireOpen();
  return static_cast<long>(d->rowCount - d->deletedCount);
}

int Recordset::fieldCount() const { return d->open ? static_cast<int>(d->cols.size()) : 0; }

QString Recordset::fieldName(int pos) const {
  d->requireOpen();
  if (pos < 0 || pos >= static_cast<int>(d->cols.size()))
    raise(kErrNotFound, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                       "name or ordinal."));
  return d->cols[static_cast<size_t>(pos)].name;
}

QVariant Recordset::field(const QString& name) const {
  d->requireOpen();
  const int i = d->find(name);
  if (i < 0)
    raise(kErrNotFound, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                       "name or ordinal."));
  return field(i);
}

QVariant Recordset::field(int pos) const { return fieldRef(pos); }

const QVariant& Recordset::fieldRef(int pos) const {
  const Impl& r = *d;
  r.requireOpen();
  if (pos < 0 || pos >= static_cast<int>(r.cols.size()))
    raise(kErrNotFound, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                       "name or ordinal."));
  r.requireCurrent();
  return r.rowValues(r.pos)[pos];
}

void Recordset::AddNew() {
  d->requireEditable();
  if (d->pending) Update();
  d->posBeforeAdd = d->pos;
  d->cells.resize(d->cells.size() + static_cast<qsizetype>(d->cols.size()));
  d->meta.push_back(RowMeta{});
  d->pos = d->rowCount++;
  d->pending = true;
  d->pendingNew = true;
  d->changed.assign(d->cols.size(), false);
  d->original.clear();
}

void Recordset::setField(const QString& name, const QVariant& value) {
  d->requireOpen();
  const int i = d->find(name);
  if (i < 0)
    raise(kErrNotFound, QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                                       "name or ordinal."));
  d->requireEditable();
  d->requireCurrent();
  const Column& c = d->cols[static_cast<size_t>(i)];
  if (c.origin.isEmpty())
    raise(kErrMultiStep, QStringLiteral("Multiple-step operation generated errors. Check each status value."));
  if (!d->pending) {
    d->pending = true;
    d->pendingNew = false;
    d->changed.assign(d->cols.size(), false);
    const QVariant* values = d->rowValues(d->pos);
    d->original.assign(values, values + d->cols.size());
  }
  d->changed[static_cast<size_t>(i)] = true;
  d->rowValues(d->pos)[i] = c.yesNo ? toYesNo(value) : value;
}

void Recordset::Update() {
  d->requireOpen();
  if (!d->pending) return;
  sqlite3* db = d->db();
  const size_t row = d->pos;
  QStringList names;
  std::vector<QVariant> values;
  for (size_t i = 0; i < d->cols.size(); ++i)
    if (d->changed[i]) {
      names << quoteName(d->cols[i].origin);
      values.push_back(d->rowValues(row)[i]);
    }
  try {
    Stmt st;
    if (d->pendingNew) {
      QString sql;
      if (names.isEmpty()) {
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(d->table));
      } else {
        QStringList marks;
        for (qsizetype k = 0; k < names.size(); ++k) marks << QStringLiteral("?");
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoteName(d->table), names.join(u','), marks.join(u','));
      }
      prepareOne(db, sql, st);
    } else {
      if (names.isEmpty()) {
        d->pending = false;
        return;
      }
      QStringList sets;
      for (const QString& n : names) sets << n + QStringLiteral(" = ?");
      prepareOne(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quoteName(d->table), sets.join(u',')), st);
      bindValue(db, st.s, static_cast<int>(values.size()) + 1, QVariant::fromValue<qlonglong>(d->meta[row].rowid));
    }
    for (size_t k = 0; k < values.size(); ++k) bindValue(db, st.s, static_cast<int>(k) + 1, values[k]);
    stepToEnd(db, st);
    if (d->pendingNew) {
      d->meta[row].rowid = sqlite3_last_insert_rowid(db);
    } else if (sqlite3_changes(db) == 0) {
      raise(kErrRowMissing,
            QStringLiteral(
                "Row cannot be located for updating. Some values may have been changed since it was last read."));
    }
  } catch (...) {
    // The database refused the row: nothing was stored, and the recordset says so.
    d->cancelEdit();
    throw;
  }
  d->pending = false;
  d->reread(row);
}

void Recordset::Delete() {
  d->requireEditable();
  d->requireCurrent();
  if (d->pending && d->pendingNew) {
    d->cancelEdit();
    return;
  }
  d->cancelEdit();
  sqlite3* db = d->db();
  Stmt st;
  prepareOne(db, QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoteName(d->table)), st);
  sqlite3_bind_int64(st.s, 1, d->meta[d->pos].rowid);
  stepToEnd(db, st);
  d->meta[d->pos].deleted = true;
  ++d->deletedCount;
}

}  // namespace ado
