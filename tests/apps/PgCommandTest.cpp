// The `sumora` command with a PostgreSQL source: --server-side where it applies and where it does not,
// and Ctrl-C while a statement runs on the server.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <nlohmann/json.hpp>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

std::string PgUrl() {
  const char* url = std::getenv("SUMORA_PG_TEST_URL");
  return url != nullptr ? url : "";
}

TEST(PgCommandTest, ServerSideNeedsAPostgreSqlSource) {
  TempDir dir;
  const std::string db = dir.file("shop.sqlite");
  ExecSql(db, "CREATE TABLE T (V REAL); INSERT INTO T VALUES (1), (2);");
  std::filesystem::create_directory(dir.path() / "csv");
  dir.write("csv/t.csv", "V\n1\n2\n");
  for (const auto& [source, table] : {std::pair{db, std::string("T")}, std::pair{dir.file("csv"), std::string("t.csv")}}) {
    CommandResult run = RunCommand(SUMORA_BINARY, {"summarize", "--db", source, "--table", table, "--field", "V",
                                                   "--server-side"});
    EXPECT_EQ(run.status, 2) << source;
    EXPECT_NE(run.err.find("--server-side needs a PostgreSQL source"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

TEST(PgCommandTest, ServerSideSummaryHasTheStreamingKeysAndCounts) {
  if (PgUrl().empty()) GTEST_SKIP() << "No PostgreSQL test server: SUMORA_PG_TEST_URL is not set";
  TempDir dir;
  const std::vector<std::string> binding = {"--db", PgUrl(), "--table", "series", "--field", "amount", "--progress", "never"};
  auto summarize = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"summarize", "--format", "json"};
    args.insert(args.end(), binding.begin(), binding.end());
    args.insert(args.end(), extra.begin(), extra.end());
    CommandResult run = RunCommand(SUMORA_BINARY, args);
    EXPECT_EQ(run.status, 0) << run.err;
    return nlohmann::json::parse(run.out.empty() ? "{}" : run.out);
  };
  const auto streamed = summarize({});
  const auto aggregated = summarize({"--server-side"});
  for (const auto& [key, value] : streamed.items()) {
    ASSERT_TRUE(aggregated.contains(key)) << key;
  }
  EXPECT_EQ(aggregated.size(), streamed.size());
  for (const char* exact : {"dsDataCount", "dsMin", "dsMax", "dsMedian", "dsMode", "classes"}) {
    EXPECT_EQ(aggregated[exact], streamed[exact]) << exact;
  }

  // The setting travels in a form file and drives the command from there.
  const std::string form = dir.file("server.form.json");
  std::vector<std::string> save = {"form", "save", form, "--server-side"};
  save.insert(save.end(), binding.begin(), binding.end());
  ASSERT_EQ(RunCommand(SUMORA_BINARY, save).status, 0);
  std::ifstream in(form);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(nlohmann::json::parse(text.str())["components"][0]["settings"], nlohmann::json({{"ServerSide", true}}));
  CommandResult fromForm = RunCommand(SUMORA_BINARY, {"summarize", "--form", form, "--format", "json"});
  ASSERT_EQ(fromForm.status, 0) << fromForm.err;
  EXPECT_EQ(nlohmann::json::parse(fromForm.out)["classes"], streamed["classes"]);
}

// Ctrl-C cancels the statement and the command ends with the server's words; SIGTERM and SIGHUP cancel it
// too and end the program by the signal. Either way the server stops sleeping at once.
TEST(PgCommandTest, InterruptOrTerminationCancelsTheStatementOnTheServer) {
  if (PgUrl().empty()) GTEST_SKIP() << "No PostgreSQL test server: SUMORA_PG_TEST_URL is not set";
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(signalNumber));
    TempDir dir;
    const std::string errPath = dir.file("stderr.txt");
    const std::string name = "sumora_signal_" + std::to_string(getpid()) + "_" + std::to_string(signalNumber);
    const std::string url = PgUrl() + (PgUrl().find('?') == std::string::npos ? "?" : "&") + "application_name=" + name;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(err, 2);
      execl(SUMORA_BINARY, SUMORA_BINARY, "summarize", "--db", url.c_str(), "--sql",
            "SELECT pg_sleep(60)::text AS slept, 1.5::float8 AS x", "--field", "x", "--progress", "never",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));  // connected and waiting for the server
    const auto interrupted = std::chrono::steady_clock::now();
    kill(child, signalNumber);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(20));
    if (signalNumber == SIGINT) {
      ASSERT_TRUE(WIFEXITED(status)) << "the command did not exit normally";
      EXPECT_EQ(WEXITSTATUS(status), 1);
      std::ifstream err(errPath);
      std::stringstream text;
      text << err.rdbuf();
      EXPECT_NE(text.str().find("canceling statement due to user request"), std::string::npos) << text.str();
    } else {
      ASSERT_TRUE(WIFSIGNALED(status));
      EXPECT_EQ(WTERMSIG(status), signalNumber);
    }
    // The largest of the count of our sessions still sleeping, 0 and -1.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    CommandResult sleeping = RunCommand(
        SUMORA_BINARY, {"summarize", "--db", PgUrl(), "--sql",
                        "SELECT count(*)::float8 AS n FROM pg_stat_activity WHERE wait_event = 'PgSleep' AND "
                        "application_name = '" + name + "' UNION ALL SELECT 0 UNION ALL SELECT -1",
                        "--field", "n", "--progress", "never", "--format", "json"});
    ASSERT_EQ(sleeping.status, 0) << sleeping.err;
    EXPECT_EQ(nlohmann::json::parse(sleeping.out)["dsMax"], 0.0);
  }
}

}  // namespace
}  // namespace sumora::test
