// Differential target: the same bytes go to our CSV tokenizer and to libcsv (strict RFC 4180, every
// CR and LF a row end, no trimming), and every cell of every row must agree wherever both accept the
// input. The first byte picks the delimiter, the read-block size (small blocks make rows straddle
// refills and force the buffer to grow) and how many cells a second, partial scan asks for; that scan
// must see a prefix of each full row, as a focused pass does. Any mismatch traps.
#include <csv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dataset/drivers/csv/CsvScanner.h"
#include "host/Errors.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct OracleState {
  Rows rows;
  std::vector<std::string> row;
};

void OnCell(void* data, std::size_t size, void* context) {
  static_cast<OracleState*>(context)->row.emplace_back(static_cast<const char*>(data), size);
}

void OnRowEnd(int, void* context) {
  auto* state = static_cast<OracleState*>(context);
  if (!state->row.empty()) state->rows.push_back(std::move(state->row));  // blank lines are no rows
  state->row.clear();
}

int NoSpace(unsigned char) { return 0; }

bool Oracle(const char* data, std::size_t size, char delimiter, Rows* rows) {
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) return false;
  csv_set_delim(&parser, static_cast<unsigned char>(delimiter));
  csv_set_space_func(&parser, NoSpace);
  OracleState state;
  bool ok = csv_parse(&parser, data, size, OnCell, OnRowEnd, &state) == size &&
            csv_fini(&parser, OnCell, OnRowEnd, &state) == 0;
  csv_free(&parser);
  *rows = std::move(state.rows);
  return ok;
}

// Reads the file through the tokenizer; false when it refuses the input.
bool Ours(int fd, std::size_t block, char delimiter, std::size_t wanted, Rows* rows) {
  sumora::csv::Dialect dialect;
  dialect.delimiter = delimiter;
  sumora::csv::Scanner scanner(fd, "fuzz.csv", dialect, block);
  scanner.Rewind(0, 1);
  std::string scratch;
  try {
    while (scanner.NextRow(wanted, true)) {
      std::vector<std::string> row;
      for (std::size_t i = 0; i < scanner.CellCount(); ++i) row.emplace_back(CellText(scanner.CellAt(i), scratch));
      if (wanted == SIZE_MAX && scanner.Width() != row.size()) __builtin_trap();
      rows->push_back(std::move(row));
    }
  } catch (const sumora::EDatabaseError&) {
    return false;
  }
  return true;
}

// Counts rows the way a table's open does: the block counter where it can, NextRow elsewhere.
std::int64_t CountRows(int fd, std::size_t block, char delimiter, std::size_t maxWidth) {
  sumora::csv::Dialect dialect;
  dialect.delimiter = delimiter;
  sumora::csv::Scanner scanner(fd, "fuzz.csv", dialect, block);
  scanner.Rewind(0, 1);
  std::int64_t rows = 0;
  for (;;) {
    rows += scanner.CountPlainRows(maxWidth);
    if (!scanner.NextRow(0, true)) return rows;
    if (scanner.Width() > maxWidth) __builtin_trap();
    ++rows;
  }
}

// The cells of `column`, read the way a focused pass reads them ("\x01missing" for a short row).
std::vector<std::string> FocusedColumn(int fd, std::size_t block, char delimiter, std::size_t column) {
  sumora::csv::Dialect dialect;
  dialect.delimiter = delimiter;
  sumora::csv::Scanner scanner(fd, "fuzz.csv", dialect, block);
  scanner.Rewind(0, 1);
  std::vector<std::string> cells;
  std::string scratch;
  while (scanner.NextRowCell(column)) {
    const sumora::csv::Cell* cell = scanner.FocusedCell();
    cells.push_back(cell == nullptr ? std::string("\x01missing") : std::string(CellText(*cell, scratch)));
  }
  return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const int fd = ::memfd_create("sumora-csv-oracle", 0);
  const char delimiter = ",;\t|"[data[0] & 3];
  const std::size_t block = 4 + static_cast<std::size_t>((data[0] >> 2) & 7) * 5;
  const std::size_t wanted = 1 + (data[0] >> 5);
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, bytes, length, 0) != static_cast<ssize_t>(length)) return 0;

  Rows expected;
  Rows full;
  Rows partial;
  const bool oracleOk = Oracle(bytes, length, delimiter, &expected);
  const bool oursOk = Ours(fd, block, delimiter, SIZE_MAX, &full);
  // Our one deliberate difference: a quote inside an unquoted cell is an ordinary character, which
  // strict libcsv refuses. Everything libcsv accepts must read the same.
  if (oracleOk && !oursOk) __builtin_trap();
  if (oracleOk && full != expected) __builtin_trap();
  if (oursOk) {
    std::size_t maxWidth = 1;
    for (const auto& row : full) maxWidth = std::max(maxWidth, row.size());
    if (CountRows(fd, block, delimiter, maxWidth) != static_cast<std::int64_t>(full.size())) __builtin_trap();
    if (!Ours(fd, block, delimiter, wanted, &partial) || partial.size() != full.size()) __builtin_trap();
    std::vector<std::string> column;
    for (const auto& row : full) column.push_back(wanted - 1 < row.size() ? row[wanted - 1] : "\x01missing");
    if (FocusedColumn(fd, block, delimiter, wanted - 1) != column) __builtin_trap();
    for (std::size_t r = 0; r < full.size(); ++r) {
      const std::size_t n = std::min(wanted, full[r].size());
      if (partial[r] != std::vector<std::string>(full[r].begin(), full[r].begin() + static_cast<std::ptrdiff_t>(n))) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
