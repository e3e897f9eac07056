// The CSV tokenizer: reads a file in blocks into one buffer and splits it into rows and cells in
// place, without copying cells. RFC 4180 quoting (delimiters, quotes written twice and line breaks
// inside quotes); LF, CRLF and a lone CR each end a row; blank lines are skipped.
//
// Rows without a quote or a stray CR take the fast path: one memchr for the line end, then the
// delimiters sixteen bytes at a time up to the last cell asked for, so a scan of one column skips the
// cells after it without looking at their bytes. Any other row goes through a byte-by-byte state machine that knows quotes;
// so does every row of a file split at runs of spaces and tabs (Dialect::whitespace).
// Memory holds one block plus the longest row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/drivers/csv/CsvDialect.h"

namespace sumora::csv {

// Bytes past the end of the data the scanner's buffer holds (zeros): a cell's text may be read up to
// this far past its start however short it is, in whole chunks.
constexpr std::size_t kReadPadding = 32;

// One cell of the current row: its bytes in the buffer (inside the quotes of a quoted cell).
struct Cell {
  const char* data = nullptr;
  std::size_t size = 0;
  bool escaped = false;  // a quoted cell holding quotes written twice
};

// The cell's text, with doubled quotes made single in `scratch` when it holds any.
std::string_view CellText(const Cell& cell, std::string& scratch);

class Scanner {
 public:
  // Reads the open file `fd` (not owned) in blocks of `blockSize` bytes. `path` names it in messages.
  Scanner(int fd, std::string path, const Dialect& dialect, std::size_t blockSize = 256 * 1024);
  // Reads `bytes` instead of a file, as if they were the whole file.
  Scanner(std::string_view bytes, const Dialect& dialect);

  // Restarts at the byte `offset` of the file, which is on physical line `line`.
  void Rewind(std::uint64_t offset, std::int64_t line);

  // Skips a UTF-8 byte-order mark at the start, then blank lines and lines starting with the comment
  // character. Call right after Rewind(0, 1), before reading the header.
  void SkipPreamble();

  // Moves to the next row and records its first `wanted` cells (all of a shorter row). With
  // `measure`, Width() is the row's full cell count; without, it is only the recorded count.
  // False at the end of the file.
  bool NextRow(std::size_t wanted, bool measure);

  // Counts rows without reading their cells, as far as the buffered rows hold no quote and no CR:
  // blank and comment lines are passed over, and the count stops before a row of more than
  // `maxWidth` cells, which NextRow then reads. Returns the rows counted; 0 when the next row needs
  // NextRow (a quote, a CR, or the end of the buffer).
  std::int64_t CountPlainRows(std::size_t maxWidth);

  // A pass over one column: moves to the next row and records only its cell `column` (FocusedCell();
  // null when a short row ends before it). Plain rows are split many at a time, sixteen bytes per
  // step, ahead of the caller; RowLine() and Offset() are not kept on this path. False at the end.
  bool NextRowCell(std::size_t column);
  const Cell* FocusedCell() const { return focused_; }

  std::size_t CellCount() const { return cellCount_; }
  const Cell& CellAt(std::size_t index) const { return cells_[index]; }
  std::size_t Width() const { return width_; }
  // The physical line the current row starts on (1-based).
  std::int64_t RowLine() const { return rowLine_; }
  // File offset and line where the next row will start.
  std::uint64_t Offset() const { return fileOffset_ - (end_ - pos_); }
  std::int64_t Line() const { return line_; }
  const std::string& Path() const { return path_; }
  const Dialect& GetDialect() const { return dialect_; }

 private:
  enum class Outcome { Row, Skipped, NeedMore };

  bool Refill();
  std::size_t SplitPlainRows(std::size_t column);
  Outcome FastRow(std::size_t wanted, bool measure);
  Outcome SlowRow(std::size_t wanted, bool measure);
  Outcome SkipLine();
  [[noreturn]] void Fail(std::int64_t line, const std::string& what) const;

  int fd_ = -1;
  std::string path_;
  Dialect dialect_;
  std::string memory_;  // the bytes of a memory scanner
  bool fromMemory_ = false;

  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t pos_ = 0;  // start of the next row in the buffer
  std::size_t end_ = 0;  // end of the bytes read
  std::uint64_t fileOffset_ = 0;  // file offset of buffer_[end_]
  bool eof_ = false;
  // Where the next quote and CR lie at or after pos_ (end_ when none); stale once pos_ passes them.
  std::size_t nextQuote_ = 0;
  std::size_t nextCR_ = 0;
  bool trackersValid_ = false;
  // Brings nextQuote_ and nextCR_ up to date for the bytes from pos_ on.
  void RefreshPlainStretch();

  // Records a cell of the current row; the vector only grows, so a row costs no allocation.
  void Push(const Cell& cell) {
    if (cellCount_ == cells_.size()) {
      cells_.push_back(cell);
    } else {
      cells_[cellCount_] = cell;
    }
    ++cellCount_;
  }

  std::vector<Cell> cells_;
  std::size_t cellCount_ = 0;

  // Rows split ahead by NextRowCell: the cell of each (size npos: the row is too short).
  static constexpr std::size_t kAhead = 256;
  Cell ahead_[kAhead];
  std::size_t aheadCount_ = 0;
  std::size_t aheadNext_ = 0;
  const Cell* focused_ = nullptr;
  std::size_t width_ = 0;
  std::int64_t line_ = 1;
  std::int64_t rowLine_ = 1;
};

}  // namespace sumora::csv
