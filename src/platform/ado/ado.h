#pragma once
// A small ADO stand-in over SQLCipher. Statements are taken in the Jet dialect the
// windows write (see jet.h); recordsets hold their rows in memory like a client cursor.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

struct sqlite3;

namespace ado {

// Cursor and lock constants as the windows set them.
enum CursorLocation { adUseServer = 2, adUseClient = 3 };
enum CursorType {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3
};
enum LockType { adLockUnspecified = -1, adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };

// Doubles every single quote so a text value stays one value between quotes.
QString q(const QString& value);

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  QString Provider;          // kept for the report component; not interpreted
  QString ConnectionString;  // "Data Source=<file>"
  // Provider properties; "Jet OLEDB:Database Password" is the key of the database.
  void setProperty(const QString& name, const QString& value);
  QString property(const QString& name) const;

  // Opens the file named by ConnectionString with the password property. Never creates
  // a file; a missing file, a wrong key or a file that is not a database throws VbError.
  void Open();
  void Close();
  bool isOpen() const;
  // Runs one statement (Jet dialect) that returns no rows; returns the rows affected.
  int Execute(const QString& sql);
  // One transaction at a time: BeginTrans starts it (returns its level, 1), CommitTrans
  // stores its changes, RollbackTrans drops them. Closing the connection drops an open one.
  long BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  // Path of the open database file.
  QString dataSource() const;
  sqlite3* handle() const;

  // Whether the last Open failed on a file that is damaged (rather than missing, foreign or
  // keyed otherwise).
  bool lastOpenFoundDamage() const;

  // Takes the file's exclusive lock, held in a transaction of its own until UnlockExclusive
  // or Close: no other connection reads or writes the file meanwhile. Busy: another
  // connection holds a lock that the short busy wait did not outlast.
  enum class Lock { Held, Busy, Failed };
  Lock LockExclusive();
  void UnlockExclusive();

  // Leaves write-ahead logging, if the file uses it: the log's commits are written into the
  // file and the log removed, so the file alone holds every commit.
  void UseRollbackJournal();

  // Reads every page of every table and index: {"ok"}, or the problems found. Raises when
  // the check cannot run at all (a damaged file may stop it).
  QStringList IntegrityCheck();
  // The tables (SQLite's own left out) in the order they were made, and the columns of one
  // table in their order (empty when there is no such table; names regardless of case).
  QStringList TableNames();
  QStringList ColumnNames(const QString& table);

 private:
  void endTransaction(const char* statement);
  struct Impl;
  std::unique_ptr<Impl> d;
};

// The tables a schema script makes, in its order, each with its columns: the script runs on
// a private in-memory database. Empty when the script fails.
struct TableColumns {
  QString name;
  QStringList columns;
};
std::vector<TableColumns> tablesOfScript(const QByteArray& script);

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  int CursorLocation = adUseServer;
  int CursorType = adOpenForwardOnly;
  int LockType = adLockReadOnly;

  // Runs the statement and holds every row. A single-table select opened with an
  // optimistic lock can then be changed with AddNew/Update/Delete.
  void Open(const QString& sql, Connection& conn, int cursorType = adOpenUnspecified, int lockType = adLockUnspecified);
  void Close();
  bool isOpen() const;

  bool EOF_() const;  // EOF is a macro in <cstdio>
  bool BOF() const;
  void MoveNext();
  void MoveFirst();
  long RecordCount() const;

  int fieldCount() const;
  QString fieldName(int pos) const;
  // Field of the current row by name (regardless of case) or by position; Null is a
  // null QVariant, Yes/No columns read as bool. Throws VbError 3265 for an unknown name
  // and 3021 when there is no current row.
  QVariant field(const QString& name) const;
  QVariant field(int pos) const;
  QVariant operator()(const QString& name) const { return field(name); }
  // The current row's value at `pos` without a copy; valid until the recordset moves,
  // changes or closes. Throws as field(pos) does.
  const QVariant& fieldRef(int pos) const;

  // Editable recordsets: AddNew starts a new row; setField changes the current (or new)
  // row; Update stores it, after which the row holds the values the database gave it
  // (the AutoNumber key included). Delete removes the current row.
  void AddNew();
  void setField(const QString& name, const QVariant& value);
  void Update();
  void Delete();

 private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

}  // namespace ado
