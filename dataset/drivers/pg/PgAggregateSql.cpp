#include "dataset/drivers/pg/PgAggregateSql.h"

#include "dataset/ValueText.h"

namespace sumora::pg {

namespace {

// The values of one relation, scaled and without nulls and NaN (NaN = NaN holds for float8 on the
// server, and NULL <> anything is not true). The server repeats the scaling at every use of v, so a
// scale of 1 (x / 1 = x for every double) is left out: it would cost most of a statement's work.
std::string ValuesOf(const ValueSource& source, const AggregateParameters& at) {
  const std::string scaled = at.scale.empty() ? source.value : source.value + " / " + at.scale + "::float8";
  return "(SELECT " + scaled + " AS v FROM " + source.from + ") AS sumora_values WHERE v <> 'NaN'::float8";
}

// Each part numbered (p), so that the outer query adds the parts' sums in one order whatever order
// they arrive in (foreign partitions answer at once): one table gives one answer run after run.
std::string UnionAll(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string numbered = "SELECT " + std::to_string(i) + " AS p, " + parts[i].substr(7);  // after "SELECT "
    text += (text.empty() ? "" : "\n  UNION ALL\n  ") + numbered;
  }
  return text;
}

// {a,b,c} in shortest round-trip text, the text form of a float8[] parameter.
std::string FloatArrayText(const std::vector<double>& values) {
  std::string text = "{";
  for (std::size_t i = 0; i < values.size(); ++i) text += (i == 0 ? "" : ",") + FloatToText(values[i]);
  return text + "}";
}

}  // namespace

AggregateParameters::AggregateParameters(double scaleBy, std::optional<double> meanValue,
                                         const std::vector<double>& thresholdValues) {
  auto add = [this](std::string text) {
    values.push_back(std::move(text));
    return "$" + std::to_string(values.size());
  };
  if (scaleBy != 1.0) scale = add(FloatToText(scaleBy));
  if (meanValue) mean = add(FloatToText(*meanValue));
  if (!thresholdValues.empty()) thresholds = add(FloatArrayText(thresholdValues));
}

std::string TotalsStatement(const std::vector<ValueSource>& sources, const AggregateParameters& at) {
  std::vector<std::string> parts;
  for (const auto& source : sources) {
    parts.push_back("SELECT count(*) AS n, sum(v) AS s, min(v) AS lo, max(v) AS hi FROM " + ValuesOf(source, at));
  }
  if (parts.size() == 1) return parts.front();
  return "SELECT sum(n)::int8, sum(s ORDER BY p), min(lo), max(hi) FROM (\n  " + UnionAll(parts) + "\n) AS sumora_parts";
}

std::string DeviationsStatement(const std::vector<ValueSource>& sources, const AggregateParameters& at) {
  const std::string bucket = at.thresholds.empty() ? "0" : "width_bucket(v, " + at.thresholds + "::float8[])";
  // d*d*d*d rather than power(): plain products, each rounded once, like the sums of a pass.
  const std::string d = "(v - " + at.mean + "::float8)";
  std::vector<std::string> parts;
  for (const auto& source : sources) {
    parts.push_back("SELECT " + bucket + "::int8 AS b, count(*) AS n, sum(" + d + " * " + d + ") AS s2, sum(" + d +
                    " * " + d + " * " + d + ") AS s3, sum((" + d + " * " + d + ") * (" + d + " * " + d +
                    ")) AS s4 FROM " + ValuesOf(source, at) + " GROUP BY 1");
  }
  if (parts.size() == 1) return parts.front();
  return "SELECT b, sum(n)::int8, sum(s2 ORDER BY p), sum(s3 ORDER BY p), sum(s4 ORDER BY p) FROM (\n  " + UnionAll(parts) +
         "\n) AS sumora_parts GROUP BY b";
}

}  // namespace sumora::pg
