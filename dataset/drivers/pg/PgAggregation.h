// A pass's sums computed by the PostgreSQL server for the PostgreSQL source: the statements of
// PgAggregateSql run in the source's own transaction (so on the cursor's snapshot) and their rows become
// the sums the engine asks for. The source supplies the transaction and the relations to read.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dataset/AggregatingSource.h"
#include "dataset/RecordSource.h"
#include "dataset/drivers/pg/PgAggregateSql.h"
#include "dataset/drivers/pg/PgSession.h"

namespace sumora::pg {

// What the statements read: a table, a leaf partition, or the user's query as a parenthesised
// subquery. `byName` relations name their columns as the table does (a leaf partition may order its
// columns otherwise than its parent); the others number them (sumora_c1, ...), so a query whose columns
// share a name (SELECT v, v * 2 AS v) still has one column per position.
struct Relation {
  std::string from;
  bool byName = true;
  bool foreign = false;  // a foreign table, whose aggregates are best written for its own server
};

// How a statement is planned: as an aggregate of every row; as one whose groups are counted in hash
// tables, never sorted (grouping sets over many columns, whose groups the planner cannot estimate); or
// as one that reads the records in the order the cursor gives them (no index scans).
enum class Plan : std::uint8_t { Aggregate, HashedGroups, ScanOrder };

// The source the aggregation reads: its session, its relations, and one way to run a statement.
class AggregateSession {
 public:
  virtual ~AggregateSession() = default;
  virtual PGconn* Connection() = 0;
  virtual const std::vector<Relation>& Relations() = 0;
  // Runs one aggregate statement in the source's transaction. nullptr for a data error (a numeric no
  // double holds, a sum that overflows): the caller then reads the records, which reports such data
  // exactly. Other failures raise EDatabaseError.
  // Every statement runs in one server process.
  virtual Result Run(const std::string& sql, const std::vector<std::string>& parameters, Plan plan = Plan::Aggregate) = 0;
  // Whether the cursor reads one local table that is no partitioned parent and no foreign table, in
  // the order its rows lie: a statement's sequential scan of it then meets the rows in that order.
  virtual bool ReadsOneHeap() = 0;
};

class Aggregation final : public AggregatingSource {
 public:
  // `fields` and `types` are the source's columns (the vectors may be refilled when it reopens).
  Aggregation(AggregateSession& session, const std::vector<FieldDef>& fields, const std::vector<Oid>& types)
      : session_(session), fields_(fields), types_(types) {}

  // Whether `column` is read as a number the server can reproduce (integers, floats, money).
  bool Aggregates(int column) const;

  std::optional<ValueTotals> Totals(int column, double scaleBy) override;
  std::optional<DeviationSums> Deviations(int column, double scaleBy, double mean,
                                          const std::vector<double>& thresholds) override;
  std::optional<std::vector<GroupTotals>> TotalsOf(const std::vector<int>& columns, int groupColumn,
                                                   double scaleBy) override;
  std::optional<std::vector<GroupDeviations>> DeviationsOf(const std::vector<int>& columns, int groupColumn,
                                                           double scaleBy,
                                                           const std::vector<GroupDeviationRequest>& groups) override;
  std::optional<std::vector<GroupDeviations>> CountsOf(const std::vector<int>& columns, int groupColumn,
                                                       double scaleBy,
                                                       const std::vector<GroupDeviationRequest>& groups) override;
  std::optional<std::vector<MiddleValues>> MiddlesOfFirstValues(const std::vector<int>& columns, double scaleBy,
                                                                const std::vector<std::int64_t>& firsts) override;

  // A counting pass with more thresholds than this (a quantile pass for thousands of probabilities) is
  // left to a pass over the records, which costs less than a statement that size.
  static constexpr std::size_t kMaxThresholds = std::size_t{1} << 16;
  // The numbers one grouped deviation statement sends (keys, means, thresholds); more groups are split
  // over several statements.
  static constexpr std::size_t kMaxNumbersPerStatement = std::size_t{1} << 20;
  // A column whose cells have at most this many thresholds is counted with one aggregate per threshold,
  // in the statement that reads each row once for every column (a moment pass has at most 99: 100
  // classes). More (a quantile pass) would make that statement too large: such a column is counted by
  // unfolding each row into its values.
  static constexpr std::size_t kMaxCountedThresholds = 100;
  // The columns a wide statement's rows may have (the server takes at most 1664).
  static constexpr std::size_t kMaxRowColumns = 1600;

 private:
  // The group's key in one relation: a float8 for a numeric group field (NaN for a null), else text
  // ('n' for a null, 't' and the text for a value); "0::float8" without a group field.
  std::string KeyExpression(const Relation& relation, int groupColumn) const;
  // The key of a non-numeric, non-boolean group field's value `name` of type `type`.
  static std::string TextKey(const std::string& name, Oid type);
  bool NumericKey(int groupColumn) const { return groupColumn < 0 || Aggregates(groupColumn); }
  std::vector<GroupedSource> GroupedSources(const std::vector<int>& columns, int groupColumn) const;
  // Whether `column` has been seen holding NaN, which its statements then read as a null.
  std::vector<bool> NotANumber(const std::vector<int>& columns) const;
  // DeviationsOf, or CountsOf with `countsOnly`.
  std::optional<std::vector<GroupDeviations>> GroupedDeviations(const std::vector<int>& columns, int groupColumn,
                                                                double scaleBy,
                                                                const std::vector<GroupDeviationRequest>& groups,
                                                                bool countsOnly);
  // One grouped deviation statement of each kind for `groups`; each answers its columns' sums in order.
  std::optional<std::vector<GroupDeviations>> WideDeviations(const std::vector<int>& columns, int groupColumn,
                                                             double scaleBy,
                                                             const std::vector<GroupDeviationRequest>& groups,
                                                             bool countsOnly);
  std::optional<std::vector<GroupDeviations>> UnfoldedDeviations(const std::vector<int>& columns, int groupColumn,
                                                                 double scaleBy,
                                                                 const std::vector<GroupDeviationRequest>& groups,
                                                                 bool countsOnly);
  bool ValidColumns(const std::vector<int>& columns, int groupColumn) const;
  // The column as the float8 a pass reads, in one relation.
  std::string ValueExpression(const Relation& relation, int column) const;
  std::vector<std::string> ValueExpressions(int column);

  AggregateSession& session_;
  const std::vector<FieldDef>& fields_;
  const std::vector<Oid>& types_;
  std::set<int> notANumber_;
};

// Reading a statement's answer cell.
std::int64_t IntegerAt(const PGresult* result, int row, int column);
// False for a null or an infinite sum: the pass over the records says what is wrong.
bool FloatAt(const PGresult* result, int row, int column, double* value);
// Adds the sums of d^2, d^3 and d^4 in `column` .. `column` + 2 of `row` to `sums`; false as FloatAt
// is for one of them.
bool AddPowerSums(const PGresult* result, int row, int column, DeviationSums* sums);

}  // namespace sumora::pg
