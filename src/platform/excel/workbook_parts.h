#pragma once
// What the .xlsx and .xls readers share inside the excel layer.
#include <string>

#include "workbook.h"

typedef struct zip_source zip_source_t;

namespace excel::detail {

// The messages the readers give; each names what the user can do about it.
extern const char* const kCorrupt;
extern const char* const kEncrypted;
extern const char* const kTooLarge;

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
// Whether a number format shows a date or time: a built-in format by its id, a custom one by
// its code (outside quoted texts, escaped characters and [colour]/[$locale] brackets it holds
// a day, month, year, hour or second code).
bool isBuiltinDate(std::uint32_t id);
bool isDateFormat(const char* code);
// Adds to an .xls that freexl has read the cells it leaves out: booleans, error values and
// the values formulas held when the file was saved.
void addBiffCells(const std::string& path, Workbook* book, const Limits& limits);
// A date serial number as ISO 8601 text; false when it lies outside years 1..9999.
bool serialToIso(double serial, bool date1904, std::string* iso);

}  // namespace excel::detail
