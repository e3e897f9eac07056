// `sumora report` end to end: pages made by the command from hostile data open in a real browser with no
// request, no error and every shown number equal to the embedded one; the embedded numbers are
// `summarize --format json`'s.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

using Json = nlohmann::json;

CommandResult Sumora(const std::vector<std::string>& args) { return RunCommand(SUMORA_BINARY, args); }

bool OnPath(const std::string& program) { return RunCommand("sh", {"-c", "command -v " + program}).status == 0; }

// Markup, quotes, control characters, a direction mark and a 10,000-character name in the header and
// the cells; a constant column (its skewness fails), a text column, nulls, two groups.
std::string HostileCsv() {
  std::string text = "\"<img src=x onerror=alert(1)>\",\"q\"\"uote\x1b[2J\",\"\xE2\x80\xAEkcab\"," +
                     std::string(10000, 'n') + ",note,grp\n";
  for (int i = 1; i <= 300; ++i) {
    text += std::to_string(i * 1.5) + "," + (i % 7 == 0 ? "" : std::to_string(i % 13)) + ",4," +
            std::to_string(-i) + ",\"<b>" + std::to_string(i % 5) + "</b>\x07\"," + (i % 2 ? "a&b" : "<g>") + "\n";
  }
  return text;
}

TEST(ReportCommand, PagesFromHostileDataOpenCleanlyAndShowTheEmbeddedNumbers) {
  if (!OnPath("chromium") || !OnPath("node")) GTEST_SKIP() << "chromium and node are needed (scripts/setup.sh)";
  TempDir dir;
  const std::string csv = dir.write("hostile.csv", HostileCsv());
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"plain", {}},
      {"grouped", {"--group-by", "grp"}},
  };
  std::vector<std::string> args = {SUMORA_BROWSER_CHECK, "chromium", dir.path().string()};
  for (const auto& [name, extra] : cases) {
    std::vector<std::string> command = {"report", "--db", csv, "--progress", "never", "--out", dir.file(name + ".html")};
    command.insert(command.end(), extra.begin(), extra.end());
    const auto run = Sumora(command);
    ASSERT_EQ(run.status, 0) << run.err;
    args.push_back(dir.file(name + ".html"));
  }
  const auto browser = RunCommand("node", args);
  ASSERT_EQ(browser.status, 0) << browser.err;
  std::istringstream lines(browser.out);
  std::string line;
  for (const auto& entry : cases) {
    SCOPED_TRACE(entry.first);
    ASSERT_TRUE(std::getline(lines, line)) << browser.err;
    const Json result = Json::parse(line);
    EXPECT_EQ(result["consoleErrors"], Json::array());
    EXPECT_EQ(result["requests"], Json::array());
    EXPECT_EQ(result["failedRequests"], Json::array());
    EXPECT_EQ(result["differenceCount"], 0) << result["differences"].dump(1);
    EXPECT_GE(result["checked"].get<int>(), 40);
    EXPECT_EQ(result["activeElements"], 0) << "markup from the data became elements";
  }
}

TEST(ReportCommand, TheNumbersAreSummarizesAndAFailingFieldKeepsItsMessage) {
  TempDir dir;
  const std::string csv = dir.write("hostile.csv", HostileCsv());
  const auto report = Sumora({"report", "--db", csv, "--format", "json", "--progress", "never"});
  ASSERT_EQ(report.status, 0) << report.err;
  const auto summary = Sumora({"summarize", "--db", csv, "--all-numeric", "--quantiles", "0.05,0.25,0.5,0.75,0.95",
                               "--format", "json", "--progress", "never"});
  ASSERT_EQ(summary.status, 0) << summary.err;
  const Json data = Json::parse(report.out);
  EXPECT_EQ(data["summaries"], Json::parse(summary.out));
  EXPECT_EQ(data["rows"], 300);
  EXPECT_EQ(data["fields"].size(), 6u);
  EXPECT_EQ(data["summaries"][2]["error"], "Skewness is undefined: the variance is zero");
  // The text fields are profiled: distinct values and the most frequent ones.
  const Json& note = data["profiles"][data["profiles"].size() - 2];
  EXPECT_EQ(note["field"], "note");
  EXPECT_EQ(note["distinct"], 5);
  EXPECT_EQ(data["missingCells"], 42);
}

}  // namespace
}  // namespace sumora::test
