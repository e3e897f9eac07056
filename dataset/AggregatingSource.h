// An optional capability of a data source: computing a pass's sums where the data lives, so that only
// the sums travel. A source offers it per column through RecordSource::Aggregation; the engine keeps
// every finishing formula and only asks for the raw sums below. Values are always the column's value
// divided by `scaleBy`, in double precision, with nulls and NaN left out, exactly as a pass reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sumora {

struct ValueTotals {
  std::int64_t count = 0;  // values that are not null
  double total = 0.0;      // the rest are meaningless when count is 0
  double min = 0.0;
  double max = 0.0;
};

struct DeviationSums {
  std::int64_t count = 0;
  double squares = 0.0;  // sum of (x - mean)^2
  double cubes = 0.0;    // sum of (x - mean)^3
  double fourths = 0.0;  // sum of (x - mean)^4
  // classCounts[i]: the values with exactly i of the thresholds at or below them (thresholds.size() + 1
  // entries).
  std::vector<std::int64_t> classCounts;
};

// A group's key as a pass reads it from the group field: null (a null or NaN value), a number (a numeric
// group field, as TField::AsFloat reads it) or text (any other field, as TField::AsString reads it).
// Keys order numbers numerically (-0 equals 0), text by bytes, and the null key last.
struct GroupKey {
  enum class Kind : std::uint8_t { Number, Text, Null };
  Kind kind = Kind::Null;
  double number = 0.0;
  std::string text;

  static GroupKey Null() { return {}; }
  static GroupKey Of(double value) { return {Kind::Number, value == 0.0 ? 0.0 : value, {}}; }
  static GroupKey Of(std::string value) { return {Kind::Text, 0.0, std::move(value)}; }
  friend bool operator==(const GroupKey& a, const GroupKey& b) {
    return a.kind == b.kind && a.number == b.number && a.text == b.text;
  }
  friend bool operator<(const GroupKey& a, const GroupKey& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    return a.kind == Kind::Number ? a.number < b.number : a.text < b.text;
  }
};

// Several columns of one pass, per group: `columns[i]` answers the i-th requested column.
struct GroupTotals {
  GroupKey key;
  std::int64_t records = 0;  // the group's records, null values included
  std::vector<ValueTotals> columns;
};
// What a deviation pass needs of one column in one group: the mean and the class thresholds (ascending).
struct DeviationRequest {
  double mean = 0.0;
  std::vector<double> thresholds;
};
struct GroupDeviationRequest {
  GroupKey key;
  std::vector<DeviationRequest> columns;  // one per requested column, in order
};
// The two middle values of a column's first values in ascending order (MiddlesOfFirstValues).
struct MiddleValues {
  double lower = 0.0;
  double upper = 0.0;
};

struct GroupDeviations {
  GroupKey key;
  std::vector<DeviationSums> columns;
};

class AggregatingSource {
 public:
  virtual ~AggregatingSource() = default;

  // Each call may answer std::nullopt when the source cannot reproduce what a pass would read (a value
  // no double holds, an infinity, a sum that leaves the range of a double): the caller then makes the
  // pass over the records itself, which reports such data the usual way. Connection and server
  // failures raise EDatabaseError like a pass does.
  virtual std::optional<ValueTotals> Totals(int column, double scaleBy) = 0;
  // `thresholds` ascending; counting classes costs one more comparison per value and threshold level.
  virtual std::optional<DeviationSums> Deviations(int column, double scaleBy, double mean,
                                                  const std::vector<double>& thresholds) = 0;

  // The same for several columns at once, optionally per group of `groupColumn` (-1: no grouping; the
  // answer then holds one entry with a null key), in one statement per call, so that a table of many
  // fields costs one aggregate per pass. Groups come in key order (GroupKey's operator<); a group whose
  // columns are all null still appears. Values are each column divided by `scaleBy`, as above. The
  // same std::nullopt rule: the caller then reads the records. Sources without it answer std::nullopt.
  virtual std::optional<std::vector<GroupTotals>> TotalsOf(const std::vector<int>& /*columns*/, int /*groupColumn*/,
                                                           double /*scaleBy*/) {
    return std::nullopt;
  }
  // `groups` names the groups wanted (those of a TotalsOf answer) with each column's mean and thresholds;
  // the answer has one entry per requested group, in the same order.
  virtual std::optional<std::vector<GroupDeviations>> DeviationsOf(const std::vector<int>& /*columns*/,
                                                                   int /*groupColumn*/, double /*scaleBy*/,
                                                                   const std::vector<GroupDeviationRequest>& /*groups*/) {
    return std::nullopt;
  }
  // DeviationsOf for a counting pass, which needs only the class counts: a source may leave the power
  // sums 0 and spare itself their arithmetic and the answer their text. By default the whole sums.
  virtual std::optional<std::vector<GroupDeviations>> CountsOf(const std::vector<int>& columns, int groupColumn,
                                                               double scaleBy,
                                                               const std::vector<GroupDeviationRequest>& groups) {
    return DeviationsOf(columns, groupColumn, scaleBy, groups);
  }
  // What a loading pass's store gives the median, without the store travelling: for each of `columns`,
  // its first `firsts[i]` values (at least 1) in dataset order, nulls and NaN left out, each divided by
  // `scaleBy`, in ascending order; the answer's i-th entry holds the values at places max(n / 2, 1) and
  // n / 2 + 1 (from 1) of the n = firsts[i]. Only a source that reads the records where they lie in
  // the order its cursor gives them can answer; the others answer std::nullopt.
  virtual std::optional<std::vector<MiddleValues>> MiddlesOfFirstValues(const std::vector<int>& /*columns*/,
                                                                        double /*scaleBy*/,
                                                                        const std::vector<std::int64_t>& /*firsts*/) {
    return std::nullopt;
  }
};

}  // namespace sumora
