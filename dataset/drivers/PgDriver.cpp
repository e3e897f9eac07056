// PostgreSQL data source (libpq). Rows stream through a scrollable server-side cursor inside a
// read-only transaction that lives as long as the dataset is open, fetched a batch at a time, so the
// client holds one batch however large the table. Values arrive as text and are parsed in place. On
// request the source also computes a pass's sums on the server (AggregatingSource), in the same
// transaction and so on the same snapshot as the cursor.
#include "dataset/Drivers.h"

#include "host/Errors.h"

#ifdef SUMORA_HAVE_POSTGRESQL

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "dataset/AggregatingSource.h"
#include "dataset/ValueText.h"
#include "dataset/drivers/pg/PgAggregation.h"
#include "dataset/drivers/pg/PgCancel.h"
#include "dataset/drivers/pg/PgSession.h"
#include "dataset/drivers/pg/PgStatementText.h"
#include "dataset/drivers/pg/PgTypes.h"
#include "dataset/drivers/pg/PgValue.h"

namespace sumora {

namespace {

// A pass's batches start small and double up to the largest: opening a dataset, or a pass that stops
// after a few records, fetches few rows, while a long scan soon takes batches big enough that a round
// trip per batch costs little next to the rows, and small enough that one batch of a wide table stays a
// few megabytes.
constexpr int kFirstBatchRows = 64;
constexpr int kLargestBatchRows = 8192;

// How a column's text becomes a number.
enum class ValueKind : std::uint8_t { Integer, Float, Money, Boolean, Other };

// Session settings that make the text of every value predictable: money as "-$1,234.50", dates in ISO
// order, floats printed in their shortest exact form (so a double reads back bit for bit), UTF-8 text.
// The read-only default guards anything the user's SQL might call. A sequential scan starts at the
// table's first block, not where another session's scan of it is, so one unchanged table gives its rows
// (and so its first 10000 values and its median) in one order run after run.
constexpr const char* kSessionSetup =
    "SET default_transaction_read_only = on; SET lc_monetary = 'C'; SET DateStyle = 'ISO, YMD'; "
    "SET extra_float_digits = 3; SET client_encoding = 'UTF8'; SET synchronize_seqscans = off; ";
// Repeatable read gives the count and every rewind of the cursor one snapshot: all passes see the same
// rows even while other sessions write.
// Servers from version 14 may read the partitions of a partitioned table at once (async append), which
// interleaves their rows in arrival order. The cursor reads them one partition after the other, so the
// records keep one order from run to run; the aggregate statements, whose order does not matter, turn
// it back on for themselves.
constexpr int kAsyncAppendVersion = 140000;
constexpr const char* kSerialAppend = "SET enable_async_append = off";
constexpr const char* kAsyncAppendForAggregates = "SET LOCAL enable_async_append = on";
// Parallel workers split a table between them as they go and their partial sums meet in the order they
// finish, which changes the last bits of a total from run to run: the aggregates run in one process.
constexpr const char* kOneProcessAggregates = "SET LOCAL max_parallel_workers_per_gather = 0";
// A statement that reads the records in the cursor's order scans the table itself, never an index.
constexpr const char* kNoIndexScans = "SET LOCAL enable_indexscan = off";
constexpr const char* kNoBitmapScans = "SET LOCAL enable_bitmapscan = off";
constexpr const char* kNoIndexOnlyScans = "SET LOCAL enable_indexonlyscan = off";
constexpr const char* kNoSorts = "SET LOCAL enable_sort = off";
constexpr const char* kBegin = "BEGIN TRANSACTION ISOLATION LEVEL REPEATABLE READ, READ ONLY; ";
constexpr const char* kCursorName = "sumora_cursor";

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
    case pg::kInt2Oid: return TFieldType::ftSmallint;
    case pg::kInt4Oid: return TFieldType::ftInteger;
    case pg::kInt8Oid: return TFieldType::ftLargeint;
    case pg::kFloat4Oid:
    case pg::kFloat8Oid:
    case pg::kNumericOid: return TFieldType::ftFloat;
    case pg::kMoneyOid: return TFieldType::ftCurrency;
    case pg::kBoolOid: return TFieldType::ftBoolean;
    case pg::kDateOid: return TFieldType::ftDate;
    case pg::kTimestampOid:
    case pg::kTimestampTzOid: return TFieldType::ftDateTime;
    case pg::kTextOid:
    case pg::kVarcharOid:
    case pg::kBpcharOid:
    case pg::kNameOid:
    default: return TFieldType::ftString;
  }
}

class PgSource final : public RecordSource, public pg::AggregateSession {
 public:
  // `select` is the statement the cursor runs; `what` names it in messages ("table 'orders'", "the query");
  // `quotedTable` is the quoted table name of a table source ("" for a query).
  PgSource(pg::Connection connection, std::string select, std::string what, std::string quotedTable)
      : connection_(std::move(connection)),
        cancelKey_(connection_.get()),
        select_(std::move(select)),
        what_(std::move(what)),
        quotedTable_(std::move(quotedTable)) {
    Start();
  }

  const std::vector<FieldDef>& Fields() const override { return fields_; }

  void FocusColumn(int column) override { FocusColumns(column < 0 ? std::vector<int>{} : std::vector<int>{column}); }

  // Only the wanted columns travel. The cursor's statement keeps the user's statement whole as a
  // subquery and picks columns by position, so the rows come in the order the whole statement gives.
  void FocusColumns(const std::vector<int>& columns) override {
    std::vector<int> wanted;
    for (int column : columns) {
      if (column >= 0 && static_cast<std::size_t>(column) < fields_.size()) wanted.push_back(column);
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    if (wanted.size() == fields_.size()) wanted.clear();  // every column: the statement as written
    wanted_ = std::move(wanted);
    if (columns.empty()) First();
  }

  void First() override {
    if (!broken_ && wanted_ != projected_) {
      Declare();
      return;
    }
    // Still inside the first batch (the loading pass's seek for a first value): nothing to ask the server.
    if (!broken_ && batchStart_ == 0 && batch_ != nullptr) {
      row_ = 0;
      expectedLeft_ = std::max<std::int64_t>(std::exchange(expected_, 0) - batchRows_, 0);
      return;
    }
    if (!broken_) {
      batch_.reset();
      FailIfCancelled("Rewinding " + what_);
      const std::string rewind = std::string("MOVE ABSOLUTE 0 IN ") + kCursorName + "; " + FetchSql(FirstBatchRows());
      pg::Result rewound = pg::ExecFixed(connection_.get(), rewind.c_str());
      if (PQresultStatus(rewound.get()) == PGRES_TUPLES_OK) {
        TakeBatch(std::move(rewound), 0);
        return;
      }
      broken_ = true;
      if (PQstatus(connection_.get()) == CONNECTION_OK) Fail("Rewinding " + what_ + " failed", rewound.get());
    }
    Restart();
    if (wanted_ != projected_) Declare();
  }

  void Next() override {
    if (Eof()) return;
    ++row_;
    if (row_ >= batchRows_ && !lastBatch_) FetchNextBatch();
  }

  bool Eof() const override { return row_ >= batchRows_; }

  void ExpectRecords(std::int64_t records) override { expected_ = records; }

  std::int64_t RecordCount() override {
    if (count_ < 0) {
      FailIfCancelled("Counting the records of " + what_);
      pg::Result counted = pg::ExecOne(connection_.get(), "SELECT count(*) FROM (\n" + select_ + "\n) AS sumora_counted");
      if (PQresultStatus(counted.get()) != PGRES_TUPLES_OK || PQntuples(counted.get()) != 1) {
        broken_ = true;
        Fail("Counting the records of " + what_ + " failed", counted.get());
      }
      count_ = pg::IntegerAt(counted.get(), 0, 0);
    }
    return count_;
  }

  bool IsNull(int column) override {
    const int index = CheckedColumn(column);
    if (PQgetisnull(batch_.get(), row_, index)) return true;
    switch (kinds_[static_cast<std::size_t>(column)]) {
      case ValueKind::Float: {
        // float4, float8 and numeric print a not-a-number as "NaN"; it reads as a missing value.
        const char* text = PQgetvalue(batch_.get(), row_, index);
        return text[0] == 'N' && text[1] == 'a' && text[2] == 'N' && text[3] == '\0';
      }
      case ValueKind::Other:
        // Text a query returns as 'nan' is a missing number too, not a value that poisons every sum.
        return pg::IsNotANumberText(
            std::string_view(PQgetvalue(batch_.get(), row_, index), static_cast<std::size_t>(PQgetlength(batch_.get(), row_, index))));
      default: return false;
    }
  }

  double AsFloat(int column) override {
    const int index = CheckedColumn(column);
    if (PQgetisnull(batch_.get(), row_, index)) return 0.0;
    const char* text = PQgetvalue(batch_.get(), row_, index);
    const char* end = text + PQgetlength(batch_.get(), row_, index);
    const std::string_view cell(text, static_cast<std::size_t>(end - text));
    const std::string& fieldName = fields_[static_cast<std::size_t>(column)].name;
    double value = 0.0;
    switch (kinds_[static_cast<std::size_t>(column)]) {
      case ValueKind::Integer: {
        // Parsed as a 64-bit integer first, so int8 values round to the nearest double exactly once.
        std::int64_t integer = 0;
        auto [ptr, error] = std::from_chars(text, end, integer);
        if (error == std::errc() && ptr == end) return static_cast<double>(integer);
        break;
      }
      case ValueKind::Float:
      case ValueKind::Other: {
        const pg::TextValue read = pg::ReadFloatText(cell, &value);
        if (read == pg::TextValue::Number) return CheckedFloat(value, fieldName, RecordNumber());
        if (read == pg::TextValue::NotANumber) return std::numeric_limits<double>::quiet_NaN();
        break;  // the shared reading and message for text that is no number
      }
      case ValueKind::Money:
        if (pg::ReadMoneyText(cell, &value)) return value;
        break;
      case ValueKind::Boolean: return text[0] == 't' ? 1.0 : 0.0;
    }
    return ParseFloatText(cell, fieldName, RecordNumber());
  }

  std::string AsString(int column) override {
    const int index = CheckedColumn(column);
    if (PQgetisnull(batch_.get(), row_, index)) return {};
    const char* text = PQgetvalue(batch_.get(), row_, index);
    const ValueKind kind = kinds_[static_cast<std::size_t>(column)];
    if (kind == ValueKind::Float && IsNull(column)) return {};  // NaN is a null everywhere
    if (kind == ValueKind::Boolean) return text[0] == 't' ? "True" : "False";
    return std::string(text, static_cast<std::size_t>(PQgetlength(batch_.get(), row_, index)));
  }

  std::int64_t RecordNumber() const override { return batchStart_ + row_ + 1; }

  // --- Aggregation on the server --------------------------------------------------------------------

  AggregatingSource* Aggregation(int column) override {
    return aggregation_.Aggregates(column) ? &aggregation_ : nullptr;
  }

  PGconn* Connection() override { return connection_.get(); }

 private:
  [[noreturn]] void Fail(const std::string& doing, const PGresult* result) const {
    std::string message = doing + ": " + pg::ServerMessage(connection_.get(), result);
    if (pg::HasState(result, "42P01")) {
      message += ". Table names are matched exactly, capitals included; write a schema as schema.table";
    }
    if (pg::HasState(result, "42601") && message.find("multiple commands") != std::string::npos) {
      message = doing + ": only one statement can be run, but the text holds more than one; remove everything "
                "after the first statement (the server said: " + pg::ServerMessage(connection_.get(), result) + ")";
    }
    throw EDatabaseError(message);
  }

  // A cancel that arrived while no statement ran stops the next one before it starts.
  void FailIfCancelled(const std::string& doing) {
    if (pg::TakeCancelRequest()) {
      broken_ = true;
      throw EDatabaseError(doing + " failed: canceling statement due to user request");
    }
  }

  // Session settings, then the read-only transaction, then the cursor over the user's statement as one
  // statement of its own over the extended protocol (so a second statement in the text is refused by the
  // server, never run), then the first batch. The newline after the statement keeps a trailing
  // "-- comment" from swallowing the rest.
  void Start() {
    FailIfCancelled("Opening " + what_);
    pg::Result setup = pg::ExecFixed(connection_.get(), kSessionSetup);
    if (PQresultStatus(setup.get()) != PGRES_COMMAND_OK) Fail("Cannot open " + what_, setup.get());
    if (PQserverVersion(connection_.get()) >= kAsyncAppendVersion) {
      pg::Result serial = pg::ExecFixed(connection_.get(), kSerialAppend);
      if (PQresultStatus(serial.get()) != PGRES_COMMAND_OK) Fail("Cannot open " + what_, serial.get());
    }
    pg::Result begun = pg::ExecFixed(connection_.get(), kBegin);
    if (PQresultStatus(begun.get()) != PGRES_COMMAND_OK) Fail("Cannot open " + what_, begun.get());
    FailIfCancelled("Opening " + what_);
    pg::Result first = DeclareCursor(select_, "Cannot open " + what_);

    std::vector<FieldDef> fields;
    std::vector<Oid> types;
    const int columns = PQnfields(first.get());
    for (int column = 0; column < columns; ++column) {
      fields.push_back({PQfname(first.get(), column), FieldTypeOf(PQftype(first.get(), column))});
      types.push_back(PQftype(first.get(), column));
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
    types_ = std::move(types);
    kinds_.clear();
    for (const auto& field : fields_) kinds_.push_back(KindOf(field.type));
    projected_.clear();
    batchColumn_.clear();
    for (int column = 0; column < columns; ++column) batchColumn_.push_back(column);
    broken_ = false;
    TakeBatch(std::move(first), 0);
  }

  // The cursor over `sql` and its first batch. Index-only scans are off while it is planned: reading
  // fewer columns must not let the server pick a narrower index and so another order of the rows.
  pg::Result DeclareCursor(const std::string& sql, const std::string& doing) {
    pg::Result narrow = pg::ExecFixed(connection_.get(), "SET enable_indexonlyscan = off");
    if (PQresultStatus(narrow.get()) != PGRES_COMMAND_OK) Fail(doing, narrow.get());
    pg::Result declared = pg::ExecOne(connection_.get(), std::string("DECLARE ") + kCursorName +
                                                             " SCROLL CURSOR WITHOUT HOLD FOR\n" + sql + "\n");
    if (PQresultStatus(declared.get()) != PGRES_COMMAND_OK) Fail(doing, declared.get());
    pg::Result restored = pg::ExecFixed(connection_.get(), "RESET enable_indexonlyscan");
    if (PQresultStatus(restored.get()) != PGRES_COMMAND_OK) Fail(doing, restored.get());
    FailIfCancelled(doing);
    pg::Result first = pg::ExecOne(connection_.get(), FetchSql(FirstBatchRows()));
    if (PQresultStatus(first.get()) != PGRES_TUPLES_OK) Fail(doing, first.get());
    return first;
  }

  // The first batch of a pass: what the caller expects to read, or a few rows.
  int FirstBatchRows() {
    expectedLeft_ = std::exchange(expected_, 0);
    growth_ = kFirstBatchRows / 2;
    return NextBatchRows();
  }

  // The rows the caller still expects, in batches of at most twice the largest; past them the batches
  // grow again from a few rows (a caller that reads more than it expected reads few more).
  int NextBatchRows() {
    if (expectedLeft_ > 0) {
      requested_ = static_cast<int>(std::min<std::int64_t>(expectedLeft_, 2 * kLargestBatchRows));
    } else {
      growth_ = std::min(2 * growth_, kLargestBatchRows);
      requested_ = growth_;
    }
    return requested_;
  }

  static std::string FetchSql(int rows) {
    return "FETCH FORWARD " + std::to_string(rows) + " FROM " + kCursorName;
  }

  // Replaces the cursor by one over the wanted columns (all of them when none is named), on the same
  // snapshot, standing on the first record.
  void Declare() {
    const std::string doing = "Reading " + what_ + " failed";
    batch_.reset();
    FailIfCancelled("Reading " + what_);
    pg::Result closed = pg::ExecFixed(connection_.get(), (std::string("CLOSE ") + kCursorName).c_str());
    if (PQresultStatus(closed.get()) != PGRES_COMMAND_OK) {
      broken_ = true;
      Fail(doing, closed.get());
    }
    std::string sql = select_;
    if (!wanted_.empty()) {
      std::string picked;
      std::string names;
      for (std::size_t i = 1; i <= fields_.size(); ++i) names += (i == 1 ? "" : ", ") + PositionalName(i - 1);
      for (int column : wanted_) picked += (picked.empty() ? "" : ", ") + PositionalName(static_cast<std::size_t>(column));
      sql = "SELECT " + picked + " FROM (\n" + select_ + "\n) AS sumora_source(" + names + ")";
    }
    pg::Result first;
    try {
      first = DeclareCursor(sql, doing);
    } catch (const EDatabaseError&) {
      broken_ = true;
      throw;
    }
    batchColumn_.assign(fields_.size(), wanted_.empty() ? 0 : -1);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (wanted_.empty()) batchColumn_[i] = static_cast<int>(i);
    }
    for (std::size_t i = 0; i < wanted_.size(); ++i) batchColumn_[static_cast<std::size_t>(wanted_[i])] = static_cast<int>(i);
    projected_ = wanted_;
    TakeBatch(std::move(first), 0);
  }

  static std::string PositionalName(std::size_t column) { return "sumora_c" + std::to_string(column + 1); }

  // After a failed statement the transaction is unusable, and the connection may be gone: start over on a
  // fresh transaction (reconnecting when needed), so a new pass works once the server answers again.
  void Restart() {
    batch_.reset();
    batchRows_ = 0;
    row_ = 0;
    batchStart_ = 0;
    count_ = -1;
    relations_.clear();
    if (PQstatus(connection_.get()) == CONNECTION_OK) {
      pg::Result rolledBack = pg::ExecFixed(connection_.get(), "ROLLBACK");
    }
    if (PQstatus(connection_.get()) != CONNECTION_OK) {
      PQreset(connection_.get());
      if (PQstatus(connection_.get()) != CONNECTION_OK) {
        Fail("Cannot reconnect to the PostgreSQL server to read " + what_, nullptr);
      }
      cancelKey_.Renew(connection_.get());
    }
    Start();
  }

  void FetchNextBatch() {
    const std::int64_t nextStart = batchStart_ + batchRows_;
    batch_.reset();  // release the old batch before the next arrives: one batch in memory at a time
    batchRows_ = 0;
    row_ = 0;
    batchStart_ = nextStart;
    FailIfCancelled("Reading " + what_);
    pg::Result next = pg::ExecOne(connection_.get(), FetchSql(NextBatchRows()));
    if (PQresultStatus(next.get()) != PGRES_TUPLES_OK) {
      broken_ = true;
      Fail("Reading " + what_ + " failed after record " + std::to_string(nextStart), next.get());
    }
    TakeBatch(std::move(next), nextStart);
  }

  void TakeBatch(pg::Result batch, std::int64_t start) {
    batch_ = std::move(batch);
    batchRows_ = PQntuples(batch_.get());
    lastBatch_ = batchRows_ < requested_;
    expectedLeft_ = std::max<std::int64_t>(expectedLeft_ - batchRows_, 0);
    batchStart_ = start;
    row_ = 0;
  }

  // The column's place in the batch.
  int CheckedColumn(int column) const {
    if (Eof()) throw EDatabaseError("Cannot read a field of " + what_ + " past the last record");
    if (column < 0 || static_cast<std::size_t>(column) >= fields_.size()) {
      throw EDatabaseError(what_ + " has no column " + std::to_string(column));
    }
    const int index = batchColumn_[static_cast<std::size_t>(column)];
    if (index < 0) {
      throw EDatabaseError("Field '" + fields_[static_cast<std::size_t>(column)].name + "' of " + what_ +
                           " is not among the fields this pass reads");
    }
    return index;
  }

  // What the statements read: a query as a subquery; a table as itself, or, when it is partitioned, as its
  // leaf partitions one by one, so that each partition's aggregate can run where the partition lives (a
  // foreign partition sends the whole aggregate to its server, all of them at once). Leaves are read
  // only when that gives exactly the rows the parent gives this user: no row security anywhere in the
  // tree (the parent's policies would not apply to its leaves, a leaf's would apply only there) and
  // every leaf readable (SELECT on the parent alone reads them through it). Otherwise the aggregates
  // read the parent.
  const std::vector<pg::Relation>& Relations() override {
    if (!relations_.empty()) return relations_;
    if (quotedTable_.empty()) {
      std::string names;
      for (std::size_t i = 0; i < fields_.size(); ++i) names += (i == 0 ? "" : ", ") + PositionalName(i);
      relations_.push_back({"(\n" + select_ + "\n) AS sumora_source(" + names + ")", false});
      return relations_;
    }
    pg::Result tree = pg::ExecOne(connection_.get(),
                                  "SELECT p.relid::regclass::text, p.isleaf, has_table_privilege(p.relid, 'SELECT'), "
                                  "r.relrowsecurity, r.relkind = 'f' FROM pg_catalog.pg_class c, pg_catalog.pg_partition_tree(c.oid) p, "
                                  "pg_catalog.pg_class r WHERE c.oid = $1::regclass AND c.relkind = 'p' AND "
                                  "r.oid = p.relid ORDER BY p.level, p.relid",
                                  {quotedTable_});
    if (PQresultStatus(tree.get()) != PGRES_TUPLES_OK) {
      broken_ = true;
      Fail("Listing the partitions of " + what_ + " failed", tree.get());
    }
    bool leavesGiveTheParentsRows = true;
    for (int row = 0; row < PQntuples(tree.get()); ++row) {
      const bool leaf = PQgetvalue(tree.get(), row, 1)[0] == 't';
      const bool readable = PQgetvalue(tree.get(), row, 2)[0] == 't';
      const bool rowSecurity = PQgetvalue(tree.get(), row, 3)[0] == 't';
      if (rowSecurity || (leaf && !readable)) leavesGiveTheParentsRows = false;
      if (leaf) relations_.push_back({PQgetvalue(tree.get(), row, 0), true, PQgetvalue(tree.get(), row, 4)[0] == 't'});
    }
    if (relations_.empty() || !leavesGiveTheParentsRows) relations_.assign(1, {quotedTable_, true});
    return relations_;
  }

  // Runs one aggregate statement inside the dataset's transaction, so it sees the snapshot the cursor
  // sees. A data error is rolled back to a savepoint and answered with nullptr.
  pg::Result Run(const std::string& sql, const std::vector<std::string>& parameters, pg::Plan plan) override {
    if (plan == pg::Plan::ScanOrder) {
      return RunWith(sql, parameters, {kOneProcessAggregates, kNoIndexScans, kNoBitmapScans, kNoIndexOnlyScans}, false);
    }
    // An aggregate's settings last to the end of the transaction; the cursor's plan was fixed when it was
    // declared. Hashed groups' last setting ends with the statement.
    std::vector<const char*> settings = {kOneProcessAggregates};
    if (PQserverVersion(connection_.get()) >= kAsyncAppendVersion) settings.push_back(kAsyncAppendForAggregates);
    if (plan == pg::Plan::HashedGroups) settings.push_back(kNoSorts);
    return RunWith(sql, parameters, settings, plan == pg::Plan::Aggregate);
  }

  bool ReadsOneHeap() override {
    if (!readsOneHeap_) {
      readsOneHeap_ = false;
      if (!quotedTable_.empty()) {
        pg::Result kind = pg::ExecOne(connection_.get(), "SELECT relkind FROM pg_catalog.pg_class WHERE oid = $1::regclass",
                                      {quotedTable_});
        if (PQresultStatus(kind.get()) != PGRES_TUPLES_OK) {
          broken_ = true;
          Fail("Reading " + what_ + " failed", kind.get());
        }
        readsOneHeap_ = PQntuples(kind.get()) == 1 && std::string_view(PQgetvalue(kind.get(), 0, 0)) == "r";
      }
    }
    return *readsOneHeap_;
  }

  // Run with `settings` (SET LOCAL statements) for the statement, kept to the end of the transaction or
  // dropped with it.
  pg::Result RunWith(const std::string& sql, const std::vector<std::string>& parameters,
                     const std::vector<const char*>& settings, bool keepSettings) {
    const std::string doing = "Reading " + what_ + " failed";
    FailIfCancelled("Reading " + what_);
    if (broken_) Restart();
    pg::Result saved = pg::ExecFixed(connection_.get(), "SAVEPOINT sumora_aggregate");
    if (PQresultStatus(saved.get()) != PGRES_COMMAND_OK) {
      broken_ = true;
      Fail(doing, saved.get());
    }
    for (const char* setting : settings) {
      pg::Result set = pg::ExecFixed(connection_.get(), setting);
      if (PQresultStatus(set.get()) != PGRES_COMMAND_OK) {
        broken_ = true;
        Fail(doing, set.get());
      }
    }
    pg::Result result = pg::ExecOne(connection_.get(), sql, parameters);
    if (PQresultStatus(result.get()) == PGRES_TUPLES_OK) {
      const char* end = keepSettings ? "RELEASE SAVEPOINT sumora_aggregate"
                                     : "ROLLBACK TO SAVEPOINT sumora_aggregate; RELEASE SAVEPOINT sumora_aggregate";
      pg::Result released = pg::ExecFixed(connection_.get(), end);
      if (PQresultStatus(released.get()) != PGRES_COMMAND_OK) {
        broken_ = true;
        Fail(doing, released.get());
      }
      return result;
    }
    if (pg::StateClass(result.get()) == "22" && PQstatus(connection_.get()) == CONNECTION_OK) {
      pg::Result undone = pg::ExecFixed(connection_.get(), "ROLLBACK TO SAVEPOINT sumora_aggregate");
      if (PQresultStatus(undone.get()) == PGRES_COMMAND_OK) return nullptr;
    }
    broken_ = true;
    Fail(doing, result.get());
  }

  pg::Connection connection_;
  pg::CancelRegistration cancelKey_;
  std::string select_;
  std::string what_;
  std::string quotedTable_;
  std::vector<FieldDef> fields_;
  std::vector<Oid> types_;
  std::vector<ValueKind> kinds_;
  std::vector<int> wanted_;       // the columns FocusColumns asked for, ascending (empty: all)
  std::vector<int> projected_;    // the columns the open cursor reads (empty: all)
  std::vector<int> batchColumn_;  // for each column, its place in a batch (-1: not read)
  std::vector<pg::Relation> relations_;
  pg::Aggregation aggregation_{*this, fields_, types_};
  pg::Result batch_;
  int batchRows_ = 0;
  int row_ = 0;                  // index of the current record in the batch
  std::int64_t batchStart_ = 0;  // records before the batch
  bool lastBatch_ = true;
  int requested_ = kFirstBatchRows;  // the rows the last fetch asked for
  int growth_ = kFirstBatchRows;     // the size the batches have grown to
  std::int64_t expected_ = 0;         // ExpectRecords' hint for the next pass, 0 when none
  std::int64_t expectedLeft_ = 0;     // the rows of the hint not fetched yet
  bool broken_ = false;  // a statement failed: the transaction (or the connection) must be renewed
  std::int64_t count_ = -1;
  std::optional<bool> readsOneHeap_;
};

}  // namespace

std::unique_ptr<RecordSource> OpenPgTable(const std::string& conninfo, const std::string& tableName) {
  pg::Connection connection = pg::Connect(conninfo);
  std::string quoted = pg::QuotedTableName(connection.get(), tableName);
  std::string select = "SELECT * FROM " + quoted;
  return std::make_unique<PgSource>(std::move(connection), std::move(select), "table '" + tableName + "'",
                                    std::move(quoted));
}

std::unique_ptr<RecordSource> OpenPgQuery(const std::string& conninfo, const std::string& sql) {
  pg::Connection connection = pg::Connect(conninfo);
  return std::make_unique<PgSource>(std::move(connection), pg::WithoutTrailingSeparators(sql), "the query", "");
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
