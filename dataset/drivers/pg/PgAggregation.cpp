#include "dataset/drivers/pg/PgAggregation.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "dataset/drivers/pg/PgAggregateSql.h"
#include "dataset/drivers/pg/PgTypes.h"
#include "dataset/drivers/pg/PgValue.h"

namespace sumora::pg {

std::int64_t IntegerAt(const PGresult* result, int row, int column) {
  const char* text = PQgetvalue(result, row, column);
  std::int64_t value = 0;
  std::from_chars(text, text + PQgetlength(result, row, column), value);
  return value;
}

bool FloatAt(const PGresult* result, int row, int column, double* value) {
  if (PQgetisnull(result, row, column)) return false;
  const std::string_view text(PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column)));
  return ReadFloatText(text, value) == TextValue::Number && std::isfinite(*value);
}

bool Aggregation::Aggregates(int column) const {
  if (column < 0 || static_cast<std::size_t>(column) >= fields_.size()) return false;
  switch (fields_[static_cast<std::size_t>(column)].type) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftLargeint:
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency: return true;
    default: return false;
  }
}

// float4 goes through its shortest text, as the cursor reads it, not through the wider binary value;
// money has no direct cast to float8.
std::string Aggregation::ValueExpression(const Relation& relation, int column) const {
  const std::string name = relation.byName
                               ? QuotedIdentifier(session_.Connection(), fields_[static_cast<std::size_t>(column)].name)
                               : "sumora_c" + std::to_string(column + 1);
  switch (types_[static_cast<std::size_t>(column)]) {
    case kFloat4Oid: return name + "::text::float8";
    case kMoneyOid: return name + "::numeric::float8";
    default: return name + "::float8";
  }
}

std::vector<std::string> Aggregation::ValueExpressions(int column) {
  std::vector<std::string> values;
  for (const Relation& relation : session_.Relations()) values.push_back(ValueExpression(relation, column));
  return values;
}

namespace {
std::vector<ValueSource> SourcesOf(const std::vector<Relation>& relations, const std::vector<std::string>& values) {
  std::vector<ValueSource> sources;
  for (std::size_t i = 0; i < relations.size(); ++i) sources.push_back({relations[i].from, values[i]});
  return sources;
}
}  // namespace

std::optional<ValueTotals> Aggregation::Totals(int column, double scaleBy) {
  const AggregateParameters parameters(scaleBy);
  const std::vector<std::string> values = ValueExpressions(column);
  Result totals = session_.Run(TotalsStatement(SourcesOf(session_.Relations(), values), parameters), parameters.values);
  if (totals == nullptr) return std::nullopt;
  ValueTotals answer;
  answer.count = IntegerAt(totals.get(), 0, 0);
  if (answer.count > 0) {
    double* targets[] = {&answer.total, &answer.min, &answer.max};
    for (int i = 0; i < 3; ++i) {
      if (!FloatAt(totals.get(), 0, i + 1, targets[i])) return std::nullopt;
    }
  }
  return answer;
}

std::optional<DeviationSums> Aggregation::Deviations(int column, double scaleBy, double mean,
                                                     const std::vector<double>& thresholds) {
  const AggregateParameters parameters(scaleBy, mean, thresholds);
  const std::vector<std::string> values = ValueExpressions(column);
  Result sums = session_.Run(DeviationsStatement(SourcesOf(session_.Relations(), values), parameters), parameters.values);
  if (sums == nullptr) return std::nullopt;
  DeviationSums answer;
  answer.classCounts.assign(thresholds.size() + 1, 0);
  double* targets[] = {&answer.squares, &answer.cubes, &answer.fourths};
  for (int row = 0; row < PQntuples(sums.get()); ++row) {
    const std::int64_t bucket = IntegerAt(sums.get(), row, 0);
    const std::int64_t count = IntegerAt(sums.get(), row, 1);
    if (bucket < 0 || static_cast<std::size_t>(bucket) >= answer.classCounts.size()) return std::nullopt;
    answer.classCounts[static_cast<std::size_t>(bucket)] += count;
    answer.count += count;
    for (int i = 0; i < 3; ++i) {
      double part = 0.0;
      if (!FloatAt(sums.get(), row, i + 2, &part)) return std::nullopt;
      *targets[i] += part;
    }
  }
  return answer;
}

}  // namespace sumora::pg
