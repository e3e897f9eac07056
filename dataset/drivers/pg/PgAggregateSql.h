// The aggregate statements of a pass computed on the server. Each relation (a table, a leaf partition, or
// a parenthesised query with an alias) gets its own aggregate, and several are combined in an outer
// query: written that way, a foreign partition ships its whole aggregate to its server and the servers
// work at once, where an aggregate over the partitioned parent would bring every row to the coordinator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sumora::pg {

// A statement's parameter values, as text: Add keeps one and returns its placeholder ($1, $2, ...).
struct ParameterList {
  std::vector<std::string> values;
  std::string Add(std::string text) {
    values.push_back(std::move(text));
    return "$" + std::to_string(values.size());
  }
};

// {a,b,c} in shortest round-trip text, the text form of a float8[] parameter.
std::string FloatArrayText(const std::vector<double>& values);

// The parameters of one aggregate statement: the placeholders its text uses and their values, numbered
// in this order from $1: the scale (left out when it is 1, so the values are not divided at all), the
// mean of the deviations, the class thresholds (each only when given).
struct AggregateParameters {
  explicit AggregateParameters(double scaleBy, std::optional<double> mean = std::nullopt,
                               const std::vector<double>& thresholds = {});
  std::string scale;  // "$1", or empty when left out
  std::string mean;
  std::string thresholds;
  std::vector<std::string> values;  // in placeholder order, as text
};

// One relation (a table, a leaf partition, a parenthesised query with its alias) and the column read, as
// a float8 expression over it.
struct ValueSource {
  std::string from;
  std::string value;
};

// One row: count (int8), total, min, max of v = value / scale over the values that are not null or NaN.
std::string TotalsStatement(const std::vector<ValueSource>& sources, const AggregateParameters& at);

// One row per class b: b (int8), count (int8), and the sums of d^2, d^3, d^4 with d = v - mean. With
// thresholds, b = width_bucket(v, thresholds) (how many thresholds are at or below v); otherwise 0.
std::string DeviationsStatement(const std::vector<ValueSource>& sources, const AggregateParameters& at);

// Several columns per group, over one relation each part.
struct GroupedSource {
  std::string from;
  std::string key;                  // the group's key as a float8 or text expression ("0" without groups)
  std::vector<std::string> values;  // each requested column as a float8 expression
  // Every value is a column read as it is (float8) or widened from an integer, which costs the server
  // nothing to repeat; others (float4 through its text, numeric, money) are worth computing once.
  bool plainValues = true;
  // A foreign table: its part is written as one flat aggregate over it, which postgres_fdw sends whole
  // to the table's server (a subquery kept apart, or a join with local rows, would bring the rows here).
  bool foreign = false;
  // A text or varchar group field: the loading statement groups by its value (bytewise) as `text` and
  // makes each group's key once, by `keyOfText` over that value named gt, where `key` would be made for
  // every row. Several values may make one key (null and the spellings of NaN).
  std::string text;
  std::string keyOfText;
};

// How the values of each column are read: `notANumber[c]` (from 0) when column c holds NaN, which then
// reads as a null. The values are the columns themselves otherwise: the common case pays nothing for
// NaN, and a column that holds one shows it in its totals (the server orders NaN above every number,
// so its maximum is NaN) and is read again with the NaN left out.
struct GroupedValues {
  std::string scale;  // "" or the placeholder of the scale
  std::vector<bool> notANumber;
};

// One row per part and group: p (the part's number), key, count(*) (int8), then per column count (int8),
// total, min, max over the column's values / scale that are not null (nor NaN where marked); with a
// group field's `text`, one row per value of it, the value last.
std::string GroupedTotalsStatement(const std::vector<GroupedSource>& sources, const GroupedValues& read);

// The placeholders of a grouped deviation statement: the groups' keys (an array of the key's type),
// then for group g (from 1) and column c (from 1), cell i = (g - 1) * columns + c: means[i] and the
// thresholds thresholds[offsets[i] + 1 .. offsets[i + 1]] (offsets from 0, one more than the cells).
struct GroupedDeviationPlaceholders {
  std::string scale;  // "" when the values are not divided
  std::string keys;
  std::string keyType;  // "float8" or "text"
  std::string means;
  std::string thresholds;
  std::string offsets;
  bool countsOnly = false;  // no sums: a counting pass needs only the classes
  // With countsOnly and no group field, each column's thresholds as a float8[] of their own (the others are
  // then left empty): the server takes them as constants.
  std::vector<std::string> columnThresholds;
};

// One row per part, group, column and class: p, g, c, b (int8), count (int8), and the sums of d^2, d^3,
// d^4 with d = v - mean of the group's column; with countsOnly (whose means are left out) one row per
// part, group and column: p, g, c, then its classes b and their counts as two int8[] in the same order; b = width_bucket(v, the cell's thresholds). Each row is
// unfolded into one row per column: for cells with many thresholds (quantile passes), which one
// aggregate per threshold could not count.
std::string GroupedDeviationsStatement(const std::vector<GroupedSource>& sources,
                                       const GroupedDeviationPlaceholders& at);

// The placeholders of a wide moment statement: per column, a float8[] of its means and one float8[] per
// threshold k (from 1), each holding group g's (from 1) at g; a group whose cell has fewer thresholds
// than its column has nulls past its own. Without groups (keys empty) each array holds the one cell's.
struct WideDeviationPlaceholders {
  GroupedValues read;
  std::string keys;  // "" without a group field
  std::string keyType;
  std::vector<std::string> means;                    // per column (none with countsOnly)
  std::vector<std::vector<std::string>> thresholds;  // per column, per threshold
  bool countsOnly = false;  // the sums are 0 and NaN always reads as a null: a counting pass
};

// One row per part and group: p, g (int8), then per column count (int8), the sums of d^2, d^3 and d^4
// with d = v - mean of the group's column (d*d*d and (d*d)*(d*d), plain products), and int8[] with, for
// each threshold k, how many values are at or above it (the counts of width_bucket's classes are the
// differences). Every row is read once and gives every column its terms: one aggregate per sum and per
// threshold, no row per column.
std::string WideDeviationsStatement(const std::vector<GroupedSource>& sources, const WideDeviationPlaceholders& at);

// One row per column: c (from 1), then a float8[] of the values at places lo .. hi (from 1) of its first
// firsts values in ascending order: values[i] / scale without nulls and NaN, the first met by a scan of
// `from`, where lo = max(firsts / 2, 1) and hi = firsts / 2 + 1.
std::string MiddlesStatement(const std::string& from, const std::vector<std::string>& values,
                             const std::vector<std::int64_t>& firsts, const std::string& scale);

}  // namespace sumora::pg
