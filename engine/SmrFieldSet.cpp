#include "engine/SmrFieldSet.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

#include "dataset/DataSet.h"
#include "engine/PassPipeline.h"
#include "engine/PassScope.h"
#include "engine/Quantiles.h"
#include "host/Errors.h"
#include "host/MessageText.h"
#include "toolkit/FastPower.h"

namespace sumora {

namespace {


struct GroupKeyHash {
  std::size_t operator()(const GroupKey& key) const {
    if (key.kind == GroupKey::Kind::Text) return std::hash<std::string>()(key.text);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &key.number, sizeof bits);
    return std::hash<std::uint64_t>()(bits) ^ static_cast<std::size_t>(key.kind);
  }
};

// The quantile selections of a summary share one memory budget: a table of many fields (or groups)
// gives each a share, so the passes stay within a few tens of megabytes however many there are; a
// smaller share only costs passes on fields whose values are hard to narrow down.
RadixSelect::Limits SharedLimits(std::size_t selections) {
  const RadixSelect::Limits whole;
  const std::size_t n = std::max<std::size_t>(selections, 1);
  RadixSelect::Limits share;
  share.histogramCells = std::clamp<std::size_t>((std::size_t{1} << 20) / n, std::size_t{1} << 10, whole.histogramCells);
  share.collectedValues = std::clamp<std::size_t>((std::size_t{1} << 21) / n, std::size_t{1} << 11, whole.collectedValues);
  share.thresholds = std::clamp<std::size_t>((std::size_t{1} << 14) / n, std::size_t{1} << 6, whole.thresholds);
  return share;
}

// Whether a source's answer has one entry per group wanted, each with one entry per field: anything
// else is read from the records instead.
template <typename Answer>
bool Complete(const std::optional<std::vector<Answer>>& answer, std::size_t groups, std::size_t fields) {
  if (!answer || answer->size() != groups) return false;
  return std::all_of(answer->begin(), answer->end(), [&](const Answer& a) { return a.columns.size() == fields; });
}

}  // namespace

FieldSummary::FieldSummary() = default;
FieldSummary::~FieldSummary() = default;
FieldSummary::FieldSummary(FieldSummary&&) noexcept = default;
FieldSummary& FieldSummary::operator=(FieldSummary&&) noexcept = default;

std::int32_t FieldSummary::DataCount() const {
  // At least two values, as the component's GetdsDataCount reports.
  return statistics.Has(FieldStatistics::kLoaded) ? static_cast<std::int32_t>(statistics.Count()) : -1;
}

// What every pass of one summary shares: the bracket, the fields looked up once, the group index.
struct TSumoraFieldSet::Pass {
  Pass(TDataSet& dataSet, std::string caption) : scope(dataSet, std::move(caption)) {}
  PassScope scope;
  std::vector<TField*> fields;
  std::vector<const TField*> extras;
  TField* group = nullptr;
  bool numericGroup = false;
  // Group key -> index in groups_ (discovery order while loading, key order afterwards).
  std::unordered_map<GroupKey, std::size_t, GroupKeyHash> index;
  // The same while there are few groups: a short list is searched sooner than a key is hashed.
  static constexpr std::size_t kFewGroups = 16;
  std::vector<std::pair<GroupKey, std::size_t>> few;
  GroupKey key;  // the current record's
  GroupKey lastKey;
  std::size_t lastIndex = 0;
  bool haveLast = false;
  bool groupsFixed = false;  // after loading, every key must be one the loading pass met
  std::vector<GroupSummary>* pending = nullptr;  // groups met while a pipelined pass computes
  AggregatingSource* aggregation = nullptr;
  std::vector<int> columns;

  void Remember(const GroupKey& key, std::size_t at) {
    index.emplace(key, at);
    if (index.size() <= kFewGroups) {
      few.emplace_back(key, at);
    } else {
      few.clear();
    }
  }
  const std::size_t* Find(const GroupKey& key) const {
    if (index.size() <= kFewGroups) {
      for (const auto& [known, at] : few) {
        if (known == key) return &at;
      }
      return nullptr;
    }
    const auto found = index.find(key);
    return found == index.end() ? nullptr : &found->second;
  }
  void Forget() {
    index.clear();
    few.clear();
  }

  std::vector<const TField*> Projection(bool withExtras) const {
    std::vector<const TField*> wanted(fields.begin(), fields.end());
    if (group != nullptr) wanted.push_back(group);
    if (withExtras) wanted.insert(wanted.end(), extras.begin(), extras.end());
    return wanted;
  }
};

TSumoraFieldSet::TSumoraFieldSet(TSumoraStats& component) : component_(component) {}
TSumoraFieldSet::~TSumoraFieldSet() = default;

void TSumoraFieldSet::PrepareQuantiles(std::vector<double> probabilities) {
  CheckProbabilities(probabilities);
  probabilities_ = std::move(probabilities);
}

std::string TSumoraFieldSet::Caption() const {
  std::string caption = "Summary of " + component_.SourceName();
  if (fieldNames_.size() == 1) return caption + " " + fieldNames_.front();
  return caption + " (" + std::to_string(fieldNames_.size()) + " fields)";
}

FieldSummary TSumoraFieldSet::NewField(std::size_t fieldIndex) const {
  FieldSummary field;
  field.statistics.fieldName = fieldNames_[fieldIndex];
  field.statistics.scaleBy = component_.ScaleBy();
  field.statistics.freqClasses = component_.FreqClasses();
  field.statistics.BeginLoading();
  return field;
}

void TSumoraFieldSet::Summarize() {
  TDataSet& dataSet = component_.StatDataSet();
  if (!dataSet.Active()) dataSet.Open();
  SnapshotHold hold(dataSet);
  groups_.clear();
  discoveryIndex_.clear();
  recordsRead_ = 0;
  passes_ = 0;

  Pass pass(dataSet, Caption());
  for (const auto& name : fieldNames_) pass.fields.push_back(&dataSet.FieldByName(name));
  for (const auto& name : extraFields_) pass.extras.push_back(&dataSet.FieldByName(name));
  if (!groupBy_.empty()) {
    pass.group = &dataSet.FieldByName(groupBy_);
    pass.numericGroup = NumericField(*pass.group);
  }
  for (TField* field : pass.fields) pass.columns.push_back(field->Index());
  if (component_.ServerSide() && !pass.fields.empty()) pass.aggregation = dataSet.Aggregation(*pass.fields.front());

  selectionLimits_ = SharedLimits(fieldNames_.size());
  Load(pass);
  SortGroups(pass);
  if (pass.group != nullptr) selectionLimits_ = SharedLimits(fieldNames_.size() * groups_.size());
  FinishLoading();
  Moments(pass);
  FinishMoments();
  if (!probabilities_.empty()) Quantiles(pass);
  pass.scope.RestoreCursor();
}

// Ending a projection rewinds the cursor by itself; otherwise the pass rewinds it, so that each pass
// leaves the dataset on its first record, as a component's do, at the cost of one block at most.
void TSumoraFieldSet::LeaveOnFirstRecord(PassScope& scope) {
  scope.EnableControls();
  if (scope.DataSet().Eof()) scope.DataSet().First();
}

// --- Groups ------------------------------------------------------------------------------------------

std::size_t TSumoraFieldSet::GroupIndex(Pass& pass) {
  if (pass.group == nullptr) return 0;
  // The key is read into the same strings record after record, without making new ones.
  GroupKey& key = pass.key;
  if (pass.numericGroup) {
    key = pass.group->IsNull() ? GroupKey::Null() : GroupKey::Of(pass.group->AsFloat());
  } else {
    key.kind = pass.group->ReadText(key.text) ? GroupKey::Kind::Text : GroupKey::Kind::Null;
    if (key.kind == GroupKey::Kind::Null) key.text.clear();
  }
  // Records of one group often come together; the last key saves the lookup.
  if (pass.haveLast && key == pass.lastKey) return pass.lastIndex;
  std::size_t index = 0;
  if (const std::size_t* found = pass.Find(key)) {
    index = *found;
  } else {
    if (pass.groupsFixed) {
      // The groups are fixed after the loading pass: a key first met later means the data changed.
      ThrowSourceChanged(component_.StatDataSet(), component_.SourceName(),
                         "a later pass met a value of " + ShownText(groupBy_) + " the loading pass did not");
    }
    const std::size_t known = groups_.size() + (pass.pending != nullptr ? pass.pending->size() : 0);
    if (known >= maxGroups_) ThrowTooManyGroups();
    index = known;
    GroupSummary group;
    group.key = key;
    for (std::size_t f = 0; f < fieldNames_.size(); ++f) group.fields.push_back(NewField(f));
    // While a pipelined pass computes, the groups it reads must not move: new ones wait for the hand-off.
    (pass.pending != nullptr ? *pass.pending : groups_).push_back(std::move(group));
    pass.Remember(key, index);
  }
  pass.lastKey = key;
  pass.lastIndex = index;
  pass.haveLast = true;
  return index;
}

// Key order for the results; the passes after loading find groups by their new places.
void TSumoraFieldSet::SortGroups(Pass& pass) {
  std::vector<std::size_t> order(groups_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return groups_[a].key < groups_[b].key; });
  std::vector<GroupSummary> sorted;
  sorted.reserve(groups_.size());
  for (std::size_t i : order) sorted.push_back(std::move(groups_[i]));
  groups_ = std::move(sorted);
  discoveryIndex_ = std::move(order);
  pass.Forget();
  for (std::size_t g = 0; g < groups_.size(); ++g) pass.Remember(groups_[g].key, g);
  pass.haveLast = false;
  pass.groupsFixed = true;
}

// --- Loading pass ------------------------------------------------------------------------------------

void TSumoraFieldSet::Load(Pass& pass) {
  TDataSet& dataSet = pass.scope.DataSet();
  PassScope& scope = pass.scope;
  scope.CreateDialog();
  // The large-dataset question is asked once for the whole run.
  progressWanted_ = AskForProgress(component_.ShowCalcProgress(), dataSet.RecordCount());
  scope.ApplyShowingRule(ShowDialog());
  scope.DisableControls(pass.Projection(true));
  ++passes_;
  if (pass.group == nullptr) {
    GroupSummary all;
    for (std::size_t f = 0; f < fieldNames_.size(); ++f) all.fields.push_back(NewField(f));
    groups_.push_back(std::move(all));
  }
  if (pass.aggregation != nullptr && !onValues && !onRecord && LoadByAggregates(pass)) {
    scope.EnableControls();
    scope.ReleaseDialog();
    return;
  }

  // Without groups, prepared selections count their first pass along with this one (as many as the
  // memory budget lets share a pass); groups' selections start once their counts are known.
  const std::size_t fieldCount = pass.fields.size();
  std::vector<RadixSelect*> rides(fieldCount, nullptr);
  if (!probabilities_.empty() && pass.group == nullptr) {
    const std::size_t batch = std::min(fieldCount, SelectionBatch());
    for (std::size_t f = 0; f < batch; ++f) {
      FieldSummary& field = groups_.front().fields[f];
      field.selection = std::make_unique<QuantileState>(selectionLimits_);
      field.selection->prepared = probabilities_;
      rides[f] = field.selection->BeginLoadingRide(dataSet.RecordCount());
    }
  }
  const double scaleBy = component_.ScaleBy();
  // x / 1 is x for every double: the usual scale costs no division.
  const bool scaled = scaleBy != 1.0;
  const std::string message = kLoadingMessage;
  const double records = static_cast<double>(dataSet.RecordCount());
  std::int64_t recordNo = 0;
  // This thread reads and converts; the pipeline's thread adds each field's values in record order.
  std::vector<GroupSummary> pending;
  // One field reads and adds on one thread: a second would only wait for it. A batch is one part: the
  // hooks see whole rows.
  PassPipeline pipeline(
      fieldCount, fieldCount > 1 ? 1 : 0, 1,
      [&](const double* values, const std::uint32_t* groupOf, std::size_t rows, std::size_t, std::size_t) {
        std::vector<double> scaledRow(fieldCount);
        for (std::size_t r = 0; r < rows; ++r, values += fieldCount) {
          const std::size_t g = groupOf[r];
          GroupSummary& group = groups_[g];
          for (std::size_t f = 0; f < fieldCount; ++f) {
            FieldSummary& field = group.fields[f];
            const double x = scaledRow[f] = scaled ? values[f] / scaleBy : values[f];
            if (std::isnan(x)) {
              ++field.nullCount;
              continue;
            }
            field.statistics.AddLoading(x);
            if (rides[f] != nullptr) rides[f]->Add(x);
          }
          if (onValues) onValues(g, scaledRow.data());
        }
      },
      [&] {
        for (auto& group : pending) groups_.push_back(std::move(group));
        pending.clear();
      });
  pass.pending = &pending;
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    ++recordNo;
    scope.Progress(GaugeKind::Horizontal, message, static_cast<double>(recordNo) / records);
    const std::size_t g = GroupIndex(pass);
    dataSet.ReadNumbers(pass.columns, pipeline.Row(static_cast<std::uint32_t>(g)));
    if (onRecord) onRecord(g, dataSet);
  }
  pipeline.Finish();
  pass.pending = nullptr;
  recordsRead_ = recordNo;
  for (std::size_t f = 0; f < fieldCount; ++f) {
    if (rides[f] != nullptr) groups_.front().fields[f].selection->EndRide();
  }
  LeaveOnFirstRecord(scope);
  scope.ReleaseDialog();
}

// The loading sums computed by the source, one statement for every field and group; the stored values
// are still read in dataset order, each group's first MaxStoredValues, so medians equal a full pass's.
bool TSumoraFieldSet::LoadByAggregates(Pass& pass) {
  const std::optional<std::vector<GroupTotals>> totals =
      pass.aggregation->TotalsOf(pass.columns, pass.group != nullptr ? pass.group->Index() : -1, component_.ScaleBy());
  // Without groups the answer is the one group made already; with groups, one per key it found.
  const std::size_t groupsAnswered = pass.group != nullptr && totals ? totals->size() : 1;
  if (!Complete(totals, groupsAnswered, pass.fields.size())) return false;
  TDataSet& dataSet = pass.scope.DataSet();
  pass.scope.Progress(GaugeKind::Horizontal, kLoadingMessage, 0.0);
  if (pass.group != nullptr) {
    if (totals->size() > maxGroups_) ThrowTooManyGroups();
    for (const GroupTotals& answer : *totals) {
      pass.Remember(answer.key, groups_.size());
      GroupSummary group;
      group.key = answer.key;
      for (std::size_t f = 0; f < fieldNames_.size(); ++f) group.fields.push_back(NewField(f));
      groups_.push_back(std::move(group));
    }
    pass.groupsFixed = true;
  }
  std::int64_t records = 0;
  std::int64_t storedRows = 0;  // the records the stores take at least, when their values come first
  std::size_t unfilled = 0;     // fields of groups whose store still waits for values
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    const GroupTotals& answer = (*totals)[g];
    records += answer.records;
    std::int64_t groupRows = 0;
    for (std::size_t f = 0; f < pass.fields.size(); ++f) {
      groups_[g].fields[f].nullCount = answer.records - answer.columns[f].count;
      if (answer.columns[f].count > 0) ++unfilled;
      groupRows = std::max(groupRows, std::min<std::int64_t>(answer.columns[f].count, MaxStoredValues));
    }
    storedRows += groupRows;
  }
  const double scaleBy = component_.ScaleBy();
  if (pass.group == nullptr && unfilled > 0 && MiddlesByAggregates(pass, (*totals)[0])) unfilled = 0;
  if (unfilled > 0) {
    // Only the stores' values travel, not a batch of rows past them; the loop stops on the record that
    // fills the last store, since a step past it could fetch another batch.
    dataSet.ExpectRecords(storedRows);
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
      const std::size_t g = GroupIndex(pass);
      for (std::size_t f = 0; f < pass.fields.size(); ++f) {
        std::vector<double>& stored = groups_[g].fields[f].statistics.StoredForFill();
        const std::int64_t wanted = std::min<std::int64_t>((*totals)[g].columns[f].count, MaxStoredValues);
        if (static_cast<std::int64_t>(stored.size()) >= wanted || pass.fields[f]->IsNull()) continue;
        stored.push_back(pass.fields[f]->AsFloat() / scaleBy);
        if (static_cast<std::int64_t>(stored.size()) == wanted) --unfilled;
      }
      if (unfilled == 0) break;
    }
  }
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    for (std::size_t f = 0; f < pass.fields.size(); ++f) {
      groups_[g].fields[f].statistics.SetLoadingTotals((*totals)[g].columns[f]);
    }
  }
  recordsRead_ = records;
  dataSet.First();
  pass.scope.Progress(GaugeKind::Horizontal, kLoadingMessage, 1.0);
  return true;
}

// The fields' medians from the middles of their first values, found by the source where the values
// lie: then no store is read. False when the source cannot; nothing is changed then.
bool TSumoraFieldSet::MiddlesByAggregates(Pass& pass, const GroupTotals& totals) {
  std::vector<int> columns;
  std::vector<std::int64_t> firsts;
  std::vector<std::size_t> fields;
  for (std::size_t f = 0; f < pass.fields.size(); ++f) {
    if (totals.columns[f].count < 1) continue;
    columns.push_back(pass.columns[f]);
    firsts.push_back(std::min<std::int64_t>(totals.columns[f].count, MaxStoredValues));
    fields.push_back(f);
  }
  const std::optional<std::vector<MiddleValues>> middles =
      pass.aggregation->MiddlesOfFirstValues(columns, component_.ScaleBy(), firsts);
  if (!middles || middles->size() != fields.size()) return false;
  for (std::size_t i = 0; i < fields.size(); ++i) groups_.front().fields[fields[i]].statistics.SetMiddleValues((*middles)[i]);
  return true;
}

void TSumoraFieldSet::ThrowTooManyGroups() const {
  throw EDatabaseError("Field '" + ShownText(groupBy_) + "' has more than " + std::to_string(maxGroups_) +
                       " distinct values, more groups than the limit; raise it with --max-groups N (or "
                       "SetMaxGroups) or group by a field with fewer values");
}

bool TSumoraFieldSet::ShowDialog() const {
  return component_.ShowCalcProgress() == TBoolPlus::Always || progressWanted_;
}

// The steps a component takes after its loading pass, field by field, each field's first failure kept
// as its error: the count and total checks, "no values", the median.
void TSumoraFieldSet::FinishLoading() {
  std::vector<FieldSummary*> fields;
  for (auto& group : groups_) {
    for (auto& field : group.fields) fields.push_back(&field);
  }
  // Each field sorts its stored values for the median; two threads share the fields (each field's
  // work stays on one thread, so nothing depends on which).
  std::atomic<bool> partialMedian = false;
  auto finish = [&](std::size_t first, std::size_t step) {
    for (std::size_t i = first; i < fields.size(); i += step) {
      FieldSummary& field = *fields[i];
      try {
        field.statistics.EndLoading();
        field.statistics.RequireValues();
        if (field.DataCount() > MaxStoredValues) partialMedian = true;
        field.statistics.ComputeMedian(field.DataCount());
      } catch (const EMathError& e) {
        field.error = e.what();
      }
    }
  };
  if (fields.size() > 1) {
    std::exception_ptr failure;
    std::thread other([&] {
      try {
        finish(1, 2);
      } catch (...) {
        failure = std::current_exception();
      }
    });
    try {
      finish(0, 2);
    } catch (...) {
      other.join();
      throw;
    }
    other.join();
    if (failure) std::rethrow_exception(failure);
  } else {
    finish(0, 1);
  }
  // Said once for the whole run, however many fields have more values than the store keeps.
  if (partialMedian) WarnPartialMedian();
}

// --- Moment pass -------------------------------------------------------------------------------------

void TSumoraFieldSet::Moments(Pass& pass) {
  TDataSet& dataSet = pass.scope.DataSet();
  PassScope& scope = pass.scope;
  scope.CreateDialog();
  scope.ApplyShowingRule(ShowDialog());
  scope.DisableControls(pass.Projection(false));
  ++passes_;
  for (auto& group : groups_) {
    for (auto& field : group.fields) {
      if (field.error.empty()) field.statistics.BeginMoments(field.statistics.Mean());
    }
  }
  if (pass.aggregation != nullptr && MomentsByAggregates(pass)) {
    scope.EnableControls();
    scope.ReleaseDialog();
    return;
  }
  // Prepared selections take their next pass along, as many as share one pass.
  const std::size_t fieldCount = pass.fields.size();
  std::vector<RadixSelect*> rides(groups_.size() * fieldCount, nullptr);
  if (!probabilities_.empty()) {
    std::size_t riding = 0;
    const std::size_t batch = SelectionBatch();
    for (std::size_t g = 0; g < groups_.size() && riding < batch; ++g) {
      for (std::size_t f = 0; f < fieldCount && riding < batch; ++f) {
        FieldSummary& field = groups_[g].fields[f];
        if (!field.error.empty()) continue;
        if (!field.selection) {
          field.selection = std::make_unique<QuantileState>(selectionLimits_);
          field.selection->prepared = probabilities_;
        }
        const FieldStatistics& s = field.statistics;
        rides[g * fieldCount + f] = field.selection->BeginRide(s.Count(), s.Min(), s.Max());
        if (rides[g * fieldCount + f] != nullptr) ++riding;
      }
    }
  }
  const double scaleBy = component_.ScaleBy();
  // x / 1 is x for every double: the usual scale costs no division.
  const bool scaled = scaleBy != 1.0;
  const std::string message = kMomentsMessage;
  const double records = static_cast<double>(dataSet.RecordCount());
  std::int64_t recordNo = 0;
  // The powers dominate this pass: the threads take the batch's fields one at a time, each thread with
  // its own memo of powers (a power depends on the deviation alone, so the memo changes no result).
  const std::size_t workers = fieldCount > 1 ? 2 : 0;
  // Room for the repeated values of many fields, each thread seeing them all: twice the default
  // (512 kB a thread), as larger memos measured slower for their misses in the cache.
  const int memoBits = fieldCount > 1 ? PowerMemo::kDefaultBits + 1 : PowerMemo::kDefaultBits;
  std::vector<std::unique_ptr<PowerMemo>> memos;
  for (std::size_t k = 0; k <= workers; ++k) memos.push_back(std::make_unique<PowerMemo>(memoBits));
  std::vector<std::vector<double>> ridingValues(workers + 1);
  PassPipeline pipeline(
      fieldCount, workers, fieldCount,
      [&](const double* values, const std::uint32_t* groupOf, std::size_t rows, std::size_t f, std::size_t thread) {
        PowerMemo& powersMet = *memos[thread];
        // The values a selection takes are handed to it together, at the end or when the group changes.
        std::vector<double>& riding = ridingValues[thread];
        std::size_t g = groupOf[0];
        FieldSummary* field = &groups_[g].fields[f];
        RadixSelect* ride = rides[g * fieldCount + f];
        auto handOver = [&] {
          if (ride != nullptr) ride->AddAll(riding.data(), riding.size());
          riding.clear();
        };
        for (std::size_t r = 0; r < rows; ++r) {
          const double value = values[r * fieldCount + f];
          if (groupOf[r] != g) {
            handOver();
            g = groupOf[r];
            field = &groups_[g].fields[f];
            ride = rides[g * fieldCount + f];
          }
          if (!field->error.empty() || std::isnan(value)) continue;
          const double x = scaled ? value / scaleBy : value;
          field->statistics.AddMoment(x, powersMet);
          if (ride != nullptr) riding.push_back(x);
        }
        handOver();
      });
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    scope.Progress(GaugeKind::Round, message, static_cast<double>(recordNo++) / records);
    const std::size_t g = GroupIndex(pass);
    dataSet.ReadNumbers(pass.columns, pipeline.Row(static_cast<std::uint32_t>(g)));
  }
  pipeline.Finish();
  for (std::size_t i = 0; i < rides.size(); ++i) {
    if (rides[i] != nullptr) groups_[i / fieldCount].fields[i % fieldCount].selection->EndRide();
  }
  LeaveOnFirstRecord(scope);
  scope.ReleaseDialog();
}

std::vector<GroupDeviationRequest> TSumoraFieldSet::DeviationRequests(
    const std::function<DeviationRequest(FieldSummary&)>& request) {
  std::vector<GroupDeviationRequest> requests;
  for (auto& group : groups_) {
    GroupDeviationRequest wanted;
    wanted.key = group.key;
    for (auto& field : group.fields) wanted.columns.push_back(request(field));
    requests.push_back(std::move(wanted));
  }
  return requests;
}

// The moment sums and class counts computed by the source, one statement for every field and group.
bool TSumoraFieldSet::MomentsByAggregates(Pass& pass) {
  for (const auto& group : groups_) {
    for (const auto& field : group.fields) {
      const FieldStatistics& s = field.statistics;
      // Class bounds that round onto each other leave no thresholds to count with: read the records.
      if (field.error.empty() && !s.HasClassSpan() && s.Max() > s.Min()) return false;
    }
  }
  pass.scope.Progress(GaugeKind::Round, kMomentsMessage, 0.0);
  const std::optional<std::vector<GroupDeviations>> sums = pass.aggregation->DeviationsOf(
      pass.columns, pass.group != nullptr ? pass.group->Index() : -1, component_.ScaleBy(),
      DeviationRequests([](FieldSummary& field) {
        if (!field.error.empty()) return DeviationRequest{};
        return DeviationRequest{field.statistics.Mean(), field.statistics.ClassThresholds()};
      }));
  if (!Complete(sums, groups_.size(), pass.fields.size())) return false;
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    for (std::size_t f = 0; f < pass.fields.size(); ++f) {
      FieldSummary& field = groups_[g].fields[f];
      if (field.error.empty()) field.statistics.SetMomentSums((*sums)[g].columns[f]);
    }
  }
  pass.scope.Progress(GaugeKind::Round, kMomentsMessage, 1.0);
  return true;
}

// The component's steps after its moment pass: a pass that read other data fails the whole summary (the
// source changed); a field's own failure stays its error, and what does not depend on the failed step
// (the class table, the mode, the coefficient of variation) is still computed.
void TSumoraFieldSet::FinishMoments() {
  for (auto& group : groups_) {
    for (auto& field : group.fields) {
      if (!field.error.empty() || !field.statistics.Has(FieldStatistics::kLoaded)) continue;
      const FieldStatistics& s = field.statistics;
      if (s.MomentPassSawOtherData()) {
        ThrowSourceChanged(component_.StatDataSet(), component_.SourceName(), s.OtherDataDetail());
      }
    }
  }
  for (auto& group : groups_) {
    for (auto& field : group.fields) {
      if (!field.error.empty()) continue;
      FieldStatistics& s = field.statistics;
      try {
        s.EndMoments();
      } catch (const EMathError& e) {
        field.error = e.what();
      }
      if (s.Has(FieldStatistics::kClassCounts)) s.ComputeMode();
      if (s.Has(FieldStatistics::kVariance)) {
        try {
          s.ComputeCoeffVariation();
        } catch (const EMathError& e) {
          if (field.error.empty()) field.error = e.what();
        }
      }
    }
  }
}

// --- Quantile passes -----------------------------------------------------------------------------------

std::size_t TSumoraFieldSet::SelectionBatch() const {
  constexpr std::size_t kBudgetBytes = std::size_t{48} << 20;
  const std::size_t perSelection = selectionLimits_.histogramCells * 24 + selectionLimits_.collectedValues * 8;
  return std::max<std::size_t>(1, kBudgetBytes / perSelection);
}

std::vector<FieldSummary*> TSumoraFieldSet::SelectionsNeedingPass() {
  std::vector<FieldSummary*> needing;
  for (auto& group : groups_) {
    for (auto& field : group.fields) {
      if (field.selection && field.selection->HasSelection() && field.selection->Current().NeedsPass()) {
        needing.push_back(&field);
      }
    }
  }
  return needing;
}

void TSumoraFieldSet::Quantiles(Pass& pass) {
  for (auto& group : groups_) {
    for (auto& field : group.fields) {
      // A field without values, or whose loading failed, has no quantiles to find.
      const FieldStatistics& s = field.statistics;
      if (s.Count() < 1 || !s.Has(FieldStatistics::kMedian)) continue;
      if (!field.selection) {
        field.selection = std::make_unique<QuantileState>(selectionLimits_);
        field.selection->prepared = probabilities_;
      }
      field.selection->WantPrepared(s.Count(), s.Min(), s.Max());
    }
  }
  bool counting = pass.aggregation != nullptr && QuantileState::WorthCounting(probabilities_.size());
  for (std::vector<FieldSummary*> needing = SelectionsNeedingPass(); !needing.empty();
       needing = SelectionsNeedingPass()) {
    if (needing.size() > SelectionBatch()) needing.resize(SelectionBatch());
    const std::string message = "Calculating Quantiles (pass " + std::to_string(passes_ + 1) + ")";
    ++passes_;
    // Once the source declines a counting pass, the following passes read the records without asking.
    counting = counting && QuantilesByAggregates(pass, message, needing);
    if (!counting) FeedValues(pass, message, needing);
  }
  for (auto& group : groups_) {
    for (auto& field : group.fields) {
      if (field.selection && field.selection->HasSelection() && field.statistics.Count() >= 1 &&
          field.statistics.Has(FieldStatistics::kMedian)) {
        field.quantiles = field.selection->Values(probabilities_);
      }
    }
  }
}

// One pass over the records for the selections in `fields`.
void TSumoraFieldSet::FeedValues(Pass& pass, const std::string& message, const std::vector<FieldSummary*>& fields) {
  TDataSet& dataSet = pass.scope.DataSet();
  PassScope& scope = pass.scope;
  scope.CreateDialog();
  scope.ApplyShowingRule(ShowDialog());
  scope.DisableControls(pass.Projection(false));
  const std::size_t fieldCount = pass.fields.size();
  const std::unordered_set<const FieldSummary*> chosen(fields.begin(), fields.end());
  std::vector<RadixSelect*> feeding(groups_.size() * fieldCount, nullptr);
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    for (std::size_t f = 0; f < fieldCount; ++f) {
      FieldSummary& field = groups_[g].fields[f];
      if (chosen.count(&field) == 0) continue;
      feeding[g * fieldCount + f] = &field.selection->Current();
      feeding[g * fieldCount + f]->BeginPass();
    }
  }
  const double scaleBy = component_.ScaleBy();
  // x / 1 is x for every double: the usual scale costs no division.
  const bool scaled = scaleBy != 1.0;
  const double records = static_cast<double>(dataSet.RecordCount());
  std::vector<double> values(fieldCount);
  std::int64_t recordNo = 0;
  try {
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
      scope.Progress(GaugeKind::Round, message, static_cast<double>(recordNo++) / records);
      const std::size_t g = GroupIndex(pass);
      dataSet.ReadNumbers(pass.columns, values.data());
      for (std::size_t f = 0; f < fieldCount; ++f) {
        RadixSelect* select = feeding[g * fieldCount + f];
        if (select == nullptr || std::isnan(values[f])) continue;
        select->Add(scaled ? values[f] / scaleBy : values[f]);
      }
    }
  } catch (...) {
    for (RadixSelect* select : feeding) {
      if (select != nullptr) select->AbandonPass();
    }
    throw;
  }
  for (RadixSelect* select : feeding) {
    if (select != nullptr) select->EndPass();
  }
  LeaveOnFirstRecord(scope);
  scope.ReleaseDialog();
}

// A quantile pass counted by the source: for every selection of `fields`, the values between its
// thresholds, one statement for all of them. False: read the records instead.
bool TSumoraFieldSet::QuantilesByAggregates(Pass& pass, const std::string& message,
                                            const std::vector<FieldSummary*>& fields) {
  for (FieldSummary* field : fields) {
    if (!field->selection->Current().Bounded()) return false;
  }
  pass.scope.CreateDialog();
  pass.scope.ApplyShowingRule(ShowDialog());
  pass.scope.Progress(GaugeKind::Round, message, 0.0);
  const std::unordered_set<const FieldSummary*> chosen(fields.begin(), fields.end());
  const auto requests = DeviationRequests([&](FieldSummary& field) {
    if (chosen.count(&field) == 0) return DeviationRequest{};
    RadixSelect& select = field.selection->Current();
    // The stored values are a sample of the data: the selection probes them near each rank.
    select.SetHints(field.statistics.Stored());
    const FieldStatistics& s = field.statistics;
    // Only the counts are asked for; the mean completes the request.
    return DeviationRequest{s.Total() / static_cast<double>(s.Count()), select.BeginThresholdPass()};
  });
  const std::optional<std::vector<GroupDeviations>> sums = pass.aggregation->CountsOf(
      pass.columns, pass.group != nullptr ? pass.group->Index() : -1, component_.ScaleBy(), requests);
  if (!Complete(sums, groups_.size(), pass.fields.size())) {
    for (FieldSummary* field : fields) field->selection->Current().AbandonPass();
    pass.scope.ReleaseDialog();
    return false;
  }
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    for (std::size_t f = 0; f < pass.fields.size(); ++f) {
      FieldSummary& field = groups_[g].fields[f];
      if (chosen.count(&field) != 0) field.selection->Current().EndThresholdPass((*sums)[g].columns[f].classCounts);
    }
  }
  pass.scope.Progress(GaugeKind::Round, message, 1.0);
  pass.scope.ReleaseDialog();
  return true;
}

}  // namespace sumora
