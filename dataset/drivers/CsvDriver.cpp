// The CSV data source: a directory is the database and each "*.csv" (".tsv", ".tab") file in it a
// table, or a single CSV file is the database and its one table.
//
// Opening costs one cheap pass. The dialect (delimiter, decimal mark) is guessed from the first 64 KiB
// unless the user set it; the column classes are inferred from the rows in the first megabyte, as
// column stores do, while one scan of the whole file counts the records and checks that no row has
// more cells than the header. A later cell that is not a number raises the usual error naming the
// field and the record when a pass reads it. The cursor then streams the file: a pass focused on one
// field splits each row only up to that field and converts that one cell where it lies.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <unordered_set>
#include <string_view>
#include <system_error>

#include "dataset/Drivers.h"
#include "dataset/ValueText.h"
#include "dataset/drivers/csv/CsvDialect.h"
#include "dataset/drivers/csv/CsvScanner.h"
#include "dataset/drivers/csv/CsvSniffer.h"
#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

namespace {

namespace fs = std::filesystem;
// Cells lie in the scanner's buffer, whose padding lets the decimal reader look ahead of short ones.
static_assert(csv::kReadPadding >= kPlainDecimalReach);
using csv::Cell;

// Whether std::from_chars could read a number from text starting with `c`.
bool MayStartNumber(char c) {
  return (c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'i' || c == 'I' || c == 'n' || c == 'N';
}

// Rows read at open to infer the column classes: those that start in the first megabyte.
constexpr std::uint64_t kInferBytes = 1024 * 1024;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool EndsWithIgnoringCase(const std::string& text, const char* suffix) {
  std::size_t n = std::strlen(suffix);
  return text.size() >= n && Lower(text.substr(text.size() - n)) == suffix;
}

// Tab for ".tsv" and ".tab" files, a comma otherwise: where sniffing has no better answer.
char DefaultDelimiter(const std::string& path) {
  return EndsWithIgnoringCase(path, ".tsv") || EndsWithIgnoringCase(path, ".tab") ? '\t' : ',';
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// What identifies the file's contents between passes. The modification time can be set back by
// whoever rewrites the file (touch -r), the change time cannot: a rewrite in place that keeps the size
// and the modification time still moves it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           SameTime(modified, other.modified) && SameTime(changed, other.changed);
  }
};

FileIdentity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

std::string KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISDIR(mode)) return "a directory";
  return "not a regular file";
}

[[noreturn]] void ThrowNotRegular(const std::string& path, mode_t mode) {
  throw EDatabaseError("CSV file '" + ShownText(path) + "' is " + KindOf(mode) +
                       ", not a regular file; it is refused rather than read: give a file");
}

// stat() of a path that should be there; errors other than "not there" name their cause.
bool StatExisting(const std::string& path, struct stat* st, const char* what) {
  if (::stat(path.c_str(), st) == 0) return true;
  if (errno == ENOENT || errno == ENOTDIR) return false;
  if (errno == ELOOP) {
    throw EDatabaseError(std::string(what) + " '" + ShownText(path) +
                         "' is a symbolic link that leads to itself (a link loop); point it at a file");
  }
  throw EDatabaseError(std::string(what) + " '" + ShownText(path) + "' cannot be reached: " + std::strerror(errno));
}

// Opens a regular file without blocking: a FIFO or device is refused before and after opening.
int OpenRegularFile(const std::string& path, struct stat* st) {
  if (!StatExisting(path, st, "CSV file")) throw EDatabaseError("CSV file '" + ShownText(path) + "' does not exist");
  if (!S_ISREG(st->st_mode)) ThrowNotRegular(path, st->st_mode);
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw EDatabaseError("CSV file '" + ShownText(path) + "' cannot be opened: " + std::strerror(errno));
  if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    mode_t mode = st->st_mode;
    ::close(fd);
    ThrowNotRegular(path, mode);
  }
  return fd;
}

// Field names from the header: an empty name becomes "column_N" (N its position from 1), a repeated
// one (ignoring case, as field lookup does) gets the first free suffix: "v", "v_1", "v_2". A made-up
// name never takes a name the header gives, so --field column_2 always means the column so headed.
std::vector<std::string> FieldNames(const std::vector<std::string>& header) {
  std::unordered_set<std::string> given;
  for (const std::string& name : header) given.insert(Lower(name));
  std::unordered_set<std::string> used;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < header.size(); ++i) {
    const bool generated = header[i].empty();
    std::string name = generated ? "column_" + std::to_string(i + 1) : header[i];
    if (used.count(Lower(name)) != 0 || (generated && given.count(Lower(name)) != 0)) {
      std::string base = name;
      for (int k = 1;; ++k) {
        name = base + "_" + std::to_string(k);
        if (used.count(Lower(name)) == 0 && given.count(Lower(name)) == 0) break;
      }
    }
    used.insert(Lower(name));
    names.push_back(name);
  }
  return names;
}

// What the cells of one column have shown so far; null cells show nothing.
struct ColumnEvidence {
  bool numeric = true;
  bool integer = true;
  bool large = false;

  void Observe(std::string_view cell, char decimal) {
    if (!numeric) return;
    std::string converted;
    if (decimal != '.') {
      if (cell.find('.') != std::string_view::npos) {
        numeric = integer = false;
        return;
      }
      converted.assign(cell);
      std::replace(converted.begin(), converted.end(), decimal, '.');
      cell = converted;
    }
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
  CsvSource(const std::string& path, csv::Dialect dialect) : path_(path) {
    struct stat st {};
    fd_ = OpenRegularFile(path, &st);
    try {
      identity_ = IdentityOf(st);
      Sniff(dialect);
      scanner_ = std::make_unique<csv::Scanner>(fd_, path_, dialect_);
      Survey();
      CheckUnchanged();
      First();
    } catch (...) {
      ::close(fd_);
      throw;
    }
  }
  ~CsvSource() override { ::close(fd_); }
  CsvSource(const CsvSource&) = delete;
  CsvSource& operator=(const CsvSource&) = delete;

  const std::vector<FieldDef>& Fields() const override { return fields_; }

  void First() override {
    CheckUnchanged();
    focus_ = pendingFocus_;
    // A projection splits each row only as far as its last wanted cell.
    wanted_ = focus_ >= 0 ? static_cast<std::size_t>(focus_) + 1
                          : (pendingProjectionEnd_ > 0 ? pendingProjectionEnd_ : fields_.size() + 1);
    projected_ = focus_ < 0 && pendingProjectionEnd_ > 0;
    scanner_->Rewind(dataOffset_, dataLine_);
    recordNumber_ = 0;
    eof_ = false;
    Advance();
  }

  void Next() override {
    if (!eof_) Advance();
  }

  bool Eof() const override { return eof_; }
  std::int64_t RecordCount() override { return recordCount_; }

  bool IsNull(int column) override {
    if (eof_) return true;
    return Value(column) == State::Null;
  }

  double AsFloat(int column) override {
    if (eof_) return 0.0;
    switch (Value(column)) {
      case State::Null: return 0.0;
      case State::Number: return CheckedFloat(value_, fields_[static_cast<std::size_t>(column)].name, recordNumber_);
      case State::Text: break;
    }
    // Not a number: the shared parser names the cell, the field and the record.
    return ParseFloatText(CellText(*CellFor(column), scratch_), fields_[static_cast<std::size_t>(column)].name,
                          recordNumber_);
  }

  void ReadNumbers(const std::vector<int>& columns, double* out) override {
    constexpr double kNull = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const int column = columns[i];
      const Cell* cell = eof_ ? nullptr : CellFor(column);
      if (cell == nullptr || cell->size == 0) {
        out[i] = kNull;
        continue;
      }
      // Plain decimals, nearly every cell of a numeric column, are read where they lie; they are
      // always finite. Anything else takes the full conversion.
      if (!cell->escaped && dialect_.decimal == '.' && ReadPlainDecimalPadded(cell->data, cell->data + cell->size, &out[i])) {
        continue;
      }
      out[i] = IsNull(column) ? kNull : AsFloat(column);
    }
  }

  std::string AsString(int column) override {
    if (eof_) return std::string();
    const Cell* cell = CellFor(column);
    if (cell == nullptr) return std::string();
    std::string_view text = CellText(*cell, scratch_);
    return csv::IsNullText(text, dialect_) ? std::string() : std::string(text);
  }

  bool ReadText(int column, std::string& text) override {
    if (eof_) return false;
    // A group field's records repeat a few keys: an unquoted cell with the bytes of the last text this
    // column gave is that text again, not null, with no parse to tell.
    const Cell* cell = CellFor(column);
    if (cell != nullptr && !cell->escaped && column == lastTextColumn_ &&
        std::string_view(cell->data, cell->size) == lastText_) {
      text.assign(lastText_);
      return true;
    }
    // A cell that is not null is not null text either (Value looks at both).
    if (Value(column) == State::Null) return false;
    text.assign(CellText(*cell, scratch_));
    if (!cell->escaped) {
      lastTextColumn_ = column;
      lastText_ = text;
    }
    return true;
  }

  std::int64_t RecordNumber() const override { return recordNumber_; }

  void FocusColumn(int column) override {
    if (column >= static_cast<int>(fields_.size())) return;
    pendingFocus_ = column;
    pendingProjectionEnd_ = 0;
    if (column < 0 && (focus_ >= 0 || projected_)) First();
  }

  void FocusColumns(const std::vector<int>& columns) override {
    if (columns.size() <= 1) {
      FocusColumn(columns.empty() ? -1 : columns.front());
      return;
    }
    int last = -1;
    for (int column : columns) last = std::max(last, column);
    if (last >= static_cast<int>(fields_.size())) return;
    pendingFocus_ = -1;
    pendingProjectionEnd_ = static_cast<std::size_t>(last) + 1;
  }

 private:
  enum class State { Null, Number, Text };

  void Sniff(csv::Dialect dialect) {
    std::string sample(csv::kSniffBytes, '\0');
    std::size_t filled = 0;
    while (filled < sample.size()) {
      ssize_t got = ::pread(fd_, sample.data() + filled, sample.size() - filled, static_cast<off_t>(filled));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) throw EDatabaseError("CSV file '" + ShownText(path_) + "' cannot be read: " + std::strerror(errno));
      if (got == 0) break;
      filled += static_cast<std::size_t>(got);
    }
    const bool whole = filled < sample.size();
    sample.resize(filled);
    csv::SniffDialect(sample, whole, DefaultDelimiter(path_), dialect);
    dialect_ = std::move(dialect);
  }

  // The one pass at open: header, record count, width check; column classes from the first rows.
  void Survey() {
    csv::Scanner& scanner = *scanner_;
    scanner.Rewind(0, 1);
    scanner.SkipPreamble();
    const std::uint64_t firstOffset = scanner.Offset();
    const std::int64_t firstLine = scanner.Line();
    if (!scanner.NextRow(std::numeric_limits<std::size_t>::max(), true)) {
      if (dialect_.noHeader) throw EDatabaseError("CSV file '" + ShownText(path_) + "' is empty: it holds no row");
      throw EDatabaseError("CSV file '" + ShownText(path_) + "' is empty: its first line must name the fields");
    }
    // Without a header line the first row is data: its cell count sets the width, its cells no names.
    std::vector<std::string> header(scanner.CellCount());
    if (!dialect_.noHeader) {
      for (std::size_t i = 0; i < header.size(); ++i) header[i] = CellText(scanner.CellAt(i), scratch_);
    }
    const std::size_t width = header.size();
    dataOffset_ = dialect_.noHeader ? firstOffset : scanner.Offset();
    dataLine_ = dialect_.noHeader ? firstLine : scanner.Line();
    if (dialect_.noHeader) scanner.Rewind(dataOffset_, dataLine_);

    std::vector<ColumnEvidence> evidence(width);
    std::int64_t count = 0;
    for (;;) {
      const bool sampling = scanner.Offset() - dataOffset_ < kInferBytes;
      if (!sampling) count += scanner.CountPlainRows(width);
      if (!scanner.NextRow(sampling ? width + 1 : 0, !sampling)) break;
      const std::size_t cells = sampling ? scanner.CellCount() : scanner.Width();
      if (cells > width) ThrowWideRow(scanner.RowLine(), cells, width);
      if (sampling) {
        for (std::size_t i = 0; i < cells; ++i) {
          std::string_view text = CellText(scanner.CellAt(i), scratch_);
          if (!csv::IsNullText(text, dialect_)) evidence[i].Observe(text, dialect_.decimal);
        }
      }
      ++count;
    }
    recordCount_ = count;
    std::vector<std::string> names = FieldNames(header);
    for (std::size_t i = 0; i < width; ++i) fields_.push_back({names[i], evidence[i].Type()});
  }

  [[noreturn]] void ThrowWideRow(std::int64_t line, std::size_t cells, std::size_t width) const {
    const std::string delimiter =
        dialect_.whitespace ? std::string("runs of spaces and tabs") : csv::DelimiterName(dialect_.delimiter);
    const std::string quoteHint = dialect_.whitespace ? "quote a cell that holds a space or tab"
                                                      : "quote a cell that holds " + delimiter;
    const std::string widthText = dialect_.noHeader ? "the first row has " + std::to_string(width) + " cells"
                                                    : "the header names " + std::to_string(width) + " fields";
    throw EDatabaseError("CSV file '" + ShownText(path_) + "', line " + std::to_string(line) + ": the row has " +
                         std::to_string(cells) + " cells but " + widthText + " (cells split at " + delimiter + "); " +
                         quoteHint + ", or set the delimiter");
  }

  void CheckUnchanged() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !(IdentityOf(st) == identity_)) {
      throw EDatabaseError("CSV file '" + ShownText(path_) +
                           "' changed while it was being read (its size, modification or change time differs from "
                           "when the table was opened); run again once the file is complete");
    }
  }

  void Advance() {
    if (focus_ >= 0) {
      if (!scanner_->NextRowCell(static_cast<std::size_t>(focus_))) {
        eof_ = true;
        CheckUnchanged();
        return;
      }
      ++recordNumber_;
      parsedColumn_ = -1;
      return;
    }
    if (!scanner_->NextRow(wanted_, false)) {
      eof_ = true;
      CheckUnchanged();
      return;
    }
    ++recordNumber_;
    parsedColumn_ = -1;
    if (!projected_ && scanner_->CellCount() > fields_.size()) {
      CheckUnchanged();
      ThrowWideRow(scanner_->RowLine(), scanner_->CellCount(), fields_.size());
    }
  }

  // The current row's cell of `column`; null when a short row ends before it.
  const Cell* CellFor(int column) const {
    if (focus_ >= 0 && column != focus_) {
      throw EDatabaseError("CSV file '" + ShownText(path_) + "': only the focused field can be read during a focused scan");
    }
    if (focus_ >= 0) return scanner_->FocusedCell();
    auto index = static_cast<std::size_t>(column);
    return index < scanner_->CellCount() ? &scanner_->CellAt(index) : nullptr;
  }

  // Converts the cell once per record; IsNull and AsFloat share the result.
  State Value(int column) {
    if (parsedColumn_ == column) return state_;
    parsedColumn_ = column;
    const Cell* cell = CellFor(column);
    if (cell == nullptr || cell->size == 0) return state_ = State::Null;
    if (!cell->escaped && dialect_.decimal == '.') {
      const char* end = cell->data + cell->size;
      if (ReadPlainDecimalPadded(cell->data, end, &value_)) return state_ = State::Number;
      // A number starts with a digit, a point, a minus, or the i or n of inf and nan: words of a text
      // field are told apart at their first letter.
      if (MayStartNumber(cell->data[0])) {
        auto [ptr, ec] = std::from_chars(cell->data, end, value_);
        if (ptr == end && ec == std::errc()) return state_ = std::isnan(value_) ? State::Null : State::Number;
      }
    }
    std::string_view text = CellText(*cell, scratch_);
    if (csv::IsNullText(text, dialect_)) return state_ = State::Null;
    std::string converted;
    if (dialect_.decimal != '.') {
      if (text.find('.') != std::string_view::npos) return state_ = State::Text;
      converted.assign(text);
      std::replace(converted.begin(), converted.end(), dialect_.decimal, '.');
      text = converted;
    }
    if (!TryParseFloatText(text, &value_)) return state_ = State::Text;
    return state_ = std::isnan(value_) ? State::Null : State::Number;
  }

  std::string path_;
  int fd_ = -1;
  FileIdentity identity_;
  csv::Dialect dialect_;
  std::unique_ptr<csv::Scanner> scanner_;
  std::vector<FieldDef> fields_;
  std::uint64_t dataOffset_ = 0;
  std::int64_t dataLine_ = 1;
  std::int64_t recordCount_ = 0;

  int focus_ = -1;
  int pendingFocus_ = -1;
  std::size_t pendingProjectionEnd_ = 0;  // one past the last column of a projection; 0 for none
  bool projected_ = false;
  std::size_t wanted_ = 0;
  std::int64_t recordNumber_ = 0;
  bool eof_ = true;

  int parsedColumn_ = -1;
  State state_ = State::Null;
  int lastTextColumn_ = -1;  // ReadText's last column and the text it gave (an unquoted cell's bytes)
  std::string lastText_;
  double value_ = 0.0;
  std::string scratch_;
};

bool SameNameIgnoringCase(const std::string& a, const std::string& b) { return a.size() == b.size() && Lower(a) == Lower(b); }

// A table is a file directly inside the directory: a name that could lead anywhere else is refused.
void CheckTableName(const std::string& directory, const std::string& tableName) {
  if (tableName.find('/') != std::string::npos || tableName.find('\0') != std::string::npos || tableName == "." ||
      tableName == "..") {
    throw EDatabaseError("CSV table name '" + ShownText(tableName) + "' is refused: a table is a file directly inside '" +
                         ShownText(directory) + "', so its name cannot hold '/' or be '.' or '..'");
  }
}

// A regular file at `path`: true; nothing there: false; anything else is refused with its reason.
bool IsTableFile(const std::string& path) {
  struct stat st {};
  if (!StatExisting(path, &st, "CSV file")) return false;
  if (S_ISDIR(st.st_mode)) return false;
  if (!S_ISREG(st.st_mode)) ThrowNotRegular(path, st.st_mode);
  return true;
}

// "orders.csv", "orders" and, on a case-sensitive file system, "ORDERS" all name orders.csv; ".tsv"
// and ".tab" files are found the same way.
std::string FindTableFile(const std::string& directory, const std::string& tableName) {
  CheckTableName(directory, tableName);
  const std::vector<std::string> candidates = {tableName, tableName + ".csv", tableName + ".tsv", tableName + ".tab"};
  for (const std::string& candidate : candidates) {
    std::string path = (fs::path(directory) / candidate).string();
    if (IsTableFile(path)) return path;
  }
  std::error_code ec;
  fs::directory_iterator entries(directory, ec);
  if (ec) throw EDatabaseError("CSV directory '" + ShownText(directory) + "' cannot be read: " + ec.message());
  for (const auto& entry : entries) {
    std::string name = entry.path().filename().string();
    for (const std::string& candidate : candidates) {
      if (SameNameIgnoringCase(name, candidate) && IsTableFile(entry.path().string())) return entry.path().string();
    }
  }
  throw EDatabaseError("CSV table '" + ShownText(tableName) + "' not found: '" + ShownText(directory) +
                       "' holds no file '" + ShownText(tableName) + "' or '" + ShownText(tableName + ".csv") + "'");
}

}  // namespace

bool IsCsvFileName(const std::string& path) {
  return EndsWithIgnoringCase(path, ".csv") || EndsWithIgnoringCase(path, ".tsv") ||
         EndsWithIgnoringCase(path, ".tab");
}

std::unique_ptr<RecordSource> OpenCsvTable(const std::string& databaseName, const std::string& tableName) {
  csv::DatabaseLocation location = csv::ParseLocation(databaseName);
  const std::string& path = location.path;
  struct stat st {};
  if (!StatExisting(path, &st, "CSV database")) {
    if (IsCsvFileName(path)) throw EDatabaseError("CSV file '" + ShownText(path) + "' does not exist; check DatabaseName");
    throw EDatabaseError("CSV directory '" + ShownText(path) + "' does not exist; check DatabaseName");
  }
  if (S_ISDIR(st.st_mode)) return std::make_unique<CsvSource>(FindTableFile(path, tableName), location.dialect);
  // A file alone is the database; its one table answers to its own name, with or without extension.
  const std::string fileName = fs::path(path).filename().string();
  const std::string stem = fs::path(path).stem().string();
  if (!tableName.empty() && !SameNameIgnoringCase(tableName, fileName) && !SameNameIgnoringCase(tableName, stem)) {
    throw EDatabaseError("CSV table '" + ShownText(tableName) + "' not found: the database is the file '" +
                         ShownText(path) + "', whose one table is '" + ShownText(fileName) + "'");
  }
  return std::make_unique<CsvSource>(path, location.dialect);
}

}  // namespace sumora
