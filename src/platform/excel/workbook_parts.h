#pragma once
// What the .xlsx and .xls readers share inside the excel layer.
#include <string>
#include <string_view>

#include "workbook.h"

typedef struct zip_source zip_source_t;

namespace excel::detail {

// The messages the readers give; each names what the user can do about it.
extern const char* const kCorrupt;
extern const char* const kEncrypted;
extern const char* const kTooLarge;
extern const char* const kNotWorkbook;

// Reads an .xlsx from `src` (takes it over, even on failure).
std::string readXlsx(zip_source_t* src, Workbook* out, const Limits& limits);
std::string readXls(const std::string& path, Workbook* out, const Limits& limits);
// True when the OLE compound file at `path` holds an encrypted package (a password-protected
// .xlsx is stored that way).
bool holdsEncryptedPackage(const std::string& path);

// Replaces every byte sequence that is not UTF-8 by U+FFFD, so every text the layer hands
// out is valid.
void makeUtf8(std::string& s);
// Orders the cells by position; of two cells at one position the later one stays.
void orderCells(std::vector<Cell>& cells);
void appendUtf8(std::string& out, char32_t u);
// A date serial number as ISO 8601 text; false when it lies outside years 1..9999.
bool serialToIso(double serial, bool date1904, std::string* iso);
// Whether a number format shows a date or time: a built-in format by its id, a custom one by
// its code (outside quoted texts, escaped characters and [colour]/[$locale] brackets it holds
// a day, month, year, hour or second code).
bool isBuiltinDate(std::uint32_t id);
bool isDateFormat(const char* code);
// Reads the workbook stream of an Excel 97 (BIFF8) .xls.
std::string readBiff8(std::string_view workbookStream, Workbook* out, const Limits& limits);


// An OLE compound file held in memory: its streams by name, each read through checked
// sector chains.
class CompoundFile {
 public:
  explicit CompoundFile(std::string bytes);
  bool valid() const { return valid_; }
  bool has(const std::string& name) const;
  // The stream's bytes; "" when it is missing or its chain is damaged.
  std::string stream(const std::string& name) const;

 private:
  struct Entry {
    std::string name;
    unsigned type = 0;
    std::uint32_t start = 0, size = 0;
  };
  size_t offset(std::uint32_t sector) const { return (size_t(sector) + 1) * sector_; }
  std::string chain(std::uint32_t first, size_t size) const;
  std::string miniStream(std::uint32_t first, size_t size) const;
  std::string b_;
  size_t sector_ = 512, sectors_ = 0;
  std::vector<std::uint32_t> fat_;
  Entry root_;
  std::vector<Entry> streams_;
  bool valid_ = false;
};

}  // namespace excel::detail
