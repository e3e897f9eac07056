#include "engine/FieldStatistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "host/Errors.h"
#include "host/MessageText.h"
#include "toolkit/SmrTools.h"

namespace sumora {

namespace {

// Every division by a divisor that may be zero goes through here, so the caller learns what failed
// instead of reading an infinity or a NaN.
double Divide(double numerator, double divisor, const char* whatFailed) {
  if (divisor == 0.0) throw EMathError(whatFailed);
  return numerator / divisor;
}

}  // namespace

std::string SkewSignOf(double mu3) {
  switch (sgn(mu3)) {
    case -1: return "(-)";
    case 1: return "(+)";
    default: return "(0)";
  }
}

static_assert(MaxStoredValues == 10000, "the store's capacity follows the component's");

// Powers of deviations overflow long before the values do (a deviation near 1e77 already has an
// infinite fourth power), so the moment sums and the powers of the variance are checked before they
// are divided; a result of inf or nan would otherwise be shown as if it were a statistic.
void FieldStatistics::RequireFinite(double value, const char* what) const {
  if (!std::isfinite(value)) {
    throw EMathError(std::string("The ") + what + " of " + ShownText(fieldName) +
                     " overflows the range of a double; scale the values down with ScaleBy");
  }
}

// --- Loading pass ----------------------------------------------------------------------------------

void FieldStatistics::BeginLoading() {
  computed_ = 0;
  count_ = 0;
  total_ = 0.0;
  min_ = 0.0;
  max_ = 0.0;
  mean_ = 0.0;
  stored_.clear();
  totalsFromSource_ = false;
}

void FieldStatistics::SetLoadingTotals(const ValueTotals& totals) {
  count_ = totals.count;
  total_ = totals.count > 0 ? totals.total : 0.0;
  min_ = totals.count > 0 ? totals.min : 0.0;
  max_ = totals.count > 0 ? totals.max : 0.0;
  totalsFromSource_ = true;
}

bool FieldStatistics::EndLoading() {
  if (count_ > std::numeric_limits<std::int32_t>::max()) {
    throw EMathError("The field holds more than 2147483647 values, more than one summary can count");
  }
  RequireFinite(total_, "total");
  LayOutClasses();
  const bool loaded = count_ > 1;
  // Below two values the mean stays 0, as the component has always left it.
  mean_ = loaded ? total_ / static_cast<double>(static_cast<std::int32_t>(count_)) : 0.0;
  if (loaded) computed_ |= kLoaded;
  return loaded;
}

void FieldStatistics::RequireValues() const {
  if (count_ == 0) throw ENoValues("Field '" + ShownText(fieldName) + "' has no values");
}

// --- Median ------------------------------------------------------------------------------------------

// Equal values other than zeros are the same double, so any correct selection finds the middle values the
// toolkit's sort puts there; it costs a few passes over the store where the sort may cost n^2 (stores
// already in order). A zero in the middle keeps the sort: which of -0 and 0 lands there is the sort's.
bool FieldStatistics::SelectMiddle(std::int32_t n) {
  if (n < 1 || stored_.size() < static_cast<std::size_t>(n)) return false;
  static thread_local std::vector<double> values;
  values.assign(stored_.begin(), stored_.begin() + n);
  const auto half = static_cast<std::ptrdiff_t>(n / 2);
  std::nth_element(values.begin(), values.begin() + half, values.end());
  const double upper = values[static_cast<std::size_t>(half)];
  const double lower = half > 0 ? *std::max_element(values.begin(), values.begin() + half) : upper;
  if (lower == 0.0 || upper == 0.0) return false;
  middle_ = {lower, upper};
  return true;
}

void FieldStatistics::ComputeMedian(std::int32_t dataCount) {
  // Where selection cannot tell, the toolkit's own sort decides the order (negative zeros included),
  // over a store laid out as the component's: slots from 1. Only this field's slots are copied and
  // sorted (a summary of many groups takes many medians); the slots past them are never read.
  const auto n = static_cast<std::int32_t>(std::trunc(min(dataCount, MaxStoredValues)));
  const std::int32_t half = n / 2;
  if (!hasMiddle_ && !SelectMiddle(n)) {
    static thread_local TValueArray sorted;
    const std::size_t filled = std::min(stored_.size(), static_cast<std::size_t>(MaxStoredValues));
    for (std::size_t i = 0; i < filled; ++i) sorted[static_cast<int>(i) + 1] = stored_[i];
    quickSort(sorted, 1, std::clamp(n, 0, MaxStoredValues));
    // Slot half is read for an even count only (slots start at 1).
    middle_ = {half >= 1 ? sorted[half] : sorted[half + 1], sorted[half + 1]};
  }
  median_ = even(n) ? (middle_.lower + middle_.upper) * 0.5 : middle_.upper;
  computed_ |= kMedian;
}

// --- Moment pass ---------------------------------------------------------------------------------------

void FieldStatistics::BeginMoments(double mean) {
  ClearClassCounts();
  momentMean_ = mean;
  s2_ = s3_ = s4_ = 0.0;
  passTotal_ = 0.0;
  passCount_ = 0;
  changed_ = false;
  sumsFromSource_ = false;
  computed_ &= ~(kClassCounts | kVariance | kSkew | kKurtosis | kMode | kCoeffVariation);
}

void FieldStatistics::SetMomentSums(const DeviationSums& sums) {
  s2_ = sums.squares;
  s3_ = sums.cubes;
  s4_ = sums.fourths;
  passCount_ = sums.count;
  sumsFromSource_ = true;
  if (HasClassSpan()) AddClassCounts(sums.classCounts);
}

bool FieldStatistics::MomentPassSawOtherData() const {
  if (passCount_ != count_) return true;
  if (sumsFromSource_) return false;
  return changed_ || (!totalsFromSource_ && passTotal_ != total_);
}

std::string FieldStatistics::CountChangedDetail(const std::string& name, std::int64_t loaded, std::int64_t later) {
  return "the loading pass read " + std::to_string(loaded) + " values of " + ShownText(name) + ", a later pass " +
         std::to_string(later);
}

std::string FieldStatistics::OtherDataDetail() const {
  if (passCount_ != count_) return CountChangedDetail(fieldName, count_, passCount_);
  return "the values of " + ShownText(fieldName) + " read by a later pass differ from those the loading pass read";
}

void FieldStatistics::EndMoments() {
  // The percentages follow the counts of the whole pass; a pass that placed no value leaves them as
  // they were.
  if (passCount_ > 0) RefreshPercents();
  computed_ |= kClassCounts;
  RequireFinite(s2_, "sum of squared deviations");
  RequireFinite(s3_, "sum of cubed deviations");
  RequireFinite(s4_, "sum of fourth powers of the deviations");
  const double divisor = static_cast<double>(static_cast<std::int32_t>(passCount_)) - 1.0;
  variance_ = Divide(s2_, divisor, "Variance needs at least two values");
  mu3_ = Divide(s3_, divisor, "Variance needs at least two values");
  mu4_ = Divide(s4_, divisor, "Variance needs at least two values");
  computed_ |= kVariance;
  skew_ = SkewnessOf(mu3_, variance_);
  computed_ |= kSkew;
  kurtosis_ = KurtosisOf(mu4_, variance_);
  computed_ |= kKurtosis;
}

// Skewness mu3^2 / variance^3 and kurtosis mu4 / variance^2. The powers of the variance can overflow
// where the sums did not (a variance above about 5.6e102 has an infinite cube); the quotient would
// then read 0 or nan.
double FieldStatistics::SkewnessOf(double mu3, double variance) const {
  const double numerator = raiseTo(mu3, 2);
  const double denominator = raiseTo(variance, 3);
  RequireFinite(numerator, "squared third moment");
  RequireFinite(denominator, "cubed variance");
  return Divide(numerator, denominator, "Skewness is undefined: the variance is zero");
}

double FieldStatistics::MomentOf(double sum, std::int32_t count, const char* sumName, const char* tooFewValues) const {
  RequireFinite(sum, sumName);
  return Divide(sum, static_cast<double>(count) - 1.0, tooFewValues);
}

double FieldStatistics::KurtosisOf(double mu4, double variance) const {
  const double denominator = variance * variance;
  RequireFinite(denominator, "squared variance");
  return Divide(mu4, denominator, "Kurtosis is undefined: the variance is zero");
}

// --- Finishing -------------------------------------------------------------------------------------------

void FieldStatistics::ComputeMode() {
  const std::size_t k = classStarts_.size();
  if (k == 0) return;
  std::uint32_t best = classCounts_[0];
  std::size_t modal = 0;
  for (std::size_t i = 1; i < k; ++i) {
    if (classCounts_[i] > best) {
      best = classCounts_[i];
      modal = i;
    }
  }
  mode_ = (classEnds_[modal] + classStarts_[modal]) * 0.5;
  modeClass_ = best;
  computed_ |= kMode;
}

void FieldStatistics::ComputeCoeffVariation() {
  coeffVariation_ =
      Divide(std::sqrt(variance_), mean_, "Coefficient of variation is undefined: the mean is zero") * 100;
  computed_ |= kCoeffVariation;
}

// --- Classes --------------------------------------------------------------------------------------------

void FieldStatistics::LayOutClasses() {
  const int k = freqClasses;
  const double range = max_ - min_;
  // The classes span R (k + 1) / k: half a class width below the smallest value and above the largest.
  const double span = range + Divide(range, k, "Frequency classes need at least one class: FreqClasses is 0");
  const double width = span / k;
  classStarts_.assign(static_cast<std::size_t>(k), 0.0);
  classEnds_.assign(static_cast<std::size_t>(k), 0.0);
  classCounts_.assign(static_cast<std::size_t>(k) + 1, 0);
  classPercents_.assign(static_cast<std::size_t>(k) + 1, 0.0);
  classCumPercents_.assign(static_cast<std::size_t>(k) + 1, 0.0);
  classStarts_[0] = min_ - span / (2 * k);
  classEnds_[0] = width + classStarts_[0];
  for (std::size_t i = 1; i < classStarts_.size(); ++i) {
    classStarts_[i] = classEnds_[i - 1];
    classEnds_[i] = width + classStarts_[i];
  }
  if (HasClassSpan()) placePerWidth_ = 1.0 / (classEnds_[0] - classStarts_[0]);
}

void FieldStatistics::ClearClassCounts() {
  for (std::size_t i = 0; i < classStarts_.size(); ++i) classCounts_[i] = 0;
}

std::vector<double> FieldStatistics::ClassThresholds() const {
  if (!HasClassSpan()) return {};
  return std::vector<double>(classStarts_.begin() + 1, classStarts_.end());
}

void FieldStatistics::AddClassCounts(const std::vector<std::int64_t>& counts) {
  for (std::size_t i = 0; i < counts.size() && i < classStarts_.size(); ++i) {
    classCounts_[i] += static_cast<std::uint32_t>(counts[i]);
  }
}

// The classes tile their span (each starts where the one before ends), so x belongs to the class after
// as many starts as lie at or below it: a value on an edge goes to the class that starts there, one below
// the first start to the first class, one at or beyond the exclusive end of the last class to the last;
// every value of a positive range is counted exactly once. Sources that aggregate count with the same
// thresholds (ClassThresholds).
void FieldStatistics::CountClassChecked(double x) {
  if (count_ == 0) throw EMathError("Class percentages are undefined: no values were loaded");
  const std::size_t k = classStarts_.size();
  if (!HasClassSpan()) {
    if (k == 0 || !(max_ > min_)) return;  // all values equal: classes of width 0 hold nothing
    // A range of a few ulps: the class bounds round onto each other, but the values still differ.
    // The class follows from the value's place in the range, as the bounds would give it unrounded.
    const auto kk = static_cast<double>(k);
    const double width = (max_ - min_) * (kk + 1) / kk / kk;
    const double guess = std::floor((x - min_) / width + 0.5);
    const std::size_t index = guess < 0 ? 0 : (guess >= kk ? k - 1 : static_cast<std::size_t>(guess));
    ++classCounts_[index];
    return;
  }
  CountClassInSpan(x);
}

// Runs only after CountClass placed a value, and CountClass refuses a field without values.
void FieldStatistics::RefreshPercents() {
  const std::size_t k = classStarts_.size();
  const auto total = static_cast<double>(static_cast<std::int32_t>(count_));
  classCounts_[k] = 0;
  for (std::size_t i = 0; i <= k; ++i) {
    classPercents_[i] = classCounts_[i] / total * 100;
    classCumPercents_[i] = i == 0 ? classPercents_[0] : classPercents_[i] + classCumPercents_[i - 1];
    if (i < k) classCounts_[k] += classCounts_[i];
  }
}

namespace {
template <typename T>
T Slot(const std::vector<T>& slots, int classNo) {
  return classNo >= 1 && static_cast<std::size_t>(classNo) <= slots.size() ? slots[static_cast<std::size_t>(classNo) - 1]
                                                                            : T{};
}
}  // namespace

double FieldStatistics::ClassStart(int classNo) const { return Slot(classStarts_, classNo); }
double FieldStatistics::ClassEnd(int classNo) const { return Slot(classEnds_, classNo); }
std::uint32_t FieldStatistics::ClassCount(int classNo) const { return Slot(classCounts_, classNo); }
double FieldStatistics::ClassPercent(int classNo) const { return Slot(classPercents_, classNo); }
double FieldStatistics::ClassCumPercent(int classNo) const { return Slot(classCumPercents_, classNo); }

}  // namespace sumora
