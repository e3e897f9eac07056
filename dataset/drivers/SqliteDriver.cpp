// The SQLite data source: a forward cursor over one prepared statement of a database opened read-only.
//
// Field classes come from each column's declared type, read with SQLite's own affinity rules
// (a type holding "INT" is an integer, "CHAR"/"CLOB"/"TEXT" is text, "REAL"/"FLOA"/"DOUB" is floating)
// refined by the common type names (SMALLINT, BIGINT, MONEY, DATE, BOOLEAN, ...). A column without a
// declared type (an expression in a query, an untyped table column) is classed by its values: the first
// 1000 rows are looked at once before the cursor is rewound; when every non-null value there is an
// integer the column is an integer field, when every one is an integer or a real it is a float field,
// otherwise (text, blobs, or no value at all) it is a string field.
#include "dataset/Drivers.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "host/Errors.h"
#include "host/MessageText.h"
#include "host/SafeFile.h"
#include "dataset/ValueText.h"

namespace sumora {

std::string SqliteImmutableUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      uri += escaped;
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

namespace {

constexpr int kTypeSampleRows = 1000;

std::string Upper(const char* text) {
  std::string result = text != nullptr ? text : "";
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// Marks a column without a usable declared type: its values decide its class.
constexpr int kUntyped = -1;

int ClassOfDeclaredType(const char* declared) {
  const std::string type = Upper(declared);
  if (type.empty()) return kUntyped;
  if (Has(type, "INT")) {
    if (Has(type, "UNSIGNED") && (Has(type, "SMALLINT") || Has(type, "INT2"))) {
      return static_cast<int>(TFieldType::ftWord);
    }
    if (Has(type, "SMALLINT") || Has(type, "TINYINT") || Has(type, "INT2")) {
      return static_cast<int>(TFieldType::ftSmallint);
    }
    if (Has(type, "BIGINT") || Has(type, "INT8")) return static_cast<int>(TFieldType::ftLargeint);
    return static_cast<int>(TFieldType::ftInteger);
  }
  if (Has(type, "CHAR") || Has(type, "CLOB") || Has(type, "TEXT")) return static_cast<int>(TFieldType::ftString);
  if (Has(type, "BLOB")) return kUntyped;
  if (Has(type, "REAL") || Has(type, "FLOA") || Has(type, "DOUB")) return static_cast<int>(TFieldType::ftFloat);
  // NUMERIC affinity from here on: the name tells the class.
  if (Has(type, "MONEY") || Has(type, "CURRENCY")) return static_cast<int>(TFieldType::ftCurrency);
  if (Has(type, "WORD")) return static_cast<int>(TFieldType::ftWord);
  if (Has(type, "DATETIME") || Has(type, "TIMESTAMP") || Has(type, "TIME")) {
    return static_cast<int>(TFieldType::ftDateTime);
  }
  if (Has(type, "DATE")) return static_cast<int>(TFieldType::ftDate);
  if (Has(type, "BOOL")) return static_cast<int>(TFieldType::ftBoolean);
  return static_cast<int>(TFieldType::ftFloat);  // NUMERIC, DECIMAL, NUMBER and the like
}

bool OnlySeparators(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](unsigned char c) { return c == ';' || std::isspace(c) != 0; });
}

std::string QuoteIdentifier(const std::string& name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

// How a database is opened so that reading it leaves nothing behind. Reading a rollback-journal
// database read-only creates no file. A WAL database needs its -wal and -shm files: a read-only
// connection creates them when they are missing and, unable to checkpoint, leaves them behind; in a
// folder it cannot write it cannot open the database at all.
enum class WalOpening {
  ReadOnly,   // rollback journal, or a WAL whose files exist already (in use, or left by a crash)
  QueryOnly,  // a WAL database nobody has open, in a folder we may write: a read-write connection
              // with query_only set, which removes the -wal and -shm it made when it closes
  Immutable,  // a WAL database nobody has open on a read-only file system or in a folder nobody may
              // write: no writer can appear, so SQLite may read the file without locks or a -shm
};

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

WalOpening ChooseWalOpening(const std::string& path) {
  unsigned char header[20] = {};
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return WalOpening::ReadOnly;
  const ssize_t got = ::pread(fd, header, sizeof header, 0);
  ::close(fd);
  // Bytes 18 and 19 are the write and read versions: 2 in WAL mode.
  if (got != static_cast<ssize_t>(sizeof header) || header[18] != 2 || header[19] != 2) return WalOpening::ReadOnly;
  if (Exists(path + "-wal") || Exists(path + "-shm")) return WalOpening::ReadOnly;
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (::access(folder.c_str(), W_OK) == 0 && ::access(path.c_str(), W_OK) == 0) return WalOpening::QueryOnly;
  struct statvfs fileSystem {};
  struct stat folderInfo {};
  const bool readOnlyFileSystem = ::statvfs(folder.c_str(), &fileSystem) == 0 && (fileSystem.f_flag & ST_RDONLY) != 0;
  const bool nobodyWrites = ::stat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & 0222) == 0;
  return readOnlyFileSystem || nobodyWrites ? WalOpening::Immutable : WalOpening::ReadOnly;
}


class SqliteSource : public RecordSource {
 public:
  // `tableFrom` is the quoted table name when the source reads a whole table; a scan focused on one
  // column then selects that column alone, in the same order.
  SqliteSource(const std::string& path, const std::string& sql, std::string countSql, std::string subject,
               std::string tableFrom = {})
      : path_(path), countSql_(std::move(countSql)), subject_(std::move(subject)), tableFrom_(std::move(tableFrom)) {
    try {
      OpenDatabase();
      Prepare(sql);
      current_ = statement_;
      DescribeColumns();
      Step();
    } catch (...) {
      Release();
      throw;
    }
  }
  ~SqliteSource() override { Release(); }
  SqliteSource(const SqliteSource&) = delete;
  SqliteSource& operator=(const SqliteSource&) = delete;

  const std::vector<FieldDef>& Fields() const override { return fields_; }

  void First() override {
    if (!pendingFocus_.empty() && focusedColumns_ != pendingFocus_) StartFocus();
    sqlite3_reset(current_);
    recordNumber_ = 0;
    eof_ = false;
    Step();
  }

  void FocusColumn(int column) override { FocusColumns(column < 0 ? std::vector<int>{} : std::vector<int>{column}); }

  void FocusColumns(const std::vector<int>& columns) override {
    if (tableFrom_.empty()) return;
    for (int column : columns) {
      if (column < 0 || column >= static_cast<int>(fields_.size())) return;
    }
    pendingFocus_ = columns;
    if (columns.empty() && !focusedColumns_.empty()) {
      focusedColumns_.clear();
      current_ = statement_;
      read_.column = -1;
      First();
    }
  }

  void Next() override {
    if (!eof_) Step();
  }

  bool Eof() const override { return eof_; }

  std::int64_t RecordCount() override {
    if (recordCount_ < 0) recordCount_ = CountRecords();
    return recordCount_;
  }

  bool IsNull(int column) override {
    const ReadCell& cell = Read(column);
    switch (cell.type) {
      case SQLITE_NULL: return true;
      case SQLITE_FLOAT: return std::isnan(cell.value);
      case SQLITE_TEXT: {
        // Text NaN (a CSV import, a "nan" written by a script) is null, as a stored NaN is.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(current_, Column(column)));
        const int length = sqlite3_column_bytes(current_, Column(column));
        return length <= 8 && IsNanText(std::string_view(text, static_cast<std::size_t>(length)));
      }
      default: return false;
    }
  }

  double AsFloat(int column) override {
    const ReadCell& cell = Read(column);
    switch (cell.type) {
      case SQLITE_INTEGER:
        // Through the 64-bit integer, so large values round once to the nearest double.
        return static_cast<double>(sqlite3_column_int64(current_, Column(column)));
      case SQLITE_FLOAT:
        return CheckedFloat(cell.value, FieldName(column), recordNumber_);
      case SQLITE_NULL:
        return 0.0;
      case SQLITE_TEXT: {
        // SQLite's lax typing lets text into any column; it must read as a number to be used as one.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(current_, Column(column)));
        int length = sqlite3_column_bytes(current_, Column(column));
        return ParseFloatText(std::string_view(text, static_cast<std::size_t>(length)), FieldName(column),
                              recordNumber_);
      }
      default:
        throw EDatabaseError("A binary value is not a number (field '" + ShownText(FieldName(column)) +
                             "', record " + std::to_string(recordNumber_) + ")");
    }
  }

  std::string AsString(int column) override {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(current_, Column(column)));
    if (text == nullptr) return std::string();
    return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(current_, Column(column))));
  }

  std::int64_t RecordNumber() const override { return recordNumber_; }

  // Outside a transaction each pass is its own read, so a writer committing between two passes would
  // give them different data. BEGIN keeps the read that the next step starts (or the one the cursor
  // already holds) until COMMIT.
  void HoldSnapshot(bool hold) override {
    if (hold == holding_) return;
    if (sqlite3_exec(db_, hold ? "BEGIN" : "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      Fail(hold ? "cannot start a read transaction" : "cannot end the read transaction");
    }
    holding_ = hold;
  }

 private:
  // The type and the double of the cell last asked for in the current record: a pass asks IsNull and
  // then AsFloat of the same cell, and every call into the library costs nearly as much as a step.
  struct ReadCell {
    int column = -1;
    int type = SQLITE_NULL;
    double value = 0.0;
  };
  const ReadCell& Read(int column) {
    if (read_.column != column) {
      const int index = Column(column);
      read_.type = sqlite3_column_type(current_, index);
      read_.value = read_.type == SQLITE_FLOAT ? sqlite3_column_double(current_, index) : 0.0;
      read_.column = column;
    }
    return read_;
  }

  // The statement's column for a field: the field itself, or its place in a focused scan's statement.
  int Column(int column) const {
    if (focusedColumns_.empty()) return column;
    const std::size_t slot = static_cast<std::size_t>(column);
    const int index = slot < statementColumn_.size() ? statementColumn_[slot] : -1;
    if (index < 0) {
      throw EDatabaseError("SQLite: field '" + ShownText(FieldName(column)) + "' read during a scan of other fields (first '" +
                           ShownText(FieldName(focusedColumns_.front())) + "')");
    }
    return index;
  }

  // NOT INDEXED keeps the plan a scan of the table itself, so records come in the order SELECT * gives.
  void StartFocus() {
    sqlite3_finalize(focused_);
    focused_ = nullptr;
    std::string list;
    for (int column : pendingFocus_) list += (list.empty() ? "" : ", ") + QuoteIdentifier(FieldName(column));
    const std::string sql = "SELECT " + list + " FROM " + tableFrom_ + " NOT INDEXED";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &focused_, nullptr) != SQLITE_OK) {
      sqlite3_finalize(focused_);
      focused_ = nullptr;
      pendingFocus_.clear();  // fall back to reading whole records
      return;
    }
    focusedColumns_ = pendingFocus_;
    statementColumn_.assign(fields_.size(), -1);
    for (std::size_t i = 0; i < focusedColumns_.size(); ++i) {
      statementColumn_[static_cast<std::size_t>(focusedColumns_[i])] = static_cast<int>(i);
    }
    current_ = focused_;
    read_.column = -1;
    // The whole-record statement still stands on its first record; reset, it stops holding a read of
    // its own, so each pass (or the held snapshot) decides what is read.
    sqlite3_reset(statement_);
  }

  void Release() {
    sqlite3_finalize(focused_);
    focused_ = nullptr;
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    sqlite3_close(db_);
    db_ = nullptr;
  }

  const std::string& FieldName(int column) const { return fields_[static_cast<std::size_t>(column)].name; }

  [[noreturn]] void Fail(const std::string& what) const {
    throw EDatabaseError("SQLite: " + what + ": " + ShownText(sqlite3_errmsg(db_)) + " (" + subject_ + " in '" +
                         ShownText(path_) + "')");
  }

  void OpenDatabase() {
    // Checked before SQLite opens it: opening a FIFO would wait for a writer forever, and "does not
    // exist" must not stand for a link loop or a folder that cannot be searched.
    const std::string problem = RegularFileProblem(path_);
    if (problem == kNoSuchFile) {
      throw EDatabaseError("SQLite database '" + ShownText(path_) + "' does not exist; check DatabaseName");
    }
    if (!problem.empty()) {
      throw EDatabaseError("SQLite database '" + ShownText(path_) + "' cannot be opened: " + problem +
                           "; check DatabaseName");
    }
    // Never created, and never written: statements are checked to be read-only. A source is used by one
    // thread at a time, so the connection needs no mutex of its own (it would cost two locks per value).
    const WalOpening opening = ChooseWalOpening(path_);
    int rc = SQLITE_OK;
    if (opening == WalOpening::Immutable) {
      rc = sqlite3_open_v2(SqliteImmutableUri(path_).c_str(), &db_,
                           SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    } else {
      const int access = opening == WalOpening::QueryOnly ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
      rc = sqlite3_open_v2(path_.c_str(), &db_, access | SQLITE_OPEN_NOMUTEX, nullptr);
      if (rc == SQLITE_OK && opening == WalOpening::QueryOnly) {
        rc = sqlite3_exec(db_, "PRAGMA query_only = ON", nullptr, nullptr, nullptr);
      }
    }
    if (rc != SQLITE_OK) {
      std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close(db_);
      db_ = nullptr;
      throw EDatabaseError("SQLite: cannot open database '" + ShownText(path_) + "': " + message);
    }
  }

  void Prepare(const std::string& sql) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &statement_, &tail) != SQLITE_OK) {
      Fail("cannot prepare the statement");
    }
    if (statement_ == nullptr) throw EDatabaseError("SQLite: no SQL statement to run (" + subject_ + ")");
    firstStatement_.assign(sql.c_str(), tail);
    // Whatever follows the first statement must be empty: whitespace, semicolons or comments.
    std::string_view rest(tail, static_cast<std::size_t>(sql.c_str() + sql.size() - tail));
    while (!OnlySeparators(rest)) {
      sqlite3_stmt* extra = nullptr;
      const char* next = nullptr;
      int rc = sqlite3_prepare_v2(db_, rest.data(), static_cast<int>(rest.size()), &extra, &next);
      sqlite3_finalize(extra);
      if (rc != SQLITE_OK || extra != nullptr) {
        // The SQL text ends with a line break; quoting it would break the message over two lines.
        std::string_view shown = rest;
        while (!shown.empty() && std::isspace(static_cast<unsigned char>(shown.back()))) shown.remove_suffix(1);
        throw EDatabaseError("SQLite: only one statement can be run, but more text follows it: '" +
                             ShownText(shown) + "' (" + subject_ + ")");
      }
      auto consumed = static_cast<std::size_t>(next - rest.data());
      if (consumed == 0) break;
      rest.remove_prefix(consumed);
    }
    if (!sqlite3_stmt_readonly(statement_)) {
      throw EDatabaseError("SQLite: the statement would change the database; only statements that read data "
                           "(SELECT) can be opened (" + subject_ + ")");
    }
    if (sqlite3_column_count(statement_) == 0) {
      throw EDatabaseError("SQLite: the statement returns no columns; open a SELECT (" + subject_ + ")");
    }
  }

  void DescribeColumns() {
    int count = sqlite3_column_count(statement_);
    std::vector<int> classes(static_cast<std::size_t>(count));
    bool anyUntyped = false;
    for (int column = 0; column < count; ++column) {
      classes[static_cast<std::size_t>(column)] = ClassOfDeclaredType(sqlite3_column_decltype(statement_, column));
      anyUntyped = anyUntyped || classes[static_cast<std::size_t>(column)] == kUntyped;
    }
    if (anyUntyped) ClassifyByValues(classes);
    for (int column = 0; column < count; ++column) {
      const char* name = sqlite3_column_name(statement_, column);
      fields_.push_back({name != nullptr ? name : "", static_cast<TFieldType>(classes[static_cast<std::size_t>(column)])});
    }
  }

  void ClassifyByValues(std::vector<int>& classes) {
    struct Seen {
      bool value = false, real = false, other = false;
    };
    std::vector<Seen> seen(classes.size());
    int rc = SQLITE_ROW;
    for (int row = 0; row < kTypeSampleRows && (rc = sqlite3_step(statement_)) == SQLITE_ROW; ++row) {
      for (std::size_t column = 0; column < classes.size(); ++column) {
        if (classes[column] != kUntyped) continue;
        switch (sqlite3_column_type(statement_, static_cast<int>(column))) {
          case SQLITE_NULL: break;
          case SQLITE_INTEGER: seen[column].value = true; break;
          case SQLITE_FLOAT: seen[column].value = seen[column].real = true; break;
          default: seen[column].value = seen[column].other = true; break;
        }
      }
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) Fail("cannot read the result");
    sqlite3_reset(statement_);
    for (std::size_t column = 0; column < classes.size(); ++column) {
      if (classes[column] != kUntyped) continue;
      const Seen& s = seen[column];
      TFieldType type = !s.value || s.other ? TFieldType::ftString
                        : s.real            ? TFieldType::ftFloat
                                            : TFieldType::ftInteger;
      classes[column] = static_cast<int>(type);
    }
  }

  void Step() {
    read_.column = -1;
    int rc = sqlite3_step(current_);
    if (rc == SQLITE_ROW) {
      ++recordNumber_;
    } else if (rc == SQLITE_DONE) {
      eof_ = true;
    } else {
      eof_ = true;
      Fail("cannot read record " + std::to_string(recordNumber_ + 1));
    }
  }

  // Counted once, on its own statement, so the cursor keeps its place.
  std::int64_t CountRecords() {
    sqlite3_stmt* counter = nullptr;
    if (sqlite3_prepare_v2(db_, countSql_.c_str(), -1, &counter, nullptr) == SQLITE_OK && counter != nullptr) {
      int rc = sqlite3_step(counter);
      std::int64_t count = rc == SQLITE_ROW ? sqlite3_column_int64(counter, 0) : -1;
      sqlite3_finalize(counter);
      if (rc == SQLITE_ROW) return count;
      Fail("cannot count the records");
    }
    sqlite3_finalize(counter);
    // Statements that cannot be wrapped in a sub-select (PRAGMA, say) are counted by stepping a copy.
    if (sqlite3_prepare_v2(db_, firstStatement_.c_str(), -1, &counter, nullptr) != SQLITE_OK) {
      Fail("cannot count the records");
    }
    std::int64_t count = 0;
    int rc;
    while ((rc = sqlite3_step(counter)) == SQLITE_ROW) ++count;
    sqlite3_finalize(counter);
    if (rc != SQLITE_DONE) Fail("cannot count the records");
    return count;
  }

  std::string path_;
  std::string countSql_;
  std::string subject_;  // "table 'X'" or "query 'SELECT ...'", for messages
  std::string firstStatement_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* statement_ = nullptr;
  std::string tableFrom_;
  sqlite3_stmt* focused_ = nullptr;  // the statement of a focused scan, selecting its columns only
  sqlite3_stmt* current_ = nullptr;  // the statement records are read from
  std::vector<int> pendingFocus_;    // the columns of the next pass's projection (empty: whole records)
  std::vector<int> focusedColumns_;  // the columns the focused statement selects, in its order
  std::vector<int> statementColumn_;  // field column -> its place in the focused statement, or -1
  std::vector<FieldDef> fields_;
  std::int64_t recordNumber_ = 0;
  ReadCell read_;
  std::int64_t recordCount_ = -1;
  bool eof_ = false;
  bool holding_ = false;
};

std::string StripTrailingSeparators(std::string sql) {
  while (!sql.empty() && (sql.back() == ';' || std::isspace(static_cast<unsigned char>(sql.back())))) sql.pop_back();
  return sql;
}

}  // namespace

std::unique_ptr<RecordSource> OpenSqliteTable(const std::string& path, const std::string& tableName) {
  // The name is only ever an identifier: quoting it keeps quotes and semicolons in it from becoming SQL.
  const std::string table = QuoteIdentifier(tableName);
  return std::make_unique<SqliteSource>(path, "SELECT * FROM " + table, "SELECT count(*) FROM " + table,
                                        "table '" + ShownText(tableName) + "'", table);
}

std::unique_ptr<RecordSource> OpenSqliteQuery(const std::string& path, const std::string& sql) {
  std::string body = StripTrailingSeparators(sql);
  // A newline before the closing parenthesis keeps a trailing "-- comment" from swallowing it.
  return std::make_unique<SqliteSource>(path, sql, "SELECT count(*) FROM (" + body + "\n)",
                                        "query '" + ShownText(body) + "'");
}

}  // namespace sumora
