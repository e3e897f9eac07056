#include "dataset/drivers/pg/PgAggregation.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <cmath>
#include <string_view>
#include <type_traits>

#include "dataset/ValueText.h"
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

bool AddPowerSums(const PGresult* result, int row, int column, DeviationSums* sums) {
  double* targets[] = {&sums->squares, &sums->cubes, &sums->fourths};
  for (int i = 0; i < 3; ++i) {
    double part = 0.0;
    if (!FloatAt(result, row, column + i, &part)) return false;
    *targets[i] += part;
  }
  return true;
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
  if (thresholds.size() > kMaxThresholds) return std::nullopt;
  const AggregateParameters parameters(scaleBy, mean, thresholds);
  const std::vector<std::string> values = ValueExpressions(column);
  Result sums = session_.Run(DeviationsStatement(SourcesOf(session_.Relations(), values), parameters), parameters.values);
  if (sums == nullptr) return std::nullopt;
  DeviationSums answer;
  answer.classCounts.assign(thresholds.size() + 1, 0);
  for (int row = 0; row < PQntuples(sums.get()); ++row) {
    const std::int64_t bucket = IntegerAt(sums.get(), row, 0);
    const std::int64_t count = IntegerAt(sums.get(), row, 1);
    if (bucket < 0 || static_cast<std::size_t>(bucket) >= answer.classCounts.size()) return std::nullopt;
    answer.classCounts[static_cast<std::size_t>(bucket)] += count;
    answer.count += count;
    if (!AddPowerSums(sums.get(), row, 2, &answer)) return std::nullopt;
  }
  return answer;
}

// --- Several columns per group -----------------------------------------------------------------------

namespace {

// Text a query returns as "nan" reads as a null (the cursor's IsNull), so it is the null group too.
constexpr const char* kNotANumberText = "'^[ \\t]*[-+]?[nN][aA][nN][ \\t\\r]*$'";

std::string QuotedArrayElement(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string KeyText(const GroupKey& key) {
  switch (key.kind) {
    case GroupKey::Kind::Null: return "n";
    case GroupKey::Kind::Text: return "t" + key.text;
    case GroupKey::Kind::Number: break;
  }
  return FloatToText(key.number);
}

// A key as the statements return it; false for a key a pass would refuse (an infinite number).
bool ReadKey(const PGresult* result, int row, bool numeric, GroupKey* key) {
  const std::string_view text(PQgetvalue(result, row, 1), static_cast<std::size_t>(PQgetlength(result, row, 1)));
  if (!numeric) {
    *key = text == "n" || text.empty() ? GroupKey::Null() : GroupKey::Of(std::string(text.substr(1)));
    return true;
  }
  double value = 0.0;
  const TextValue read = ReadFloatText(text, &value);
  if (read == TextValue::NotANumber) {
    *key = GroupKey::Null();
    return true;
  }
  *key = GroupKey::Of(value);
  return read == TextValue::Number && std::isfinite(value);
}

}  // namespace

bool Aggregation::ValidColumns(const std::vector<int>& columns, int groupColumn) const {
  if (columns.empty()) return false;
  for (int column : columns) {
    if (!Aggregates(column)) return false;
  }
  return groupColumn < 0 || static_cast<std::size_t>(groupColumn) < fields_.size();
}

std::string Aggregation::KeyExpression(const Relation& relation, int groupColumn) const {
  if (groupColumn < 0) return "0::float8";
  if (Aggregates(groupColumn)) return "COALESCE(" + ValueExpression(relation, groupColumn) + ", 'NaN'::float8)";
  const std::string name =
      relation.byName ? QuotedIdentifier(session_.Connection(), fields_[static_cast<std::size_t>(groupColumn)].name)
                      : "sumora_c" + std::to_string(groupColumn + 1);
  if (types_[static_cast<std::size_t>(groupColumn)] == kBoolOid) {
    return "CASE WHEN " + name + " IS NULL THEN 'n' WHEN " + name + " THEN 'tTrue' ELSE 'tFalse' END";
  }
  // format('%s') gives the type's own output text, as the cursor receives it (char(n) keeps its blanks).
  return TextKey(name, types_[static_cast<std::size_t>(groupColumn)]);
}

// text and varchar are their own output text: format() would only cost a copy of every row's key.
std::string Aggregation::TextKey(const std::string& name, Oid type) {
  const std::string text = type == kTextOid || type == kVarcharOid ? name : "format('%s', " + name + ")";
  return "CASE WHEN " + name + " IS NULL OR " + text + " ~ " + kNotANumberText + " THEN 'n' ELSE 't' || " + text + " END";
}

std::vector<GroupedSource> Aggregation::GroupedSources(const std::vector<int>& columns, int groupColumn) const {
  bool plain = true;
  for (int column : columns) {
    const Oid type = types_[static_cast<std::size_t>(column)];
    plain = plain && (type == kFloat8Oid || type == kInt2Oid || type == kInt4Oid || type == kInt8Oid);
  }
  std::vector<GroupedSource> sources;
  for (const Relation& relation : session_.Relations()) {
    GroupedSource source{relation.from, KeyExpression(relation, groupColumn), {}, plain, relation.foreign, "", ""};
    const Oid type = groupColumn < 0 ? 0 : types_[static_cast<std::size_t>(groupColumn)];
    if (type == kTextOid || type == kVarcharOid) {
      source.text = (relation.byName ? QuotedIdentifier(session_.Connection(), fields_[static_cast<std::size_t>(groupColumn)].name)
                                     : "sumora_c" + std::to_string(groupColumn + 1)) + " COLLATE \"C\"";
      source.keyOfText = TextKey("gt", type);
    }
    for (int column : columns) source.values.push_back(ValueExpression(relation, column));
    sources.push_back(std::move(source));
  }
  return sources;
}

std::vector<bool> Aggregation::NotANumber(const std::vector<int>& columns) const {
  std::vector<bool> marked;
  for (int column : columns) marked.push_back(notANumber_.count(column) != 0);
  return marked;
}

namespace {
bool IsNotANumber(const PGresult* result, int row, int column) {
  double value = 0.0;
  return !PQgetisnull(result, row, column) &&
         ReadFloatText(std::string_view(PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column))),
                       &value) == TextValue::NotANumber;
}
}  // namespace

std::optional<std::vector<GroupTotals>> Aggregation::TotalsOf(const std::vector<int>& columns, int groupColumn,
                                                              double scaleBy) {
  if (!ValidColumns(columns, groupColumn)) return std::nullopt;
  const AggregateParameters parameters(scaleBy);
  const std::vector<GroupedSource> sources = GroupedSources(columns, groupColumn);
  Result rows;
  // A column whose maximum is NaN holds NaN: it is read again with NaN left out (at most once more, as
  // the columns read that way cannot show NaN again).
  for (bool again = true; again;) {
    rows = session_.Run(GroupedTotalsStatement(sources, {parameters.scale, NotANumber(columns)}), parameters.values);
    if (rows == nullptr) return std::nullopt;
    again = false;
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (IsNotANumber(rows.get(), row, 3 + 4 * static_cast<int>(c) + 3) && notANumber_.insert(columns[c]).second) again = true;
      }
    }
  }
  // The parts' rows of one group are added in part order, whatever order they arrived in; rows of one
  // part and key (values of a text field that read as null) in the order of their values.
  std::vector<int> order(static_cast<std::size_t>(PQntuples(rows.get())));
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  const int text = sources.empty() || sources.front().text.empty() ? -1 : 3 + 4 * static_cast<int>(columns.size());
  auto textOf = [&](int row) {
    return std::pair(!PQgetisnull(rows.get(), row, text),
                     std::string_view(PQgetvalue(rows.get(), row, text), static_cast<std::size_t>(PQgetlength(rows.get(), row, text))));
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const std::int64_t pa = IntegerAt(rows.get(), a, 0);
    const std::int64_t pb = IntegerAt(rows.get(), b, 0);
    if (pa != pb || text < 0) return pa < pb;
    return textOf(a) < textOf(b);
  });
  std::map<GroupKey, GroupTotals> groups;
  for (int row : order) {
    GroupKey key;
    if (!ReadKey(rows.get(), row, NumericKey(groupColumn), &key)) return std::nullopt;
    GroupTotals& group = groups[key];
    group.records += IntegerAt(rows.get(), row, 2);
    std::vector<ValueTotals>& totals = group.columns;
    totals.resize(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const int at = 3 + 4 * static_cast<int>(c);
      const std::int64_t count = IntegerAt(rows.get(), row, at);
      if (count == 0) continue;
      ValueTotals part;
      part.count = count;
      if (!FloatAt(rows.get(), row, at + 1, &part.total) || !FloatAt(rows.get(), row, at + 2, &part.min) ||
          !FloatAt(rows.get(), row, at + 3, &part.max)) {
        return std::nullopt;
      }
      ValueTotals& total = totals[c];
      if (total.count == 0) {
        total = part;
      } else {
        total.count += part.count;
        total.total += part.total;
        total.min = std::min(total.min, part.min);
        total.max = std::max(total.max, part.max);
      }
      if (!std::isfinite(total.total)) return std::nullopt;
    }
  }
  if (groupColumn < 0 && groups.empty()) groups[GroupKey::Null()].columns.resize(columns.size());
  std::vector<GroupTotals> answer;
  for (auto& [key, group] : groups) {
    group.key = groupColumn < 0 ? GroupKey::Null() : key;
    answer.push_back(std::move(group));
  }
  return answer;
}

namespace {

// The requests' cells of the columns at `positions`, in that order.
std::vector<GroupDeviationRequest> Pick(const std::vector<GroupDeviationRequest>& groups,
                                        const std::vector<std::size_t>& positions) {
  std::vector<GroupDeviationRequest> picked;
  for (const GroupDeviationRequest& group : groups) {
    GroupDeviationRequest cells{group.key, {}};
    for (std::size_t c : positions) cells.columns.push_back(group.columns[c]);
    picked.push_back(std::move(cells));
  }
  return picked;
}

// Runs `statement` on consecutive runs of groups, as many as fit in one statement's numbers (at least
// one), and appends the answers.
template <typename Statement, typename Needs>
bool InBatches(const std::vector<GroupDeviationRequest>& groups, Needs needs, Statement statement,
               std::vector<GroupDeviations>* answer) {
  std::size_t first = 0;
  while (first < groups.size()) {
    std::size_t numbers = 0;
    std::size_t end = first;
    while (end < groups.size()) {
      const std::size_t more = needs(groups[end]);
      if (end > first && numbers + more > Aggregation::kMaxNumbersPerStatement) break;
      numbers += more;
      ++end;
    }
    const std::vector<GroupDeviationRequest> batch(groups.begin() + static_cast<std::ptrdiff_t>(first),
                                                   groups.begin() + static_cast<std::ptrdiff_t>(end));
    std::optional<std::vector<GroupDeviations>> sums = statement(batch);
    if (!sums) return false;
    for (auto& group : *sums) answer->push_back(std::move(group));
    first = end;
  }
  return true;
}

// The answer's cells for `groups`, each with its classes and nothing counted yet.
std::vector<GroupDeviations> EmptySums(const std::vector<GroupDeviationRequest>& groups) {
  std::vector<GroupDeviations> answer;
  for (const GroupDeviationRequest& group : groups) {
    GroupDeviations sums{group.key, {}};
    for (const DeviationRequest& cell : group.columns) {
      DeviationSums column;
      column.classCounts.assign(cell.thresholds.size() + 1, 0);
      sums.columns.push_back(std::move(column));
    }
    answer.push_back(std::move(sums));
  }
  return answer;
}

// An int8[] or float8[] in its text form, {1,2,3} or {1.5,-2,3e+20}; false for anything else (an
// infinity among floats too).
template <typename Number>
bool ReadArray(const PGresult* result, int row, int column, std::vector<Number>* values) {
  const std::string_view text(PQgetvalue(result, row, column), static_cast<std::size_t>(PQgetlength(result, row, column)));
  values->clear();
  if (text.size() < 2 || text.front() != '{' || text.back() != '}') return false;
  const char* at = text.data() + 1;
  const char* end = text.data() + text.size() - 1;
  while (at < end) {
    Number value{};
    const auto [next, error] = std::from_chars(at, end, value);
    if (error != std::errc() || (next != end && *next != ',')) return false;
    if constexpr (std::is_floating_point_v<Number>) {
      if (!std::isfinite(value)) return false;
    }
    values->push_back(value);
    at = next == end ? end : next + 1;
  }
  return true;
}

bool ReadCounts(const PGresult* result, int row, int column, std::vector<std::int64_t>* counts) {
  return ReadArray(result, row, column, counts);
}

bool ReadFloats(const PGresult* result, int row, int column, std::vector<double>* values) {
  return ReadArray(result, row, column, values);
}

}  // namespace

std::optional<std::vector<GroupDeviations>> Aggregation::DeviationsOf(const std::vector<int>& columns, int groupColumn,
                                                                      double scaleBy,
                                                                      const std::vector<GroupDeviationRequest>& groups) {
  return GroupedDeviations(columns, groupColumn, scaleBy, groups, false);
}

std::optional<std::vector<GroupDeviations>> Aggregation::CountsOf(const std::vector<int>& columns, int groupColumn,
                                                                  double scaleBy,
                                                                  const std::vector<GroupDeviationRequest>& groups) {
  return GroupedDeviations(columns, groupColumn, scaleBy, groups, true);
}

std::optional<std::vector<GroupDeviations>> Aggregation::GroupedDeviations(
    const std::vector<int>& columns, int groupColumn, double scaleBy, const std::vector<GroupDeviationRequest>& groups,
    bool countsOnly) {
  if (!ValidColumns(columns, groupColumn)) return std::nullopt;
  std::vector<std::size_t> counted(columns.size(), 0);
  for (const GroupDeviationRequest& group : groups) {
    if (group.columns.size() != columns.size()) return std::nullopt;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (group.columns[c].thresholds.size() > kMaxThresholds) return std::nullopt;
      counted[c] = std::max(counted[c], group.columns[c].thresholds.size());
    }
  }
  // The columns of each statement (positions in `columns`), and whether it is a wide one. A wide
  // statement's rows have five columns per field, and with groups each data row carries its group's
  // means and thresholds: fields beyond what one row may hold go to another statement.
  std::vector<std::pair<std::vector<std::size_t>, bool>> statements;
  std::vector<std::size_t> unfolded;
  std::size_t rowColumns = 0;
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (countsOnly && counted[c] == 0) continue;  // a column this counting pass does not need
    if (counted[c] > kMaxCountedThresholds) {
      unfolded.push_back(c);
      continue;
    }
    const std::size_t cell = 5 + (groupColumn >= 0 ? counted[c] : 0);
    if (statements.empty() || rowColumns + cell > kMaxRowColumns) {
      statements.push_back({{}, true});
      rowColumns = 2;
    }
    statements.back().first.push_back(c);
    rowColumns += cell;
  }
  if (!unfolded.empty()) statements.push_back({unfolded, false});
  std::vector<GroupDeviations> answer = EmptySums(groups);
  for (const auto& [positions, isWide] : statements) {
    std::vector<int> picked;
    for (std::size_t c : positions) picked.push_back(columns[c]);
    // A group's numbers: its key, then each cell's mean and thresholds (in the wide statement every cell
    // has its column's most thresholds).
    auto needs = [&](const GroupDeviationRequest& group) {
      std::size_t numbers = 1;
      for (std::size_t i = 0; i < positions.size(); ++i) {
        numbers += 2 + (isWide ? counted[positions[i]] : group.columns[i].thresholds.size());
      }
      return numbers;
    };
    auto statement = [&](const std::vector<GroupDeviationRequest>& batch) {
      return isWide ? WideDeviations(picked, groupColumn, scaleBy, batch, countsOnly)
                    : UnfoldedDeviations(picked, groupColumn, scaleBy, batch, countsOnly);
    };
    std::vector<GroupDeviations> sums;
    if (!InBatches(Pick(groups, positions), needs, statement, &sums) || sums.size() != groups.size()) return std::nullopt;
    for (std::size_t g = 0; g < groups.size(); ++g) {
      for (std::size_t i = 0; i < positions.size(); ++i) answer[g].columns[positions[i]] = std::move(sums[g].columns[i]);
    }
  }
  return answer;
}

namespace {

// The groups' keys as an array parameter of the key's type.
std::string KeysText(const std::vector<GroupDeviationRequest>& groups, int groupColumn, bool numeric) {
  std::string keys;
  for (const GroupDeviationRequest& group : groups) {
    std::string key = KeyText(group.key);
    if (groupColumn < 0) {
      key = "0";
    } else if (numeric && group.key.kind == GroupKey::Kind::Null) {
      key = "NaN";
    } else if (!numeric) {
      key = QuotedArrayElement(key);
    }
    keys += (keys.empty() ? "" : ",") + key;
  }
  return "{" + keys + "}";
}

}  // namespace

std::optional<std::vector<GroupDeviations>> Aggregation::WideDeviations(
    const std::vector<int>& columns, int groupColumn, double scaleBy, const std::vector<GroupDeviationRequest>& groups,
    bool countsOnly) {
  ParameterList parameters;
  WideDeviationPlaceholders at;
  at.countsOnly = countsOnly;
  if (scaleBy != 1.0) at.read.scale = parameters.Add(FloatToText(scaleBy));
  if (groupColumn >= 0) {
    at.keyType = NumericKey(groupColumn) ? "float8" : "text";
    at.keys = parameters.Add(KeysText(groups, groupColumn, NumericKey(groupColumn)));
  }
  std::vector<std::size_t> counted(columns.size(), 0);
  for (const GroupDeviationRequest& group : groups) {
    for (std::size_t c = 0; c < columns.size(); ++c) counted[c] = std::max(counted[c], group.columns[c].thresholds.size());
  }
  // Per column its means, then per threshold the groups' k-th thresholds, each one array.
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (!countsOnly) {
      std::string means;
      for (const GroupDeviationRequest& group : groups) means += (means.empty() ? "" : ",") + FloatToText(group.columns[c].mean);
      at.means.push_back(parameters.Add("{" + means + "}"));
    }
    at.thresholds.emplace_back();
    for (std::size_t k = 0; k < counted[c]; ++k) {
      std::string thresholds;
      for (const GroupDeviationRequest& group : groups) {
        const std::vector<double>& own = group.columns[c].thresholds;
        thresholds += (thresholds.empty() ? "" : ",") + (k < own.size() ? FloatToText(own[k]) : std::string("NULL"));
      }
      at.thresholds.back().push_back(parameters.Add("{" + thresholds + "}"));
    }
  }
  const std::vector<GroupedSource> sources = GroupedSources(columns, groupColumn);
  Result rows;
  // NaN makes a column's sums NaN: such a column is read again with NaN left out (once; a NaN then is
  // an overflow, and the pass reads the records).
  for (bool again = true; again;) {
    // Counts have no sum to show a NaN: every value is read with NaN left out.
    at.read.notANumber = countsOnly ? std::vector<bool>(columns.size(), true) : NotANumber(columns);
    rows = session_.Run(WideDeviationsStatement(sources, at), parameters.values);
    if (rows == nullptr) return std::nullopt;
    again = false;
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        if (IsNotANumber(rows.get(), row, 2 + 5 * static_cast<int>(c) + 1) && notANumber_.insert(columns[c]).second) {
          again = true;
        }
      }
    }
  }

  std::vector<GroupDeviations> answer = EmptySums(groups);
  // Each group's parts added in part order, whatever order the rows arrived in.
  const int count = PQntuples(rows.get());
  std::vector<std::array<std::int64_t, 3>> order;
  for (int row = 0; row < count; ++row) order.push_back({IntegerAt(rows.get(), row, 1), IntegerAt(rows.get(), row, 0), row});
  std::sort(order.begin(), order.end());
  std::vector<std::int64_t> atOrAbove;
  for (const auto& [g, p, row64] : order) {
    const int row = static_cast<int>(row64);
    if (g < 1 || static_cast<std::size_t>(g) > answer.size()) return std::nullopt;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const int at0 = 2 + 5 * static_cast<int>(c);
      const std::int64_t n = IntegerAt(rows.get(), row, at0);
      if (n == 0) continue;  // a part without this column's values (its sums are null)
      DeviationSums& sums = answer[static_cast<std::size_t>(g - 1)].columns[c];
      if (!AddPowerSums(rows.get(), row, at0 + 1, &sums)) return std::nullopt;
      // Class b holds the values at or above threshold b and below threshold b + 1.
      if (!ReadCounts(rows.get(), row, at0 + 4, &atOrAbove) || atOrAbove.size() != counted[c]) return std::nullopt;
      std::vector<std::int64_t>& classes = sums.classCounts;
      for (std::size_t b = 0; b < classes.size(); ++b) {
        classes[b] += (b == 0 ? n : atOrAbove[b - 1]) - (b + 1 < classes.size() ? atOrAbove[b] : 0);
      }
      sums.count += n;
    }
  }
  return answer;
}

std::optional<std::vector<GroupDeviations>> Aggregation::UnfoldedDeviations(
    const std::vector<int>& columns, int groupColumn, double scaleBy, const std::vector<GroupDeviationRequest>& groups,
    bool countsOnly) {
  ParameterList parameters;
  GroupedDeviationPlaceholders at;
  at.countsOnly = countsOnly;
  if (scaleBy != 1.0) at.scale = parameters.Add(FloatToText(scaleBy));
  const bool numeric = NumericKey(groupColumn);
  at.keyType = numeric ? "float8" : "text";
  if (countsOnly && groupColumn < 0) {  // one group: every row
    for (const DeviationRequest& cell : groups.front().columns) {
      at.columnThresholds.push_back(parameters.Add(FloatArrayText(cell.thresholds)));
    }
  } else {
    std::string means;
    std::string thresholds;
    std::string offsets = "{0";
    std::size_t offset = 0;
    for (const GroupDeviationRequest& group : groups) {
      for (const DeviationRequest& cell : group.columns) {
        means += (means.empty() ? "" : ",") + FloatToText(cell.mean);
        for (double threshold : cell.thresholds) thresholds += (thresholds.empty() ? "" : ",") + FloatToText(threshold);
        offset += cell.thresholds.size();
        offsets += "," + std::to_string(offset);
      }
    }
    at.keys = parameters.Add(KeysText(groups, groupColumn, numeric));
    if (!countsOnly) at.means = parameters.Add("{" + means + "}");
    at.thresholds = parameters.Add("{" + thresholds + "}");
    at.offsets = parameters.Add(offsets + "}");
  }
  Result rows = session_.Run(GroupedDeviationsStatement(GroupedSources(columns, groupColumn), at), parameters.values,
                             countsOnly ? Plan::HashedGroups : Plan::Aggregate);
  if (rows == nullptr) return std::nullopt;

  std::vector<GroupDeviations> answer = EmptySums(groups);
  const int count = PQntuples(rows.get());
  if (countsOnly) {
    std::vector<std::int64_t> classes;
    std::vector<std::int64_t> counts;
    for (int row = 0; row < count; ++row) {
      const std::int64_t g = IntegerAt(rows.get(), row, 1);
      const std::int64_t c = IntegerAt(rows.get(), row, 2);
      if (g < 1 || static_cast<std::size_t>(g) > answer.size() || c < 1 || static_cast<std::size_t>(c) > columns.size() ||
          !ReadCounts(rows.get(), row, 3, &classes) || !ReadCounts(rows.get(), row, 4, &counts) ||
          classes.size() != counts.size()) {
        return std::nullopt;
      }
      DeviationSums& sums = answer[static_cast<std::size_t>(g - 1)].columns[static_cast<std::size_t>(c - 1)];
      for (std::size_t i = 0; i < classes.size(); ++i) {
        if (classes[i] < 0 || static_cast<std::size_t>(classes[i]) >= sums.classCounts.size()) return std::nullopt;
        sums.classCounts[static_cast<std::size_t>(classes[i])] += counts[i];
        sums.count += counts[i];
      }
    }
    return answer;
  }
  // Parts, groups, columns and classes added in one order, whatever order the rows arrived in.
  std::vector<std::array<std::int64_t, 5>> order;
  for (int row = 0; row < count; ++row) {
    order.push_back({IntegerAt(rows.get(), row, 1), IntegerAt(rows.get(), row, 2), IntegerAt(rows.get(), row, 3),
                     IntegerAt(rows.get(), row, 0), row});
  }
  std::sort(order.begin(), order.end());
  for (const auto& [g, c, b, p, row] : order) {
    if (g < 1 || static_cast<std::size_t>(g) > answer.size() || c < 1 || static_cast<std::size_t>(c) > columns.size()) {
      return std::nullopt;
    }
    DeviationSums& sums = answer[static_cast<std::size_t>(g - 1)].columns[static_cast<std::size_t>(c - 1)];
    if (b < 0 || static_cast<std::size_t>(b) >= sums.classCounts.size()) return std::nullopt;
    const std::int64_t n = IntegerAt(rows.get(), static_cast<int>(row), 4);
    sums.classCounts[static_cast<std::size_t>(b)] += n;
    sums.count += n;
    if (!AddPowerSums(rows.get(), static_cast<int>(row), 5, &sums)) return std::nullopt;
  }
  return answer;
}

// The cursor's first values met by one scan of the table where it lies; a table read otherwise (a query,
// partitions, a foreign table) keeps its first values travelling.
std::optional<std::vector<MiddleValues>> Aggregation::MiddlesOfFirstValues(const std::vector<int>& columns,
                                                                           double scaleBy,
                                                                           const std::vector<std::int64_t>& firsts) {
  if (columns.empty() || firsts.size() != columns.size() || !ValidColumns(columns, -1) || !session_.ReadsOneHeap()) {
    return std::nullopt;
  }
  const Relation& table = session_.Relations().front();
  ParameterList parameters;
  const std::string scale = scaleBy != 1.0 ? parameters.Add(FloatToText(scaleBy)) : std::string();
  std::vector<std::string> values;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (firsts[i] < 1) return std::nullopt;
    values.push_back(ValueExpression(table, columns[i]));
  }
  Result rows = session_.Run(MiddlesStatement(table.from, values, firsts, scale), parameters.values, Plan::ScanOrder);
  if (rows == nullptr || PQntuples(rows.get()) != static_cast<int>(columns.size())) return std::nullopt;
  std::vector<MiddleValues> answer(columns.size());
  std::vector<bool> answered(columns.size(), false);
  for (int row = 0; row < PQntuples(rows.get()); ++row) {
    const std::int64_t c = IntegerAt(rows.get(), row, 0);
    std::vector<double> middle;
    if (c < 1 || static_cast<std::size_t>(c) > columns.size() || !ReadFloats(rows.get(), row, 1, &middle)) return std::nullopt;
    const std::size_t i = static_cast<std::size_t>(c - 1);
    // An answer of another shape: the store is read instead.
    if (middle.size() != (firsts[i] / 2 >= 1 ? 2u : 1u)) return std::nullopt;
    answer[i] = {middle.front(), middle.back()};
    answered[i] = true;
  }
  if (std::find(answered.begin(), answered.end(), false) != answered.end()) return std::nullopt;
  return answer;
}

}  // namespace sumora::pg
