// The loading pass: counting, summing, extremes, the value store, the progress decision and the calls
// the progress dialog and the cursor receive.
#include "tests/engine/EngineFixture.h"

#include "host/Errors.h"

namespace sumora::test {
namespace {

TEST_F(EngineTest, NullsAreSkippedEverywhereAndLeadingNullsDoNotSeedTheExtremes) {
  auto table = TableOver({std::nullopt, std::nullopt, 7, std::nullopt, 3, 9, std::nullopt});
  EXPECT_EQ(table->GetdsDataCount(), 3);
  EXPECT_DOUBLE_EQ(table->GetdsTotal(), 19.0);
  EXPECT_DOUBLE_EQ(table->dsMin(), 3.0);
  EXPECT_DOUBLE_EQ(table->dsMax(), 9.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(1), 7.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(2), 3.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(3), 9.0);
}

TEST_F(EngineTest, NegativeValuesSeedTheExtremesFromTheFirstValue) {
  auto table = TableOver({-5, -7, -2});
  EXPECT_DOUBLE_EQ(table->GetdsMean(), -14.0 / 3);
  EXPECT_DOUBLE_EQ(table->dsMin(), -7.0);
  EXPECT_DOUBLE_EQ(table->dsMax(), -2.0);
}

TEST_F(EngineTest, AnEmptyOrAllNullFieldEndsUnloadedWithoutLooping) {
  for (const Values& values : {Values{}, Values{std::nullopt, std::nullopt}}) {
    auto table = TableOver(values);
    EXPECT_FALSE(table->GetdsLoaded());
    EXPECT_EQ(table->dsDataCountValue(), 0);
    EXPECT_EQ(table->GetdsDataCount(), -1);
    EXPECT_EQ(table->dsMin(), 0.0);
    EXPECT_EQ(table->dsMax(), 0.0);
    EXPECT_EQ(table->GetdsTotal(), 0.0);
    EXPECT_EQ(table->GetdsMean(), 0.0);
  }
}

TEST_F(EngineTest, ASingleValueLeavesTheComponentUnloadedAndEveryGetterLoadsAgain) {
  auto table = TableOver({42});
  host.progressCalls.clear();
  EXPECT_EQ(table->GetdsDataCount(), -1);
  EXPECT_EQ(table->dsDataCountValue(), 1);
  EXPECT_EQ(table->GetdsTotal(), 0.0);
  EXPECT_EQ(table->GetdsMean(), 0.0);
  // Each of the three getters ran the whole pass (GetdsMean twice: its own test and nothing more).
  EXPECT_EQ(host.DialogsCreated(), 3);
}

TEST_F(EngineTest, TwelveThousandValuesAreAllCountedButOnlyTheFirstTenThousandStored) {
  Values values = Sequence(12000);
  auto table = TableOver(values);
  EXPECT_EQ(table->GetdsDataCount(), 12000);
  EXPECT_DOUBLE_EQ(table->GetdsTotal(), 12000.0 * 12001.0 / 2.0);
  EXPECT_DOUBLE_EQ(table->dsMax(), 12000.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(1), 1.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(10000), 10000.0);
}

TEST_F(EngineTest, ScaleByDividesEveryValueBeforeUse) {
  auto table = TableOver({2500, 500});
  table->SetdsScaleFactor(1000);
  EXPECT_DOUBLE_EQ(table->GetdsTotal(), 3.0);
  EXPECT_DOUBLE_EQ(table->GetdsValue(1), 2.5);
  EXPECT_DOUBLE_EQ(table->dsMin(), 0.5);
}

TEST_F(EngineTest, PromptAsksOnlyAboveOneThousandRecordsAndTheMomentPassesReuseTheAnswer) {
  auto small = TableOver(Sequence(1000), TBoolPlus::Prompt);
  small->Summarize();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.DialogsShown(), 0);

  auto large = TableOver(Sequence(1001), TBoolPlus::Prompt);
  host.AnswerNext(TModalResult::mrYes);
  large->Summarize();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Large dataset. Show progress\n\r during loading or calculating.");
  EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtConfirmation);
  EXPECT_EQ(host.messages[0].buttons, TMsgDlgButtons::mbYesNo);
  EXPECT_TRUE(large->ProgressWanted());
  EXPECT_EQ(host.DialogsShown(), 2);  // the loading pass and the combined moment pass

  host.AnswerNext(TModalResult::mrNo);
  large->Summarize();
  EXPECT_EQ(host.messages.size(), 2u);
  EXPECT_FALSE(large->ProgressWanted());
  EXPECT_EQ(host.DialogsShown(), 2);
}

TEST_F(EngineTest, AlwaysShowsEveryPassWithoutAskingAndNeverShowsNone) {
  auto always = TableOver(Sequence(2000), TBoolPlus::Always);
  always->Summarize();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.DialogsShown(), 2);
  EXPECT_EQ(host.DialogsLive(), 0);

  auto never = TableOver(Sequence(2000), TBoolPlus::Never);
  host.cursorChanges.clear();
  never->Summarize();
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.DialogsShown(), 2);
  // The hourglass marks each of the two passes, the default cursor ends every operation.
  EXPECT_EQ(std::count(host.cursorChanges.begin(), host.cursorChanges.end(), TCursor::crHourGlass), 2);
  EXPECT_EQ(host.cursorChanges.back(), TCursor::crDefault);
}

TEST_F(EngineTest, TheLoadingPassFeedsTheBarOncePerValueWithTheCountSoFar) {
  auto query = QueryOver({std::nullopt, 4, 5, std::nullopt}, "SELECT * FROM T", TBoolPlus::Always);
  query->GetdsLoaded();
  ASSERT_GE(host.progressCalls.size(), 2u);
  EXPECT_EQ(host.progressCalls[0].op, "create");
  EXPECT_EQ(host.progressCalls[1].op, "labels");
  EXPECT_EQ(host.progressCalls[1].text, "Summary of  T V");
  EXPECT_EQ(host.progressCalls[2].op, "show");
  auto progress = host.ProgressOnly();
  ASSERT_EQ(progress.size(), 2u);
  for (const auto& call : progress) {
    EXPECT_EQ(call.kind, GaugeKind::Horizontal);
    EXPECT_EQ(call.text, "Loading dataset, calculating totals, mean");
  }
  EXPECT_DOUBLE_EQ(progress[0].fraction, 1.0 / 4);
  EXPECT_DOUBLE_EQ(progress[1].fraction, 2.0 / 4);
  EXPECT_EQ(host.progressCalls.back().op, "release");
}

TEST_F(EngineTest, WithAlwaysAndTenPercentNullsTheLoadingPassEndsAtNinetyPercent) {
  Values values = Sequence(1000);
  for (int i = 0; i < 100; ++i) values[static_cast<std::size_t>(i * 10)] = std::nullopt;
  auto table = TableOver(values, TBoolPlus::Always);
  table->GetdsLoaded();
  EXPECT_DOUBLE_EQ(host.ProgressOnly().back().fraction, 0.9);
}

TEST_F(EngineTest, AnUnknownFieldFailsThePassAndRestoresEverything) {
  auto table = TableOver({1, 2, 3}, TBoolPlus::Always);
  table->SetStatFieldName("NOPE");
  EXPECT_THROW(table->GetdsLoaded(), EDatabaseError);
  EXPECT_FALSE(table->dsLoadedFlag());
  EXPECT_EQ(host.DialogsLive(), 0);
  EXPECT_FALSE(table->ControlsDisabled());
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}

}  // namespace
}  // namespace sumora::test
