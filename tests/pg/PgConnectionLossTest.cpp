// A connection the server ends in the middle of a pass (as an administrator or a failing network would):
// the pass fails with the server's message, closing is safe, and reading works again afterwards.
#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

#include "dataset/DataSet.h"
#include "host/Errors.h"
#include "tests/pg/PgTestServer.h"

namespace sumora {
namespace {

class PgConnectionLossTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PG_SERVER();
    // Tests run in parallel processes: a name of its own keeps this test from ending anyone else's session.
    applicationName_ = "sumora_loss_" + std::to_string(getpid());
    table_.SetDatabaseName(test::WithUrlParameter(test::PgTestUrl(), "application_name", applicationName_));
    table_.SetTableName("series");
    ASSERT_TRUE(admin_.Connected());
  }

  // Reads records until the end or an error; returns the error's message ("" at the end).
  std::string ScanToEnd(std::int64_t* records) {
    try {
      while (!table_.Eof()) {
        table_.FieldByName("amount").IsNull();
        ++*records;
        table_.Next();
      }
    } catch (const EDatabaseError& error) {
      return error.what();
    }
    return "";
  }

  std::string applicationName_;
  TTable table_;
  test::PgAdmin admin_;
};

TEST_F(PgConnectionLossTest, KilledMidScanRaisesAndReopenReadsAll) {
  table_.Open();
  for (int i = 0; i < 10; ++i) table_.Next();
  ASSERT_EQ(admin_.TerminateSessions(applicationName_), 1);

  std::int64_t records = 10;
  std::string message = ScanToEnd(&records);
  EXPECT_NE(message.find("terminating connection due to administrator command"), std::string::npos) << message;
  EXPECT_NE(message.find("table 'series'"), std::string::npos) << message;
  EXPECT_LT(records, 100000);

  EXPECT_NO_THROW(table_.Close());
  table_.Open();
  records = 0;
  EXPECT_EQ(ScanToEnd(&records), "");
  EXPECT_EQ(records, 100000);
}

TEST_F(PgConnectionLossTest, FirstAfterLossReconnectsWithoutReopening) {
  table_.Open();
  ASSERT_EQ(table_.RecordCount(), 100000);
  for (int i = 0; i < 10; ++i) table_.Next();
  ASSERT_EQ(admin_.TerminateSessions(applicationName_), 1);
  std::int64_t records = 0;
  EXPECT_NE(ScanToEnd(&records), "");

  // The next pass starts over on a new session of its own.
  table_.First();
  records = 0;
  EXPECT_EQ(ScanToEnd(&records), "");
  EXPECT_EQ(records, 100000);
  EXPECT_EQ(table_.RecordCount(), 100000);
  EXPECT_EQ(admin_.Value("SELECT count(*) FROM pg_stat_activity WHERE application_name = '" + applicationName_ + "'"),
            "1");
}

TEST_F(PgConnectionLossTest, ClosingADeadConnectionIsSafe) {
  table_.Open();
  ASSERT_EQ(admin_.TerminateSessions(applicationName_), 1);
  EXPECT_NO_THROW(table_.Close());
  EXPECT_FALSE(table_.Active());
}

}  // namespace
}  // namespace sumora
