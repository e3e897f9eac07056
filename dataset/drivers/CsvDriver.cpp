// The CSV data source: a directory is the database, each "*.csv" file in it a table.
//
// Files are parsed with libcsv (RFC 4180 quoting, LF or CRLF, a UTF-8 byte-order mark is skipped). The
// first row names the fields; an empty cell is null. Opening reads the file once to check that every
// row has one cell per field, to count the records and to infer each column's class from its non-empty
// cells: all integers make an integer field (a large-integer field when one exceeds 32 bits), all
// numbers a float field, anything else a string field. The cursor then streams the file again in
// blocks, holding only the rows parsed from the current block, so memory does not grow with the file.
#include "dataset/Drivers.h"

#include <csv.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

#include "host/Errors.h"
#include "dataset/ValueText.h"

namespace sumora {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBlockSize = 256 * 1024;
constexpr unsigned char kParserOptions = CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL;

// Reads a CSV file block by block and hands out the complete rows parsed from each block. The header
// row is kept apart; blank lines are skipped. Rows of the wrong width raise EDatabaseError naming the
// file and the line the row starts on.
class CsvReader {
 public:
  explicit CsvReader(std::string path) : path_(std::move(path)), block_(kBlockSize) {
    fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      throw EDatabaseError("CSV file '" + path_ + "' cannot be opened: " + std::strerror(errno));
    }
    if (csv_init(&parser_, kParserOptions) != 0) {
      ::close(fd_);
      throw EDatabaseError("CSV file '" + path_ + "': the CSV parser cannot be set up");
    }
  }
  ~CsvReader() {
    csv_free(&parser_);
    ::close(fd_);
  }
  CsvReader(const CsvReader&) = delete;
  CsvReader& operator=(const CsvReader&) = delete;

  const std::string& Path() const { return path_; }

  // Goes back to the start of the file. The header is read again but not handed out as a row.
  // `trackLines` counts physical lines for error messages; the survey pass at Open needs them, the
  // cursor's passes over the checked file do not.
  void Restart(bool trackLines) {
    trackLines_ = trackLines;
    // A fresh parser: drops any half-parsed row and a failed state.
    csv_free(&parser_);
    csv_init(&parser_, kParserOptions);
    fileOffset_ = 0;
    atEnd_ = false;
    line_ = 1;
    headerRead_ = false;
    ClearBatch(false);
  }

  // Replaces the batch with the next complete rows; false when the file has no more rows.
  bool NextBatch() {
    ClearBatch(true);
    while (rowStarts_.empty() && !atEnd_) FeedBlock();
    return !rowStarts_.empty();
  }

  std::size_t BatchRows() const { return rowStarts_.size(); }
  // Index of the row's first cell; cells of one row are consecutive.
  std::size_t RowStart(std::size_t row) const { return rowStarts_[row]; }
  std::string_view Cell(std::size_t cellIndex) const {
    const CellSpan& span = cells_[cellIndex];
    return std::string_view(text_.data() + span.offset, span.length);
  }
  // The header's cells, in field order; empty until the first batch was read.
  const std::vector<std::string>& Header() const { return header_; }
  bool HeaderRead() const { return headerRead_; }

 private:
  struct CellSpan {
    std::size_t offset;
    std::size_t length;
  };

  static void OnCell(void* data, std::size_t length, void* context) {
    static_cast<CsvReader*>(context)->AddCell(static_cast<const char*>(data), length);
  }
  static void OnRowEnd(int terminator, void* context) { static_cast<CsvReader*>(context)->EndRow(terminator); }

  void AddCell(const char* data, std::size_t length) {
    if (cells_.size() == rowCellStart_) rowLine_ = line_;
    cells_.push_back({text_.size(), length});
    if (length > 0) {
      text_.append(data, length);
      // Quoted cells may hold line breaks; count them so later rows get their true line numbers.
      if (trackLines_) {
        const char* end = data + length;
        for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr; ++p) {
          ++line_;
        }
      }
    }
  }

  void EndRow(int terminator) {
    std::size_t width = cells_.size() - rowCellStart_;
    if (width > 0 && error_.empty()) {
      if (!headerRead_) {
        if (header_.empty()) {
          for (std::size_t i = rowCellStart_; i < cells_.size(); ++i) header_.emplace_back(Cell(i));
        }
        headerRead_ = true;
        cells_.resize(rowCellStart_);
        text_.resize(textRowStart_);
      } else if (width != header_.size() && !trackLines_) {
        error_ = "CSV file '" + path_ + "' changed after the table was opened; close and open the table again";
      } else if (width != header_.size()) {
        error_ = "CSV file '" + path_ + "', line " + std::to_string(rowLine_) + ": the row has " +
                 std::to_string(width) + " cells but the header names " + std::to_string(header_.size()) +
                 " fields; every row needs one cell per field (quote cells that hold commas)";
      } else {
        rowStarts_.push_back(rowCellStart_);
        rowCellStart_ = cells_.size();
        textRowStart_ = text_.size();
      }
    }
    // With CSV_REPALL_NL a CRLF ends the row at '\r' and reports the '\n' on its own: count lines on '\n'.
    if (terminator == '\n') ++line_;
  }

  // Empties the batch. A row that the last block left half-parsed moves to the front when `keepPartial`.
  void ClearBatch(bool keepPartial) {
    if (keepPartial && rowCellStart_ < cells_.size()) {
      std::size_t textStart = cells_[rowCellStart_].offset;
      text_.erase(0, textStart);
      cells_.erase(cells_.begin(), cells_.begin() + static_cast<std::ptrdiff_t>(rowCellStart_));
      for (CellSpan& span : cells_) span.offset -= textStart;
    } else {
      text_.clear();
      cells_.clear();
    }
    rowStarts_.clear();
    rowCellStart_ = 0;
    textRowStart_ = text_.size();
  }

  void FeedBlock() {
    std::size_t filled = 0;
    while (filled < block_.size()) {
      ssize_t got = ::pread(fd_, block_.data() + filled, block_.size() - filled, static_cast<off_t>(fileOffset_));
      if (got < 0) {
        if (errno == EINTR) continue;
        throw EDatabaseError("CSV file '" + path_ + "' cannot be read: " + std::strerror(errno));
      }
      if (got == 0) break;
      filled += static_cast<std::size_t>(got);
      fileOffset_ += static_cast<std::size_t>(got);
    }
    const char* data = block_.data();
    std::size_t length = filled;
    if (fileOffset_ == filled && length >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) {
      data += 3;
      length -= 3;
    }
    if (csv_parse(&parser_, data, length, OnCell, OnRowEnd, this) != length) ParseError();
    if (filled < block_.size()) {
      atEnd_ = true;
      if (csv_fini(&parser_, OnCell, OnRowEnd, this) != 0) ParseError();
    }
    if (!error_.empty()) {
      std::string message = std::move(error_);
      error_.clear();
      atEnd_ = true;
      throw EDatabaseError(message);
    }
  }

  [[noreturn]] void ParseError() {
    atEnd_ = true;
    throw EDatabaseError("CSV file '" + path_ + "', line " + std::to_string(line_) + ": " +
                         csv_strerror(csv_error(&parser_)) + " (a quote is not closed or stray text follows one)");
  }

  std::string path_;
  int fd_ = -1;
  csv_parser parser_{};
  std::vector<char> block_;
  std::size_t fileOffset_ = 0;
  bool atEnd_ = false;

  std::vector<std::string> header_;
  bool headerRead_ = false;

  // The batch: cell texts back to back, their spans, and where each complete row starts.
  std::string text_;
  std::vector<CellSpan> cells_;
  std::vector<std::size_t> rowStarts_;
  std::size_t rowCellStart_ = 0;  // first cell of the row being parsed
  std::size_t textRowStart_ = 0;

  bool trackLines_ = true;
  std::int64_t line_ = 1;     // physical line the parser has reached
  std::int64_t rowLine_ = 1;  // line the row being parsed started on
  std::string error_;         // set inside a callback, raised once libcsv returns
};

// What the cells of one column have shown so far.
struct ColumnEvidence {
  bool numeric = true;
  bool integer = true;
  bool large = false;

  void Observe(std::string_view cell) {
    if (!numeric) return;
    bool isInteger = false;
    if (!LooksNumeric(cell, &isInteger)) {
      numeric = integer = false;
      return;
    }
    if (!isInteger) {
      integer = false;
      return;
    }
    if (integer && !large) {
      while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t' || cell.front() == '+')) cell.remove_prefix(1);
      std::int64_t value = 0;
      std::from_chars(cell.data(), cell.data() + cell.size(), value);
      large = value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max();
    }
  }

  TFieldType Type() const {
    if (!numeric) return TFieldType::ftString;
    if (!integer) return TFieldType::ftFloat;
    return large ? TFieldType::ftLargeint : TFieldType::ftInteger;
  }
};

class CsvSource : public RecordSource {
 public:
  explicit CsvSource(const std::string& path) : reader_(path) {
    Survey();
    parsedSerial_.assign(fields_.size(), 0);
    parsedValue_.assign(fields_.size(), 0.0);
    parsedOk_.assign(fields_.size(), false);
    First();
  }

  const std::vector<FieldDef>& Fields() const override { return fields_; }

  void First() override {
    reader_.Restart(false);
    row_ = 0;
    recordNumber_ = 0;
    eof_ = !reader_.NextBatch();
    Enter();
  }

  void Next() override {
    if (eof_) return;
    if (++row_ == reader_.BatchRows()) {
      row_ = 0;
      eof_ = !reader_.NextBatch();
    }
    Enter();
  }

  bool Eof() const override { return eof_; }
  std::int64_t RecordCount() override { return recordCount_; }

  bool IsNull(int column) override {
    if (eof_) return true;
    std::string_view cell = CellAt(column);
    if (cell.empty()) return true;
    if (fields_[static_cast<std::size_t>(column)].type == TFieldType::ftString) return false;
    return Parsed(column, cell) && std::isnan(parsedValue_[static_cast<std::size_t>(column)]);
  }

  double AsFloat(int column) override {
    if (eof_) return 0.0;
    std::string_view cell = CellAt(column);
    if (cell.empty()) return 0.0;
    const std::string& name = fields_[static_cast<std::size_t>(column)].name;
    if (Parsed(column, cell)) return CheckedFloat(parsedValue_[static_cast<std::size_t>(column)], name, recordNumber_);
    // Not a plain number: the shared parser accepts blanks and a '+' sign, and names the cell otherwise.
    return ParseFloatText(cell, name, recordNumber_);
  }

  std::string AsString(int column) override { return eof_ ? std::string() : std::string(CellAt(column)); }
  std::int64_t RecordNumber() const override { return recordNumber_; }

 private:
  // Reads the whole file once: field names, record count, column classes.
  void Survey() {
    reader_.Restart(true);
    std::vector<ColumnEvidence> evidence;
    std::int64_t count = 0;
    bool more = reader_.NextBatch();
    if (!reader_.HeaderRead()) {
      throw EDatabaseError("CSV file '" + reader_.Path() + "' is empty: its first line must name the fields");
    }
    evidence.resize(reader_.Header().size());
    for (; more; more = reader_.NextBatch()) {
      for (std::size_t row = 0; row < reader_.BatchRows(); ++row) {
        std::size_t start = reader_.RowStart(row);
        for (std::size_t column = 0; column < evidence.size(); ++column) {
          std::string_view cell = reader_.Cell(start + column);
          if (!cell.empty()) evidence[column].Observe(cell);
        }
      }
      count += static_cast<std::int64_t>(reader_.BatchRows());
    }
    recordCount_ = count;
    for (std::size_t column = 0; column < evidence.size(); ++column) {
      fields_.push_back({reader_.Header()[column], evidence[column].Type()});
    }
  }

  void Enter() {
    ++serial_;
    if (eof_) return;
    ++recordNumber_;
    rowStart_ = reader_.RowStart(row_);
  }

  std::string_view CellAt(int column) const { return reader_.Cell(rowStart_ + static_cast<std::size_t>(column)); }

  // Parses a plain number once per record and column; false when the cell is not one.
  bool Parsed(int column, std::string_view cell) {
    auto index = static_cast<std::size_t>(column);
    if (parsedSerial_[index] != serial_) {
      parsedSerial_[index] = serial_;
      const char* end = cell.data() + cell.size();
      auto [ptr, ec] = std::from_chars(cell.data(), end, parsedValue_[index]);
      parsedOk_[index] = ptr == end && ec == std::errc();
    }
    return parsedOk_[index];
  }

  CsvReader reader_;
  std::vector<FieldDef> fields_;
  std::int64_t recordCount_ = 0;
  std::size_t row_ = 0;       // current row within the reader's batch
  std::size_t rowStart_ = 0;  // its first cell
  std::int64_t recordNumber_ = 0;
  bool eof_ = true;
  // Each cell is parsed at most once per record: IsNull and AsFloat share the result.
  std::uint64_t serial_ = 0;
  std::vector<std::uint64_t> parsedSerial_;
  std::vector<double> parsedValue_;
  std::vector<bool> parsedOk_;
};

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// "orders.csv", "orders" and, on a case-sensitive file system, "ORDERS" all name orders.csv.
fs::path FindTableFile(const std::string& directory, const std::string& tableName) {
  std::error_code ec;
  if (!fs::is_directory(directory, ec)) {
    throw EDatabaseError("CSV directory '" + directory + "' does not exist; check DatabaseName");
  }
  for (const std::string& candidate : {tableName, tableName + ".csv"}) {
    fs::path path = fs::path(directory) / candidate;
    if (fs::is_regular_file(path, ec)) return path;
  }
  for (const auto& entry : fs::directory_iterator(directory, ec)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file(ec) &&
        (SameNameIgnoringCase(name, tableName) || SameNameIgnoringCase(name, tableName + ".csv"))) {
      return entry.path();
    }
  }
  throw EDatabaseError("CSV table '" + tableName + "' not found: '" + directory + "' holds no file '" + tableName +
                       "' or '" + tableName + ".csv'");
}

}  // namespace

std::unique_ptr<RecordSource> OpenCsvTable(const std::string& directory, const std::string& tableName) {
  return std::make_unique<CsvSource>(FindTableFile(directory, tableName).string());
}

}  // namespace sumora
