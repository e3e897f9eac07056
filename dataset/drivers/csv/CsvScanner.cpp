#include "dataset/drivers/csv/CsvScanner.h"

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora::csv {

namespace {

// A row must fit in the buffer; past this the file is refused rather than eating the memory.
constexpr std::size_t kLongestRow = std::size_t{512} * 1024 * 1024;

// Line breaks inside a quoted cell, counted the way rows are ended: LF, CRLF or a lone CR.
std::int64_t CountLineBreaks(const char* data, std::size_t size) {
  std::int64_t lines = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      ++lines;
    } else if (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n')) {
      ++lines;
    }
  }
  return lines;
}

// Set bits of a 16-bit mask, without relying on a popcount instruction the baseline CPU may lack.
inline unsigned Bits16(unsigned x) {
  x = x - ((x >> 1) & 0x5555u);
  x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
  x = (x + (x >> 4)) & 0x0F0Fu;
  return (x + (x >> 8)) & 0x1Fu;
}

// The row count at open walks the whole file counting bits: it is built once more for CPUs with a
// popcount instruction, where std::popcount is that one instruction.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SUMORA_POPCOUNT_VARIANTS __attribute__((target_clones("popcnt", "default")))
#else
#define SUMORA_POPCOUNT_VARIANTS
#endif

// Which of sixteen bytes equal one byte value, as a 16-bit mask (bit i for byte i): one SSE2 compare
// where the CPU has it, a plain loop elsewhere.
class ByteFinder {
 public:
  explicit ByteFinder(char c) : byte_(c) {
#if defined(__SSE2__)
    wanted_ = _mm_set1_epi8(c);
#endif
  }
  unsigned Mask(const char* sixteen) const {
#if defined(__SSE2__)
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sixteen));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted_)));
#else
    unsigned mask = 0;
    for (unsigned i = 0; i < 16; ++i) mask |= static_cast<unsigned>(sixteen[i] == byte_) << i;
    return mask;
#endif
  }

 private:
  [[maybe_unused]] char byte_;  // read only by the plain loop
#if defined(__SSE2__)
  __m128i wanted_;
#endif
};

// How often `c` occurs in [begin, end): sixteen bytes at a time, which keeps the count of cells per
// row at open cheap next to the line search.
std::size_t CountByte(const char* begin, const char* end, char c) {
  std::size_t count = 0;
  const ByteFinder wanted(c);
  for (; end - begin >= 16; begin += 16) count += static_cast<std::size_t>(Bits16(wanted.Mask(begin)));
  for (; begin < end; ++begin) count += *begin == c;
  return count;
}

// A zeroed buffer of `capacity` bytes and kReadPadding more: the rows' bytes may be read in whole
// chunks past their end, and what lies there is always defined.
std::unique_ptr<char[]> NewBuffer(std::size_t capacity) { return std::unique_ptr<char[]>(new char[capacity + kReadPadding]()); }

}  // namespace

std::string_view CellText(const Cell& cell, std::string& scratch) {
  if (!cell.escaped) return std::string_view(cell.data, cell.size);
  scratch.clear();
  for (std::size_t i = 0; i < cell.size; ++i) {
    scratch += cell.data[i];
    if (cell.data[i] == '"') ++i;  // the second quote of a pair
  }
  return scratch;
}

Scanner::Scanner(int fd, std::string path, const Dialect& dialect, std::size_t blockSize)
    : fd_(fd),
      path_(std::move(path)),
      dialect_(dialect),
      buffer_(NewBuffer(std::max<std::size_t>(blockSize, 4))),
      capacity_(std::max<std::size_t>(blockSize, 4)) {}

Scanner::Scanner(std::string_view bytes, const Dialect& dialect)
    : path_("(sample)"), dialect_(dialect), fromMemory_(true) {
  capacity_ = std::max<std::size_t>(bytes.size(), 1);
  buffer_ = NewBuffer(capacity_);
  if (!bytes.empty()) std::memcpy(buffer_.get(), bytes.data(), bytes.size());
  memory_.assign(bytes.size(), '\0');  // only its size is used: the end of the data
  Rewind(0, 1);
}

void Scanner::Rewind(std::uint64_t offset, std::int64_t line) {
  trackersValid_ = false;
  aheadCount_ = aheadNext_ = 0;
  line_ = line;
  rowLine_ = line;
  cellCount_ = 0;
  width_ = 0;
  if (fromMemory_) {
    end_ = memory_.size();
    pos_ = std::min<std::size_t>(offset, end_);
    fileOffset_ = end_;
    eof_ = true;
    return;
  }
  pos_ = end_ = 0;
  fileOffset_ = offset;
  eof_ = false;
}

bool Scanner::Refill() {
  if (eof_) return false;
  std::size_t keep = end_ - pos_;
  if (keep == capacity_) {
    if (capacity_ >= kLongestRow) {
      Fail(line_, "a row is longer than " + std::to_string(kLongestRow >> 20) +
                      " MiB; check that quotes are closed, or split the file");
    }
    std::unique_ptr<char[]> bigger = NewBuffer(capacity_ * 2);
    std::memcpy(bigger.get(), buffer_.get() + pos_, keep);
    buffer_ = std::move(bigger);
    capacity_ *= 2;
  } else if (pos_ > 0 && keep > 0) {
    std::memmove(buffer_.get(), buffer_.get() + pos_, keep);
  }
  pos_ = 0;
  end_ = keep;
  trackersValid_ = false;
  while (end_ < capacity_) {
    ssize_t got = ::pread(fd_, buffer_.get() + end_, capacity_ - end_, static_cast<off_t>(fileOffset_));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EDatabaseError("CSV file '" + ShownText(path_) + "' cannot be read: " + std::strerror(errno));
    }
    if (got == 0) {
      eof_ = true;
      break;
    }
    end_ += static_cast<std::size_t>(got);
    fileOffset_ += static_cast<std::uint64_t>(got);
  }
  return true;
}

void Scanner::Fail(std::int64_t line, const std::string& what) const {
  throw EDatabaseError("CSV file '" + ShownText(path_) + "', line " + std::to_string(line) + ": " + what);
}

void Scanner::SkipPreamble() {
  while (end_ - pos_ < 3 && !eof_) Refill();
  if (Offset() == 0 && end_ - pos_ >= 3 && std::memcmp(buffer_.get() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
  for (;;) {
    if (pos_ == end_) {
      if (eof_) return;
      Refill();
      continue;
    }
    char c = buffer_[pos_];
    if (c != '\n' && c != '\r' && c != dialect_.comment) return;
    if (SkipLine() == Outcome::NeedMore) Refill();
  }
}

Scanner::Outcome Scanner::SkipLine() {
  const char* b = buffer_.get();
  std::size_t i = pos_;
  while (i < end_ && b[i] != '\n' && b[i] != '\r') ++i;
  if (i == end_) {
    if (!eof_) return Outcome::NeedMore;
  } else if (b[i] == '\r') {
    if (i + 1 == end_ && !eof_) return Outcome::NeedMore;
    i += (i + 1 < end_ && b[i + 1] == '\n') ? 2 : 1;
  } else {
    ++i;
  }
  pos_ = i;
  ++line_;
  return Outcome::Skipped;
}

void Scanner::RefreshPlainStretch() {
  const char* b = buffer_.get();
  if (!trackersValid_ || nextQuote_ < pos_) {
    const void* q = std::memchr(b + pos_, '"', end_ - pos_);
    nextQuote_ = q ? static_cast<std::size_t>(static_cast<const char*>(q) - b) : end_;
  }
  if (!trackersValid_ || nextCR_ < pos_) {
    const void* r = std::memchr(b + pos_, '\r', end_ - pos_);
    nextCR_ = r ? static_cast<std::size_t>(static_cast<const char*>(r) - b) : end_;
  }
  trackersValid_ = true;
}

SUMORA_POPCOUNT_VARIANTS
std::int64_t Scanner::CountPlainRows(std::size_t maxWidth) {
  if (dialect_.whitespace) return 0;  // runs of blanks are split by the state machine only
  if (pos_ == end_) {
    if (eof_) return 0;
    Refill();
  }
  RefreshPlainStretch();
  const char* b = buffer_.get();
  const char* p = b + pos_;
  const char* const stop = b + std::min(nextQuote_, nextCR_);
  const char* rowStart = p;
  const ByteFinder newline('\n');
  const ByteFinder delimiter(dialect_.delimiter);
  const std::size_t maxDelimiters = maxWidth - 1;
  std::size_t delimiters = 0;
  std::int64_t rows = 0;
  for (; stop - p >= 16; p += 16) {
    unsigned lines = newline.Mask(p);
    unsigned delims = delimiter.Mask(p);
    while (lines != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(lines));
      const unsigned before = (1u << bit) - 1;
      delimiters += static_cast<std::size_t>(std::popcount(delims & before));
      const char* rowEnd = p + bit;
      const bool skipped = rowEnd == rowStart || (dialect_.commentAnywhere && *rowStart == dialect_.comment);
      if (!skipped && delimiters > maxDelimiters) {
        pos_ = static_cast<std::size_t>(rowStart - b);  // NextRow reads the wide row and names it
        return rows;
      }
      rows += skipped ? 0 : 1;
      ++line_;
      rowStart = rowEnd + 1;
      delimiters = 0;
      delims &= ~(before | (1u << bit));
      lines &= lines - 1;
    }
    delimiters += static_cast<std::size_t>(std::popcount(delims));
  }
  pos_ = static_cast<std::size_t>(rowStart - b);
  return rows;
}

bool Scanner::NextRowCell(std::size_t column) {
  if (aheadNext_ == aheadCount_) {
    aheadNext_ = aheadCount_ = 0;
    if (pos_ == end_ && !eof_) Refill();
    if (pos_ < end_) aheadCount_ = SplitPlainRows(column);
    if (aheadCount_ == 0) {
      // A row with a quote or a CR, or the last bytes of the buffer: the row-at-a-time path.
      if (!NextRow(column + 1, false)) return false;
      focused_ = column < cellCount_ ? &cells_[column] : nullptr;
      return true;
    }
  }
  const Cell& cell = ahead_[aheadNext_++];
  focused_ = cell.size == std::string::npos ? nullptr : &cell;
  return true;
}

// Splits up to kAhead whole rows from pos_ on, as long as no quote or CR lies in the way, keeping the
// cell `column` of each. Blank and comment lines are passed over. Returns the rows split.
std::size_t Scanner::SplitPlainRows(std::size_t column) {
  if (dialect_.whitespace) return 0;
  RefreshPlainStretch();
  const char* b = buffer_.get();
  const char* p = b + pos_;
  const char* const stop = b + std::min(nextQuote_, nextCR_);
  const ByteFinder newline('\n');
  const ByteFinder delimiter(dialect_.delimiter);
  const char* rowStart = p;
  const char* cellStart = column == 0 ? p : nullptr;
  std::size_t index = 0;  // of the cell being read in the current row
  std::size_t rows = 0;
  for (; stop - p >= 16 && rows < kAhead; p += 16) {
    const unsigned lines = newline.Mask(p);
    unsigned events = lines | delimiter.Mask(p);
    while (events != 0) {
      const unsigned bit = static_cast<unsigned>(__builtin_ctz(events));
      events &= events - 1;
      const char* at = p + bit;
      if ((lines >> bit & 1u) == 0) {  // a delimiter
        if (index == column) ahead_[rows] = {cellStart, static_cast<std::size_t>(at - cellStart), false};
        if (++index == column) cellStart = at + 1;
        continue;
      }
      // A line end.
      const bool skipped = at == rowStart || (dialect_.commentAnywhere && *rowStart == dialect_.comment);
      ++line_;
      if (!skipped) {
        if (index == column) {
          ahead_[rows] = {cellStart, static_cast<std::size_t>(at - cellStart), false};
        } else if (index < column) {
          ahead_[rows] = {nullptr, std::string::npos, false};
        }
        ++rows;
      }
      rowStart = at + 1;
      index = 0;
      cellStart = column == 0 ? rowStart : nullptr;
      if (rows == kAhead) break;
    }
  }
  // Whatever follows the last whole row is read again by the next call.
  pos_ = static_cast<std::size_t>(rowStart - b);
  return rows;
}

bool Scanner::NextRow(std::size_t wanted, bool measure) {
  for (;;) {
    if (pos_ == end_) {
      if (eof_) return false;
      Refill();
      continue;
    }
    Outcome outcome = FastRow(wanted, measure);
    if (outcome == Outcome::NeedMore) outcome = SlowRow(wanted, measure);
    if (outcome == Outcome::Row) return true;
    if (outcome == Outcome::NeedMore) Refill();
  }
}

// NeedMore here means "not a plain row": the state machine takes it.
Scanner::Outcome Scanner::FastRow(std::size_t wanted, bool measure) {
  if (dialect_.whitespace) return Outcome::NeedMore;
  RefreshPlainStretch();
  const char* b = buffer_.get();
  // Look for the line end no further than just past the first quote or CR (a CRLF ends at CR + 1).
  const std::size_t searchEnd = std::min(end_, std::min(nextQuote_, nextCR_) + 2);
  const void* found = std::memchr(b + pos_, '\n', searchEnd - pos_);
  if (found == nullptr) return Outcome::NeedMore;
  const std::size_t eol = static_cast<std::size_t>(static_cast<const char*>(found) - b);
  if (nextQuote_ < eol) return Outcome::NeedMore;
  std::size_t lineEnd = eol;
  if (nextCR_ < eol) {
    if (nextCR_ + 1 != eol) return Outcome::NeedMore;
    lineEnd = nextCR_;
  }
  const std::size_t start = pos_;
  pos_ = eol + 1;
  rowLine_ = line_++;
  if (lineEnd == start) return Outcome::Skipped;
  if (dialect_.commentAnywhere && b[start] == dialect_.comment) return Outcome::Skipped;

  const char delimiter = dialect_.delimiter;
  const char* s = b + start;
  const char* const le = b + lineEnd;
  if (measure) width_ = 1 + CountByte(s, le, delimiter);
  // A row of n bytes has at most n + 1 cells: room for them is made once, then cells are stored directly.
  const std::size_t most = std::min(wanted, lineEnd - start + 1);
  if (cells_.size() < most) cells_.resize(most);
  Cell* out = cells_.data();
  // The delimiters sixteen bytes at a time; the last chunk may reach into the padding, past the line.
  const ByteFinder finder(delimiter);
  std::size_t n = 0;
  const char* cellStart = s;
  for (const char* p = s; p < le && n < most; p += 16) {
    unsigned mask = finder.Mask(p);
    if (le - p < 16) mask &= (1u << (le - p)) - 1u;
    for (; mask != 0 && n < most; mask &= mask - 1) {
      const char* at = p + __builtin_ctz(mask);
      out[n++] = {cellStart, static_cast<std::size_t>(at - cellStart), false};
      cellStart = at + 1;
    }
  }
  if (n < most) out[n++] = {cellStart, static_cast<std::size_t>(le - cellStart), false};
  cellCount_ = n;
  if (!measure) width_ = cellCount_;
  return Outcome::Row;
}

Scanner::Outcome Scanner::SlowRow(std::size_t wanted, bool /*measure*/) {
  const char* b = buffer_.get();
  const char delimiter = dialect_.delimiter;
  const bool whitespace = dialect_.whitespace;
  const auto isDelimiter = [&](char c) { return whitespace ? c == ' ' || c == '\t' : c == delimiter; };
  std::size_t i = pos_;
  if (whitespace) {
    // Blanks before the first cell are not a cell; a line of blanks is a blank line.
    while (i < end_ && isDelimiter(b[i])) ++i;
    if (i == end_ && !eof_) return Outcome::NeedMore;
    if (i == end_ || b[i] == '\n' || b[i] == '\r') {
      pos_ = i;
      return SkipLine();
    }
  }
  char first = b[i];
  if (first == '\n' || first == '\r') return SkipLine();
  if (dialect_.commentAnywhere && first == dialect_.comment) return SkipLine();

  std::int64_t extraLines = 0;
  std::size_t width = 0;
  cellCount_ = 0;
  for (;;) {
    Cell cell;
    if (i < end_ && b[i] == '"') {
      std::size_t j = i + 1;
      for (;;) {
        const void* q = std::memchr(b + j, '"', end_ - j);
        if (q == nullptr) {
          if (eof_) Fail(line_, "a quoted cell is not closed before the end of the file (a quote is missing)");
          return Outcome::NeedMore;
        }
        std::size_t k = static_cast<std::size_t>(static_cast<const char*>(q) - b);
        if (k + 1 == end_ && !eof_) return Outcome::NeedMore;
        if (k + 1 < end_ && b[k + 1] == '"') {
          cell.escaped = true;
          j = k + 2;
          continue;
        }
        cell.data = b + i + 1;
        cell.size = k - i - 1;
        extraLines += CountLineBreaks(cell.data, cell.size);
        i = k + 1;
        break;
      }
      if (i < end_ && !isDelimiter(b[i]) && b[i] != '\n' && b[i] != '\r') {
        Fail(line_ + extraLines,
             "text follows the closing quote of a cell; a quote inside a quoted cell is written twice (\"\")");
      }
    } else {
      std::size_t k = i;
      while (k < end_ && !isDelimiter(b[k]) && b[k] != '\n' && b[k] != '\r') ++k;
      if (k == end_ && !eof_) return Outcome::NeedMore;
      cell.data = b + i;
      cell.size = k - i;
      i = k;
    }
    ++width;
    if (cellCount_ < wanted) Push(cell);
    if (i == end_) break;
    char c = b[i];
    if (isDelimiter(c)) {
      ++i;
      if (!whitespace) continue;
      // A run of blanks is one delimiter; blanks at the end of the row end no cell.
      while (i < end_ && isDelimiter(b[i])) ++i;
      if (i == end_ && !eof_) return Outcome::NeedMore;
      if (i == end_) break;
      c = b[i];
      if (c != '\n' && c != '\r') continue;
    }
    if (c == '\n') {
      ++i;
      break;
    }
    if (i + 1 < end_) {
      i += b[i + 1] == '\n' ? 2 : 1;
      break;
    }
    if (!eof_) return Outcome::NeedMore;
    ++i;
    break;
  }
  width_ = width;
  pos_ = i;
  rowLine_ = line_;
  line_ += 1 + extraLines;
  return Outcome::Row;
}

}  // namespace sumora::csv
