#include "workbook.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <ostream>

#include "workbook_parts.h"

namespace excel {

Text::Text(std::string_view s) {
  if (s.empty()) return;
  if (s.size() >= UINT32_MAX) throw std::bad_alloc();
  b_ = static_cast<Block*>(::operator new(sizeof(Block) + s.size() + 1));
  new (&b_->refs) std::atomic<std::uint32_t>(1);
  b_->size = static_cast<std::uint32_t>(s.size());
  std::memcpy(b_->chars(), s.data(), s.size());
  b_->chars()[s.size()] = '\0';
}

void Text::release() noexcept {
  if (b_ && b_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    b_->refs.~atomic();
    ::operator delete(b_);
  }
  b_ = nullptr;
}

std::size_t Text::footprint(std::size_t size) noexcept {
  if (size == 0) return 0;
  // The allocator keeps a size word before each block and hands out multiples of 16 bytes,
  // 32 at least.
  const std::size_t chunk = (sizeof(Block) + size + 1 + sizeof(std::size_t) + 15) & ~std::size_t{15};
  return chunk < 32 ? 32 : chunk;
}

std::ostream& operator<<(std::ostream& os, const Text& t) { return os << t.view(); }

namespace detail {

const char* const kCorrupt = "File rusak atau bukan workbook Excel yang sah.";
const char* const kEncrypted =
    "Workbook dilindungi kata sandi (terenkripsi). Buka di Excel, hapus kata sandinya, lalu simpan ulang.";
const char* const kTooLarge = "Workbook terlalu besar untuk dibaca.";
const char* const kNotWorkbook = "File ini bukan workbook Excel (.xlsx atau .xls).";

void makeUtf8(std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  auto validAt = [&](size_t i) -> size_t {  // length of the valid sequence at i, 0 if none
    const unsigned c = p[i];
    if (c < 0x80) return 1;
    size_t len;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return 0;
    }
    if (i + len > n || p[i + 1] < lo || p[i + 1] > hi) return 0;
    for (size_t k = 2; k < len; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return 0;
    return len;
  };
  size_t i = 0;
  while (i < n && validAt(i)) i += validAt(i);
  if (i == n) return;
  std::string out(s, 0, i);
  while (i < n) {
    const size_t len = validAt(i);
    if (len) {
      out.append(s, i, len);
      i += len;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  s.swap(out);
}

void orderCells(std::vector<Cell>& cells) {
  auto before = [](const Cell& a, const Cell& b) { return a.row != b.row ? a.row < b.row : a.col < b.col; };
  if (std::adjacent_find(cells.begin(), cells.end(), [&](const Cell& a, const Cell& b) { return !before(a, b); }) ==
      cells.end())
    return;
  // Sorts keys of position and place (8 bytes a cell) rather than the cells, so a large sheet
  // out of order takes no second copy of its cells; the place keeps the sort stable.
  constexpr int kPlaceBits = 23, kColBits = 15;
  constexpr std::uint64_t kPlace = (std::uint64_t{1} << kPlaceBits) - 1, kDone = std::uint64_t{1} << 63;
  const bool fits = cells.size() <= kPlace && std::all_of(cells.begin(), cells.end(), [](const Cell& c) {
    return c.row < (1u << 21) && c.col < (1u << kColBits);
  });
  if (!fits) {
    std::stable_sort(cells.begin(), cells.end(), before);
  } else {
    std::vector<std::uint64_t> keys(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
      keys[i] = (std::uint64_t{cells[i].row} << (kPlaceBits + kColBits)) | (std::uint64_t{cells[i].col} << kPlaceBits) | i;
    std::sort(keys.begin(), keys.end());
    // Each cycle of the permutation moves through one spare cell.
    for (size_t i = 0; i < cells.size(); ++i) {
      if (keys[i] & kDone) continue;
      Cell spare = std::move(cells[i]);
      for (size_t j = i;;) {
        const size_t from = keys[j] & kPlace;
        keys[j] |= kDone;
        if (from == i) {
          cells[j] = std::move(spare);
          break;
        }
        cells[j] = std::move(cells[from]);
        j = from;
      }
    }
  }
  size_t kept = 0;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (kept > 0 && !before(cells[kept - 1], cells[i])) cells[kept - 1] = std::move(cells[i]);
    else if (kept++ != i) cells[kept - 1] = std::move(cells[i]);
  }
  cells.resize(kept);
}

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(long long z, long long* y, unsigned* m, unsigned* d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<long long>(yoe) + era * 400 + (*m <= 2);
}

constexpr long long kMsPerDay = 86400000;
constexpr long long kDays1899_12_30 = -25569;  // days from 1970-01-01
constexpr long long kDays1904_01_01 = -24107;

void appendTime(std::string& out, long long ms) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
  out += buf;
  if (ms % 1000) {
    std::snprintf(buf, sizeof buf, ".%03lld", ms % 1000);
    out += buf;
  }
}

}  // namespace

bool serialToIso(double serial, bool date1904, std::string* iso) {
  if (!(serial > -1e7 && serial < 1e7)) return false;
  const long long ms = std::llround(serial * kMsPerDay);
  iso->clear();
  if (serial >= 0 && ms < kMsPerDay) {  // a time of day
    appendTime(*iso, ms);
    return true;
  }
  long long days = ms / kMsPerDay, rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  // Day 60 of the 1900 system is the 29 February 1900 that never was; the days before it
  // count from one day later.
  long long epoch = date1904 ? kDays1904_01_01 : kDays1899_12_30;
  if (!date1904 && serial > 0 && serial < 60) ++epoch;
  long long y;
  unsigned m, d;
  civilFromDays(epoch + days, &y, &m, &d);
  if (y < 1 || y > 9999) return false;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT", y, m, d);
  *iso = buf;
  appendTime(*iso, rest);
  return true;
}

bool holdsEncryptedPackage(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!f) return false;
  // Directory entry names are UTF-16LE.
  static const char kName[] = "E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0";
  constexpr size_t kLen = sizeof kName - 1;
  std::vector<char> buf(1 << 20);
  size_t have = 0;
  for (int chunk = 0; chunk < 256; ++chunk) {
    const size_t n = std::fread(buf.data() + have, 1, buf.size() - have, f.get());
    if (n == 0) return false;
    have += n;
    if (std::search(buf.begin(), buf.begin() + static_cast<long>(have), kName, kName + kLen) !=
        buf.begin() + static_cast<long>(have))
      return true;
    if (have >= kLen) {  // keep the tail, where a name may start
      std::memmove(buf.data(), buf.data() + have - (kLen - 1), kLen - 1);
      have = kLen - 1;
    }
  }
  return false;
}

}  // namespace detail

const Cell* Sheet::at(std::uint32_t row, std::uint32_t col) const {
  const auto it = std::lower_bound(cells.begin(), cells.end(), std::make_pair(row, col),
                                   [](const Cell& c, const std::pair<std::uint32_t, std::uint32_t>& p) {
                                     return c.row != p.first ? c.row < p.first : c.col < p.second;
                                   });
  return it != cells.end() && it->row == row && it->col == col ? &*it : nullptr;
}

const Sheet* Workbook::firstWorksheet() const {
  for (const Sheet& s : sheets)
    if (s.isWorksheet) return &s;
  return nullptr;
}

std::string readWorkbook(const std::string& path, Workbook* out, const Limits& limits) {
  out->sheets.clear();
  unsigned char magic[8] = {};
  {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return std::string("File tidak dapat dibuka: ") + std::strerror(errno) + ".";
    if (std::fread(magic, 1, sizeof magic, f.get()) != sizeof magic) return detail::kCorrupt;
  }
  if (std::memcmp(magic, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) {
    std::string why = detail::readXls(path, out, limits);
    if (!why.empty()) out->sheets.clear();
    return why;
  }
  if (std::memcmp(magic, "PK", 2) != 0) return detail::kNotWorkbook;
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_file_create(path.c_str(), 0, -1, &err);
  zip_error_fini(&err);
  if (!src) return detail::kCorrupt;
  return detail::readXlsx(src, out, limits);
}

std::string readXlsx(const void* data, std::size_t size, Workbook* out, const Limits& limits) {
  out->sheets.clear();
  zip_error_t err;
  zip_error_init(&err);
  zip_source_t* src = zip_source_buffer_create(size ? data : nullptr, size, 0, &err);
  zip_error_fini(&err);
  if (!src) return detail::kCorrupt;
  return detail::readXlsx(src, out, limits);
}

std::string cellName(std::uint32_t row, std::uint32_t col) {
  std::string letters;
  for (; col > 0; col = (col - 1) / 26) letters.insert(letters.begin(), static_cast<char>('A' + (col - 1) % 26));
  return letters + std::to_string(row);
}

std::string numberJson(double v) {
  if (v == 0) return "0";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string cellText(const Cell& c) {
  switch (c.type) {
    case Cell::Type::Number: {
      if (c.number == 0) return "0";
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.15G", c.number);
      return buf;
    }
    case Cell::Type::Boolean:
      return c.number != 0 ? "True" : "False";
    case Cell::Type::Date: {
      const std::string_view t = c.text.view();
      if (t.size() < 19 || t[10] != 'T') return std::string(t.substr(0, 8));
      std::string out = std::string(t.substr(8, 2)) + "/" + std::string(t.substr(5, 2)) + "/" + std::string(t.substr(0, 4));
      if (t.substr(11, 8) != "00:00:00") out += " " + std::string(t.substr(11, 8));
      return out;
    }
    default:
      return c.text;
  }
}

}  // namespace excel
