#include "engine/SmrEngine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/Quantiles.h"
#include "engine/SmrWindows.h"
#include "dataset/DataSet.h"
#include "host/Errors.h"
#include "host/MessageText.h"
#include "toolkit/FastPower.h"

namespace sumora {

namespace {

const char* const kLoadingMessage = "Loading dataset, calculating totals, mean";
const char* const kMomentsMessage = "Calculating Variance, Skew, Kurtosis";
const char* const kVarianceMessage = "Calculating Variance";
const char* const kSkewMessage = "Calculating Skewness";
const char* const kKurtosisMessage = "Calculating Kurtosis";

// Every division by a divisor that may be zero goes through here, so the caller learns what failed
// instead of reading an infinity or a NaN.
double Divide(double numerator, double divisor, const char* whatFailed) {
  if (divisor == 0.0) throw EMathError(whatFailed);
  return numerator / divisor;
}

// Powers of deviations overflow long before the values do (a deviation near 1e77 already has an
// infinite fourth power), so the moment sums and the powers of the variance are checked before they
// are divided; a result of inf or nan would otherwise be shown as if it were a statistic.
void RequireFinite(double value, const char* what, const std::string& fieldName) {
  if (!std::isfinite(value)) {
    throw EMathError(std::string("The ") + what + " of " + fieldName +
                     " overflows the range of a double; scale the values down with ScaleBy");
  }
}

}  // namespace

// Everything a pass must undo however it ends: the controls it disabled, the dialog it created and
// the hourglass it set. On the normal path the pass calls the steps itself, in its own order; when a
// dataset or arithmetic error cuts it short, the destructor does what is left.
struct TSumoraStats::PassScope {
  explicit PassScope(TSumoraStats& engine) : engine_(engine), dataSet_(engine.StatDataSet()) {}
  ~PassScope() {
    // Cleaning up after an error must not raise another one.
    try {
      EnableControls();
    } catch (const std::exception&) {
    }
    ReleaseDialog();
    if (!cursorRestored_) SetScreenCursor(TCursor::crDefault);
  }
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

  void CreateDialog() {
    dialog_ = CreateProgressDialog();
    dialog_->SetLabels(engine_.ProgressCaption());
  }
  // Show the dialog when the user wants progress; otherwise the hourglass says the pass is busy.
  void ApplyShowingRule() {
    if (engine_.ShowCalcProgress_ == TBoolPlus::Always || engine_.ProgressWanted_) {
      dialog_->Show();
    } else {
      SetScreenCursor(TCursor::crHourGlass);
    }
  }
  // Disables the controls and, since a pass reads one field only, lets the data source fetch just
  // that field.
  void DisableControls(const std::string& fieldName) {
    dataSet_.DisableControls();
    controlsDisabled_ = true;
    if (dataSet_.Active()) dataSet_.FocusField(dataSet_.FindField(fieldName));
  }
  void EnableControls() {
    if (!controlsDisabled_) return;
    controlsDisabled_ = false;
    dataSet_.EnableControls();
    if (dataSet_.Active()) dataSet_.FocusField(nullptr);
  }
  void ReleaseDialog() { dialog_.reset(); }
  void RestoreCursor() {
    SetScreenCursor(TCursor::crDefault);
    cursorRestored_ = true;
  }
  void Progress(GaugeKind kind, const std::string& message, double fraction) {
    dialog_->SetGaugeProgress(kind, message, fraction);
  }
  TDataSet& DataSet() { return dataSet_; }

 private:
  TSumoraStats& engine_;
  TDataSet& dataSet_;
  std::unique_ptr<ProgressDialog> dialog_;
  bool controlsDisabled_ = false;
  bool cursorRestored_ = false;
};

TSumoraStats::TSumoraStats(const char* windowClassKey)
    : quantiles_(std::make_unique<QuantileState>()),
      windows_(AcquireSharedWindows(windowClassKey)) {}

// The stores hold 10000 values each (160 kB together); a form may carry many components that are
// never summarized, so they are made on first use.
TValueArray& TSumoraStats::Store(std::unique_ptr<TValueArray>& store) {
  if (store == nullptr) store = std::make_unique<TValueArray>();
  return *store;
}

TSumoraStats::~TSumoraStats() = default;

SharedWindowPair& TSumoraStats::Windows() { return *windows_; }

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
  // Every pass of one summary reads the same data where the source can promise it; the hold ends
  // with the summary, so writers wait no longer than that.
  struct SnapshotHold {
    TDataSet& dataSet;
    explicit SnapshotHold(TDataSet& held) : dataSet(held) { dataSet.HoldSnapshot(true); }
    ~SnapshotHold() {
      try {
        dataSet.HoldSnapshot(false);
      } catch (const Exception&) {
        // Ending a read cannot lose anything, and the summary's own outcome is what the caller needs.
      }
    }
  } hold(StatDataSet());
  Initialize();
  GetdsMean();
  // Without a single value every later step would fail with a misleading variance or skewness message.
  if (dsDataCount_ == 0) throw ENoValues("Field '" + StatFieldName_ + "' has no values");
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
  PassScope scope(*this);
  TDataSet& dataSet = scope.DataSet();
  scope.CreateDialog();

  if (ShowCalcProgress_ == TBoolPlus::Prompt && dataSet.RecordCount() > 1000) {
    ProgressWanted_ = MessageDlg("Large dataset. Show progress\n\r during loading or calculating.",
                                 TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) == TModalResult::mrYes;
  } else {
    ProgressWanted_ = false;
  }
  scope.ApplyShowingRule();

  scope.DisableControls(StatFieldName_);
  dataSet.First();
  // The field object stays valid for the whole pass, so it is looked up once.
  TField& field = dataSet.FieldByName(StatFieldName_);
  std::int64_t count = 0;
  AggregatingSource* aggregation = Aggregator(dataSet);
  if (aggregation == nullptr || !LoadByAggregates(scope, *aggregation, field, &count)) {
    count = LoadByReading(scope, field);
  }
  if (count > std::numeric_limits<std::int32_t>::max()) {
    throw EMathError("The field holds more than 2147483647 values, more than one summary can count");
  }
  RequireFinite(dsTotal_, "total", StatFieldName_);
  dataSet.First();
  GetdsClasses();
  scope.EnableControls();
  dsDataCount_ = static_cast<std::int32_t>(count);
  scope.ReleaseDialog();
  dsLoaded_ = count > 1;
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
  // The extremes start from the first value that is not null (0 when there is none).
  dataSet.First();
  while (!dataSet.Eof() && field.IsNull()) dataSet.Next();
  dsMax_ = dataSet.Eof() ? 0.0 : field.AsFloat() / ScaleBy_;
  dsMin_ = dsMax_;

  dsTotal_ = 0.0;
  std::int64_t count = 0;
  const std::string message = kLoadingMessage;
  TValueArray& values = Store(Values_);
  // A prepared quantile selection counts its first pass along with this one.
  RadixSelect* select = quantiles_->BeginLoadingRide(dataSet.RecordCount());
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
    if (field.IsNull()) continue;
    ++count;
    scope.Progress(GaugeKind::Horizontal, message,
                   static_cast<double>(count) / static_cast<double>(dataSet.RecordCount()));
    const double x = field.AsFloat() / ScaleBy_;
    // Values beyond the store's capacity are counted, summed and compared, but not kept.
    if (count <= MaxStoredValues) values[static_cast<int>(count)] = x;
    dsTotal_ += x;
    if (x > dsMax_) dsMax_ = x;
    if (x < dsMin_) dsMin_ = x;
    if (select != nullptr) select->Add(x);
  }
  quantiles_->EndRide();
  return count;
}

// The same results with the sums computed by the source: the stored values are still read in dataset
// order (the first MaxStoredValues only), so the median and the value store equal a full pass's. False
// when the source cannot compute the totals exactly; nothing is changed then.
bool TSumoraStats::LoadByAggregates(PassScope& scope, AggregatingSource& aggregation, TField& field,
                                    std::int64_t* count) {
  TDataSet& dataSet = scope.DataSet();
  const std::string message = kLoadingMessage;
  scope.Progress(GaugeKind::Horizontal, message, 0.0);
  TValueArray& values = Store(Values_);
  int stored = 0;
  for (dataSet.First(); !dataSet.Eof() && stored < MaxStoredValues; dataSet.Next()) {
    if (field.IsNull()) continue;
    values[++stored] = field.AsFloat() / ScaleBy_;
  }
  const std::optional<ValueTotals> totals = aggregation.Totals(field.Index(), ScaleBy_);
  if (!totals) return false;
  *count = totals->count;
  dsTotal_ = totals->count > 0 ? totals->total : 0.0;
  dsMin_ = totals->count > 0 ? totals->min : 0.0;
  dsMax_ = totals->count > 0 ? totals->max : 0.0;
  scope.Progress(GaugeKind::Horizontal, message, 1.0);
  return true;
}

// --- Cached getters ---------------------------------------------------------------------------------------

bool TSumoraStats::GetdsLoaded() {
  if (!dsLoaded_) dsLoaded_ = LoadDataSet();
  return dsLoaded_;
}

std::int32_t TSumoraStats::GetdsDataCount() { return GetdsLoaded() ? dsDataCount_ : -1; }

double TSumoraStats::GetdsTotal() { return GetdsLoaded() ? dsTotal_ : 0.0; }

double TSumoraStats::GetdsMean() {
  dsMean_ = 0.0;
  if (GetdsLoaded()) dsMean_ = GetdsTotal() / GetdsDataCount();
  return dsMean_;
}

double TSumoraStats::GetdsRange() {
  dsRange_ = dsMax_ - dsMin_;
  return dsRange_;
}

double TSumoraStats::GetdsStdDev() {
  dsStdDev_ = std::sqrt(dsVariance_);
  return dsStdDev_;
}

std::string TSumoraStats::GetdsSkewSign() const {
  switch (sgn(dsMu3_)) {
    case -1: return "(-)";
    case 1: return "(+)";
    default: return "(0)";
  }
}

double TSumoraStats::GetdsCoeffVariation() {
  const double stdDev = GetdsStdDev();
  const double mean = GetdsMean();
  dsCoeffVariation_ = Divide(stdDev, mean, "Coefficient of variation is undefined: the mean is zero") * 100;
  return dsCoeffVariation_;
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
  scope.ApplyShowingRule();
  scope.DisableControls(StatFieldName_);
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
  if (dsLoaded_ && count != dsDataCount_) ThrowSourceChanged(count);
  scope.EnableControls();
  return count;
}

// A pass that met another number of values than the loading pass read another dataset (rows were
// written or removed in between); mixing the two would report figures of neither.
void TSumoraStats::ThrowSourceChanged(std::int32_t passCount) {
  TDataSet& dataSet = StatDataSet();
  std::string source = SourceName();
  if (const auto* table = dynamic_cast<const TTable*>(&dataSet)) {
    source = "table '" + ShownText(table->TableName()) + "' in '" + ShownText(table->DatabaseName()) + "'";
  } else if (const auto* query = dynamic_cast<const TQuery*>(&dataSet)) {
    std::string sql;
    for (const auto& line : query->SQL().Items()) sql += (sql.empty() ? "" : " ") + line;
    source = "query '" + ShownText(sql) + "' on '" + ShownText(query->DatabaseName()) + "'";
  }
  throw EDatabaseError("The data of " + source + " changed during the summary: the loading pass read " +
                       std::to_string(dsDataCount_) + " values of " + StatFieldName_ + ", a later pass " +
                       std::to_string(passCount) + "; summarize again when nothing is writing to it");
}

void TSumoraStats::RunQuantilePass(RadixSelect& select, const std::string& message) {
  PassScope scope(*this);
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
  if (aggregation == nullptr || !select.Bounded()) return false;
  scope.CreateDialog();
  scope.ApplyShowingRule();
  scope.DisableControls(StatFieldName_);
  scope.Progress(GaugeKind::Round, message, 0.0);
  // The stored values are a sample of the data: the selection probes them near each rank.
  const int stored = static_cast<int>(std::min<std::int32_t>(dsDataCount_, MaxStoredValues));
  const TValueArray& sample = Store(Values_);
  select.SetHints(std::vector<double>(sample.data(), sample.data() + stored));
  const std::vector<double> thresholds = select.BeginThresholdPass();
  // Deviations from the mean keep the sums the source adds alongside in range.
  const double mean = dsDataCount_ > 0 ? dsTotal_ / dsDataCount_ : 0.0;
  const std::optional<DeviationSums> sums =
      aggregation->Deviations(dataSet.FieldByName(StatFieldName_).Index(), ScaleBy_, mean, thresholds);
  if (!sums) {
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
  PassScope scope(*this);
  ClearClassCounts();
  double s2 = 0.0;
  double s3 = 0.0;
  double s4 = 0.0;
  const double mean = dsMean_;
  std::int32_t count = 0;
  if (const std::optional<DeviationSums> sums = AggregatePass(scope, PassKind::Moments)) {
    s2 = sums->squares;
    s3 = sums->cubes;
    s4 = sums->fourths;
    count = static_cast<std::int32_t>(sums->count);
  } else {
    // A prepared quantile selection takes its next pass along.
    RadixSelect* select = quantiles_->BeginRide(dsDataCount_, dsMin_, dsMax_);
    PowerMemo powersMet;
    count = RunPass(scope, PassKind::Moments, [&](double x) {
      const Powers234 powers = powersMet.Raise(x - mean);
      s2 += powers.p2;
      s3 += powers.p3;
      s4 += powers.p4;
      CountClass(x);
      if (select != nullptr) select->Add(x);
    });
    quantiles_->EndRide();
  }
  // The percentages follow the counts of the whole pass; they are read only after it, and a pass
  // that placed no value leaves them as they were.
  if (count > 0) RefreshPercents();
  scope.ReleaseDialog();
  RequireFinite(s2, "sum of squared deviations", StatFieldName_);
  RequireFinite(s3, "sum of cubed deviations", StatFieldName_);
  RequireFinite(s4, "sum of fourth powers of the deviations", StatFieldName_);
  const double divisor = static_cast<double>(count) - 1.0;
  dsVariance_ = Divide(s2, divisor, "Variance needs at least two values");
  dsMu3_ = Divide(s3, divisor, "Variance needs at least two values");
  dsMu4_ = Divide(s4, divisor, "Variance needs at least two values");
  dsSkew_ = SkewnessOf(dsMu3_, dsVariance_);
  dsKurtosis_ = KurtosisOf(dsMu4_, dsVariance_);
  VarianceCalculated_ = true;
  KurtosisCalculated_ = true;
  SkewCalculated_ = true;
  scope.RestoreCursor();
}

// A moment pass whose sums and class counts the data source computes, when the component asks for that
// and the source can: the dialog shows the pass starting and ending. Class counts are set as the pass
// would count them (the class rule is the thresholds' rule, see CountClass); the variance, skewness and
// kurtosis passes use the part they need. std::nullopt: read the records instead.
std::optional<DeviationSums> TSumoraStats::AggregatePass(PassScope& scope, PassKind kind) {
  TDataSet& dataSet = scope.DataSet();
  AggregatingSource* aggregation = Aggregator(dataSet);
  if (aggregation == nullptr) return std::nullopt;
  const char* text = kind == PassKind::Moments    ? kMomentsMessage
                     : kind == PassKind::Variance ? kVarianceMessage
                     : kind == PassKind::Skew     ? kSkewMessage
                                                  : kKurtosisMessage;
  scope.CreateDialog();
  scope.ApplyShowingRule();
  scope.DisableControls(StatFieldName_);
  scope.Progress(GaugeKind::Round, text, 0.0);
  const bool countsClasses = kind == PassKind::Moments || kind == PassKind::Variance;
  const std::vector<double> thresholds = ClassThresholds();
  std::optional<DeviationSums> sums =
      aggregation->Deviations(dataSet.FieldByName(StatFieldName_).Index(), ScaleBy_, dsMean_, thresholds);
  if (!sums) {
    scope.EnableControls();
    scope.ReleaseDialog();
    return std::nullopt;
  }
  if (sums->count > 0 && dsDataCount_ == 0) throw EMathError("Class percentages are undefined: no values were loaded");
  if (countsClasses && HasClassSpan()) {
    for (std::size_t i = 0; i < sums->classCounts.size(); ++i) {
      ClassCounts_[i] += static_cast<std::uint32_t>(sums->classCounts[i]);
    }
  }
  scope.Progress(GaugeKind::Round, text, 1.0);
  dataSet.First();
  scope.EnableControls();
  return sums;
}

// Skewness mu3^2 / variance^3 and kurtosis mu4 / variance^2. The powers of the variance can overflow
// where the sums did not (a variance above about 5.6e102 has an infinite cube); the quotient would
// then read 0 or nan.
double TSumoraStats::SkewnessOf(double mu3, double variance) const {
  const double numerator = raiseTo(mu3, 2);
  const double denominator = raiseTo(variance, 3);
  RequireFinite(numerator, "squared third moment", StatFieldName_);
  RequireFinite(denominator, "cubed variance", StatFieldName_);
  return Divide(numerator, denominator, "Skewness is undefined: the variance is zero");
}

double TSumoraStats::KurtosisOf(double mu4, double variance) const {
  const double denominator = variance * variance;
  RequireFinite(denominator, "squared variance", StatFieldName_);
  return Divide(mu4, denominator, "Kurtosis is undefined: the variance is zero");
}

double TSumoraStats::GetdsVariance() {
  PassScope scope(*this);
  if (!VarianceCalculated_) {
    double sum = 0.0;
    const double mean = dsMean_;
    ClearClassCounts();
    std::int32_t count = 0;
    if (const std::optional<DeviationSums> sums = AggregatePass(scope, PassKind::Variance)) {
      sum = sums->squares;
      count = static_cast<std::int32_t>(sums->count);
    } else {
      count = RunPass(scope, PassKind::Variance, [&](double x) {
        CountClass(x);
        const double d = x - mean;
        sum += d * d;
      });
    }
    if (count > 0) RefreshPercents();
    RequireFinite(sum, "sum of squared deviations", StatFieldName_);
    dsVariance_ = Divide(sum, static_cast<double>(count) - 1.0, "Variance needs at least two values");
    scope.ReleaseDialog();
  }
  VarianceCalculated_ = true;
  scope.RestoreCursor();
  return dsVariance_;
}

// The standalone skewness or kurtosis pass: the sum of raiseTo(x - mean, power) over the values (or the
// part of the sums the source computes), checked finite and divided by count - 1.
double TSumoraStats::DeviationPowerMoment(PassScope& scope, PassKind kind, int power, double DeviationSums::*part,
                                          const char* sumName, const char* tooFewValues) {
  double sum = 0.0;
  const double mean = dsMean_;
  std::int32_t count = 0;
  if (const std::optional<DeviationSums> sums = AggregatePass(scope, kind)) {
    sum = (*sums).*part;
    count = static_cast<std::int32_t>(sums->count);
  } else {
    count = RunPass(scope, kind, [&](double x) { sum += raiseTo(x - mean, power); });
  }
  RequireFinite(sum, sumName, StatFieldName_);
  return Divide(sum, static_cast<double>(count) - 1.0, tooFewValues);
}

double TSumoraStats::GetdsSkew() {
  PassScope scope(*this);
  if (!SkewCalculated_) {
    dsMu3_ = DeviationPowerMoment(scope, PassKind::Skew, 3, &DeviationSums::cubes, "sum of cubed deviations",
                                  "Skewness needs at least two values");
    dsSkew_ = SkewnessOf(dsMu3_, dsVariance_);
    scope.ReleaseDialog();
  }
  SkewCalculated_ = true;
  scope.RestoreCursor();
  return dsSkew_;
}

double TSumoraStats::GetdsKurtosis() {
  PassScope scope(*this);
  if (!KurtosisCalculated_) {
    dsMu4_ = DeviationPowerMoment(scope, PassKind::Kurtosis, 4, &DeviationSums::fourths,
                                  "sum of fourth powers of the deviations", "Kurtosis needs at least two values");
    dsKurtosis_ = KurtosisOf(dsMu4_, dsVariance_);
    scope.ReleaseDialog();
  }
  KurtosisCalculated_ = true;
  scope.RestoreCursor();
  return dsKurtosis_;
}

// --- Frequency classes ----------------------------------------------------------------------------------

void TSumoraStats::GetdsClasses() {
  const int k = FreqClasses_;
  const double range = GetdsRange();
  // The classes span R (k + 1) / k: half a class width below the smallest value and above the largest.
  const double span = range + Divide(range, k, "Frequency classes need at least one class: FreqClasses is 0");
  const double width = span / k;
  ClassStarts_[0] = dsMin_ - span / (2 * k);
  ClassEnds_[0] = width + ClassStarts_[0];
  for (int i = 1; i < k; ++i) {
    ClassStarts_[i] = ClassEnds_[i - 1];
    ClassEnds_[i] = width + ClassStarts_[i];
  }
}

void TSumoraStats::ClearClassCounts() {
  for (int i = 0; i < FreqClasses_; ++i) ClassCounts_[i] = 0;
}

bool TSumoraStats::HasClassSpan() const {
  const int k = FreqClasses_;
  return k > 0 && ClassStarts_[0] < ClassEnds_[k - 1];
}

std::vector<double> TSumoraStats::ClassThresholds() const {
  if (!HasClassSpan()) return {};
  return std::vector<double>(ClassStarts_.begin() + 1, ClassStarts_.begin() + FreqClasses_);
}

// Counts x into its class without touching the percentages. The classes tile their span (each starts
// where the one before ends), so x belongs to the class after as many starts as lie at or below it: a
// value on an edge goes to the class that starts there, one below the first start to the first class,
// one at or beyond the exclusive end of the last class to the last; every value of a positive range is
// counted exactly once. Sources that aggregate count with the same thresholds (ClassThresholds).
void TSumoraStats::CountClass(double x) {
  if (dsDataCount_ == 0) throw EMathError("Class percentages are undefined: no values were loaded");
  if (!HasClassSpan()) {
    const int k = FreqClasses_;
    if (k == 0 || !(dsMax_ > dsMin_)) return;  // all values equal: classes of width 0 hold nothing
    // A range of a few ulps: the class bounds round onto each other, but the values still differ.
    // The class follows from the value's place in the range, as the bounds would give it unrounded.
    const double width = (dsMax_ - dsMin_) * (k + 1) / k / k;
    const double guess = std::floor((x - dsMin_) / width + 0.5);
    const int index = guess < 0 ? 0 : (guess >= k ? k - 1 : static_cast<int>(guess));
    ++ClassCounts_[static_cast<std::size_t>(index)];
    return;
  }
  const double* begin = ClassStarts_.data() + 1;
  const double* end = ClassStarts_.data() + FreqClasses_;
  const auto index = std::upper_bound(begin, end, x) - begin;
  ++ClassCounts_[static_cast<std::size_t>(index)];
}

// Runs only after CountClass placed a value, and CountClass refuses a zero dsDataCount.
void TSumoraStats::RefreshPercents() {
  const int k = FreqClasses_;
  const double total = dsDataCount_;
  ClassCounts_[k] = 0;
  for (int i = 0; i <= k; ++i) {
    ClassPercents_[i] = ClassCounts_[i] / total * 100;
    ClassCumPercents_[i] = i == 0 ? ClassPercents_[0] : ClassPercents_[i] + ClassCumPercents_[i - 1];
    if (i < k) ClassCounts_[k] += ClassCounts_[i];
  }
}

void TSumoraStats::PlaceClass(double x) {
  CountClass(x);
  RefreshPercents();
}

double TSumoraStats::GetdsMode() {
  std::uint32_t best = ClassCounts_[0];
  int modal = 0;
  for (int i = 1; i < FreqClasses_; ++i) {
    if (ClassCounts_[i] > best) {
      best = ClassCounts_[i];
      modal = i;
    }
  }
  dsMode_ = (ClassEnds_[modal] + ClassStarts_[modal]) * 0.5;
  dsModeClass_ = best;
  return dsMode_;
}

double TSumoraStats::GetdsClassStart(int classNo) const {
  return classNo >= 1 && classNo <= MaxFreqClasses ? ClassStarts_[classNo - 1] : 0.0;
}

double TSumoraStats::GetdsClassEnd(int classNo) const {
  return classNo >= 1 && classNo <= MaxFreqClasses ? ClassEnds_[classNo - 1] : 0.0;
}

std::uint32_t TSumoraStats::GetdsClassCount(int classNo) const {
  return classNo >= 1 && classNo <= MaxFreqClasses + 1 ? ClassCounts_[classNo - 1] : 0u;
}

double TSumoraStats::GetdsClassPercent(int classNo) const {
  return classNo >= 1 && classNo <= MaxFreqClasses + 1 ? ClassPercents_[classNo - 1] : 0.0;
}

double TSumoraStats::GetdsClassCumPercent(int classNo) const {
  return classNo >= 1 && classNo <= MaxFreqClasses + 1 ? ClassCumPercents_[classNo - 1] : 0.0;
}

// --- Median and stored values -------------------------------------------------------------------------

double TSumoraStats::GetdsMedian() {
  if (!MedianCalculated_) {
    if (GetdsDataCount() > MaxStoredValues) {
      MessageDlg("Median is calculated based on\n\ronly the first " + std::to_string(MaxStoredValues) + " records.",
                 TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    }
    const auto stored = static_cast<std::int32_t>(std::trunc(min(GetdsDataCount(), MaxStoredValues)));
    sortDataset(Store(Values_), Store(SortedValues_), stored);
    const std::int32_t half = stored / 2;
    const TValueArray& sorted = *SortedValues_;
    dsMedian_ = even(stored) ? (sorted[half] + sorted[half + 1]) * 0.5 : sorted[half + 1];
  }
  MedianCalculated_ = true;
  return dsMedian_;
}

double TSumoraStats::GetdsValue(int recordNo) {
  if (recordNo >= 1 && recordNo <= MaxStoredValues) return Values_ != nullptr ? (*Values_)[recordNo] : 0.0;
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
