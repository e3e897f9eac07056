// The aggregate statements of a pass computed on the server. Each relation (a table, a leaf partition, or
// a parenthesised query with an alias) gets its own aggregate, and several are combined in an outer
// query: written that way, a foreign partition ships its whole aggregate to its server and the servers
// work at once, where an aggregate over the partitioned parent would bring every row to the coordinator.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sumora::pg {

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
};

// One row per part and group: p (the part's number), key, then per column count (int8), total, min, max
// over the column's values / scale that are not null or NaN. `scale` is "" or the placeholder of the
// scale.
std::string GroupedTotalsStatement(const std::vector<GroupedSource>& sources, const std::string& scale);

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
};

// One row per part, group, column and class: p, g, c, b (int8), count (int8), and the sums of d^2, d^3,
// d^4 with d = v - mean of the group's column; b = width_bucket(v, the cell's thresholds).
std::string GroupedDeviationsStatement(const std::vector<GroupedSource>& sources,
                                       const GroupedDeviationPlaceholders& at);

}  // namespace sumora::pg
