// The .xls reader (BIFF in an OLE compound file), over freexl.
#include <freexl.h>

#include "workbook_parts.h"

namespace excel::detail {

namespace {

// freexl keeps a cell slot for every position of a sheet's dimensions; walking them is
// bounded so a file that claims huge sheets cannot keep the reader busy for long.
constexpr unsigned long long kMaxPositions = 64ull << 20;

struct Handle {
  const void* h = nullptr;
  ~Handle() {
    if (h) freexl_close(h);
  }
};

}  // namespace

std::string readXls(const std::string& path, Workbook* out, const Limits& limits) {
  Handle x;
  if (freexl_open(path.c_str(), &x.h) != FREEXL_OK) return holdsEncryptedPackage(path) ? kEncrypted : kCorrupt;
  unsigned info = 0;
  if (freexl_get_info(x.h, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
    return kEncrypted;
  unsigned count = 0;
  if (freexl_get_info(x.h, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) return kCorrupt;
  if (count > limits.maxSheets || count > 0xFFFF) return kTooLarge;
  unsigned long long positions = 0;
  std::size_t cells = 0;
  for (unsigned short i = 0; i < count; ++i) {
    Sheet sheet;
    const char* name = nullptr;
    unsigned rows = 0;
    unsigned short cols = 0;
    if (freexl_get_worksheet_name(x.h, i, &name) != FREEXL_OK || !name || freexl_select_active_worksheet(x.h, i) != FREEXL_OK ||
        freexl_worksheet_dimensions(x.h, &rows, &cols) != FREEXL_OK)
      return kCorrupt;
    sheet.name = name;
    makeUtf8(sheet.name);
    positions += static_cast<unsigned long long>(rows) * cols;
    if (positions > kMaxPositions) return kTooLarge;
    for (unsigned r = 0; r < rows; ++r) {
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(x.h, r, c, &v) != FREEXL_OK) return kCorrupt;
        if (v.type == FREEXL_CELL_NULL) continue;
        Cell cell;
        cell.row = r + 1;
        cell.col = c + 1u;
        switch (v.type) {
          case FREEXL_CELL_INT:
            cell.type = Cell::Type::Number;
            cell.number = v.value.int_value;
            break;
          case FREEXL_CELL_DOUBLE:
            cell.type = Cell::Type::Number;
            cell.number = v.value.double_value;
            break;
          case FREEXL_CELL_DATE:
          case FREEXL_CELL_DATETIME:
          case FREEXL_CELL_TIME:
            cell.type = Cell::Type::Date;
            cell.text = v.value.text_value ? v.value.text_value : "";
            if (v.type == FREEXL_CELL_DATE) cell.text += "T00:00:00";
            else if (v.type == FREEXL_CELL_DATETIME && cell.text.size() > 10) cell.text[10] = 'T';
            break;
          case FREEXL_CELL_TEXT:
          case FREEXL_CELL_SST_TEXT:
            cell.text = v.value.text_value ? v.value.text_value : "";
            break;
          default:
            continue;
        }
        if (++cells > limits.maxCells) return kTooLarge;
        makeUtf8(cell.text);
        sheet.cells.push_back(std::move(cell));
      }
    }
    out->sheets.push_back(std::move(sheet));
  }
  addBiffCells(path, out, limits);
  return std::string();
}

}  // namespace excel::detail
