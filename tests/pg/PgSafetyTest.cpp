// What a user's text or an unhelpful server cannot do to the PostgreSQL driver: run a second statement
// (and so leave the read-only transaction), hang the connection, or keep a statement running after a
// cancel; and values the server prints at the edges of a double read as the nearest double or as null.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "dataset/Cancel.h"
#include "dataset/DataSet.h"
#include "engine/SmrQuery.h"
#include "host/Errors.h"
#include "tests/pg/PgTestServer.h"
#include "tests/support/ErrorText.h"
#include "tests/support/ScriptedHost.h"

namespace sumora {
namespace {

using test::DatabaseErrorOf;
using test::PgTestUrl;

class PgSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PG_SERVER();
    ASSERT_TRUE(admin_.Connected());
  }
  test::PgAdmin admin_;
};

TEST_F(PgSafetyTest, TextAfterTheStatementNeverRuns) {
  // Tests run in parallel processes: a table of its own for this one.
  const std::string victim = "victim_" + std::to_string(getpid());
  admin_.Value("CREATE TABLE " + victim + " AS SELECT generate_series(1, 5) AS x; SELECT 1");
  const std::string attacks[] = {
      "SELECT x FROM " + victim + "; COMMIT; BEGIN READ WRITE; DELETE FROM " + victim + "; CREATE TABLE " + victim +
          "_planted (y int)",
      "SELECT x FROM " + victim + "\n;\nDELETE FROM " + victim,
      "SELECT x FROM " + victim + " -- a comment\n; COMMIT; DROP TABLE " + victim,
      "SELECT x FROM " + victim + "; END; SET default_transaction_read_only = off; DELETE FROM " + victim,
  };
  for (const auto& sql : attacks) {
    for (bool fieldsOnly : {false, true}) {
      TQuery query;
      query.SetDatabaseName(PgTestUrl());
      query.SQL().SetText(sql);
      std::string message = DatabaseErrorOf([&] {
        query.Open();
        if (!fieldsOnly) query.First();
      });
      EXPECT_NE(message.find("only one statement can be run"), std::string::npos) << sql << "\n" << message;
      EXPECT_FALSE(query.Active());
    }
  }
  EXPECT_EQ(admin_.Value("SELECT count(*) FROM " + victim), "5");
  EXPECT_EQ(admin_.Value("SELECT count(*) FROM pg_class WHERE relname = '" + victim + "_planted'"), "0");
  admin_.Value("DROP TABLE " + victim + "; SELECT 1");
}

// The server quotes the statement's text in its messages; what reaches the user cannot drive a terminal
// or fill a screen.
TEST_F(PgSafetyTest, ServerMessagesQuotingTheStatementAreEscapedAndShortened) {
  TQuery query;
  query.SetDatabaseName(PgTestUrl());
  query.SQL().SetText("SELECT 'x\x1b[2J" + std::string(3000, 'y') + "'::float8 AS v");
  const std::string message = DatabaseErrorOf([&] { query.Open(); });
  EXPECT_NE(message.find("invalid input syntax"), std::string::npos) << message;
  EXPECT_NE(message.find("x\\x1b[2J"), std::string::npos) << message;
  EXPECT_EQ(message.find('\x1b'), std::string::npos);
  EXPECT_LT(message.size(), 1300u);
}

// A listener that accepts connections and never says a word.
class SilentListener {
 public:
  SilentListener() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(socket_, 8) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ADD_FAILURE() << "cannot listen on 127.0.0.1";
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() { close(socket_); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int Port() const { return port_; }

 private:
  int socket_;
  int port_ = 0;
};

TEST_F(PgSafetyTest, AServerThatNeverAnswersEndsInATimeout) {
  SilentListener listener;
  const std::string url = "postgresql://nobody@127.0.0.1:" + std::to_string(listener.Port()) + "/db";
  // The connection string's own timeout, then the default one.
  for (const auto& [conninfo, limitSeconds] : {std::pair{url + "?connect_timeout=2", 8}, std::pair{url, 25}}) {
    const auto started = std::chrono::steady_clock::now();
    TQuery query;
    query.SetDatabaseName(conninfo);
    query.SQL().SetText("SELECT 1 AS x");
    std::string message = DatabaseErrorOf([&] { query.Open(); });
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
    EXPECT_NE(message.find("Cannot connect to the PostgreSQL server: "), std::string::npos) << message;
    EXPECT_NE(message.find("failed: timeout expired"), std::string::npos) << message;
    EXPECT_NE(message.find("connect_timeout"), std::string::npos) << message;
    EXPECT_LT(seconds.count(), limitSeconds) << conninfo;
  }
}

TEST_F(PgSafetyTest, CancelStopsARunningStatementAndTheNextPassWorks) {
  EXPECT_FALSE(CancelRunningStatements()) << "nothing is open yet";
  const std::string applicationName = "sumora_cancel_" + std::to_string(getpid());
  TQuery query;
  query.SetDatabaseName(test::WithUrlParameter(PgTestUrl(), "application_name", applicationName));
  query.SQL().SetText("SELECT pg_sleep(30)::text AS slept, 1.5::float8 AS x");
  // Cancels once the server runs the statement, as a user who sees it hang would.
  std::thread canceller([&] {
    for (int attempt = 0; attempt < 200; ++attempt) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (admin_.Value("SELECT count(*) FROM pg_stat_activity WHERE wait_event = 'PgSleep' AND application_name = '" +
                       applicationName + "'") != "0") {
        EXPECT_TRUE(CancelRunningStatements());
        return;
      }
    }
  });
  const auto started = std::chrono::steady_clock::now();
  std::string message = DatabaseErrorOf([&] { query.Open(); });
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_NE(message.find("canceling statement due to user request"), std::string::npos) << message;

  // The request is used up: the next statement runs.
  query.SQL().SetText("SELECT 1.5::float8 AS x");
  query.Open();
  EXPECT_EQ(query.FieldByName("x").AsFloat(), 1.5);
}

TEST_F(PgSafetyTest, ValuesAtTheEdgesOfADoubleReadAsTheNearestOrAsNull) {
  TQuery query;
  query.SetDatabaseName(PgTestUrl());
  query.SQL().SetText(
      "SELECT 1e-400::numeric AS tiny, -1e-400::numeric AS tiny_negative, 1e-320::numeric AS subnormal, "
      "('0.' || repeat('0', 400) || '1')::text AS tiny_text, 'nan'::text AS nan_text, ' NaN'::text AS nan_blank, "
      "'-nan'::text AS nan_signed, 1e400::numeric AS huge");
  query.Open();
  struct Expected {
    const char* field;
    bool isNull;
    double value;
  };
  for (const Expected& expected : {Expected{"tiny", false, 0.0}, Expected{"tiny_negative", false, -0.0},
                                   Expected{"subnormal", false, 1e-320}, Expected{"tiny_text", false, 0.0},
                                   Expected{"nan_text", true, 0.0}, Expected{"nan_blank", true, 0.0},
                                   Expected{"nan_signed", true, 0.0}}) {
    TField& field = query.FieldByName(expected.field);
    EXPECT_EQ(field.IsNull(), expected.isNull) << expected.field;
    if (!expected.isNull) {
      EXPECT_EQ(field.AsFloat(), expected.value) << expected.field;
      EXPECT_EQ(std::signbit(field.AsFloat()), std::signbit(expected.value)) << expected.field;
    }
  }
  EXPECT_EQ(query.FieldByName("nan_text").AsString(), "nan");  // still its text when read as text
  std::string message = DatabaseErrorOf([&] { query.FieldByName("huge").AsFloat(); });
  EXPECT_NE(message.find("+Inf is not a usable value (field 'huge', record 1)"), std::string::npos) << message;
}

TEST_F(PgSafetyTest, NanTextIsSkippedByASummary) {
  test::ScriptedHost host;
  TSumoraQuery query;
  query.SetDatabaseName(PgTestUrl());
  query.SQL().SetText("SELECT v FROM (VALUES ('1'), ('nan'), ('3'), (NULL), ('NaN')) AS t(v)");
  query.SetStatFieldName("v");
  query.SetShowCalcProgress(TBoolPlus::Never);
  query.Open();
  query.Summarize();
  EXPECT_EQ(query.GetdsDataCount(), 2);
  EXPECT_EQ(query.GetdsTotal(), 4.0);
}

}  // namespace
}  // namespace sumora
