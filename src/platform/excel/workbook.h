#pragma once
// Reading workbooks (.xlsx and .xls) into plain cells. A workbook is untrusted input: every
// size is checked before it is used, and a corrupt, encrypted or oversized file is refused
// with a message that says why.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace excel {

// A cell's text: immutable UTF-8, shared by every copy, so the cells that show one shared
// string of a workbook hold one text between them. It reads like a std::string where one is
// asked for.
class Text {
 public:
  Text() noexcept = default;
  Text(std::string_view s);
  Text(const std::string& s) : Text(std::string_view(s)) {}
  Text(const char* s) : Text(std::string_view(s)) {}
  Text(const Text& o) noexcept : b_(o.b_) {
    if (b_) b_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  Text(Text&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
  Text& operator=(Text o) noexcept {
    std::swap(b_, o.b_);
    return *this;
  }
  ~Text() { release(); }

  const char* data() const noexcept { return b_ ? b_->chars() : ""; }
  const char* c_str() const noexcept { return data(); }
  std::size_t size() const noexcept { return b_ ? b_->size : 0; }
  bool empty() const noexcept { return !b_; }
  char operator[](std::size_t i) const noexcept { return data()[i]; }
  std::string_view view() const noexcept { return {data(), size()}; }
  std::string str() const { return std::string(view()); }
  operator std::string_view() const noexcept { return view(); }
  operator std::string() const { return str(); }
  friend bool operator==(const Text& a, std::string_view b) noexcept { return a.view() == b; }
  friend std::ostream& operator<<(std::ostream& os, const Text& t);

  // What a text of `size` bytes takes in memory, allocator overhead included.
  static std::size_t footprint(std::size_t size) noexcept;

 private:
  struct Block {
    std::atomic<std::uint32_t> refs;
    std::uint32_t size;
    char* chars() noexcept { return reinterpret_cast<char*>(this + 1); }
  };
  void release() noexcept;
  Block* b_ = nullptr;
};

struct Cell {
  enum class Type : char { String = 's', Number = 'n', Boolean = 'b', Error = 'e', Date = 'd' };
  std::uint32_t row = 0;  // 1-based
  std::uint32_t col = 0;  // 1-based
  Type type = Type::String;
  double number = 0;  // Number; Boolean as 0 or 1
  // String and Error: the text (UTF-8). Date: "YYYY-MM-DDTHH:MM:SS" (".mmm" when there are
  // milliseconds), or only the time "HH:MM:SS" for a time of day without a date.
  Text text;
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
  // What the cells and texts read from an .xlsx may keep in memory together (each cell, each
  // distinct text, the shared-string table, the names); with what the reading itself uses (a
  // few buffers, sort keys of 8 bytes a cell) a read stays under 256 MB.
  std::size_t maxKeptBytes = 192u << 20;
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
