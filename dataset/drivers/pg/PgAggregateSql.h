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

}  // namespace sumora::pg
