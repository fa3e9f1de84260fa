// lentavo_mkdb <schema.sql> <seed.sql> <out.mdb> <password>
// Makes a fresh keyed database from the schema and seed scripts. The file is built under a
// temporary name beside the target and renamed into place only when it is complete.
#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

bool readFile(const char* path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return !in.bad();
}

std::string quoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool exec(sqlite3* db, const std::string& sql, const char* what) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) == SQLITE_OK) return true;
  std::fprintf(stderr, "lentavo_mkdb: %s: %s\n", what, err ? err : sqlite3_errmsg(db));
  sqlite3_free(err);
  return false;
}

bool build(const fs::path& file, const std::string& schema, const std::string& seed, const std::string& password) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "lentavo_mkdb: cannot create %s: %s\n", file.c_str(), sqlite3_errmsg(db));
    sqlite3_close(db);
    return false;
  }
  // Keyed the same way the program opens it.
  bool ok = exec(db, "PRAGMA key = " + quoted(password), "key") && exec(db, "BEGIN", "begin") &&
            exec(db, schema, "schema") && exec(db, seed, "seed") && exec(db, "COMMIT", "commit") &&
            exec(db, "SELECT count(*) FROM tlabel", "check");
  if (sqlite3_close(db) != SQLITE_OK) {
    std::fprintf(stderr, "lentavo_mkdb: closing %s failed\n", file.c_str());
    ok = false;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: lentavo_mkdb <schema.sql> <seed.sql> <out.mdb> <password>\n");
    return 2;
  }
  std::string schema, seed;
  if (!readFile(argv[1], schema) || !readFile(argv[2], seed)) {
    std::fprintf(stderr, "lentavo_mkdb: cannot read %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  const fs::path out = argv[3];
  std::error_code ec;
  if (out.has_parent_path()) fs::create_directories(out.parent_path(), ec);
  fs::path tmp = out;
  tmp += ".tmp";
  fs::remove(tmp, ec);
  fs::remove(fs::path(tmp.string() + "-journal"), ec);

  if (!build(tmp, schema, seed, argv[4])) {
    fs::remove(tmp, ec);
    return 1;
  }
  fs::rename(tmp, out, ec);
  if (ec) {
    std::fprintf(stderr, "lentavo_mkdb: cannot rename to %s: %s\n", out.c_str(), ec.message().c_str());
    fs::remove(tmp, ec);
    return 1;
  }
  return 0;
}
