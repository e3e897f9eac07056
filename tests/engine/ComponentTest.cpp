// Properties, defaults, setters, the numeric-field listing and the lifecycle flags.
#include "tests/engine/EngineFixture.h"

#include "dataset/Drivers.h"
#include "host/Errors.h"

namespace sumora::test {
namespace {

TEST_F(EngineTest, NewComponentHasTheDefaults) {
  TSumoraQuery query;
  EXPECT_EQ(query.FreqClasses(), 10);
  EXPECT_EQ(query.ScaleBy(), 1.0);
  EXPECT_EQ(query.RecordPlotCount(), 500);
  EXPECT_EQ(query.ShowCalcProgress(), TBoolPlus::Prompt);
  EXPECT_EQ(query.StatFieldName(), "");
  EXPECT_FALSE(query.dsLoadedFlag());
  EXPECT_FALSE(query.MedianCalculated());
  EXPECT_FALSE(query.VarianceCalculated());
  TSumoraTable table;
  EXPECT_EQ(table.FreqClasses(), 10);
  EXPECT_EQ(table.RecordPlotCount(), 500);
}

TEST_F(EngineTest, ScaleByBelowTheLimitIsRefusedWithAMessageAndBecomesOne) {
  TSumoraTable table;
  for (double refused : {0.0, 0.00009, -0.00009}) {
    table.SetdsScaleFactor(5.0);
    table.SetdsScaleFactor(refused);
    EXPECT_EQ(table.ScaleBy(), 1.0) << refused;
  }
  ASSERT_EQ(host.messages.size(), 3u);
  for (const auto& message : host.messages) {
    EXPECT_EQ(message.text, "Cannot Scale by 0.");
    EXPECT_EQ(message.type, TMsgDlgType::mtError);
    EXPECT_EQ(message.buttons, TMsgDlgButtons::mbOK);
  }
  table.SetdsScaleFactor(0.0001);
  EXPECT_EQ(table.ScaleBy(), 0.0001);
  table.SetdsScaleFactor(-0.0001);
  EXPECT_EQ(table.ScaleBy(), -0.0001);
  EXPECT_EQ(host.messages.size(), 3u);
}

TEST_F(EngineTest, ScaleByThatIsNotANumberIsRefused) {
  TSumoraTable table;
  table.SetdsScaleFactor(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(table.ScaleBy(), 1.0);
  table.SetdsScaleFactor(std::numeric_limits<double>::infinity());
  EXPECT_EQ(table.ScaleBy(), 1.0);
  EXPECT_EQ(host.messages.size(), 2u);
}

TEST_F(EngineTest, ClassAndPlotCountsAreClamped) {
  TSumoraQuery query;
  query.SetdsFreqClasses(250);
  EXPECT_EQ(query.FreqClasses(), 100);
  query.SetdsFreqClasses(0);
  EXPECT_EQ(query.FreqClasses(), 0);
  query.SetdsMaxPlotCount(60000);
  EXPECT_EQ(query.RecordPlotCount(), 10000);
  query.SetdsMaxPlotCount(1);
  EXPECT_EQ(query.RecordPlotCount(), 1);
}

TEST_F(EngineTest, NumericFieldsOfAClosedDatasetAreListedInFieldOrderAndItIsClosedAgain) {
  dbPath = dir.file("mixed.sqlite");
  ExecSql(dbPath,
          "CREATE TABLE M (NAME TEXT, A INTEGER, B REAL, WHEN_ DATE, C SMALLINT, OK BOOLEAN, D NUMERIC, "
          "E MONEY);");
  TSumoraTable table;
  table.SetDatabaseName(dbPath);
  table.SetTableName("M");
  const TStrings& names = table.GetNumericFields();
  EXPECT_EQ(names.Items(), (std::vector<std::string>{"A", "B", "C", "D", "E"}));
  EXPECT_FALSE(table.Active());
  table.Open();
  table.GetNumericFields();
  EXPECT_TRUE(table.Active());
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(EngineTest, ADatasetThatDeclinesToOpenWarnsToCheckTheTableName) {
  RegisterMemoryDatabase("declines", [](const std::string&) { return std::unique_ptr<RecordSource>(); });
  TSumoraTable table;
  table.SetDatabaseName("memory:declines");
  table.SetTableName("X");
  EXPECT_EQ(table.GetNumericFields().Count(), 0);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, "Please check the table name.");
  EXPECT_EQ(host.messages[0].type, TMsgDlgType::mtWarning);
  UnregisterMemoryDatabase("declines");
}

TEST_F(EngineTest, SummarizeOnAClosedDatasetListsFieldsThenFailsWithTheDatasetError) {
  auto table = TableOver({1, 2, 3});
  table->Close();
  EXPECT_THROW(table->Summarize(), EDatabaseError);
  EXPECT_EQ(table->NumericFields().Items(), std::vector<std::string>{"V"});
  EXPECT_FALSE(table->Active());
  EXPECT_FALSE(table->dsLoadedFlag());
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}

TEST_F(EngineTest, ChangingPropertiesLeavesResultsUntilTheNextSummarize) {
  auto table = TableOver({0, 10});
  table->SetdsFreqClasses(4);
  table->Summarize();
  EXPECT_EQ(table->GetdsClassCount(1), 1u);
  EXPECT_DOUBLE_EQ(table->GetdsClassStart(1), -1.5625);
  table->SetdsFreqClasses(2);
  table->SetdsScaleFactor(2);
  EXPECT_TRUE(table->dsLoadedFlag());
  EXPECT_TRUE(table->VarianceCalculated());
  EXPECT_DOUBLE_EQ(table->GetdsClassStart(1), -1.5625);
  EXPECT_DOUBLE_EQ(table->GetdsMean(), 5.0);
  table->Summarize();
  EXPECT_DOUBLE_EQ(table->GetdsMean(), 2.5);
  EXPECT_DOUBLE_EQ(table->GetdsClassStart(1), -1.875);
}

TEST_F(EngineTest, InitializeClearsEveryFlag) {
  auto table = TableOver({1, 2, 6});
  table->Summarize();
  EXPECT_TRUE(table->dsLoadedFlag() && table->MedianCalculated() && table->VarianceCalculated() &&
              table->SkewCalculated() && table->KurtosisCalculated());
  table->Initialize();
  EXPECT_FALSE(table->dsLoadedFlag() || table->MedianCalculated() || table->VarianceCalculated() ||
               table->SkewCalculated() || table->KurtosisCalculated());
  // The results stay readable until the next passes overwrite them.
  EXPECT_DOUBLE_EQ(table->dsVarianceValue(), 7.0);
}

TEST_F(EngineTest, WindowsNeedARegisteredLibrary) {
  auto query = QueryOver({1, 2});
  EXPECT_THROW(query->FrequencyDisplay(), ENotAvailable);
  EXPECT_THROW(query->SummaryChart(), ENotAvailable);
  EXPECT_THROW(query->Output(), ENotAvailable);
}

}  // namespace
}  // namespace sumora::test
