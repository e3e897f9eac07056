// The one cursor interface every data source (SQLite, CSV, PostgreSQL, in-memory) implements.
// A TDataSet owns one open RecordSource while it is active and reads every value through it.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace sumora {

class AggregatingSource;

// The column types a source reports; TDataSet maps each to its field class.
enum class TFieldType {
  ftString,
  ftSmallint,  // 16-bit signed integer
  ftInteger,   // 32-bit signed integer
  ftWord,      // 16-bit unsigned integer
  ftAutoInc,   // automatically incremented integer key
  ftLargeint,  // 64-bit signed integer
  ftFloat,     // floating or decimal
  ftCurrency,  // money
  ftBoolean,
  ftDate,
  ftDateTime,
};

struct FieldDef {
  std::string name;
  TFieldType type = TFieldType::ftString;
};

// A forward cursor over named, typed columns. Columns are numbered from 0 in field order.
// Contract:
//  - After construction the cursor stands on the first record (or at the end when there is none).
//  - First() rewinds without reloading the data; Next() moves on; Eof() is true past the last record.
//  - RecordCount() costs O(1) after the first call (a source may count once, lazily).
//  - IsNull() is true for a missing value and for NaN.
//  - AsFloat() returns the value as a double; it raises EDatabaseError naming the field and the record
//    number for text that is not a number and for +-Inf. 64-bit integers are converted by the usual
//    rounding to the nearest double.
//  - AsString() returns the value as text ("" for null).
//  - Failures of the underlying library raise EDatabaseError with its message.
class RecordSource {
 public:
  virtual ~RecordSource() = default;

  virtual const std::vector<FieldDef>& Fields() const = 0;
  virtual void First() = 0;
  virtual void Next() = 0;
  virtual bool Eof() const = 0;
  virtual std::int64_t RecordCount() = 0;
  virtual bool IsNull(int column) = 0;
  virtual double AsFloat(int column) = 0;
  virtual std::string AsString(int column) = 0;
  // The current record's numbers of `columns` at once, for passes over many fields: out[i] is
  // AsFloat(columns[i]), or NaN where IsNull(columns[i]); raises as AsFloat does. One call per record
  // instead of two per cell; sources with a cheaper way to walk a record override it.
  virtual void ReadNumbers(const std::vector<int>& columns, double* out) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      out[i] = IsNull(columns[i]) ? std::numeric_limits<double>::quiet_NaN() : AsFloat(columns[i]);
    }
  }
  // AsString(column) into `text` (its room reused), or false where IsNull(column): one call per record
  // for a pass that keys on a field. Sources that can tell both at once override it.
  virtual bool ReadText(int column, std::string& text) {
    if (IsNull(column)) return false;
    text = AsString(column);
    return true;
  }
  // 1-based number of the current record, for error messages.
  virtual std::int64_t RecordNumber() const = 0;

  // A hint for long scans: until FocusColumn(-1), only `column` will be read, so a source may fetch
  // less per record. It takes effect at the next First(); FocusColumn(-1) takes effect at once and
  // leaves the cursor on the first record. Reading another column while focused is an error. Sources
  // that cannot use the hint ignore it.
  virtual void FocusColumn(int /*column*/) {}
  // The same for several columns (a projection): until FocusColumns({}), only `columns` will be read.
  // It takes effect at the next First(); an empty list takes effect at once and leaves the cursor on the
  // first record. Sources that cannot project read whole records (one column focuses as FocusColumn).
  virtual void FocusColumns(const std::vector<int>& columns) {
    FocusColumn(columns.size() == 1 ? columns.front() : -1);
  }

  // A hint that the next pass (from the next First()) reads about `records` records, perhaps fewer
  // when it stops early: a source that fetches in batches may size its first batch to it.
  virtual void ExpectRecords(std::int64_t /*records*/) {}

  // Between HoldSnapshot(true) and HoldSnapshot(false) every First() reads the same data, even while
  // others write: a source with transactions keeps one read transaction open. Released as soon as the
  // caller is done, since a held read can keep writers waiting. Sources that read one snapshot anyway
  // (a server-side cursor) or cannot hold one ignore it.
  virtual void HoldSnapshot(bool /*hold*/) {}

  // The source's own aggregation of `column` (dataset/AggregatingSource.h), or nullptr when it has none
  // for that column; the caller then reads every record. Valid while the source is open.
  virtual AggregatingSource* Aggregation(int /*column*/) { return nullptr; }
};

}  // namespace sumora
