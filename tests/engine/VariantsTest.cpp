// The two component variants: source names, shared windows per class, and what a pass that a dataset
// error cuts short leaves behind.
#include "engine/SmrWindows.h"
#include "dataset/Drivers.h"
#include "host/Errors.h"
#include "dataset/MemorySource.h"
#include "tests/engine/EngineFixture.h"
#include "tests/support/FaultySource.h"

namespace sumora::test {
namespace {

TEST_F(EngineTest, QuerySourceNameCutsTheFirstThirteenCharactersOfLineZero) {
  auto query = QueryOver({1, 2}, "SELECT * FROM T");
  EXPECT_EQ(query->SourceName(), " T");
  EXPECT_EQ(query->ProgressCaption(), "Summary of  T V");
  EXPECT_EQ(query->DatasetLine(), "Dataset Query: SELECT * FROM T");

  query->Close();
  query->SQL().SetText("select V from T");
  EXPECT_EQ(query->SourceName(), " T");
  query->SQL().SetText("select AMOUNT from ORDERS");
  EXPECT_EQ(query->SourceName(), " from ORDERS");
  query->SQL().SetText("SELECT *\nFROM T");
  EXPECT_EQ(query->SourceName(), "");
  query->Open();
  query->Summarize();
  EXPECT_EQ(query->GetdsDataCount(), 2);
}

TEST_F(EngineTest, AnEmptySqlTextFailsBeforeAnyRecordIsRead) {
  auto query = QueryOver({1, 2});
  query->Close();
  query->SQL().Clear();
  EXPECT_THROW(query->SourceName(), EListError);
  EXPECT_THROW(query->LoadDataSet(), EListError);
  EXPECT_EQ(host.DialogsLive(), 0);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}

TEST_F(EngineTest, TableSourceNameIsTheFileNamePartWhileTheDatasetLineKeepsThePath) {
  TSumoraTable table;
  table.SetTableName("/srv/data/orders.csv");
  EXPECT_EQ(table.SourceName(), "orders.csv");
  EXPECT_EQ(table.DatasetLine(), "Table: /srv/data/orders.csv");
  table.SetTableName("C:\\DATA\\ORDERS.DB");
  EXPECT_EQ(table.SourceName(), "ORDERS.DB");
  table.SetTableName("");
  EXPECT_EQ(table.SourceName(), "");
}

TEST_F(EngineTest, CsvTablesSummarizeLikeTheirSqliteTwin) {
  dir.write("orders.csv", "ID,AMOUNT\n1,10.5\n2,\n3,20.25\n4,1e1\n");
  TSumoraTable csv;
  csv.SetDatabaseName(dir.path().string());
  csv.SetTableName("orders.csv");
  csv.SetStatFieldName("AMOUNT");
  csv.SetShowCalcProgress(TBoolPlus::Never);
  csv.Open();
  csv.Summarize();
  auto sqlite = TableOver({10.5, std::nullopt, 20.25, 10});
  sqlite->Summarize();
  EXPECT_EQ(csv.GetdsDataCount(), 3);
  EXPECT_EQ(csv.GetdsMean(), sqlite->GetdsMean());
  EXPECT_EQ(csv.GetdsVariance(), sqlite->GetdsVariance());
  EXPECT_EQ(csv.GetdsKurtosis(), sqlite->GetdsKurtosis());
  EXPECT_EQ(csv.GetdsMedian(), sqlite->GetdsMedian());
}

class CountingClassWindow : public ClassFrequencyWindow {
 public:
  explicit CountingClassWindow(std::vector<std::string>* opened) : opened_(opened) {}
  void Open(TSumoraStats& source) override { opened_->push_back(source.ComponentClassName()); }

 private:
  std::vector<std::string>* opened_;
};

TEST_F(EngineTest, EachComponentClassSharesOneWindowPairWhileItsComponentsLive) {
  std::vector<std::string> opened;
  int created = 0;
  auto previous = RegisterClassFrequencyWindowFactory([&] {
    ++created;
    return std::make_unique<CountingClassWindow>(&opened);
  });
  {
    auto first = std::make_unique<TSumoraQuery>();
    auto second = std::make_unique<TSumoraQuery>();
    TSumoraTable table;
    EXPECT_EQ(created, 2);  // one pair for the query class, one for the table class
    first.reset();          // the first component goes; the pair stays for the second
    second->FrequencyDisplay();
    table.FrequencyDisplay();
    EXPECT_EQ(created, 2);
    second.reset();
    TSumoraQuery third;  // a new pair once the last query component went
    EXPECT_EQ(created, 3);
    third.FrequencyDisplay();
  }
  EXPECT_EQ(opened, (std::vector<std::string>{"TSumoraQuery", "TSumoraTable", "TSumoraQuery"}));
  RegisterClassFrequencyWindowFactory(previous);
}

TEST_F(EngineTest, APassEndedByADatasetErrorRestoresControlsDialogAndCursor) {
  FaultyDatabase database("engine-faulty", MemoryTable::SingleColumn("V", {1, 2, 3, 4, 5, 6}));
  TSumoraTable table;
  table.SetDatabaseName(database.DatabaseName());
  table.SetTableName("T");
  table.SetStatFieldName("V");
  table.SetShowCalcProgress(TBoolPlus::Always);
  table.Open();

  database.faults().failAfterRecords = 3;
  EXPECT_THROW(table.Summarize(), EDatabaseError);
  EXPECT_FALSE(table.dsLoadedFlag());
  EXPECT_FALSE(table.ControlsDisabled());
  EXPECT_EQ(host.DialogsLive(), 0);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);

  // The moment pass fails too: the loading results stay, the moment flags stay false.
  database.faults().failAfterRecords = 0;
  table.Initialize();
  table.GetdsMean();
  database.faults().failAfterRecords = 4;
  EXPECT_THROW(table.CalculateMoments(), EDatabaseError);
  EXPECT_TRUE(table.dsLoadedFlag());
  EXPECT_FALSE(table.VarianceCalculated());
  EXPECT_FALSE(table.ControlsDisabled());
  EXPECT_EQ(host.DialogsLive(), 0);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);

  database.faults().failAfterRecords = 0;
  table.Summarize();
  EXPECT_EQ(table.GetdsDataCount(), 6);
  EXPECT_DOUBLE_EQ(table.GetdsVariance(), 3.5);
}

TEST_F(EngineTest, ARecordCountThatGrowsDuringAPassOnlyMovesTheGauge) {
  FaultyDatabase database("engine-drift", MemoryTable::SingleColumn("V", {1, 2, 3, 4}));
  database.faults().recordCountDrift = 4;
  TSumoraTable table;
  table.SetDatabaseName(database.DatabaseName());
  table.SetTableName("T");
  table.SetStatFieldName("V");
  table.SetShowCalcProgress(TBoolPlus::Always);
  table.Open();
  table.Summarize();
  EXPECT_EQ(table.GetdsDataCount(), 4);
  EXPECT_DOUBLE_EQ(table.GetdsVariance(), 5.0 / 3.0);
  EXPECT_LT(host.ProgressOnly().back().fraction, 1.0);
}

}  // namespace
}  // namespace sumora::test
