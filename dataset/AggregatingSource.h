// An optional capability of a data source: computing a pass's sums where the data lives, so that only
// the sums travel. A source offers it per column through RecordSource::Aggregation; the engine keeps
// every finishing formula and only asks for the raw sums below. Values are always the column's value
// divided by `scaleBy`, in double precision, with nulls and NaN left out, exactly as a pass reads them.
#pragma once

#include <cstdint>
#include <optional>
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
};

}  // namespace sumora
