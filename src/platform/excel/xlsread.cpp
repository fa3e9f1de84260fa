// The .xls reader: an OLE compound file whose workbook stream holds BIFF records. Excel 97
// and later (BIFF8) are read by our own checked reader; the older formats by freexl, once
// the container has been found sound.
#include <freexl.h>

#include <cstdio>
#include <memory>
#include <string_view>

#include "workbook_parts.h"

namespace excel::detail {

namespace {

// freexl sets aside a cell slot (16 bytes) for every position inside each sheet's DIMENSIONS
// record as it opens the file; the positions all sheets claim are bounded before it is called,
// so a file that claims huge sheets costs neither much memory nor time.
constexpr unsigned long long kMaxPositions = 16ull << 20;

unsigned u16(std::string_view b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}

bool claimsTooManyPositions(std::string_view stream) {
  unsigned long long positions = 0;
  for (size_t at = 0; at + 4 <= stream.size(); at += 4 + u16(stream, at + 2)) {
    // DIMENSIONS (BIFF2; BIFF3 to 7): first row, row past the last, first column, column past the last
    const unsigned type = u16(stream, at);
    if ((type == 0x0000 || type == 0x0200) && u16(stream, at + 2) >= 8 && at + 12 <= stream.size())
      positions += static_cast<unsigned long long>(u16(stream, at + 6)) * u16(stream, at + 10);
    if (positions > kMaxPositions) return true;
  }
  return false;
}

struct Handle {
  const void* h = nullptr;
  ~Handle() {
    if (h) freexl_close(h);
  }
};

std::string readOldBiff(const std::string& path, std::string_view stream, Workbook* out, const Limits& limits) {
  if (claimsTooManyPositions(stream)) return kTooLarge;
  Handle x;
  if (freexl_open(path.c_str(), &x.h) != FREEXL_OK) return kCorrupt;
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
    if (freexl_get_worksheet_name(x.h, i, &name) != FREEXL_OK || !name ||
        freexl_select_active_worksheet(x.h, i) != FREEXL_OK || freexl_worksheet_dimensions(x.h, &rows, &cols) != FREEXL_OK)
      return kCorrupt;
    sheet.name = name;
    makeUtf8(sheet.name);
    positions += static_cast<unsigned long long>(rows) * cols;
    if (positions > kMaxPositions) return kTooLarge;
    for (unsigned r = 0; r < rows; ++r) {
      for (unsigned short c = 0; c < cols; ++c) {
        FreeXL_CellValue v;
        if (freexl_get_cell_value(x.h, r, c, &v) != FREEXL_OK) return kCorrupt;
        Cell cell;
        std::string text;
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
            text = v.value.text_value ? v.value.text_value : "";
            if (v.type == FREEXL_CELL_DATE) text += "T00:00:00";
            else if (v.type == FREEXL_CELL_DATETIME && text.size() > 10) text[10] = 'T';
            break;
          case FREEXL_CELL_TEXT:
          case FREEXL_CELL_SST_TEXT:
            text = v.value.text_value ? v.value.text_value : "";
            break;
          default:
            continue;
        }
        if (++cells > limits.maxCells) return kTooLarge;
        makeUtf8(text);
        cell.text = text;
        sheet.cells.push_back(std::move(cell));
      }
    }
    out->sheets.push_back(std::move(sheet));
  }
  return std::string();
}

}  // namespace

std::string readXls(const std::string& path, Workbook* out, const Limits& limits) {
  std::string bytes;
  {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return kCorrupt;
    const long size = std::ftell(f.get());
    if (size < 0) return kCorrupt;
    if (static_cast<unsigned long>(size) > limits.maxTotalBytes) return kTooLarge;
    bytes.resize(static_cast<size_t>(size));
    std::rewind(f.get());
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return kCorrupt;
  }
  const CompoundFile file(std::move(bytes));
  if (!file.valid()) return holdsEncryptedPackage(path) ? kEncrypted : kCorrupt;
  // A password-protected .xlsx travels as an encrypted package inside a compound file.
  if (file.has("EncryptedPackage") || file.has("EncryptionInfo")) return kEncrypted;
  const std::string stream = file.stream(file.has("Workbook") ? "Workbook" : "Book");
  if (stream.empty()) return file.has("Workbook") || file.has("Book") ? kCorrupt : kNotWorkbook;
  if (stream.size() >= 8 && static_cast<unsigned char>(stream[4]) == 0x00 && static_cast<unsigned char>(stream[5]) == 0x06)
    return readBiff8(stream, out, limits);
  return readOldBiff(path, stream, out, limits);
}

}  // namespace excel::detail
