#pragma once
// Reading workbooks (.xlsx and .xls) into plain cells. A workbook is untrusted input: every
// size is checked before it is used, and a corrupt, encrypted or oversized file is refused
// with a message that says why.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace excel {

struct Cell {
  enum class Type : char { String = 's', Number = 'n', Boolean = 'b', Error = 'e', Date = 'd' };
  std::uint32_t row = 0;  // 1-based
  std::uint32_t col = 0;  // 1-based
  Type type = Type::String;
  double number = 0;  // Number; Boolean as 0 or 1
  // String and Error: the text (UTF-8). Date: "YYYY-MM-DDTHH:MM:SS" (".mmm" when there are
  // milliseconds), or only the time "HH:MM:SS" for a time of day without a date.
  std::string text;
};

struct Sheet {
  std::string name;
  bool isWorksheet = true;  // false for chart and dialog sheets, which hold no cells
  std::vector<Cell> cells;  // non-empty cells, by row, then column; one per position
  // The cell at a position, nullptr when it is empty.
  const Cell* at(std::uint32_t row, std::uint32_t col) const;
};

struct Workbook {
  std::vector<Sheet> sheets;  // in the workbook's order
  // The first worksheet (what a preview reads), nullptr when there is none.
  const Sheet* firstWorksheet() const;
};

// What one workbook may cost. The defaults take any workbook a school keeps many times over
// and keep the memory a hostile one can claim to a few hundred megabytes.
struct Limits {
  std::size_t maxPartBytes = 64u << 20;    // one uncompressed part of an .xlsx
  std::size_t maxTotalBytes = 256u << 20;  // every part read together; the whole of an .xls
  std::size_t maxCells = 5'000'000;        // non-empty cells of all sheets
  std::size_t maxSheets = 10'000;
};

// Reads the workbook at `path`, .xlsx or .xls as its content says (not its name). Returns ""
// and fills `out`, or returns why the file cannot be read (Indonesian, for the user).
std::string readWorkbook(const std::string& path, Workbook* out, const Limits& limits = {});
// Reads an .xlsx held in memory.
std::string readXlsx(const void* data, std::size_t size, Workbook* out, const Limits& limits = {});

// "A1" for row 1, column 1.
std::string cellName(std::uint32_t row, std::uint32_t col);
// The shortest text that reads back as the same number ("12345", "0.1", "1e+21").
std::string numberJson(double v);
// The text a cell gives when a program turns its value into a string: numbers with at most
// 15 significant digits ("12345", "0.1", "1.23456789012346E+15"), "True"/"False", dates as
// "dd/mm/yyyy" with the time after them when there is one.
std::string cellText(const Cell& c);

}  // namespace excel
