// PostgreSQL data source (libpq). Rows stream through a scrollable server-side cursor inside a
// read-only transaction that lives as long as the dataset is open, fetched a batch at a time, so the
// client holds one batch however large the table. Values arrive as text and are parsed in place.
#include "dataset/Drivers.h"

#include "host/Errors.h"

#ifdef SUMORA_HAVE_POSTGRESQL

#include <libpq-fe.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "dataset/ValueText.h"

namespace sumora {

namespace {

// Built-in type OIDs of the server catalog; they never change between server versions.
constexpr Oid kBoolOid = 16;
constexpr Oid kNameOid = 19;
constexpr Oid kInt8Oid = 20;
constexpr Oid kInt2Oid = 21;
constexpr Oid kInt4Oid = 23;
constexpr Oid kTextOid = 25;
constexpr Oid kFloat4Oid = 700;
constexpr Oid kFloat8Oid = 701;
constexpr Oid kMoneyOid = 790;
constexpr Oid kBpcharOid = 1042;
constexpr Oid kVarcharOid = 1043;
constexpr Oid kDateOid = 1082;
constexpr Oid kTimestampOid = 1114;
constexpr Oid kTimestampTzOid = 1184;
constexpr Oid kNumericOid = 1700;

// Big enough that a round trip per batch costs little next to the rows, small enough that one batch of a
// wide table stays a few megabytes.
constexpr int kFetchRows = 8192;

// How a column's text becomes a number.
enum class ValueKind : std::uint8_t { Integer, Float, Money, Boolean, Other };

// Session settings that make the text of every value predictable: money as "-$1,234.50", dates in ISO
// order, floats printed in their shortest exact form (so a double reads back bit for bit), UTF-8 text.
// The read-only default guards anything the user's SQL might call.
constexpr const char* kSessionSetup =
    "SET default_transaction_read_only = on; SET lc_monetary = 'C'; SET DateStyle = 'ISO, YMD'; "
    "SET extra_float_digits = 3; SET client_encoding = 'UTF8'; ";
// Repeatable read gives the count and every rewind of the cursor one snapshot: all passes see the same
// rows even while other sessions write.
constexpr const char* kBegin = "BEGIN TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY; ";
constexpr const char* kCursorName = "sumora_cursor";

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnectionDeleter {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionDeleter>;

// libpq messages span lines ("...failed: Connection refused\n\tIs the server running..."); an error
// message reads better on one.
std::string OneLine(std::string_view text) {
  std::string line;
  bool pendingSpace = false;
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      pendingSpace = !line.empty();
      continue;
    }
    if (pendingSpace) line += ' ';
    pendingSpace = false;
    line += c;
  }
  return line;
}

// The server's own words: the primary message and its hint when the server sent a result, otherwise
// libpq's connection message (a lost connection produces no server result).
std::string ServerMessage(PGconn* connection, const PGresult* result) {
  std::string message;
  if (result != nullptr) {
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) message = primary;
    if (const char* hint = PQresultErrorField(result, PG_DIAG_MESSAGE_HINT)) message += std::string(" (") + hint + ")";
  }
  if (message.empty() && connection != nullptr) message = PQerrorMessage(connection);
  message = OneLine(message);
  return message.empty() ? std::string("the server gave no reason") : message;
}

bool HasState(const PGresult* result, const char* sqlState) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state != nullptr && std::string_view(state) == sqlState;
}

ValueKind KindOf(TFieldType type) {
  switch (type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint: return ValueKind::Integer;
    case TFieldType::ftFloat: return ValueKind::Float;
    case TFieldType::ftCurrency: return ValueKind::Money;
    case TFieldType::ftBoolean: return ValueKind::Boolean;
    default: return ValueKind::Other;
  }
}

TFieldType FieldTypeOf(Oid type) {
  switch (type) {
    case kInt2Oid: return TFieldType::ftSmallint;
    case kInt4Oid: return TFieldType::ftInteger;
    case kInt8Oid: return TFieldType::ftLargeint;
    case kFloat4Oid:
    case kFloat8Oid:
    case kNumericOid: return TFieldType::ftFloat;
    case kMoneyOid: return TFieldType::ftCurrency;
    case kBoolOid: return TFieldType::ftBoolean;
    case kDateOid: return TFieldType::ftDate;
    case kTimestampOid:
    case kTimestampTzOid: return TFieldType::ftDateTime;
    case kTextOid:
    case kVarcharOid:
    case kBpcharOid:
    case kNameOid:
    default: return TFieldType::ftString;
  }
}

// Money text under lc_monetary 'C' is "$1,234.50" or "-$1,234.50"; other locales may wrap negatives in
// parentheses. Keeps the sign, digits and decimal point, drops symbols and group separators.
bool ParseMoney(std::string_view text, double* value) {
  char digits[48];
  std::size_t length = 0;
  bool negative = false;
  bool anyDigit = false;
  for (char c : text) {
    if (c == '-' || c == '(') {
      negative = true;
    } else if ((c >= '0' && c <= '9') || c == '.') {
      if (length + 2 > sizeof digits) return false;
      digits[length++] = c;
      anyDigit = anyDigit || c != '.';
    }
  }
  if (!anyDigit) return false;
  auto [end, error] = std::from_chars(digits, digits + length, *value);
  if (error != std::errc() || end != digits + length) return false;
  if (negative) *value = -*value;
  return true;
}

// "sales.orders" -> "sales"."orders": every part quoted, so no name can change the statement.
std::string QuotedTableName(PGconn* connection, const std::string& tableName) {
  std::string quoted;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = tableName.find('.', start);
    std::string part = tableName.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (part.empty()) {
      throw EDatabaseError("Table name '" + tableName +
                           "' is not valid: write a table as name or schema.name, without empty parts");
    }
    char* escaped = PQescapeIdentifier(connection, part.c_str(), part.size());
    if (escaped == nullptr) {
      throw EDatabaseError("Table name '" + tableName + "' cannot be used: " + ServerMessage(connection, nullptr));
    }
    if (!quoted.empty()) quoted += '.';
    quoted += escaped;
    PQfreemem(escaped);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return quoted;
}

// Trailing blanks and semicolons would end the cursor's statement early.
std::string WithoutTrailingSemicolons(std::string sql) {
  while (!sql.empty() && (sql.back() == ';' || sql.back() == ' ' || sql.back() == '\n' || sql.back() == '\r' ||
                          sql.back() == '\t')) {
    sql.pop_back();
  }
  return sql;
}

class PgSource final : public RecordSource {
 public:
  // `select` is the statement the cursor runs; `what` names it in messages ("table 'orders'", "the query").
  PgSource(Connection connection, std::string select, std::string what)
      : connection_(std::move(connection)), select_(std::move(select)), what_(std::move(what)) {
    fetchSql_ = "FETCH FORWARD " + std::to_string(kFetchRows) + " FROM " + kCursorName;
    rewindSql_ = std::string("MOVE ABSOLUTE 0 IN ") + kCursorName + "; " + fetchSql_;
    Start();
  }

  const std::vector<FieldDef>& Fields() const override { return fields_; }

  void First() override {
    // Still inside the first batch (the loading pass's seek for a first value): nothing to ask the server.
    if (!broken_ && batchStart_ == 0 && batch_ != nullptr) {
      row_ = 0;
      return;
    }
    if (!broken_) {
      batch_.reset();
      Result rewound(PQexec(connection_.get(), rewindSql_.c_str()));
      if (PQresultStatus(rewound.get()) == PGRES_TUPLES_OK) {
        TakeBatch(std::move(rewound), 0);
        return;
      }
      broken_ = true;
      if (PQstatus(connection_.get()) == CONNECTION_OK) Fail("Rewinding " + what_ + " failed", rewound.get());
    }
    Restart();
  }

  void Next() override {
    if (Eof()) return;
    ++row_;
    if (row_ >= batchRows_ && !lastBatch_) FetchNextBatch();
  }

  bool Eof() const override { return row_ >= batchRows_; }

  std::int64_t RecordCount() override {
    if (count_ < 0) {
      std::string sql = "SELECT count(*) FROM (\n" + select_ + "\n) AS sumora_counted";
      Result counted(PQexec(connection_.get(), sql.c_str()));
      if (PQresultStatus(counted.get()) != PGRES_TUPLES_OK || PQntuples(counted.get()) != 1) {
        broken_ = true;
        Fail("Counting the records of " + what_ + " failed", counted.get());
      }
      const char* text = PQgetvalue(counted.get(), 0, 0);
      std::int64_t count = 0;
      std::from_chars(text, text + PQgetlength(counted.get(), 0, 0), count);
      count_ = count;
    }
    return count_;
  }

  bool IsNull(int column) override {
    const int index = CheckedColumn(column);
    if (PQgetisnull(batch_.get(), row_, index)) return true;
    // float4, float8 and numeric print a not-a-number as "NaN"; it reads as a missing value.
    if (kinds_[static_cast<std::size_t>(index)] == ValueKind::Float) {
      const char* text = PQgetvalue(batch_.get(), row_, index);
      return text[0] == 'N' && text[1] == 'a' && text[2] == 'N' && text[3] == '\0';
    }
    return false;
  }

  double AsFloat(int column) override {
    const int index = CheckedColumn(column);
    if (PQgetisnull(batch_.get(), row_, index)) return 0.0;
    const char* text = PQgetvalue(batch_.get(), row_, index);
    const char* end = text + PQgetlength(batch_.get(), row_, index);
    const std::string& fieldName = fields_[static_cast<std::size_t>(index)].name;
    switch (kinds_[static_cast<std::size_t>(index)]) {
      case ValueKind::Integer: {
        // Parsed as a 64-bit integer first, so int8 values round to the nearest double exactly once.
        std::int64_t integer = 0;
        auto [ptr, error] = std::from_chars(text, end, integer);
        if (error == std::errc() && ptr == end) return static_cast<double>(integer);
        break;
      }
      case ValueKind::Float: {
        double value = 0.0;
        auto [ptr, error] = std::from_chars(text, end, value);
        if (error == std::errc() && ptr == end) return CheckedFloat(value, fieldName, RecordNumber());
        break;  // "Infinity", overflowing numerics and the like get the shared reading and message
      }
      case ValueKind::Money: {
        double value = 0.0;
        if (ParseMoney(std::string_view(text, static_cast<std::size_t>(end - text)), &value)) return value;
        break;
      }
      case ValueKind::Boolean: return text[0] == 't' ? 1.0 : 0.0;
      case ValueKind::Other: break;
    }
    return ParseFloatText(std::string_view(text, static_cast<std::size_t>(end - text)), fieldName, RecordNumber());
  }

  std::string AsString(int column) override {
    const int index = CheckedColumn(column);
    if (IsNull(index)) return {};  // NaN included: it is a null everywhere
    const char* text = PQgetvalue(batch_.get(), row_, index);
    if (kinds_[static_cast<std::size_t>(index)] == ValueKind::Boolean) return text[0] == 't' ? "True" : "False";
    return std::string(text, static_cast<std::size_t>(PQgetlength(batch_.get(), row_, index)));
  }

  std::int64_t RecordNumber() const override { return batchStart_ + row_ + 1; }

 private:
  [[noreturn]] void Fail(const std::string& doing, const PGresult* result) const {
    std::string message = doing + ": " + ServerMessage(connection_.get(), result);
    if (HasState(result, "42P01")) {
      message += ". Table names are matched exactly, capitals included; write a schema as schema.table";
    }
    throw EDatabaseError(message);
  }

  // Session settings, the read-only transaction, the cursor and its first batch in one round trip. The
  // newline after the user's statement keeps a trailing "-- comment" from swallowing the rest.
  void Start() {
    std::string sql = std::string(kSessionSetup) + kBegin + "DECLARE " + kCursorName +
                      " SCROLL CURSOR WITHOUT HOLD FOR\n" + select_ + "\n; " + fetchSql_;
    Result first(PQexec(connection_.get(), sql.c_str()));
    if (PQresultStatus(first.get()) != PGRES_TUPLES_OK) Fail("Cannot open " + what_, first.get());

    std::vector<FieldDef> fields;
    const int columns = PQnfields(first.get());
    for (int column = 0; column < columns; ++column) {
      fields.push_back({PQfname(first.get(), column), FieldTypeOf(PQftype(first.get(), column))});
    }
    if (!fields_.empty()) {
      // A reopened cursor must keep the columns the dataset's field objects were built for.
      bool same = fields.size() == fields_.size();
      for (std::size_t i = 0; same && i < fields.size(); ++i) {
        same = fields[i].name == fields_[i].name && fields[i].type == fields_[i].type;
      }
      if (!same) {
        throw EDatabaseError("The columns of " + what_ + " changed on the server; close and open the dataset again");
      }
    }
    fields_ = std::move(fields);
    kinds_.clear();
    for (const auto& field : fields_) kinds_.push_back(KindOf(field.type));
    broken_ = false;
    TakeBatch(std::move(first), 0);
  }

  // After a failed statement the transaction is unusable, and the connection may be gone: start over on a
  // fresh transaction (reconnecting when needed), so a new pass works once the server answers again.
  void Restart() {
    batch_.reset();
    batchRows_ = 0;
    row_ = 0;
    batchStart_ = 0;
    count_ = -1;
    if (PQstatus(connection_.get()) == CONNECTION_OK) {
      Result rolledBack(PQexec(connection_.get(), "ROLLBACK"));
    }
    if (PQstatus(connection_.get()) != CONNECTION_OK) {
      PQreset(connection_.get());
      if (PQstatus(connection_.get()) != CONNECTION_OK) {
        Fail("Cannot reconnect to the PostgreSQL server to read " + what_, nullptr);
      }
    }
    Start();
  }

  void FetchNextBatch() {
    const std::int64_t nextStart = batchStart_ + batchRows_;
    batch_.reset();  // release the old batch before the next arrives: one batch in memory at a time
    batchRows_ = 0;
    row_ = 0;
    batchStart_ = nextStart;
    Result next(PQexec(connection_.get(), fetchSql_.c_str()));
    if (PQresultStatus(next.get()) != PGRES_TUPLES_OK) {
      broken_ = true;
      Fail("Reading " + what_ + " failed after record " + std::to_string(nextStart), next.get());
    }
    TakeBatch(std::move(next), nextStart);
  }

  void TakeBatch(Result batch, std::int64_t start) {
    batch_ = std::move(batch);
    batchRows_ = PQntuples(batch_.get());
    lastBatch_ = batchRows_ < kFetchRows;
    batchStart_ = start;
    row_ = 0;
  }

  int CheckedColumn(int column) const {
    if (Eof()) throw EDatabaseError("Cannot read a field of " + what_ + " past the last record");
    if (column < 0 || static_cast<std::size_t>(column) >= fields_.size()) {
      throw EDatabaseError(what_ + " has no column " + std::to_string(column));
    }
    return column;
  }

  Connection connection_;
  std::string select_;
  std::string what_;
  std::string fetchSql_;
  std::string rewindSql_;
  std::vector<FieldDef> fields_;
  std::vector<ValueKind> kinds_;
  Result batch_;
  int batchRows_ = 0;
  int row_ = 0;                  // index of the current record in the batch
  std::int64_t batchStart_ = 0;  // records before the batch
  bool lastBatch_ = true;
  bool broken_ = false;  // a statement failed: the transaction (or the connection) must be renewed
  std::int64_t count_ = -1;
};

Connection Connect(const std::string& conninfo) {
  // The whole DatabaseName is expanded as a URL or key/value string; naming the program lets an
  // administrator spot its sessions unless the user chose an application_name.
  const char* keywords[] = {"dbname", "fallback_application_name", nullptr};
  const char* values[] = {conninfo.c_str(), "sumora", nullptr};
  Connection connection(PQconnectdbParams(keywords, values, 1));
  if (connection == nullptr) throw EDatabaseError("Cannot connect to the PostgreSQL server: out of memory");
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    throw EDatabaseError("Cannot connect to the PostgreSQL server: " + ServerMessage(connection.get(), nullptr) +
                         ". Check the host, port, user, password and database in DatabaseName");
  }
  return connection;
}

}  // namespace

std::unique_ptr<RecordSource> OpenPgTable(const std::string& conninfo, const std::string& tableName) {
  Connection connection = Connect(conninfo);
  std::string select = "SELECT * FROM " + QuotedTableName(connection.get(), tableName);
  return std::make_unique<PgSource>(std::move(connection), std::move(select), "table '" + tableName + "'");
}

std::unique_ptr<RecordSource> OpenPgQuery(const std::string& conninfo, const std::string& sql) {
  Connection connection = Connect(conninfo);
  return std::make_unique<PgSource>(std::move(connection), WithoutTrailingSemicolons(sql), "the query");
}

}  // namespace sumora

#else  // built without libpq

namespace sumora {

std::unique_ptr<RecordSource> OpenPgTable(const std::string&, const std::string&) {
  throw ENotAvailable("PostgreSQL support is not built into this library; configure with -DSUMORA_WITH_POSTGRESQL=ON");
}

std::unique_ptr<RecordSource> OpenPgQuery(const std::string&, const std::string&) {
  throw ENotAvailable("PostgreSQL support is not built into this library; configure with -DSUMORA_WITH_POSTGRESQL=ON");
}

}  // namespace sumora

#endif
