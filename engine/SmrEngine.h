// The statistics engine shared by TSumoraQuery and TSumoraTable: descriptive statistics of one
// numeric field (StatFieldName) over every record of the component's own dataset. Results are
// computed on first demand by the Getds... getters and cached behind flags until Initialize; Summarize
// computes everything in a fixed order. All values are divided by ScaleBy before any use.
//
// Windows read a component only through the read interface below and take it as TSumoraStats&.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataset/AggregatingSource.h"
#include "engine/FieldStatistics.h"

#include "host/Classes.h"
#include "host/Services.h"
#include "toolkit/SmrTools.h"

namespace sumora {

class TDataSet;
class TField;
class PassScope;
class SharedWindowPair;
class RadixSelect;
class QuantileState;

class TSumoraStats {
 public:
  virtual ~TSumoraStats();
  TSumoraStats(const TSumoraStats&) = delete;
  TSumoraStats& operator=(const TSumoraStats&) = delete;

  // --- Published properties ------------------------------------------------------------------
  const std::string& StatFieldName() const { return StatFieldName_; }
  void SetStatFieldName(std::string name) { StatFieldName_ = std::move(name); }
  double ScaleBy() const { return ScaleBy_; }
  // |value| < 0.0001 (or not finite) is refused with an error box "Cannot Scale by 0."; ScaleBy becomes 1.0.
  void SetdsScaleFactor(double value);
  std::uint16_t FreqClasses() const { return FreqClasses_; }
  // Stores min(value, 100); 0 is accepted.
  void SetdsFreqClasses(std::uint16_t value);
  std::uint16_t RecordPlotCount() const { return RecordPlotCount_; }
  // Stores min(value, 10000).
  void SetdsMaxPlotCount(std::uint16_t value);
  TBoolPlus ShowCalcProgress() const { return ShowCalcProgress_; }
  void SetShowCalcProgress(TBoolPlus value) { ShowCalcProgress_ = value; }

  // --- Settings that are not published properties ----------------------------------------------------
  // Server-side mode: when the data source can aggregate the field (a PostgreSQL source), the passes send
  // their sums to be computed where the data lives and read only the first MaxStoredValues values; other
  // sources ignore it and every pass reads the records. Off by default.
  bool ServerSide() const { return ServerSide_; }
  void SetServerSide(bool value) { ServerSide_ = value; }

  // --- Operations --------------------------------------------------------------------------------
  // Refreshes NumericFields and marks every result as not current.
  void Initialize();
  // Computes every statistic in the fixed order: loading pass, median, combined moment pass, mode.
  // A field without a single non-null value raises ENoValues "Field 'NAME' has no values" right after
  // the loading pass.
  void Summarize();
  // Refreshes and returns the names of the dataset's numeric fields (opening and closing it again
  // when it was closed); warns "Please check the table name." when it cannot be opened.
  const TStrings& GetNumericFields();
  // The loading pass; runs only through GetdsLoaded.
  bool LoadDataSet();
  // The combined pass: variance, third and fourth moments, skewness, kurtosis and class counts.
  void CalculateMoments();
  // Recomputes the class bounds from dsMin, dsMax and FreqClasses (raises EMathError for 0 classes).
  void GetdsClasses();
  void ClearClassCounts();
  // Counts one scaled value into its class and refreshes every percentage.
  void PlaceClass(double x);
  // Opens the class frequency window / the plot window of this component's class on this component.
  // Raise ENotAvailable when no window library is registered.
  void FrequencyDisplay();
  void SummaryChart();

  // --- Read interface ----------------------------------------------------------------------------
  bool GetdsLoaded();
  std::int32_t GetdsDataCount();  // -1 when fewer than two values
  double GetdsTotal();
  double GetdsMean();
  double dsMin() const { return s_.Min(); }
  double dsMax() const { return s_.Max(); }
  double GetdsRange();
  double GetdsMedian();
  double GetdsVariance();
  double GetdsStdDev();
  double GetdsSkew();
  std::string GetdsSkewSign() const;  // "(-)", "(+)" or "(0)" from dsMu3
  double GetdsKurtosis();
  double GetdsMu3() const { return s_.Mu3(); }
  double GetdsMu4() const { return s_.Mu4(); }
  double GetdsCoeffVariation();
  double GetdsMode();
  std::uint32_t GetdsModeClass() const { return s_.ModeClass(); }
  // Class slots; a slot outside the classes laid out (1..k for bounds, 1..k+1 otherwise) reads as 0.
  double GetdsClassStart(int classNo) const;
  double GetdsClassEnd(int classNo) const;
  std::uint32_t GetdsClassCount(int classNo) const;
  double GetdsClassPercent(int classNo) const;
  double GetdsClassCumPercent(int classNo) const;
  // Exact quantiles of every non-null scaled value (not only the stored ones): the linear
  // interpolation between order statistics of R's type 7, NumPy's and pandas' default, so p = 0.5 is
  // the median of all values. Computed on demand after the loading pass by passes over the data in
  // bounded memory (engine/Quantiles.cpp), each with its progress dialog; what the passes found is
  // kept until Initialize, so asking again costs no pass. Raise EMathError for p outside 0..1 and
  // for a field without values.
  double GetdsQuantile(double p);
  std::vector<double> GetdsQuantiles(const std::vector<double>& probabilities);
  // The loading and combined moment passes of the following summaries also take the quantile
  // selection's passes for these probabilities (an empty list stops it), so that GetdsQuantiles for
  // them after a summary typically needs no pass of its own; what the selection keeps (about 1.5 MB
  // of histogram) is held until Initialize. Raises EMathError for a probability outside 0..1.
  void PrepareQuantiles(std::vector<double> probabilities);
  const std::vector<double>& PreparedQuantiles() const;
  // Passes the quantile selection has taken since Initialize, the one a moment pass took included.
  int QuantilePasses() const;
  // Stored value `recordNo` (1..10000). 10001 warns "Records above # 10000 not stored." and gives 0;
  // 0 and higher numbers give 0 silently.
  double GetdsValue(int recordNo);

  // Fields as they stand, without computing (for windows and tests).
  double dsMeanValue() const { return s_.Mean(); }
  double dsVarianceValue() const { return s_.Variance(); }
  double dsSkewValue() const { return s_.Skew(); }
  double dsKurtosisValue() const { return s_.Kurtosis(); }
  double dsCoeffVariationValue() const { return s_.CoeffVariation(); }
  std::int32_t dsDataCountValue() const { return dsDataCount_; }
  bool dsLoadedFlag() const { return dsLoaded_; }
  bool MedianCalculated() const { return MedianCalculated_; }
  bool VarianceCalculated() const { return VarianceCalculated_; }
  bool SkewCalculated() const { return SkewCalculated_; }
  bool KurtosisCalculated() const { return KurtosisCalculated_; }
  bool ProgressWanted() const { return ProgressWanted_; }
  const TStrings& NumericFields() const { return NumericFields_; }
  // The field's statistics as they stand, for readers that print them (the same object a whole-table
  // summary keeps per field).
  const FieldStatistics& Statistics() const { return s_; }

  // --- Variant points ------------------------------------------------------------------------------
  // The dataset this engine reads (the component itself).
  virtual TDataSet& StatDataSet() = 0;
  // The text naming the data source in progress captions, the class window and plot titles.
  virtual std::string SourceName() const = 0;
  // The summary window's dataset line ("Dataset Query: ..." or "Table: ...").
  virtual std::string DatasetLine() const = 0;
  // The component's Name.
  virtual const std::string& ComponentName() const = 0;
  virtual std::string ComponentClassName() const = 0;
  // "Summary of " + source name + " " + StatFieldName.
  std::string ProgressCaption() const;

 protected:
  // `windowClassKey` names the component class whose shared windows this engine uses.
  explicit TSumoraStats(const char* windowClassKey);

 private:
  // Copies the published settings into the statistics before a pass.
  void ApplySettings();
  enum class PassKind { Loading, Moments, Variance, Skew, Kurtosis };
  template <typename Visit>
  std::int32_t RunPass(PassScope& scope, PassKind kind, Visit&& visit);
  template <typename Visit>
  std::int32_t RunPass(PassScope& scope, const std::string& message, Visit&& visit);
  [[noreturn]] void ThrowCountChanged(std::int32_t passCount);
  void RunQuantilePass(RadixSelect& select, const std::string& message);
  bool CountQuantilePass(PassScope& scope, RadixSelect& select, const std::string& message);
  AggregatingSource* Aggregator(TDataSet& dataSet);
  std::int64_t LoadByReading(PassScope& scope, TField& field);
  bool LoadByAggregates(PassScope& scope, AggregatingSource& aggregation, TField& field);
  std::optional<DeviationSums> AggregatePass(PassScope& scope, PassKind kind);
  double DeviationPowerMoment(PassScope& scope, PassKind kind, int power, double DeviationSums::*part,
                              const char* sumName, const char* tooFewValues);
  std::vector<const TField*> PassFields();
  bool ShowDialog() const;
  SharedWindowPair& Windows();

  // The statistics of the field: sums, class table, stored values and results.
  FieldStatistics s_;
  double dsRange_ = 0.0;
  double dsStdDev_ = 0.0;
  double ScaleBy_ = 1.0;
  std::int32_t dsDataCount_ = 0;
  std::string StatFieldName_;
  bool dsLoaded_ = false;
  bool MedianCalculated_ = false;
  bool VarianceCalculated_ = false;
  bool SkewCalculated_ = false;
  bool KurtosisCalculated_ = false;
  bool ProgressWanted_ = false;
  bool ServerSide_ = false;
  TBoolPlus ShowCalcProgress_ = TBoolPlus::Prompt;
  std::uint16_t FreqClasses_ = 10;
  std::uint16_t RecordPlotCount_ = 500;
  TStringList NumericFields_;
  std::unique_ptr<QuantileState> quantiles_;

  std::shared_ptr<SharedWindowPair> windows_;
};

}  // namespace sumora
