#include "dataset/drivers/pg/PgAggregateSql.h"

#include <algorithm>

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

// `parts` are select lists with their FROM, each part numbered (p), so that the outer query adds the
// parts' sums in one order whatever order they arrive in (foreign partitions answer at once): one table
// gives one answer run after run.
std::string UnionAll(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    text += (text.empty() ? "" : "\n  UNION ALL\n  ") + std::string("SELECT ") + std::to_string(i) + " AS p, " + parts[i];
  }
  return text;
}

}  // namespace

std::string FloatArrayText(const std::vector<double>& values) {
  std::string text = "{";
  for (std::size_t i = 0; i < values.size(); ++i) text += (i == 0 ? "" : ",") + FloatToText(values[i]);
  return text + "}";
}

AggregateParameters::AggregateParameters(double scaleBy, std::optional<double> meanValue,
                                         const std::vector<double>& thresholdValues) {
  ParameterList list;
  if (scaleBy != 1.0) scale = list.Add(FloatToText(scaleBy));
  if (meanValue) mean = list.Add(FloatToText(*meanValue));
  if (!thresholdValues.empty()) thresholds = list.Add(FloatArrayText(thresholdValues));
  values = std::move(list.values);
}

std::string TotalsStatement(const std::vector<ValueSource>& sources, const AggregateParameters& at) {
  std::vector<std::string> parts;
  for (const auto& source : sources) {
    parts.push_back("count(*) AS n, sum(v) AS s, min(v) AS lo, max(v) AS hi FROM " + ValuesOf(source, at));
  }
  if (parts.size() == 1) return "SELECT " + parts.front();
  return "SELECT sum(n)::int8, sum(s ORDER BY p), min(lo), max(hi) FROM (\n  " + UnionAll(parts) + "\n) AS sumora_parts";
}

std::string DeviationsStatement(const std::vector<ValueSource>& sources, const AggregateParameters& at) {
  const std::string bucket = at.thresholds.empty() ? "0" : "width_bucket(v, " + at.thresholds + "::float8[])";
  // d*d*d*d rather than power(): plain products, each rounded once, like the sums of a pass.
  const std::string d = "(v - " + at.mean + "::float8)";
  std::vector<std::string> parts;
  for (const auto& source : sources) {
    parts.push_back(bucket + "::int8 AS b, count(*) AS n, sum(" + d + " * " + d + ") AS s2, sum(" + d +
                    " * " + d + " * " + d + ") AS s3, sum((" + d + " * " + d + ") * (" + d + " * " + d +
                    ")) AS s4 FROM " + ValuesOf(source, at) + " GROUP BY b");
  }
  if (parts.size() == 1) return "SELECT " + parts.front();
  return "SELECT b, sum(n)::int8, sum(s2 ORDER BY p), sum(s3 ORDER BY p), sum(s4 ORDER BY p) FROM (\n  " + UnionAll(parts) +
         "\n) AS sumora_parts GROUP BY b";
}

namespace {

std::string Scaled(const std::string& value, const std::string& scale) {
  return scale.empty() ? value : "(" + value + ") / " + scale + "::float8";
}

bool HoldsNotANumber(const GroupedValues& read, std::size_t c) { return c < read.notANumber.size() && read.notANumber[c]; }

// Whether the values are worth a level of their own, which computes each once per row where a flattened
// query would repeat it at every use (a division, NULLIF, float4's text). A foreign table keeps its
// aggregate flat, so that it is sent whole to its server.
bool ComputedApart(const GroupedSource& source, const GroupedValues& read) {
  if (source.foreign) return false;
  if (!read.scale.empty() || !source.plainValues) return true;
  for (std::size_t c = 0; c < source.values.size(); ++c) {
    if (HoldsNotANumber(read, c)) return true;
  }
  return false;
}

// The part's columns as a subquery: gk, then v1, v2, ... (NaN a null where marked, divided by the scale).
std::string GroupedValuesOf(const GroupedSource& source, const GroupedValues& read, bool apart,
                            const std::string& key = "") {
  std::string select = "SELECT " + (key.empty() ? source.key + " AS gk" : key);
  for (std::size_t c = 0; c < source.values.size(); ++c) {
    const std::string value = HoldsNotANumber(read, c) ? "NULLIF(" + source.values[c] + ", 'NaN'::float8)" : source.values[c];
    select += ", " + Scaled(value, read.scale) + " AS v" + std::to_string(c + 1);
  }
  return "(" + select + " FROM " + source.from + (apart ? " OFFSET 0" : "") + ") AS sumora_values";
}

std::string UnionOfParts(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& part : parts) text += (text.empty() ? "" : "\n  UNION ALL\n  ") + part;
  return text;
}

// Counts travel as two arrays per part, group and column, a few bytes a class, not a row per class:
// `counted` has rows p, gi, c, b, n (b null for the values that are null).
std::string CountArrays(const std::string& counted) {
  return "SELECT p, gi, c, array_agg(b ORDER BY b), array_agg(n ORDER BY b) FROM (" + counted +
         ") AS sumora_classes WHERE b IS NOT NULL GROUP BY p, gi, c";
}

}  // namespace

std::string GroupedTotalsStatement(const std::vector<GroupedSource>& sources, const GroupedValues& read) {
  std::vector<std::string> parts;
  for (std::size_t p = 0; p < sources.size(); ++p) {
    const GroupedSource& source = sources[p];
    const bool byText = !source.text.empty();
    std::string part = "SELECT " + std::to_string(p) + " AS p, " + (byText ? source.keyOfText + " AS gk" : "gk") + ", count(*)";
    for (std::size_t c = 1; c <= source.values.size(); ++c) {
      const std::string v = "v" + std::to_string(c);
      part += ", count(" + v + "), sum(" + v + "), min(" + v + "), max(" + v + ")";
    }
    const bool apart = ComputedApart(source, read);
    parts.push_back(part + (byText ? ", gt FROM " + GroupedValuesOf(source, read, apart, source.text + " AS gt") + " GROUP BY gt"
                                   : " FROM " + GroupedValuesOf(source, read, apart) + " GROUP BY gk"));
  }
  return UnionOfParts(parts);
}

std::string GroupedDeviationsStatement(const std::vector<GroupedSource>& sources,
                                       const GroupedDeviationPlaceholders& at) {
  const std::size_t columns = sources.empty() ? 0 : sources.front().values.size();
  const GroupedValues read{at.scale, std::vector<bool>(columns, true)};
  std::vector<std::string> parts;
  if (!at.columnThresholds.empty()) {
    // Counts of one group, its thresholds constants: each row's values get their classes side by side
    // and one grouping set per column counts them, where a row unfolded into a row per value would cost
    // the server several times more.
    std::string buckets;
    std::string sets;
    std::string which = "CASE";
    std::string bucket = "COALESCE(";
    for (std::size_t c = 1; c <= columns; ++c) {
      const std::string n = std::to_string(c);
      buckets += std::string(c == 1 ? "" : ", ") + "width_bucket(v" + n + ", " + at.columnThresholds[c - 1] +
                 "::float8[])::int8 AS b" + n;
      sets += std::string(c == 1 ? "" : ", ") + "(b" + n + ")";
      which += " WHEN GROUPING(b" + n + ") = 0 THEN " + n;
      bucket += std::string(c == 1 ? "" : ", ") + "b" + n;
    }
    for (std::size_t p = 0; p < sources.size(); ++p) {
      parts.push_back("SELECT " + std::to_string(p) + " AS p, 1::int8 AS gi, " + which + " END AS c, " + bucket +
                      ") AS b, count(*) AS n FROM (SELECT " + buckets + " FROM " + GroupedValuesOf(sources[p], read, false) +
                      " OFFSET 0) AS sumora_buckets GROUP BY GROUPING SETS (" + sets + ")");
    }
    return CountArrays(UnionOfParts(parts));
  }
  const std::string offsets = "(" + at.offsets + "::int4[])";
  // One row per group with every column's mean (m1, ...) and thresholds (th1, ...), made once. A row of
  // the data finds its group's row with one lookup (rows of other groups stop there; OFFSET 0 keeps the
  // server from unfolding every row's values before), then each of its values is counted with its
  // column's mean and thresholds.
  std::string params = "SELECT gk, gi";
  std::string unpivot;
  for (std::size_t c = 1; c <= columns; ++c) {
    const std::string n = std::to_string(c);
    const std::string cell = "(gi - 1) * " + std::to_string(columns) + " + " + n;
    params += std::string(at.countsOnly ? "" : ", (" + at.means + "::float8[])[" + cell + "] AS m" + n) + ", (" +
              at.thresholds + "::float8[])[" + offsets + "[" + cell + "] + 1 : " + offsets + "[" + cell + " + 1]] AS th" + n;
    unpivot += (c == 1 ? "" : ", ") + std::string("(") + n + ", g.v" + n + ", " + (at.countsOnly ? "0::float8" : "g.m" + n) +
               ", g.th" + n + ")";
  }
  const std::string sql = "WITH sumora_groups AS MATERIALIZED (" + params + " FROM unnest(" + at.keys + "::" +
                          at.keyType + "[]) WITH ORDINALITY AS k(gk, gi))\n";
  // d*d*d*d rather than power(): plain products, each rounded once, like the sums of a pass.
  const std::string d = "(u.v - u.m)";
  const std::string sums = at.countsOnly ? std::string()
                                         : ", sum(" + d + " * " + d + ") AS s2, sum(" + d + " * " + d + " * " + d +
                                               ") AS s3, sum((" + d + " * " + d + ") * (" + d + " * " + d + ")) AS s4";
  for (std::size_t p = 0; p < sources.size(); ++p) {
    parts.push_back("SELECT " + std::to_string(p) + " AS p, g.gi, u.c, width_bucket(u.v, u.th)::int8 AS b, " +
                    "count(*) AS n" + sums + " FROM (SELECT * FROM " +
                    GroupedValuesOf(sources[p], read, false) + " JOIN sumora_groups AS k USING (gk) OFFSET 0) AS g " +
                    "CROSS JOIN LATERAL (VALUES " + unpivot + ") AS u(c, v, m, th) WHERE u.v IS NOT NULL " +
                    "GROUP BY g.gi, u.c, 4");
  }
  return sql + (at.countsOnly ? CountArrays(UnionOfParts(parts)) : UnionOfParts(parts));
}

std::string WideDeviationsStatement(const std::vector<GroupedSource>& sources, const WideDeviationPlaceholders& at) {
  const std::size_t columns = sources.empty() ? 0 : sources.front().values.size();
  const bool grouped = !at.keys.empty();
  auto counted = [&](std::size_t c) { return c < at.thresholds.size() ? at.thresholds[c].size() : std::size_t{0}; };
  // Without groups the means and thresholds are constants: the server reads a subscript of a parameter
  // once, when it plans. With groups each row finds its group's row and carries its means (m1, ...) and
  // thresholds (t1_1, ...); those rows are the arrays side by side (unnest of several arrays), which
  // leaves the server no expression to compile for them.
  auto mean = [&](std::size_t c) {
    return grouped ? "k.m" + std::to_string(c + 1) : "(" + at.means[c] + "::float8[])[1]";
  };
  auto threshold = [&](std::size_t c, std::size_t k) {
    return grouped ? "t" + std::to_string(c + 1) + "_" + std::to_string(k + 1) : "(" + at.thresholds[c][k] + "::float8[])[1]";
  };
  std::string sql;
  if (grouped) {
    std::string arrays = at.keys + "::" + at.keyType + "[]";
    std::string names = "gk";
    for (std::size_t c = 0; c < columns; ++c) {
      if (!at.countsOnly) {
        arrays += ", " + at.means[c] + "::float8[]";
        names += ", m" + std::to_string(c + 1);
      }
      for (std::size_t k = 0; k < counted(c); ++k) {
        arrays += ", " + at.thresholds[c][k] + "::float8[]";
        names += ", " + threshold(c, k);
      }
    }
    sql = "WITH sumora_groups AS MATERIALIZED (SELECT * FROM unnest(" + arrays + ") WITH ORDINALITY AS k(" + names +
          ", gi))\n";
  }
  std::vector<std::string> parts;
  for (std::size_t p = 0; p < sources.size(); ++p) {
    const GroupedSource& source = sources[p];
    // A foreign table's aggregate stays flat and repeats d in its terms; elsewhere one level computes d
    // and d*d once per row. The products are the same either way: d*d*d is (d*d)*d.
    const bool flat = source.foreign && !grouped;
    std::string level = grouped ? "SELECT k.gi" : "SELECT ";
    std::string aggregates;
    for (std::size_t c = 0; c < columns; ++c) {
      const std::string n = std::to_string(c + 1);
      const std::string v = "v" + n;
      level += std::string(grouped || c > 0 ? ", " : "") + v;
      // d*d*d*d rather than power(): plain products, each rounded once, like the sums of a pass.
      std::string sums = "0::float8, 0::float8, 0::float8";
      if (!at.countsOnly) {
        const std::string deviation = v + " - " + mean(c);
        level += ", " + deviation + " AS d" + n + ", (" + deviation + ") * (" + deviation + ") AS e" + n;
        const std::string d = flat ? "(" + deviation + ")" : "d" + n;
        const std::string e = flat ? "(" + d + " * " + d + ")" : "e" + n;
        sums = "sum(" + e + "), sum(" + e + " * " + d + "), sum(" + e + " * " + e + ")";
      }
      std::string classes;
      for (std::size_t k = 0; k < counted(c); ++k) {
        if (grouped) level += ", k." + threshold(c, k);
        classes += (k == 0 ? "" : ", ") + std::string("count(*) FILTER (WHERE ") + v + " >= " + threshold(c, k) + ")";
      }
      aggregates += ", count(" + v + "), " + sums + ", " +
                    (classes.empty() ? std::string("'{}'::int8[]") : "ARRAY[" + classes + "]");
    }
    const std::string values = GroupedValuesOf(source, at.read, !flat && ComputedApart(source, at.read));
    std::string from;
    if (flat) {
      from = values;
    } else if (grouped) {
      from = "(" + level + " FROM " + values + " JOIN sumora_groups AS k USING (gk) OFFSET 0) AS sumora_terms";
    } else {
      from = "(" + level + " FROM " + values + " OFFSET 0) AS sumora_terms";
    }
    parts.push_back("SELECT " + std::to_string(p) + " AS p, " + (grouped ? "gi" : "1::int8") + " AS g" + aggregates +
                    " FROM " + from + (grouped ? " GROUP BY gi" : ""));
  }
  return sql + UnionOfParts(parts);
}

std::string MiddlesStatement(const std::string& from, const std::vector<std::string>& values,
                             const std::vector<std::int64_t>& firsts, const std::string& scale) {
  std::vector<std::string> parts;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::int64_t half = firsts[i] / 2;
    const std::int64_t lo = std::max<std::int64_t>(half, 1);
    // The LIMIT stops the scan at the last value wanted; the sort then holds those values only.
    parts.push_back("SELECT " + std::to_string(i + 1) + " AS c, ARRAY(SELECT v FROM (SELECT " + Scaled(values[i], scale) +
                    " AS v FROM " + from + " WHERE " + values[i] + " <> 'NaN'::float8 LIMIT " + std::to_string(firsts[i]) +
                    ") AS sumora_firsts ORDER BY v OFFSET " + std::to_string(lo - 1) + " LIMIT " +
                    std::to_string(half + 2 - lo) + ")");
  }
  return UnionOfParts(parts);
}

}  // namespace sumora::pg
