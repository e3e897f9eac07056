// Several numeric fields of one dataset, optionally per group of another field, summarized in one
// loading pass and one moment pass over the records (plus the quantile passes when quantiles are
// prepared), where one component per field would read the dataset twice per field.
//
// It takes a component as its template: the component's dataset, published properties (ScaleBy,
// FreqClasses, RecordPlotCount, ShowCalcProgress), server-side setting and names. Every field of every
// group is computed by the same FieldStatistics a component uses, fed the same values in the same order,
// so its numbers equal, bit for bit, those of a component summarizing that field over that group's
// records alone. A field whose statistics fail keeps its message in Error() and the statistics it could
// not compute stay unset; the other fields are unaffected.
//
//   TSumoraFieldSet summary(orders);            // a TSumoraTable or TSumoraQuery, bound to its data
//   summary.SetFieldNames({"AMOUNT", "QTY"});
//   summary.SetGroupBy("REGION");               // optional
//   summary.Summarize();
//   for (const auto& group : summary.Groups()) ... group.fields[i].statistics.Mean() ...
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/AggregatingSource.h"
#include "engine/FieldStatistics.h"
#include "engine/SmrEngine.h"
#include "toolkit/RadixSelect.h"

namespace sumora {

class QuantileState;
class PassScope;

// One field of one group.
struct FieldSummary {
  FieldSummary();
  ~FieldSummary();
  FieldSummary(FieldSummary&&) noexcept;
  FieldSummary& operator=(FieldSummary&&) noexcept;

  FieldStatistics statistics;
  std::int64_t nullCount = 0;  // records whose field is null (or NaN)
  std::string error;           // the message a summary of this field alone would raise; empty when none
  // Exact quantiles for the prepared probabilities, in their order (empty when none were prepared or the
  // field has no values).
  std::vector<double> quantiles;
  std::unique_ptr<QuantileState> selection;

  // The record count as the component reports it: -1 below two values.
  std::int32_t DataCount() const;
};

struct GroupSummary {
  GroupKey key;  // the null key when the set is not grouped
  std::vector<FieldSummary> fields;  // in the order of FieldNames()
};

class TSumoraFieldSet {
 public:
  static constexpr std::size_t kDefaultMaxGroups = 10000;

  explicit TSumoraFieldSet(TSumoraStats& component);
  ~TSumoraFieldSet();
  TSumoraFieldSet(const TSumoraFieldSet&) = delete;
  TSumoraFieldSet& operator=(const TSumoraFieldSet&) = delete;

  // The numeric fields to summarize, in output order.
  void SetFieldNames(std::vector<std::string> names) { fieldNames_ = std::move(names); }
  const std::vector<std::string>& FieldNames() const { return fieldNames_; }
  // Summarize per distinct value of this field (any field class); empty: one group of every record.
  void SetGroupBy(std::string name) { groupBy_ = std::move(name); }
  const std::string& GroupBy() const { return groupBy_; }
  // More distinct keys than this fail the summary (EDatabaseError naming the field and the limit) before
  // anything is computed, so memory stays bounded by the groups asked for.
  void SetMaxGroups(std::size_t limit) { maxGroups_ = limit; }
  // Probabilities whose exact quantiles the summary computes for every field and group, in its own
  // passes and as many more as the selection needs (EMathError for one outside 0..1).
  void PrepareQuantiles(std::vector<double> probabilities);
  const std::vector<double>& PreparedQuantiles() const { return probabilities_; }

  // Callers that profile more than the statistics (a report) see the loading pass too: `onValues` gets
  // each record's scaled values of the summarized fields (NaN for null), in record order on one thread,
  // `onRecord` every record on the reading thread, each with the index of the record's group in
  // discovery order (GroupOrder maps it back). Fields named in ExtraFields are read in that pass as well
  // (the data source is told to fetch them), for onRecord. The two may run at the same time.
  std::function<void(std::size_t group, const double* values)> onValues;
  std::function<void(std::size_t group, TDataSet& dataSet)> onRecord;
  void SetExtraFields(std::vector<std::string> names) { extraFields_ = std::move(names); }

  // Opens the component's dataset when it is closed, and computes everything. Errors of the source
  // (a field not found, a read failing, the data changing between passes, too many groups) raise as a
  // component's would; errors of one field's statistics stay with that field.
  void Summarize();

  // Groups in key order (GroupKey's operator<: numbers, text by bytes, null last); one group with the
  // null key when not grouped.
  const std::vector<GroupSummary>& Groups() const { return groups_; }
  // For each group of Groups(), its index in discovery order (what onValues and onRecord were given).
  const std::vector<std::size_t>& GroupOrder() const { return discoveryIndex_; }
  // Records read by the loading pass.
  std::int64_t RecordsRead() const { return recordsRead_; }
  // Passes over the records (or aggregate statements) the last summary took.
  int Passes() const { return passes_; }

  TSumoraStats& Component() { return component_; }

 private:
  struct Pass;
  void Load(Pass& pass);
  void FinishLoading();
  void Moments(Pass& pass);
  void FinishMoments();
  void Quantiles(Pass& pass);
  bool LoadByAggregates(Pass& pass);
  bool MiddlesByAggregates(Pass& pass, const GroupTotals& totals);
  bool MomentsByAggregates(Pass& pass);
  bool QuantilesByAggregates(Pass& pass, const std::string& message, const std::vector<FieldSummary*>& fields);
  // One request per group, `request` giving each field's (the selections a request starts are the
  // fields' own, hence not const).
  std::vector<GroupDeviationRequest> DeviationRequests(const std::function<DeviationRequest(FieldSummary&)>& request);
  [[noreturn]] void ThrowTooManyGroups() const;
  bool ShowDialog() const;
  std::size_t GroupIndex(Pass& pass);
  void SortGroups(Pass& pass);
  static void LeaveOnFirstRecord(PassScope& scope);
  // The quantile selections that may share one pass, within the memory budget.
  std::size_t SelectionBatch() const;
  std::vector<FieldSummary*> SelectionsNeedingPass();
  void FeedValues(Pass& pass, const std::string& message, const std::vector<FieldSummary*>& fields);
  FieldSummary NewField(std::size_t fieldIndex) const;
  std::string Caption() const;

  TSumoraStats& component_;
  std::vector<std::string> fieldNames_;
  std::vector<std::string> extraFields_;
  std::string groupBy_;
  std::size_t maxGroups_ = kDefaultMaxGroups;
  std::vector<double> probabilities_;

  std::vector<GroupSummary> groups_;
  std::vector<std::size_t> discoveryIndex_;
  std::int64_t recordsRead_ = 0;
  int passes_ = 0;
  bool progressWanted_ = false;
  RadixSelect::Limits selectionLimits_;
};

}  // namespace sumora
