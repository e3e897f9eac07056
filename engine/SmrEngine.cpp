#include "engine/SmrEngine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/PassScope.h"
#include "engine/Quantiles.h"
#include "engine/SmrWindows.h"
#include "dataset/DataSet.h"
#include "host/Errors.h"
#include "host/MessageText.h"
#include "toolkit/FastPower.h"

namespace sumora {

namespace {

const char* const kVarianceMessage = "Calculating Variance";
const char* const kSkewMessage = "Calculating Skewness";
const char* const kKurtosisMessage = "Calculating Kurtosis";

}  // namespace

TSumoraStats::TSumoraStats(const char* windowClassKey)
    : quantiles_(std::make_unique<QuantileState>()),
      windows_(AcquireSharedWindows(windowClassKey)) {}

TSumoraStats::~TSumoraStats() = default;

SharedWindowPair& TSumoraStats::Windows() { return *windows_; }

void TSumoraStats::ApplySettings() {
  s_.fieldName = StatFieldName_;
  s_.scaleBy = ScaleBy_;
  s_.freqClasses = FreqClasses_;
}

// The dialog shows when the user wants progress; otherwise the hourglass says a pass is busy.
bool TSumoraStats::ShowDialog() const { return ShowCalcProgress_ == TBoolPlus::Always || ProgressWanted_; }

// The fields a pass reads, so that the data source fetches just those.
std::vector<const TField*> TSumoraStats::PassFields() {
  TDataSet& dataSet = StatDataSet();
  return {dataSet.Active() ? dataSet.FindField(StatFieldName_) : nullptr};
}

// --- Published property setters ------------------------------------------------------------------

void TSumoraStats::SetdsScaleFactor(double value) {
  if (!std::isfinite(value)) {
    MessageDlg("ScaleBy must be a finite number.", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    ScaleBy_ = 1.0;
    return;
  }
  if (std::fabs(value) < 0.0001) {
    MessageDlg("Cannot Scale by 0.", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    ScaleBy_ = 1.0;
    return;
  }
  ScaleBy_ = value;
}

void TSumoraStats::SetdsFreqClasses(std::uint16_t value) {
  FreqClasses_ = value < MaxFreqClasses ? value : static_cast<std::uint16_t>(MaxFreqClasses);
}

void TSumoraStats::SetdsMaxPlotCount(std::uint16_t value) {
  RecordPlotCount_ = static_cast<std::uint16_t>(std::trunc(min(value, MaxStoredValues)));
}

// --- Lifecycle -------------------------------------------------------------------------------------

void TSumoraStats::Initialize() {
  GetNumericFields();
  dsLoaded_ = false;
  MedianCalculated_ = false;
  VarianceCalculated_ = false;
  SkewCalculated_ = false;
  KurtosisCalculated_ = false;
  quantiles_->Reset();
}

void TSumoraStats::Summarize() {
  SnapshotHold hold(StatDataSet());
  Initialize();
  GetdsMean();
  // Without a single value every later step would fail with a misleading variance or skewness message.
  s_.RequireValues();
  GetdsMedian();
  CalculateMoments();
  GetdsVariance();
  GetdsSkew();
  GetdsKurtosis();
  GetdsRange();
  GetdsStdDev();
  GetdsTotal();
  GetdsMode();
}

const TStrings& TSumoraStats::GetNumericFields() {
  TDataSet& dataSet = StatDataSet();
  TStringList names;
  NumericFields_.Clear();
  const bool wasActive = dataSet.Active();
  if (!wasActive) dataSet.Open();
  if (dataSet.Active()) {
    dataSet.GetFieldNames(names);
    for (const auto& name : names.Items()) {
      if (NumericField(dataSet.FieldByName(name))) NumericFields_.Add(name);
    }
  } else {
    MessageDlg("Please check the table name.", TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
  }
  dataSet.SetActive(wasActive);
  return NumericFields_;
}

std::string TSumoraStats::ProgressCaption() const {
  return "Summary of " + SourceName() + " " + StatFieldName_;
}

// --- The loading pass ---------------------------------------------------------------------------------

bool TSumoraStats::LoadDataSet() {
  ApplySettings();
  PassScope scope(StatDataSet(), ProgressCaption());
  TDataSet& dataSet = scope.DataSet();
  scope.CreateDialog();
  ProgressWanted_ = AskForProgress(ShowCalcProgress_, dataSet.RecordCount());
  scope.ApplyShowingRule(ShowDialog());

  scope.DisableControls(PassFields());
  dataSet.First();
  // The field object stays valid for the whole pass, so it is looked up once.
  TField& field = dataSet.FieldByName(StatFieldName_);
  s_.BeginLoading();
  AggregatingSource* aggregation = Aggregator(dataSet);
  if (aggregation == nullptr || !LoadByAggregates(scope, *aggregation, field)) LoadByReading(scope, field);
  const bool loaded = s_.EndLoading();
  dataSet.First();
  scope.EnableControls();
  dsDataCount_ = static_cast<std::int32_t>(s_.Count());
  scope.ReleaseDialog();
  dsLoaded_ = loaded;
  scope.RestoreCursor();
  return dsLoaded_;
}

AggregatingSource* TSumoraStats::Aggregator(TDataSet& dataSet) {
  if (!ServerSide_ || !dataSet.Active()) return nullptr;
  return dataSet.Aggregation(dataSet.FieldByName(StatFieldName_));
}

// Every record in dataset order: count, total, extremes, and the first MaxStoredValues values kept.
std::int64_t TSumoraStats::LoadByReading(PassScope& scope, TField& field) {
  TDataSet& dataSet = scope.DataSet();
  const std::string message = kLoadingMessage;
  // A prepared quantile selection counts its first pass along with this one.
  RadixSelect* select = quantiles_->BeginLoadingRide(dataSet.RecordCount());
  std::int64_t count = 0;
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    if (field.IsNull()) continue;
    ++count;
    scope.Progress(GaugeKind::Horizontal, message,
                   static_cast<double>(count) / static_cast<double>(dataSet.RecordCount()));
    const double x = field.AsFloat() / ScaleBy_;
    s_.AddLoading(x);
    if (select != nullptr) select->Add(x);
  }
  quantiles_->EndRide();
  return count;
}

// The same results with the sums computed by the source: the stored values are still read in dataset
// order (the first MaxStoredValues only), so the median and the value store equal a full pass's. False
// when the source cannot compute the totals exactly; nothing is changed then.
bool TSumoraStats::LoadByAggregates(PassScope& scope, AggregatingSource& aggregation, TField& field) {
  TDataSet& dataSet = scope.DataSet();
  const std::string message = kLoadingMessage;
  scope.Progress(GaugeKind::Horizontal, message, 0.0);
  std::vector<double>& stored = s_.StoredForFill();
  dataSet.ExpectRecords(MaxStoredValues);  // the store's values, not a batch of rows past them
  // The loop stops on the record that fills the store: a step past it could fetch another batch.
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    if (field.IsNull()) continue;
    stored.push_back(field.AsFloat() / ScaleBy_);
    if (stored.size() == static_cast<std::size_t>(MaxStoredValues)) break;
  }
  const std::optional<ValueTotals> totals = aggregation.Totals(field.Index(), ScaleBy_);
  if (!totals) {
    stored.clear();
    return false;
  }
  s_.SetLoadingTotals(*totals);
  scope.Progress(GaugeKind::Horizontal, message, 1.0);
  return true;
}

// --- Cached getters ---------------------------------------------------------------------------------------

bool TSumoraStats::GetdsLoaded() {
  if (!dsLoaded_) dsLoaded_ = LoadDataSet();
  return dsLoaded_;
}

std::int32_t TSumoraStats::GetdsDataCount() { return GetdsLoaded() ? dsDataCount_ : -1; }

double TSumoraStats::GetdsTotal() { return GetdsLoaded() ? s_.Total() : 0.0; }

double TSumoraStats::GetdsMean() {
  s_.SetMean(0.0);
  if (GetdsLoaded()) s_.SetMean(GetdsTotal() / GetdsDataCount());
  return s_.Mean();
}

double TSumoraStats::GetdsRange() {
  dsRange_ = s_.Max() - s_.Min();
  return dsRange_;
}

double TSumoraStats::GetdsStdDev() {
  dsStdDev_ = std::sqrt(s_.Variance());
  return dsStdDev_;
}

std::string TSumoraStats::GetdsSkewSign() const { return SkewSignOf(s_.Mu3()); }

double TSumoraStats::GetdsCoeffVariation() {
  GetdsStdDev();
  GetdsMean();
  s_.ComputeCoeffVariation();
  return s_.CoeffVariation();
}

// --- Moment passes ----------------------------------------------------------------------------------------

// The shared shape of the moment passes: caption, showing rule, then one Round progress call and one
// visit per non-null record with its scaled value. Returns the number of values visited.
template <typename Visit>
std::int32_t TSumoraStats::RunPass(PassScope& scope, PassKind kind, Visit&& visit) {
  const char* text = kind == PassKind::Moments    ? kMomentsMessage
                     : kind == PassKind::Variance ? kVarianceMessage
                     : kind == PassKind::Skew     ? kSkewMessage
                                                  : kKurtosisMessage;
  return RunPass(scope, std::string(text), std::forward<Visit>(visit));
}

template <typename Visit>
std::int32_t TSumoraStats::RunPass(PassScope& scope, const std::string& message, Visit&& visit) {
  TDataSet& dataSet = scope.DataSet();
  scope.CreateDialog();
  scope.ApplyShowingRule(ShowDialog());
  scope.DisableControls(PassFields());
  std::int32_t count = 0;
  // Looked up at the first record (an empty dataset never asks for the field) and kept for the pass.
  TField* field = nullptr;
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    if (field == nullptr) field = &dataSet.FieldByName(StatFieldName_);
    if (field->IsNull()) continue;
    scope.Progress(GaugeKind::Round, message,
                   static_cast<double>(count) / static_cast<double>(dataSet.RecordCount()));
    const double x = field->AsFloat() / ScaleBy_;
    visit(x);
    ++count;
  }
  dataSet.First();
  // Only against a loading pass that ran: a pass may also run on the fields as they stand.
  if (dsLoaded_ && count != dsDataCount_) ThrowCountChanged(count);
  scope.EnableControls();
  return count;
}

void TSumoraStats::ThrowCountChanged(std::int32_t passCount) {
  ThrowSourceChanged(StatDataSet(), SourceName(),
                     FieldStatistics::CountChangedDetail(StatFieldName_, dsDataCount_, passCount));
}

void TSumoraStats::RunQuantilePass(RadixSelect& select, const std::string& message) {
  PassScope scope(StatDataSet(), ProgressCaption());
  if (!CountQuantilePass(scope, select, message)) {
    select.BeginPass();
    RunPass(scope, message, [&](double x) { select.Add(x); });
    select.EndPass();
  }
  scope.ReleaseDialog();
  scope.RestoreCursor();
}

// A quantile pass counted where the data lives, when the component asks for that and the source can:
// the source counts the values between the selection's thresholds and only the counts travel; the
// dialog shows the pass starting and ending. False: read the records instead.
bool TSumoraStats::CountQuantilePass(PassScope& scope, RadixSelect& select, const std::string& message) {
  TDataSet& dataSet = scope.DataSet();
  AggregatingSource* aggregation = Aggregator(dataSet);
  if (aggregation == nullptr || !select.Bounded() || quantiles_->countingDeclined) return false;
  scope.CreateDialog();
  scope.ApplyShowingRule(ShowDialog());
  scope.DisableControls(PassFields());
  scope.Progress(GaugeKind::Round, message, 0.0);
  // The stored values are a sample of the data: the selection probes them near each rank.
  select.SetHints(s_.Stored());
  const std::vector<double> thresholds = select.BeginThresholdPass();
  // Deviations from the mean keep the sums the source adds alongside in range.
  const double mean = dsDataCount_ > 0 ? s_.Total() / dsDataCount_ : 0.0;
  const std::optional<DeviationSums> sums =
      aggregation->Deviations(dataSet.FieldByName(StatFieldName_).Index(), ScaleBy_, mean, thresholds);
  if (!sums) {
    quantiles_->countingDeclined = true;
    select.AbandonPass();
    scope.EnableControls();
    scope.ReleaseDialog();
    return false;
  }
  select.EndThresholdPass(sums->classCounts);
  scope.Progress(GaugeKind::Round, message, 1.0);
  dataSet.First();
  scope.EnableControls();
  return true;
}

void TSumoraStats::CalculateMoments() {
  ApplySettings();
  PassScope scope(StatDataSet(), ProgressCaption());
  s_.BeginMoments(s_.Mean());
  if (const std::optional<DeviationSums> sums = AggregatePass(scope, PassKind::Moments)) {
    s_.SetMomentSums(*sums);
  } else {
    // A prepared quantile selection takes its next pass along.
    RadixSelect* select = quantiles_->BeginRide(dsDataCount_, s_.Min(), s_.Max());
    PowerMemo powersMet;
    RunPass(scope, PassKind::Moments, [&](double x) {
      s_.AddMoment(x, powersMet);
      if (select != nullptr) select->Add(x);
    });
    quantiles_->EndRide();
  }
  // A value or a total the loading pass did not see: the data changed between the passes.
  if (dsLoaded_ && s_.MomentPassSawOtherData()) {
    ThrowSourceChanged(StatDataSet(), SourceName(), s_.OtherDataDetail());
  }
  scope.ReleaseDialog();
  s_.EndMoments();
  VarianceCalculated_ = true;
  KurtosisCalculated_ = true;
  SkewCalculated_ = true;
  scope.RestoreCursor();
}

// A moment pass whose sums and class counts the data source computes, when the component asks for that
// and the source can: the dialog shows the pass starting and ending. Class counts are set as the pass
// would count them (the class rule is the thresholds' rule, see FieldStatistics::CountClass); the
// variance, skewness and kurtosis passes use the part they need. std::nullopt: read the records instead.
std::optional<DeviationSums> TSumoraStats::AggregatePass(PassScope& scope, PassKind kind) {
  TDataSet& dataSet = scope.DataSet();
  AggregatingSource* aggregation = Aggregator(dataSet);
  if (aggregation == nullptr) return std::nullopt;
  // Class bounds that round onto each other (a range a few ulps wide) leave no thresholds to count
  // with; the values' places in the range decide their classes, so the records are read.
  const bool countsClasses = kind == PassKind::Moments || kind == PassKind::Variance;
  if (countsClasses && !s_.HasClassSpan() && s_.Max() > s_.Min()) return std::nullopt;
  const char* text = kind == PassKind::Moments    ? kMomentsMessage
                     : kind == PassKind::Variance ? kVarianceMessage
                     : kind == PassKind::Skew     ? kSkewMessage
                                                  : kKurtosisMessage;
  scope.CreateDialog();
  scope.ApplyShowingRule(ShowDialog());
  scope.DisableControls(PassFields());
  scope.Progress(GaugeKind::Round, text, 0.0);
  std::optional<DeviationSums> sums = aggregation->Deviations(dataSet.FieldByName(StatFieldName_).Index(), ScaleBy_,
                                                              s_.Mean(), s_.ClassThresholds());
  if (!sums) {
    scope.EnableControls();
    scope.ReleaseDialog();
    return std::nullopt;
  }
  if (sums->count > 0 && dsDataCount_ == 0) throw EMathError("Class percentages are undefined: no values were loaded");
  scope.Progress(GaugeKind::Round, text, 1.0);
  dataSet.First();
  scope.EnableControls();
  return sums;
}

double TSumoraStats::GetdsVariance() {
  PassScope scope(StatDataSet(), ProgressCaption());
  if (!VarianceCalculated_) {
    ApplySettings();
    double sum = 0.0;
    const double mean = s_.Mean();
    s_.ClearClassCounts();
    std::int32_t count = 0;
    if (const std::optional<DeviationSums> sums = AggregatePass(scope, PassKind::Variance)) {
      sum = sums->squares;
      count = static_cast<std::int32_t>(sums->count);
      if (s_.HasClassSpan()) s_.AddClassCounts(sums->classCounts);
    } else {
      count = RunPass(scope, PassKind::Variance, [&](double x) {
        s_.CountClass(x);
        const double d = x - mean;
        sum += d * d;
      });
    }
    if (count > 0) s_.RefreshPercents();
    s_.SetVariance(s_.MomentOf(sum, count, "sum of squared deviations", "Variance needs at least two values"));
    scope.ReleaseDialog();
  }
  VarianceCalculated_ = true;
  scope.RestoreCursor();
  return s_.Variance();
}

// The standalone skewness or kurtosis pass: the sum of raiseTo(x - mean, power) over the values (or the
// part of the sums the source computes), checked finite and divided by count - 1.
double TSumoraStats::DeviationPowerMoment(PassScope& scope, PassKind kind, int power, double DeviationSums::*part,
                                          const char* sumName, const char* tooFewValues) {
  ApplySettings();
  double sum = 0.0;
  const double mean = s_.Mean();
  std::int32_t count = 0;
  if (const std::optional<DeviationSums> sums = AggregatePass(scope, kind)) {
    sum = (*sums).*part;
    count = static_cast<std::int32_t>(sums->count);
  } else {
    count = RunPass(scope, kind, [&](double x) { sum += raiseTo(x - mean, power); });
  }
  return s_.MomentOf(sum, count, sumName, tooFewValues);
}

double TSumoraStats::GetdsSkew() {
  PassScope scope(StatDataSet(), ProgressCaption());
  if (!SkewCalculated_) {
    s_.SetMu3(DeviationPowerMoment(scope, PassKind::Skew, 3, &DeviationSums::cubes, "sum of cubed deviations",
                                   "Skewness needs at least two values"));
    s_.SetSkew(s_.SkewnessOf(s_.Mu3(), s_.Variance()));
    scope.ReleaseDialog();
  }
  SkewCalculated_ = true;
  scope.RestoreCursor();
  return s_.Skew();
}

double TSumoraStats::GetdsKurtosis() {
  PassScope scope(StatDataSet(), ProgressCaption());
  if (!KurtosisCalculated_) {
    s_.SetMu4(DeviationPowerMoment(scope, PassKind::Kurtosis, 4, &DeviationSums::fourths,
                                   "sum of fourth powers of the deviations", "Kurtosis needs at least two values"));
    s_.SetKurtosis(s_.KurtosisOf(s_.Mu4(), s_.Variance()));
    scope.ReleaseDialog();
  }
  KurtosisCalculated_ = true;
  scope.RestoreCursor();
  return s_.Kurtosis();
}

// --- Frequency classes ----------------------------------------------------------------------------------

void TSumoraStats::GetdsClasses() {
  ApplySettings();
  s_.LayOutClasses();
}

void TSumoraStats::ClearClassCounts() { s_.ClearClassCounts(); }

void TSumoraStats::PlaceClass(double x) {
  s_.CountClass(x);
  s_.RefreshPercents();
}

double TSumoraStats::GetdsMode() {
  s_.ComputeMode();
  return s_.Mode();
}

double TSumoraStats::GetdsClassStart(int classNo) const { return s_.ClassStart(classNo); }
double TSumoraStats::GetdsClassEnd(int classNo) const { return s_.ClassEnd(classNo); }
std::uint32_t TSumoraStats::GetdsClassCount(int classNo) const { return s_.ClassCount(classNo); }
double TSumoraStats::GetdsClassPercent(int classNo) const { return s_.ClassPercent(classNo); }
double TSumoraStats::GetdsClassCumPercent(int classNo) const { return s_.ClassCumPercent(classNo); }

// --- Median and stored values -------------------------------------------------------------------------

double TSumoraStats::GetdsMedian() {
  if (!MedianCalculated_) {
    if (GetdsDataCount() > MaxStoredValues) {
      WarnPartialMedian();
    }
    s_.ComputeMedian(GetdsDataCount());
  }
  MedianCalculated_ = true;
  return s_.Median();
}

double TSumoraStats::GetdsValue(int recordNo) {
  const std::vector<double>& stored = s_.Stored();
  if (recordNo >= 1 && recordNo <= MaxStoredValues) {
    return static_cast<std::size_t>(recordNo) <= stored.size() ? stored[static_cast<std::size_t>(recordNo) - 1] : 0.0;
  }
  if (recordNo == MaxStoredValues + 1) {
    MessageDlg("Records above # " + std::to_string(MaxStoredValues) + " not stored.", TMsgDlgType::mtWarning,
               TMsgDlgButtons::mbOK);
  }
  return 0.0;
}

// --- Windows ------------------------------------------------------------------------------------------------

void TSumoraStats::FrequencyDisplay() { Windows().ClassWindow().Open(*this); }

void TSumoraStats::SummaryChart() { Windows().PlotWin().Plot(*this); }

}  // namespace sumora
