// Data written while a summary reads it: one Summarize reads one snapshot of an SQLite database, and a
// pass that meets another number of values than the loading pass fails with an error naming the
// source instead of mixing two datasets. Real WAL databases, with a second connection writing.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

constexpr int kRows = 10001;  // one above the store, so the median warns between the passes

// A host that lets another connection append rows when the median's warning comes up, which is
// between the loading pass and the combined moment pass of a Summarize.
class WritingHost : public ScriptedHost {
 public:
  TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) override {
    if (writer != nullptr && text.rfind("Median is calculated", 0) == 0) {
      EXPECT_EQ(sqlite3_exec(writer, "INSERT INTO T SELECT V FROM T LIMIT 500", nullptr, nullptr, nullptr), SQLITE_OK)
          << sqlite3_errmsg(writer);
    }
    return ScriptedHost::MessageDlg(text, type, buttons);
  }
  sqlite3* writer = nullptr;
};

class ChangingDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<std::optional<double>> values;
    for (int i = 0; i < kRows; ++i) values.push_back((i * 37) % 1000);
    WriteValuesTable(db_, "T", "V", values);
    ExecSql(db_, "PRAGMA journal_mode=WAL;");
    ASSERT_EQ(sqlite3_open(db_.c_str(), &host_.writer), SQLITE_OK);
    table_.SetDatabaseName(db_);
    table_.SetTableName("T");
    table_.SetStatFieldName("V");
    table_.SetShowCalcProgress(TBoolPlus::Never);
    table_.Open();
  }
  void TearDown() override { sqlite3_close(host_.writer); }

  TempDir dir_;
  std::string db_ = dir_.file("changing.sqlite");
  WritingHost host_;
  TSumoraTable table_;
};

TEST_F(ChangingDataTest, SummarizeReadsOneSnapshotWhileAWriterCommits) {
  table_.Summarize();
  EXPECT_EQ(table_.GetdsDataCount(), kRows);
  EXPECT_EQ(table_.GetdsClassCount(table_.FreqClasses() + 1), static_cast<std::uint32_t>(kRows));
  // The rows were committed, and the read ended with the summary: the next one sees them.
  table_.Close();
  table_.Open();
  sqlite3_close(std::exchange(host_.writer, nullptr));  // no more writes, and no connection left open
  table_.Summarize();
  EXPECT_EQ(table_.GetdsDataCount(), kRows + 500);
  EXPECT_EQ(table_.GetdsClassCount(table_.FreqClasses() + 1), static_cast<std::uint32_t>(kRows + 500));
}

// Getters called one by one run each pass on its own; a write between them is caught, not mixed in.
TEST_F(ChangingDataTest, APassThatMeetsOtherRecordsFailsNamingTheSource) {
  table_.GetdsMean();
  table_.GetdsMedian();  // the warning lets the writer append
  try {
    table_.GetdsVariance();
    FAIL() << "mixed two datasets";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()), "The data of table 'T' in '" + db_ +
                                         "' changed during the summary: the loading pass read 10001 values of V, "
                                         "a later pass 10501; summarize again when nothing is writing to it");
  }
  EXPECT_FALSE(table_.VarianceCalculated());
}

}  // namespace
}  // namespace sumora::test
