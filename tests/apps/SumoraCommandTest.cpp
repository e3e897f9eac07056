// The `sumora` command's contract: options, output formats, JSON keys and exit statuses, run on real
// SQLite and CSV files made by the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#ifdef SUMORA_TEST_READS_SVG
#include <QFile>
#include <QXmlStreamReader>
#endif

#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

class SumoraCommandTest : public ::testing::Test {
 protected:
  CommandResult Sumora(const std::vector<std::string>& args) { return RunCommand(SUMORA_BINARY, args); }

  void SetUp() override {
    db = dir.file("shop.sqlite");
    ExecSql(db,
            "CREATE TABLE ORDERS (ID INTEGER, AMOUNT REAL, NOTE TEXT);"
            "INSERT INTO ORDERS VALUES (1, 1, 'a'), (2, 2, 'b'), (3, NULL, 'c'), (4, 6, 'd');");
    std::filesystem::create_directory(dir.path() / "csv");
    dir.write("csv/orders.csv", "ID,AMOUNT,NOTE\n1,1,a\n2,2,b\n3,,c\n4,6,d\n");
  }

  TempDir dir;
  std::string db;
};

TEST_F(SumoraCommandTest, SummarizePrintsTheFifteenSummaryTexts) {
  CommandResult run = Sumora({"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Table: ORDERS\n"
            "Field Analyzed: AMOUNT\n"
            "Record Count: 3\n"
            "Mean: 3.000\n"
            "Minimum: 1.000\n"
            "Maximum: 6.000\n"
            "Mode: 1.000\n"
            "Median: 2.000\n"
            "Total: 9.000\n"
            "Coeff of Variation: 88.192\n"
            "Range: 5.000\n"
            "Variance: 7.000\n"
            "Standard Deviation: 2.646\n"
            "Skewness: .236 (+)\n"
            "Kurtosis: 1.000\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(SumoraCommandTest, SummarizeAsJsonHoldsEveryKeyWithRoundTripDoubles) {
  CommandResult run = Sumora({"summarize", "--db", db, "--sql", "SELECT * FROM ORDERS", "--field", "AMOUNT", "--classes", "4",
                    "--scale-by", "2", "--plot-count", "60000", "--progress", "always", "--format", "json"});
  ASSERT_EQ(run.status, 0) << run.err;
  auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["component"], "TSumoraQuery");
  EXPECT_EQ(json["source"], " ORDERS");
  EXPECT_EQ(json["StatFieldName"], "AMOUNT");
  EXPECT_EQ(json["ScaleBy"], 2.0);
  EXPECT_EQ(json["FreqClasses"], 4);
  EXPECT_EQ(json["RecordPlotCount"], 10000);
  EXPECT_EQ(json["ShowCalcProgress"], "Always");
  EXPECT_EQ(json["dsDataCount"], 3);
  EXPECT_EQ(json["dsTotal"], 4.5);
  EXPECT_EQ(json["dsMean"], 1.5);
  EXPECT_EQ(json["dsMin"], 0.5);
  EXPECT_EQ(json["dsMax"], 3.0);
  EXPECT_EQ(json["dsRange"], 2.5);
  EXPECT_EQ(json["dsMedian"], 1.0);
  EXPECT_EQ(json["medianBasis"], 3);
  EXPECT_EQ(json["dsSkewSign"], "(+)");
  for (const char* key : {"dsVariance", "dsStdDev", "dsMu3", "dsMu4", "dsSkew", "dsKurtosis", "dsCoeffVariation",
                          "dsMode", "dsModeClass"}) {
    EXPECT_TRUE(json.contains(key)) << key;
  }
  EXPECT_NEAR(json["dsVariance"].get<double>(), 1.75, 1e-12);
  ASSERT_EQ(json["classes"].size(), 4u);
  EXPECT_EQ(json["classes"][0]["class"], 1);
  for (const char* key : {"start", "end", "count", "percent", "cumPercent"}) {
    EXPECT_TRUE(json["classes"][0].contains(key)) << key;
  }
  EXPECT_EQ(json["classTotal"]["count"], 3);
  EXPECT_EQ(json["classTotal"]["percent"], 100.0);
}

TEST_F(SumoraCommandTest, ClassesPrintsCaptionIdentificationAndTabSeparatedGrid) {
  CommandResult run = Sumora({"classes", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--classes", "2", "--scale-by",
                    "1000"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "SumoraTable1 Class Frequency Data");
  std::getline(lines, line);
  EXPECT_EQ(line, "ORDERS: AMOUNT (Scaled by 1000)");
  std::getline(lines, line);
  EXPECT_EQ(line, "Class\tClass Min\tClass Max\tClass Freq\tPercentage\tCumulative %");
  std::getline(lines, line);
  EXPECT_EQ(line.substr(0, 2), "1\t");
  int rows = 1;
  while (std::getline(lines, line)) ++rows;
  EXPECT_EQ(rows, 2);
}

TEST_F(SumoraCommandTest, FieldsListsTheNumericFieldsAndDescribeEveryFieldClass) {
  CommandResult fields = Sumora({"fields", "--db", db, "--table", "ORDERS"});
  ASSERT_EQ(fields.status, 0) << fields.err;
  EXPECT_EQ(fields.out, "ID\nAMOUNT\n");
  CommandResult describe = Sumora({"describe", "--db", (dir.path() / "csv").string(), "--table", "orders.csv"});
  ASSERT_EQ(describe.status, 0) << describe.err;
  EXPECT_EQ(describe.out, "ID\tTIntegerField\nAMOUNT\tTIntegerField\nNOTE\tTStringField\n");
}

TEST_F(SumoraCommandTest, CsvAndSqliteGiveTheSameSummary) {
  CommandResult sqlite = Sumora({"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--format", "json"});
  CommandResult csv = Sumora({"summarize", "--db", (dir.path() / "csv").string(), "--table", "orders.csv", "--field", "AMOUNT",
                    "--format", "json"});
  ASSERT_EQ(sqlite.status, 0);
  ASSERT_EQ(csv.status, 0) << csv.err;
  auto a = nlohmann::json::parse(sqlite.out);
  auto b = nlohmann::json::parse(csv.out);
  a.erase("source");
  a.erase("sourceText");
  b.erase("source");
  b.erase("sourceText");
  EXPECT_EQ(a, b);
}

TEST_F(SumoraCommandTest, CsvFilesAloneAndCsvOptionsGiveTheSameSummary) {
  auto summary = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "summarize");
    for (const char* extra : {"--field", "AMOUNT", "--format", "json"}) args.push_back(extra);
    CommandResult run = Sumora(args);
    EXPECT_EQ(run.status, 0) << run.err;
    auto json = nlohmann::json::parse(run.status == 0 ? run.out : "{}");
    json.erase("source");
    json.erase("sourceText");
    return json;
  };
  const auto expected = summary({"--db", (dir.path() / "csv").string(), "--table", "orders.csv"});
  const std::string eu = dir.write("eu.csv", "# export\nID;AMOUNT;NOTE\n1;1,0;a\n2;2,0;b\n3;NA;c\n4;6,0;d\n");
  EXPECT_EQ(summary({"--db", eu}), expected);  // sniffed: ';', decimal comma, NA; the file is the table
  const std::string odd = dir.write("odd.csv", "ID|AMOUNT\n1|1,0\n2|2,0\n3|x\n4|6,0\n");
  const std::vector<std::string> options = {"--db", odd, "--csv-delimiter", "|", "--csv-decimal", ",", "--csv-na", "x"};
  EXPECT_EQ(summary(options), expected);
  const std::string form = dir.file("odd.form.json");
  std::vector<std::string> save = {"form", "save", form};
  save.insert(save.end(), options.begin(), options.end());
  save.insert(save.end(), {"--field", "AMOUNT"});
  ASSERT_EQ(Sumora(save).status, 0);
  EXPECT_EQ(summary({"--form", form}), expected);
  EXPECT_EQ(Sumora({"fields", "--db", odd, "--csv-delimiter", "ab"}).status, 2);
}

TEST_F(SumoraCommandTest, ErrorsExitOneWithOneLineAndUsageMistakesExitTwo) {
  CommandResult missingTable = Sumora({"summarize", "--db", db, "--table", "NOPE", "--field", "AMOUNT"});
  EXPECT_EQ(missingTable.status, 1);
  EXPECT_EQ(missingTable.err.rfind("error: ", 0), 0u) << missingTable.err;
  EXPECT_NE(missingTable.err.find("NOPE"), std::string::npos);

  CommandResult missingField = Sumora({"summarize", "--db", db, "--table", "ORDERS", "--field", "PRICE"});
  EXPECT_EQ(missingField.status, 1);
  EXPECT_NE(missingField.err.find("PRICE"), std::string::npos);

  CommandResult textField = Sumora({"summarize", "--db", db, "--table", "ORDERS", "--field", "NOTE"});
  EXPECT_EQ(textField.status, 1);
  EXPECT_NE(textField.err.find("record 1"), std::string::npos) << textField.err;

  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"summarize", "--db", db, "--field", "AMOUNT"},
           {"summarize", "--db", db, "--table", "ORDERS", "--sql", "SELECT 1", "--field", "AMOUNT"},
           {"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--format", "xml"},
           {"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--classes", "-1"},
           {"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--progress", "maybe"},
           {"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--bogus", "1"},
           {"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "NOTE"},
           {"classes", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "NOTE"},
           {"fields", "--db", db, "--table", "ORDERS", "ORDERS"},
           {"describe", "--db", db, "--table", "ORDERS", "ORDERS"},
           {"form", "save", dir.file("f.form.json"), "--db", db, "--table", "ORDERS", "extra"},
           {"frobnicate"},
           {}}) {
    CommandResult run = Sumora(bad);
    EXPECT_EQ(run.status, 2) << (bad.empty() ? "" : bad.back()) << ": " << run.err;
  }
  EXPECT_EQ(Sumora({"--version"}).status, 0);
  CommandResult help = Sumora({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("summarize"), std::string::npos);
}

TEST_F(SumoraCommandTest, MessageBoxesGoToStandardErrorOnOneLine) {
  CommandResult run = Sumora({"summarize", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--scale-by", "0"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "Error: Cannot Scale by 0.\n");
  EXPECT_NE(run.out.find("Total: 9.000"), std::string::npos);
}

TEST_F(SumoraCommandTest, WithoutATerminalTheLargeDatasetQuestionIsAnsweredNoInSilence) {
  std::vector<std::optional<double>> values;
  for (int i = 0; i < 10001; ++i) values.push_back(i);
  WriteValuesTable(db, "BIG", "V", values);
  CommandResult run = Sumora({"summarize", "--db", db, "--table", "BIG", "--field", "V", "--format", "json"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Only the median's own warning remains; the JSON says how many values the median saw.
  EXPECT_EQ(run.err, "Warning: Median is calculated based on only the first 10000 records.\n");
  EXPECT_EQ(nlohmann::json::parse(run.out)["medianBasis"], 10000);
  EXPECT_EQ(nlohmann::json::parse(run.out)["dsDataCount"], 10001);
}

TEST_F(SumoraCommandTest, ADivisionByZeroIsAnErrorNotANumber) {
  ExecSql(db, "CREATE TABLE SAME (V REAL); INSERT INTO SAME VALUES (4), (4), (4);");
  CommandResult run = Sumora({"summarize", "--db", db, "--table", "SAME", "--field", "V", "--format", "json"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "error: Skewness is undefined: the variance is zero\n");
  EXPECT_EQ(run.out, "");
}

// The sample replaces only its own files; anything else at one of its names stops it before it writes.
TEST_F(SumoraCommandTest, SampleReplacesOnlyItsOwnFiles) {
  const std::string out = dir.file("sample");
  ASSERT_EQ(Sumora({"sample", "--out", out}).status, 0);
  CommandResult again = Sumora({"sample", "--out", out});
  ASSERT_EQ(again.status, 0) << again.err;

  const std::string victim = dir.write("victim.txt", "precious");
  struct Foreign {
    const char* name;
    std::function<void(const std::string&)> plant;
    std::string err;
  };
  const std::vector<Foreign> cases{
      {"orders.sqlite", [](const std::string& p) { std::ofstream(p) << "my own notes"; },
       "error: '" + out + "/orders.sqlite' is not a file the sample wrote; remove it or choose another --out folder\n"},
      {"csv/orders.csv", [&](const std::string& p) { std::filesystem::create_symlink(victim, p); },
       "error: '" + out + "/csv/orders.csv' is a symbolic link, not a file the sample wrote; remove it or choose "
       "another --out folder\n"},
      {"csv", [&](const std::string& p) { std::filesystem::create_directory_symlink(dir.path(), p); },
       "error: '" + out + "/csv' is a symbolic link, not a folder; remove it or choose another --out folder\n"},
      {"orders.form.json", [](const std::string& p) { std::ofstream(p) << R"({"form": "Mine"})"; },
       "error: '" + out + "/orders.form.json' is not a file the sample wrote; remove it or choose another --out "
       "folder\n"},
      // The sample's header over rows of the user's own: theirs, not the sample's.
      {"csv/orders.csv",
       [](const std::string& p) { std::ofstream(p) << "ID,AMOUNT,QTY,REGION,ORDERED\n1,2,3,North,2024-01-01\n"; },
       "error: '" + out + "/csv/orders.csv' is not a file the sample wrote; remove it or choose another --out "
       "folder\n"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out + "/csv");
    const std::string planted = out + "/" + c.name;
    if (std::string(c.name) == "csv") std::filesystem::remove(planted);
    c.plant(planted);
    const auto before = std::filesystem::symlink_status(planted).type();
    CommandResult run = Sumora({"sample", "--out", out});
    EXPECT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(std::filesystem::symlink_status(planted).type(), before) << c.name;
    if (std::string(c.name) != "orders.sqlite") {
      EXPECT_FALSE(std::filesystem::exists(out + "/orders.sqlite")) << c.name << ": wrote part of the set";
    }
  }
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
  EXPECT_EQ(Sumora({"sample", "--out", out, "extra"}).status, 2);
}

}  // namespace
}  // namespace sumora::test

namespace sumora::test {
namespace {

// Width and height from a PNG file's IHDR chunk; {0, 0} when the file is not a PNG.
std::pair<unsigned, unsigned> PngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (!in || header[1] != 'P' || header[2] != 'N' || header[3] != 'G') return {0, 0};
  auto be32 = [&](int at) {
    return (unsigned{header[at]} << 24) | (unsigned{header[at + 1]} << 16) | (unsigned{header[at + 2]} << 8) |
           unsigned{header[at + 3]};
  };
  return {be32(16), be32(20)};
}

// Summaries must not pay for loading the window library, so `sumora` links none of it; the window
// commands are run by sumora-windows, and without it they say what is missing.
TEST_F(SumoraCommandTest, LinksNoWindowLibraryAndNamesTheMissingWindowsProgram) {
  CommandResult ldd = RunCommand("ldd", {SUMORA_BINARY});
  ASSERT_EQ(ldd.status, 0) << ldd.err;
  EXPECT_NE(ldd.out.find("libc.so"), std::string::npos) << ldd.out;
  EXPECT_EQ(ldd.out.find("libQt"), std::string::npos) << ldd.out;

  const auto alone = std::filesystem::canonical(dir.path()) / "sumora";
  std::filesystem::copy_file(SUMORA_BINARY, alone);
  const std::string looked = "'sumora-windows' is missing (looked for " + (alone.parent_path() / "sumora-windows").string();
  for (const char* command : {"show", "plot", "gui"}) {
    CommandResult run = RunCommand(alone.string(), {command, "output", "--db", db, "--out", dir.file("x.png")});
    EXPECT_EQ(run.status, 1) << command;
    EXPECT_EQ(run.err.rfind(std::string("sumora ") + command + ": the windows program " + looked, 0), 0u) << run.err;
  }
}

// The window commands hand off to the program beside sumora only when nobody but the user and root
// can change it or put another in its place; /bin/echo stands in for it and shows it ran. Rows that
// give a file to another user need root to do so, and are skipped without it.
TEST_F(SumoraCommandTest, HandsOffOnlyToAProgramNobodyElseCanChange) {
  if (!std::filesystem::exists("/bin/echo")) GTEST_SKIP() << "no /bin/echo to stand in for the windows program";
  constexpr uid_t kSomeoneElse = 65534;
  struct Place {
    const char* name;
    std::filesystem::perms folderMode;
    std::filesystem::perms programMode;
    bool someoneElsesProgram;
    bool someoneElsesFolder;
    std::string refusal;  // empty: the program runs
  };
  using P = std::filesystem::perms;
  const P shared = P::all | P::sticky_bit;
  const P usual = P::owner_all | P::group_read | P::group_exec | P::others_read | P::others_exec;
  const std::vector<Place> places{
      {"private", usual, usual, false, false, ""},
      {"sticky", shared, usual, false, false, ""},
      {"groupWritableProgram", usual, usual | P::group_write, false, false,
       "users other than its owner may change it (it is group- or world-writable)"},
      {"worldWritableFolder", P::all, usual, false, false,
       "its folder is writable by other users, who could put another program in its place"},
      {"someoneElsesProgram", shared, usual, true, false, "it belongs to user 65534, not to you or root"},
      {"someoneElsesFolder", usual, usual, false, true, "its folder belongs to user 65534, not to you or root"},
  };
  for (const Place& place : places) {
    const auto folder = std::filesystem::canonical(dir.path()) / place.name;
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(SUMORA_BINARY, folder / "sumora");
    std::filesystem::copy_file("/bin/echo", folder / "sumora-windows");
    std::filesystem::permissions(folder / "sumora-windows", place.programMode);
    if ((place.someoneElsesProgram && ::chown((folder / "sumora-windows").c_str(), kSomeoneElse, -1) != 0) ||
        (place.someoneElsesFolder && ::chown(folder.c_str(), kSomeoneElse, -1) != 0)) {
      continue;  // not root
    }
    std::filesystem::permissions(folder, place.folderMode);
    const std::string program = (folder / "sumora-windows").string();
    CommandResult run = RunCommand((folder / "sumora").string(), {"show", "output", "--db", db, "--out", "x.png"});
    if (place.refusal.empty()) {
      EXPECT_EQ(run.status, 0) << place.name << ": " << run.err;
      EXPECT_EQ(run.out, "show output --db " + db + " --out x.png\n") << place.name;
    } else {
      EXPECT_EQ(run.status, 1) << place.name;
      EXPECT_EQ(run.out, "") << place.name;
      EXPECT_EQ(run.err.rfind("sumora show: refusing to run the windows program '" + program + "': " + place.refusal +
                                  ". ", 0), 0u) << run.err;
    }
  }
}

class SumoraPictureTest : public SumoraCommandTest {
 protected:
  void SetUp() override {
    SumoraCommandTest::SetUp();
    if (!std::filesystem::exists(std::filesystem::path(SUMORA_BINARY).parent_path() / "sumora-windows")) {
      GTEST_SKIP() << "sumora-windows was not built (no Qt)";
    }
  }
};

TEST_F(SumoraPictureTest, ShowWritesThePictureOfEachWholeWindow) {
  for (const char* window : {"output", "classes", "progress"}) {
    const std::string png = dir.file(std::string(window) + ".png");
    CommandResult run = RunCommand(SUMORA_BINARY, {"show", window, "--db", db, "--table", "ORDERS", "--field", "AMOUNT",
                                                   "--progress", "always", "--out", png});
    ASSERT_EQ(run.status, 0) << window << ": " << run.err;
    auto [width, height] = PngSize(png);
    // The client areas are 343 x 335, 442 x 375 and 224 x 150; the frame adds to each.
    EXPECT_GE(width, 224u) << window;
    EXPECT_GE(height, 150u) << window;
  }
  auto [outputWidth, outputHeight] = PngSize(dir.file("output.png"));
  EXPECT_GE(outputWidth, 343u);
  EXPECT_GE(outputHeight, 335u);
  EXPECT_EQ(RunCommand(SUMORA_BINARY, {"show", "sideways", "--db", db, "--table", "ORDERS", "--field", "AMOUNT",
                                       "--out", dir.file("x.png")})
                .status,
            2);
}

TEST_F(SumoraPictureTest, PlotWritesThePlotAreaOrTheWholeWindow) {
  for (const char* kind : {"histogram", "cumulative", "polygon", "input-order"}) {
    const std::string png = dir.file(std::string(kind) + ".png");
    CommandResult run = RunCommand(SUMORA_BINARY, {"plot", "--db", db, "--table", "ORDERS", "--field", "AMOUNT",
                                                   "--kind", kind, "--seed", "7", "--out", png});
    ASSERT_EQ(run.status, 0) << kind << ": " << run.err;
    EXPECT_EQ(PngSize(png), (std::pair<unsigned, unsigned>{306u, 213u})) << kind;
  }
  const std::string window = dir.file("window.png");
  ASSERT_EQ(RunCommand(SUMORA_BINARY, {"plot", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--kind",
                                       "histogram", "--window", "--out", window})
                .status,
            0);
  auto [width, height] = PngSize(window);
  EXPECT_GE(width, 418u);
  EXPECT_GE(height, 272u);
  EXPECT_EQ(RunCommand(SUMORA_BINARY, {"plot", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--kind", "pie",
                                       "--out", dir.file("pie.png")})
                .status,
            2);
}

#ifdef SUMORA_TEST_READS_SVG
// The elements of an SVG file by name, read with an XML parser; empty when it is not well-formed SVG.
std::map<std::string, int> SvgElements(const std::string& path, std::string* viewBox) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QXmlStreamReader xml(&file);
  std::map<std::string, int> elements;
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement) continue;
    if (elements.empty()) *viewBox = xml.attributes().value(QStringLiteral("viewBox")).toString().toStdString();
    ++elements[xml.name().toString().toStdString()];
  }
  return xml.hasError() || elements.count("svg") == 0 ? std::map<std::string, int>() : elements;
}

TEST_F(SumoraPictureTest, SvgPicturesAreVectorDrawingsAndOtherNamesAreRefused) {
  const std::vector<std::string> binding = {"--db", db, "--table", "ORDERS", "--field", "AMOUNT"};
  struct Case {
    std::vector<std::string> command;
    std::string viewBox;  // "" = not checked
    bool hasText;         // drawn text stays text
  };
  for (const Case& c : {Case{{"plot", "--kind", "histogram", "--seed", "7"}, "0 0 306 213", false},
                        Case{{"plot", "--kind", "histogram", "--window"}, "", true},
                        Case{{"show", "output"}, "", true}}) {
    const std::string svg = dir.file("picture.svg");
    std::vector<std::string> args = c.command;
    args.insert(args.end(), binding.begin(), binding.end());
    args.insert(args.end(), {"--out", svg});
    const CommandResult run = RunCommand(SUMORA_BINARY, args);
    ASSERT_EQ(run.status, 0) << c.command[0] << ": " << run.err;
    std::string viewBox;
    const auto elements = SvgElements(svg, &viewBox);
    ASSERT_FALSE(elements.empty()) << c.command[0] << ": not SVG";
    if (!c.viewBox.empty()) {
      EXPECT_EQ(viewBox, c.viewBox);
    }
    EXPECT_EQ(elements.count("text") != 0, c.hasText) << c.command[0];
  }
  for (const char* command : {"show", "plot"}) {
    std::vector<std::string> args = std::string(command) == "show" ? std::vector<std::string>{"show", "output"}
                                                                   : std::vector<std::string>{"plot", "--kind", "histogram"};
    args.insert(args.end(), binding.begin(), binding.end());
    args.insert(args.end(), {"--out", dir.file("picture.jpg")});
    const CommandResult run = RunCommand(SUMORA_BINARY, args);
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_NE(run.err.find("--out takes a file name ending in .png (a PNG picture) or .svg (an SVG drawing)"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("picture.jpg")));
  }
}
#endif

TEST_F(SumoraPictureTest, QtsOwnWarningsNeverReachStandardError) {
  // No runtime folder, no display: the platform plugin would complain about both, and about raise().
  const CommandSetup bare{"/dev/null", "", {"-XDG_RUNTIME_DIR", "-DISPLAY", "-WAYLAND_DISPLAY", "-QT_QPA_PLATFORM"}};
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"show", "output", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--out", dir.file("o.png")},
           {"plot", "--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--plot-count", "1", "--kind", "input-order",
            "--set", "3", "--window", "--out", dir.file("p.png")}}) {
    CommandResult run = RunCommand(SUMORA_BINARY, args, bare);
    EXPECT_EQ(run.status, 0) << args[0];
    EXPECT_EQ(run.err, "") << args[0];
  }
}

TEST_F(SumoraPictureTest, GuiFindsTheSampleFromAnyDirectoryOrSaysWhereItLooked) {
  // A copy of the program in a tree of its own, as an installed one would be, started elsewhere.
  const auto tree = dir.path() / "tree";
  std::filesystem::create_directories(tree / "bin");
  const std::string program = (tree / "bin" / "sumora").string();
  std::filesystem::copy_file(SUMORA_BINARY, program);
  std::filesystem::copy_file(std::filesystem::path(SUMORA_BINARY).parent_path() / "sumora-windows",
                             tree / "bin" / "sumora-windows");
  const CommandSetup elsewhere{"/dev/null", (dir.path() / "csv").string(), {}};

  CommandResult none = RunCommand(program, {"gui", "--screenshot", dir.file("empty.png")}, elsewhere);
  EXPECT_EQ(none.status, 0) << none.err;
  for (const auto& place : {dir.path() / "csv" / "data" / "orders.form.json", tree / "data" / "orders.form.json",
                            tree / "bin" / "data" / "orders.form.json"}) {
    EXPECT_NE(none.err.find(place.string()), std::string::npos) << place << " not in " << none.err;
  }

  ASSERT_EQ(RunCommand(program, {"sample", "--out", (tree / "data").string()}).status, 0);
  std::ifstream form(tree / "data" / "orders.form.json");
  const std::string stored((std::istreambuf_iterator<char>(form)), std::istreambuf_iterator<char>());
  EXPECT_NE(stored.find("\"DatabaseName\": \"orders.sqlite\""), std::string::npos) << stored;
  CommandResult found = RunCommand(program, {"gui", "--screenshot", dir.file("sample.png")}, elsewhere);
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.err, "");
  std::ifstream empty(dir.file("empty.png"), std::ios::binary);
  std::ifstream sample(dir.file("sample.png"), std::ios::binary);
  EXPECT_NE(std::string((std::istreambuf_iterator<char>(empty)), std::istreambuf_iterator<char>()),
            std::string((std::istreambuf_iterator<char>(sample)), std::istreambuf_iterator<char>()));
}

// A picture is written only by a command that succeeds, and never through a link.
TEST_F(SumoraPictureTest, PicturesAreWrittenOnlyOnSuccessAndNeverThroughALink) {
  // The loading pass of equal values reaches half-way, then the moment pass fails.
  ExecSql(db, "CREATE TABLE SAME (V REAL); INSERT INTO SAME VALUES (4), (4), (4), (4);");
  const std::string png = dir.file("progress.png");
  CommandResult failed = RunCommand(SUMORA_BINARY, {"show", "progress", "--db", db, "--table", "SAME", "--field", "V",
                                                    "--progress", "always", "--out", png});
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("error: Skewness is undefined: the variance is zero\n"), std::string::npos) << failed.err;
  EXPECT_FALSE(std::filesystem::exists(png));

  const std::string victim = dir.write("victim.txt", "precious");
  const std::string link = dir.file("link.png");
  std::filesystem::create_symlink(victim, link);
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"show", "output"}, std::vector<std::string>{"plot", "--kind", "histogram"}}) {
    std::vector<std::string> args = command;
    args.insert(args.end(), {"--db", db, "--table", "ORDERS", "--field", "AMOUNT", "--out", link});
    CommandResult run = RunCommand(SUMORA_BINARY, args);
    EXPECT_EQ(run.status, 1) << command.front();
    EXPECT_EQ(run.err, "error: cannot write '" + link +
                           "': it is a symbolic link, not a regular file; remove it or choose another file name\n");
  }
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious");
}

}  // namespace
}  // namespace sumora::test
