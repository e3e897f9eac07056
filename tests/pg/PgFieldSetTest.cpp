// Whole-table summaries over PostgreSQL: streaming, every field of every group equals a component's run
// over that group's rows bit for bit; server-side (one aggregate statement per pass for every field and
// group) agrees with streaming by the results contract.
#include <gtest/gtest.h>

#include <bit>

#include "engine/SmrFieldSet.h"
#include "tests/pg/SummaryCompare.h"
#include "tests/support/ScriptedHost.h"

namespace sumora::test {
namespace {

std::unique_ptr<TSumoraTable> Regions(bool serverSide, const std::string& name = "regions", double scaleBy = 1.0) {
  auto table = std::make_unique<TSumoraTable>();
  table->SetDatabaseName(PgTestUrl());
  table->SetTableName(name);
  table->SetdsScaleFactor(scaleBy);
  table->SetShowCalcProgress(TBoolPlus::Never);
  table->SetdsFreqClasses(7);
  table->SetServerSide(serverSide);
  table->Open();
  return table;
}

// The rows of one group, as the summary groups them: text "nan" and NULL are the null key; every row
// without a group field.
std::string WhereOf(const std::string& groupBy, const GroupKey& key) {
  if (groupBy.empty()) return "TRUE";
  if (key.kind == GroupKey::Kind::Null) return groupBy + " IS NULL OR " + groupBy + "::text = 'nan'";
  if (key.kind == GroupKey::Kind::Number) return groupBy + " = " + std::to_string(static_cast<long>(key.number));
  return groupBy + " = '" + key.text + "'";
}

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

TEST(PgFieldSet, EveryFieldOfEveryGroupEqualsItsSingleFieldRunAndServerSideAgrees) {
  SKIP_WITHOUT_PG_SERVER();
  ScriptedHost host;
  for (const std::string groupBy : {"region", "n", ""}) {
    SCOPED_TRACE("grouped by " + groupBy);
    auto streamedTable = Regions(false);
    auto aggregatedTable = Regions(true);
    TSumoraFieldSet streamed(*streamedTable);
    TSumoraFieldSet aggregated(*aggregatedTable);
    for (TSumoraFieldSet* set : {&streamed, &aggregated}) {
      set->SetFieldNames({"x", "y", "f4"});
      set->SetGroupBy(groupBy);
      set->PrepareQuantiles({0.25, 0.5});
      set->Summarize();
    }
    ASSERT_EQ(streamed.Groups().size(), aggregated.Groups().size());
    for (std::size_t g = 0; g < streamed.Groups().size(); ++g) {
      const GroupSummary& group = streamed.Groups()[g];
      EXPECT_TRUE(group.key == aggregated.Groups()[g].key);
      for (std::size_t f = 0; f < group.fields.size(); ++f) {
        SCOPED_TRACE("group " + group.key.text + std::to_string(group.key.number) + " field " + std::to_string(f));
        const FieldSummary& field = group.fields[f];
        auto single = Bind({"", "SELECT * FROM regions WHERE " + WhereOf(groupBy, group.key), streamed.FieldNames()[f],
                            1.0, 7},
                           false);
        EXPECT_EQ(SummaryError(*single), field.error);
        const FieldStatistics& one = single->Statistics();
        const FieldStatistics& s = field.statistics;
        EXPECT_EQ(Bits(one.Total()), Bits(s.Total()));
        EXPECT_EQ(Bits(one.Median()), Bits(s.Median()));
        EXPECT_EQ(Bits(one.Variance()), Bits(s.Variance()));
        EXPECT_EQ(Bits(one.Kurtosis()), Bits(s.Kurtosis()));
        EXPECT_EQ(one.Stored(), s.Stored());
        // Server-side: counts, extremes, classes, stored values, median and quantiles identical; sums close.
        const FieldSummary& other = aggregated.Groups()[g].fields[f];
        const FieldStatistics& a = other.statistics;
        EXPECT_EQ(field.nullCount, other.nullCount);
        EXPECT_EQ(s.Count(), a.Count());
        EXPECT_EQ(s.Min(), a.Min());
        EXPECT_EQ(s.Max(), a.Max());
        EXPECT_EQ(s.Median(), a.Median());
        EXPECT_EQ(s.Stored(), a.Stored());
        EXPECT_EQ(field.quantiles, other.quantiles);
        for (int c = 1; c <= 8; ++c) EXPECT_EQ(s.ClassCount(c), a.ClassCount(c)) << "class " << c;
        ExpectClose(s.Total(), a.Total(), "total");
        ExpectClose(s.Variance(), a.Variance(), "variance");
        ExpectClose(s.Mu4(), a.Mu4(), "fourth moment");
      }
    }
  }
}

// A plain table's medians come from the middles of its first values, sorted where they lie, so no
// value travels for them: bit for bit the streamed ones, with nulls, NaN, float4, numeric, money and a
// negative scale.
TEST(PgFieldSet, APlainTablesMediansAreSortedOnTheServer) {
  SKIP_WITHOUT_PG_SERVER();
  ScriptedHost host;
  const std::vector<std::pair<std::string, std::vector<std::string>>> tables = {
      {"series", {"id", "amount"}}, {"kinds", {"i4", "i8", "f4", "f8", "num", "cash"}}};
  for (const auto& [name, fields] : tables) {
    for (const double scaleBy : {1.0, -2.5}) {
      SCOPED_TRACE(name + " scaled by " + std::to_string(scaleBy));
      auto streamedTable = Regions(false, name, scaleBy);
      auto aggregatedTable = Regions(true, name, scaleBy);
      TSumoraFieldSet streamed(*streamedTable);
      TSumoraFieldSet aggregated(*aggregatedTable);
      for (TSumoraFieldSet* set : {&streamed, &aggregated}) {
        set->SetFieldNames(fields);
        set->Summarize();
      }
      for (std::size_t f = 0; f < fields.size(); ++f) {
        const FieldStatistics& s = streamed.Groups()[0].fields[f].statistics;
        const FieldStatistics& a = aggregated.Groups()[0].fields[f].statistics;
        EXPECT_EQ(Bits(s.Median()), Bits(a.Median())) << fields[f];
        EXPECT_FALSE(s.Stored().empty()) << fields[f];
        EXPECT_TRUE(a.Stored().empty()) << fields[f];
      }
    }
  }
}

}  // namespace
}  // namespace sumora::test
