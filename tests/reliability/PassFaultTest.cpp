// Passes cut short by their data source: a source that raises after a number of records, or whose
// record count changes while a pass reads it. Whatever pass fails, the controls are enabled again, the
// progress dialog is gone, the cursor is the default one, the flags are as they were before the failing
// step, and the next Summarize gives what a source that never failed gives.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "dataset/MemorySource.h"
#include "tests/support/FaultySource.h"
#include "tests/support/ScriptedHost.h"

namespace sumora::test {
namespace {

const std::vector<std::optional<double>> kValues = {4, std::nullopt, 1, 9, 2, 7, std::nullopt, 3, 8, 5};

struct Snapshot {
  bool loaded, median, variance, skew, kurtosis;
  bool operator==(const Snapshot&) const = default;
};

Snapshot FlagsOf(const TSumoraStats& stats) {
  return {stats.dsLoadedFlag(), stats.MedianCalculated(), stats.VarianceCalculated(), stats.SkewCalculated(),
          stats.KurtosisCalculated()};
}

// A scripted host that arms a fault when a given message box comes up, so a fault can strike between
// two passes of one Summarize (the median's warning comes between the loading and the combined pass).
class ArmingHost : public ScriptedHost {
 public:
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override {
    if (faults != nullptr && text.rfind(armOn, 0) == 0) faults->failAfterRecords = armWith;
    return ScriptedHost::MessageDlg(text, type, buttons);
  }
  Faults* faults = nullptr;
  std::string armOn;
  int armWith = 0;
};

class PassFaultTest : public ::testing::TestWithParam<TBoolPlus> {
 protected:
  // Binds the component to a faulty source and its twin to a clean one, both over `values`.
  void Bind(const std::vector<std::optional<double>>& values = kValues) {
    faulty_ = std::make_unique<FaultyDatabase>("reliability-faulty", MemoryTable::SingleColumn("V", values));
    clean_ = std::make_unique<FaultyDatabase>("reliability-clean", MemoryTable::SingleColumn("V", values));
    for (auto* table : {&table_, &twin_}) {
      table->SetTableName("T");
      table->SetStatFieldName("V");
      table->SetShowCalcProgress(GetParam());
      table->SetdsFreqClasses(4);
    }
    table_.SetDatabaseName(faulty_->DatabaseName());
    twin_.SetDatabaseName(clean_->DatabaseName());
    table_.Open();
    twin_.Open();
    twin_.Summarize();
  }
  Faults& faults() { return faulty_->faults(); }

  // What every failed pass must leave behind, whichever pass it was.
  void ExpectCleanedUp(const Snapshot& flagsBefore) {
    EXPECT_FALSE(table_.ControlsDisabled());
    EXPECT_EQ(host_.DialogsLive(), 0);
    EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
    EXPECT_EQ(FlagsOf(table_), flagsBefore);
  }

  // Every statistic and class of the component equals the clean twin's.
  void ExpectSameAsTwin() {
    EXPECT_EQ(table_.GetdsDataCount(), twin_.GetdsDataCount());
    EXPECT_EQ(table_.GetdsMean(), twin_.GetdsMean());
    EXPECT_EQ(table_.GetdsMedian(), twin_.GetdsMedian());
    EXPECT_EQ(table_.GetdsVariance(), twin_.GetdsVariance());
    EXPECT_EQ(table_.GetdsSkew(), twin_.GetdsSkew());
    EXPECT_EQ(table_.GetdsKurtosis(), twin_.GetdsKurtosis());
    EXPECT_EQ(table_.GetdsMode(), twin_.GetdsMode());
    for (int k = 1; k <= 5; ++k) {
      EXPECT_EQ(table_.GetdsClassCount(k), twin_.GetdsClassCount(k)) << "class " << k;
      EXPECT_EQ(table_.GetdsClassCumPercent(k), twin_.GetdsClassCumPercent(k)) << "class " << k;
    }
  }

  ArmingHost host_;
  std::unique_ptr<FaultyDatabase> faulty_;
  std::unique_ptr<FaultyDatabase> clean_;
  TSumoraTable table_;
  TSumoraTable twin_;
};

INSTANTIATE_TEST_SUITE_P(ShowingRules, PassFaultTest, ::testing::Values(TBoolPlus::Always, TBoolPlus::Never),
                         [](const auto& info) { return info.param == TBoolPlus::Always ? "Always" : "Never"; });

// The single-purpose passes run only on a component whose combined pass has not run since the last
// Initialize; each one fails at every record it could fail at.
TEST_P(PassFaultTest, EachSinglePurposePassFailingAtAnyRecordLeavesItsFlagFalse) {
  Bind();
  struct PassCase {
    const char* name;
    std::function<double(TSumoraStats&)> run;
    std::function<void(TSumoraStats&)> prepare;  // what must be current before the pass
  };
  const PassCase passes[] = {
      {"variance", [](TSumoraStats& s) { return s.GetdsVariance(); }, [](TSumoraStats&) {}},
      {"skew", [](TSumoraStats& s) { return s.GetdsSkew(); }, [](TSumoraStats& s) { s.GetdsVariance(); }},
      {"kurtosis", [](TSumoraStats& s) { return s.GetdsKurtosis(); }, [](TSumoraStats& s) { s.GetdsVariance(); }},
  };
  for (const PassCase& pass : passes) {
    for (int failAfter = 1; failAfter <= static_cast<int>(kValues.size()); ++failAfter) {
      SCOPED_TRACE(std::string(pass.name) + " failing after record " + std::to_string(failAfter));
      faults().failAfterRecords = 0;
      table_.Initialize();
      table_.GetdsMean();
      pass.prepare(table_);
      const Snapshot before = FlagsOf(table_);
      const double mean = table_.dsMeanValue();
      const double variance = table_.dsVarianceValue();

      faults().failAfterRecords = failAfter;
      EXPECT_THROW(pass.run(table_), EDatabaseError);
      ExpectCleanedUp(before);
      EXPECT_EQ(table_.dsMeanValue(), mean);
      if (std::string(pass.name) != "variance") {
        EXPECT_EQ(table_.dsVarianceValue(), variance);
      }

      faults().failAfterRecords = 0;
      EXPECT_EQ(pass.run(table_), pass.run(twin_));
    }
  }
  table_.Summarize();
  ExpectSameAsTwin();
}

// A failure in Summarize's loading pass, after an earlier Summarize had every result current. Every
// scan rewinds the source, so a fault armed before Summarize strikes in the loading pass or never.
TEST_P(PassFaultTest, ASummarizeFailingAtAnyRecordIsFollowedByACorrectOne) {
  Bind();
  const int records = static_cast<int>(kValues.size());
  for (int failAfter = 1; failAfter <= records + 1; ++failAfter) {
    SCOPED_TRACE("failing after record " + std::to_string(failAfter));
    table_.Summarize();
    faults().failAfterRecords = failAfter;
    if (failAfter <= records) {
      EXPECT_THROW(table_.Summarize(), EDatabaseError);
      // Initialize ran before the failing step; the loading pass never sets dsLoaded on failure.
      ExpectCleanedUp({false, false, false, false, false});
    } else {
      table_.Summarize();
    }
    faults().failAfterRecords = 0;
    table_.Summarize();
    ExpectSameAsTwin();
  }
}

// The combined pass failing inside Summarize: the loading results and the median stay current, the
// moment flags stay false, and nothing of the failed pass shows in the next Summarize.
TEST_P(PassFaultTest, ACombinedPassFailingInsideSummarizeKeepsTheLoadingResults) {
  std::vector<std::optional<double>> values;
  for (int i = 0; i < 10050; ++i) values.push_back((i * 7919) % 1000 + (i % 10 == 0 ? 5000 : 0));
  Bind(values);
  host_.faults = &faults();
  host_.armOn = "Median is calculated";
  for (int failAfter : {1, 5000, 10050}) {
    SCOPED_TRACE("failing after record " + std::to_string(failAfter));
    host_.armWith = failAfter;
    EXPECT_THROW(table_.Summarize(), EDatabaseError);
    ExpectCleanedUp({true, true, false, false, false});
    EXPECT_EQ(table_.dsMeanValue(), twin_.dsMeanValue());
    host_.armWith = 0;
    faults().failAfterRecords = 0;
    table_.Summarize();
    ExpectSameAsTwin();
  }
}

// A quantile pass of its own, or a prepared Summarize whose loading pass carries the quantile
// selection, failing at any record: the next request gives the clean twin's quantiles.
TEST_P(PassFaultTest, AQuantilePassFailingAtAnyRecordIsFollowedByCorrectQuantiles) {
  Bind();
  const std::vector<double> ps = {0.1, 0.5, 0.75};
  const std::vector<double> expected = twin_.GetdsQuantiles(ps);
  for (bool prepared : {false, true}) {
    table_.PrepareQuantiles(prepared ? ps : std::vector<double>{});
    for (int failAfter = 1; failAfter <= static_cast<int>(kValues.size()); ++failAfter) {
      SCOPED_TRACE((prepared ? "prepared, failing after record " : "failing after record ") +
                   std::to_string(failAfter));
      faults().failAfterRecords = 0;
      table_.Initialize();
      table_.GetdsMean();
      const Snapshot before = FlagsOf(table_);
      faults().failAfterRecords = failAfter;
      if (prepared) {
        EXPECT_THROW(table_.Summarize(), EDatabaseError);
        ExpectCleanedUp({false, false, false, false, false});
      } else {
        EXPECT_THROW(table_.GetdsQuantiles(ps), EDatabaseError);
        ExpectCleanedUp(before);
      }
      faults().failAfterRecords = 0;
      EXPECT_EQ(table_.GetdsQuantiles(ps), expected);
    }
  }
}

TEST_P(PassFaultTest, ARecordCountThatShrinksToNothingDuringThePassesLeavesTheResultsAlone) {
  Bind();
  // After the first call the source claims no records, then fewer than none.
  for (int drift : {-static_cast<int>(kValues.size()), -1000}) {
    faults().recordCountDrift = drift;
    table_.Summarize();
    table_.Initialize();
    table_.GetdsMean();
    table_.GetdsVariance();
    table_.GetdsSkew();
    table_.GetdsKurtosis();
    ExpectCleanedUp({true, false, true, true, true});
    ExpectSameAsTwin();
  }
}

}  // namespace
}  // namespace sumora::test
