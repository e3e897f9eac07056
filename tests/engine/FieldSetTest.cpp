// A whole-table summary must give every field of every group exactly what a component summarizing that
// field over that group's records alone gives: the same doubles, the same error, the same quantiles.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engine/SmrFieldSet.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora::test {
namespace {

// A table W(G text, N integer, A, B, C, D) shaped like real data: nulls, integers, a constant and an
// all-null field, a big group (more than the 10000 stored values), a one-row group, a null group.
struct Row {
  std::optional<std::string> g;
  std::optional<long> n;
  std::optional<double> a, b, c, d;
};

std::vector<Row> MakeRows() {
  std::mt19937_64 random(7);
  std::lognormal_distribution<double> amount(3.0, 1.0);
  std::vector<Row> rows;
  const char* groups[] = {"east", "west", "North", "a\"b,c"};
  for (int i = 0; i < 16000; ++i) {
    Row row;
    const int which = i % 7 == 0 ? 1 : (i % 11 == 0 ? 2 : (i % 13 == 0 ? 3 : 0));
    row.g = groups[which];
    if (i % 97 == 5) row.g.reset();  // the null group
    row.n = i % 3;
    if (i % 5 != 0) row.a = std::round(amount(random) * 100) / 100;
    row.b = static_cast<double>(i % 17 - 4);
    row.c = 2.5;
    rows.push_back(row);
  }
  Row lone;  // a group of one record
  lone.g = "zz-one";
  lone.n = 9;
  lone.a = 1e200;
  lone.b = 3;
  lone.c = 2.5;
  rows.push_back(lone);
  return rows;
}

std::string Literal(const std::optional<double>& v) {
  if (!v) return "NULL";
  std::ostringstream out;
  out.precision(17);
  out << *v;
  return out.str();
}

std::string CsvCell(const std::optional<double>& v) { return v ? Literal(v) : ""; }

void WriteSources(const std::vector<Row>& rows, const std::string& db, const std::string& csv) {
  std::string sql = "CREATE TABLE W (G TEXT, N INTEGER, A REAL, B INTEGER, C REAL, D REAL); BEGIN;";
  std::string text = "G,N,A,B,C,D\n";
  for (const Row& r : rows) {
    sql += "INSERT INTO W VALUES (" + (r.g ? "'" + *r.g + "'" : std::string("NULL")) + "," + std::to_string(*r.n) + "," +
           Literal(r.a) + "," + Literal(r.b) + "," + Literal(r.c) + "," + Literal(r.d) + ");";
    std::string g = r.g ? *r.g : "";
    if (g.find(',') != std::string::npos) g = "\"a\"\"b,c\"";
    text += g + "," + std::to_string(*r.n) + "," + CsvCell(r.a) + "," + CsvCell(r.b) + "," + CsvCell(r.c) + "," +
            CsvCell(r.d) + "\n";
  }
  ExecSql(db, sql + "COMMIT;");
  std::ofstream(csv) << text;
}

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

// Every statistic the component computed before stopping must equal the set's, bit for bit.
void ExpectSameStatistics(const FieldStatistics& single, const FieldStatistics& set) {
  using R = FieldStatistics;
  EXPECT_EQ(single.Count(), set.Count());
  EXPECT_EQ(single.Computed() & ~set.Computed(), 0u) << "the set computed less than the component";
  if (single.Has(R::kLoaded)) {
    EXPECT_EQ(Bits(single.Total()), Bits(set.Total()));
    EXPECT_EQ(Bits(single.Mean()), Bits(set.Mean()));
  }
  EXPECT_EQ(Bits(single.Min()), Bits(set.Min()));
  EXPECT_EQ(Bits(single.Max()), Bits(set.Max()));
  if (single.Has(R::kMedian)) {
    EXPECT_EQ(Bits(single.Median()), Bits(set.Median()));
  }
  if (single.Has(R::kVariance)) {
    EXPECT_EQ(Bits(single.Variance()), Bits(set.Variance()));
    EXPECT_EQ(Bits(single.Mu3()), Bits(set.Mu3()));
    EXPECT_EQ(Bits(single.Mu4()), Bits(set.Mu4()));
  }
  if (single.Has(R::kSkew)) {
    EXPECT_EQ(Bits(single.Skew()), Bits(set.Skew()));
  }
  if (single.Has(R::kKurtosis)) {
    EXPECT_EQ(Bits(single.Kurtosis()), Bits(set.Kurtosis()));
  }
  if (single.Has(R::kMode)) {
    EXPECT_EQ(Bits(single.Mode()), Bits(set.Mode()));
  }
  if (single.Has(R::kCoeffVariation)) {
    EXPECT_EQ(Bits(single.CoeffVariation()), Bits(set.CoeffVariation()));
  }
  if (single.Has(R::kClassCounts)) {
    for (int c = 1; c <= single.freqClasses + 1; ++c) {
      EXPECT_EQ(single.ClassCount(c), set.ClassCount(c)) << "class " << c;
      EXPECT_EQ(Bits(single.ClassStart(c)), Bits(set.ClassStart(c))) << "class " << c;
      EXPECT_EQ(Bits(single.ClassCumPercent(c)), Bits(set.ClassCumPercent(c))) << "class " << c;
    }
  }
  EXPECT_EQ(single.Stored(), set.Stored());
}

class FieldSetTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteSources(rows, db, csv); }

  // The component over one group's records of the SQLite table, summarized as the command does.
  struct Single {
    std::unique_ptr<TSumoraQuery> component;
    std::string error;
    std::vector<double> quantiles;
  };
  Single SummarizeAlone(const std::string& groupBy, const GroupKey& key, const std::string& field) {
    Single single;
    single.component = std::make_unique<TSumoraQuery>();
    TSumoraQuery& q = *single.component;
    q.SetDatabaseName(db);
    std::string where;
    if (!groupBy.empty()) {
      where = " WHERE " + groupBy +
              (key.kind == GroupKey::Kind::Null     ? std::string(" IS NULL")
               : key.kind == GroupKey::Kind::Number ? " = " + Literal(key.number)
                                                    : " = '" + key.text + "'");
    }
    q.SQL().SetText("SELECT * FROM W" + where);
    q.SetStatFieldName(field);
    q.SetShowCalcProgress(TBoolPlus::Never);
    q.SetdsFreqClasses(7);
    q.PrepareQuantiles(kProbabilities);
    try {
      q.Open();
      q.Summarize();
      q.GetdsCoeffVariation();
    } catch (const std::exception& e) {
      single.error = e.what();
    }
    if (q.Statistics().Count() > 0 && q.Statistics().Has(FieldStatistics::kMedian)) {
      single.quantiles = q.GetdsQuantiles(kProbabilities);
    }
    return single;
  }

  const std::vector<double> kProbabilities = {0.25, 0.5, 0.75, 1.0};
  TempDir dir;
  ScriptedHost host;
  std::vector<Row> rows = MakeRows();
  std::string db = dir.file("w.sqlite");
  std::string csv = dir.file("w.csv");
};

TEST_F(FieldSetTest, EveryFieldOfEveryGroupEqualsItsSingleFieldRunOnSqliteAndCsv) {
  struct Case {
    const char* source;
    const char* groupBy;
  };
  for (const Case& c : {Case{"sqlite", ""}, Case{"sqlite", "G"}, Case{"sqlite", "N"}, Case{"csv", "G"}}) {
    SCOPED_TRACE(std::string(c.source) + " grouped by '" + c.groupBy + "'");
    TSumoraTable table;
    table.SetDatabaseName(std::string(c.source) == "csv" ? csv : db);
    table.SetTableName(std::string(c.source) == "csv" ? "w.csv" : "W");
    table.SetShowCalcProgress(TBoolPlus::Never);
    table.SetdsFreqClasses(7);
    TSumoraFieldSet set(table);
    set.SetFieldNames({"A", "B", "C", "D"});
    set.SetGroupBy(c.groupBy);
    set.PrepareQuantiles(kProbabilities);
    set.Summarize();
    EXPECT_EQ(set.RecordsRead(), static_cast<std::int64_t>(rows.size()));
    const auto& groups = set.Groups();
    for (std::size_t g = 1; g < groups.size(); ++g) EXPECT_TRUE(groups[g - 1].key < groups[g].key);
    for (const auto& group : groups) {
      for (std::size_t f = 0; f < set.FieldNames().size(); ++f) {
        SCOPED_TRACE("group '" + group.key.text + "' " + std::to_string(group.key.number) + " field " +
                     set.FieldNames()[f]);
        const Single single = SummarizeAlone(c.groupBy, group.key, set.FieldNames()[f]);
        const FieldSummary& field = group.fields[f];
        EXPECT_EQ(field.error, single.error);
        ExpectSameStatistics(single.component->Statistics(), field.statistics);
        ASSERT_EQ(field.quantiles.size(), single.quantiles.size());
        for (std::size_t i = 0; i < field.quantiles.size(); ++i) {
          EXPECT_EQ(Bits(field.quantiles[i]), Bits(single.quantiles[i]));
        }
      }
    }
  }
}

TEST_F(FieldSetTest, GroupsComeInKeyOrderWithTheNullGroupLastAndNullsCounted) {
  TSumoraTable table;
  table.SetDatabaseName(db);
  table.SetTableName("W");
  table.SetShowCalcProgress(TBoolPlus::Never);
  TSumoraFieldSet set(table);
  set.SetFieldNames({"D", "A"});
  set.SetGroupBy("G");
  set.Summarize();
  std::vector<std::string> keys;
  for (const auto& group : set.Groups()) keys.push_back(group.key.kind == GroupKey::Kind::Null ? "(null)" : group.key.text);
  EXPECT_EQ(keys, (std::vector<std::string>{"North", "a\"b,c", "east", "west", "zz-one", "(null)"}));
  std::int64_t nulls = 0;
  for (const auto& group : set.Groups()) {
    EXPECT_EQ(group.fields[0].error, "Field 'D' has no values");
    nulls += group.fields[1].nullCount;
  }
  EXPECT_EQ(nulls, 3200);
}

// Bytes this process has read through read() and pread() so far.
std::int64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::int64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return -1;
}

TEST_F(FieldSetTest, EveryFieldOfEveryGroupCostsTwoReadsOfTheCsvFile) {
  TSumoraTable table;
  table.SetDatabaseName(csv);
  table.SetShowCalcProgress(TBoolPlus::Never);
  table.Open();
  TSumoraFieldSet set(table);
  set.SetFieldNames({"A", "B", "C", "D"});
  set.SetGroupBy("G");
  const std::int64_t before = BytesRead();
  set.Summarize();
  const auto size = static_cast<double>(std::filesystem::file_size(csv));
  const auto read = static_cast<double>(BytesRead() - before);
  EXPECT_GE(read, 2 * size);
  // Beyond the two passes, only the rewinds that leave the cursor on the first record after each pass
  // (one 256 KiB block each), whatever the file's size.
  EXPECT_LE(read, 2 * size + 4 * 262144) << "more than the loading and the moment pass";
}

TEST_F(FieldSetTest, MoreGroupsThanTheLimitFailNamingTheFieldAndTheLimit) {
  TSumoraTable table;
  table.SetDatabaseName(db);
  table.SetTableName("W");
  table.SetShowCalcProgress(TBoolPlus::Never);
  TSumoraFieldSet set(table);
  set.SetFieldNames({"A"});
  set.SetGroupBy("G");
  set.SetMaxGroups(3);
  try {
    set.Summarize();
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Field 'G' has more than 3 distinct values"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace sumora::test
