#include "report/ValueProfiles.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace sumora::report {
namespace {

using Json = nlohmann::ordered_json;

struct NumericCase {
  const char* name;
  std::vector<std::optional<double>> values;  // nullopt: a null
  const char* expected;
};

TEST(NumericProfile, CountsZerosNegativesAndKeepsDistinctExtremes) {
  const std::vector<NumericCase> cases = {
      {"no values", {std::nullopt}, R"({"count":0,"nulls":1,"zeros":0,"negatives":0,"smallest":[],"largest":[]})"},
      {"negative zero is a zero, not a negative",
       {-0.0, 0.0, 2.5},
       R"({"count":3,"nulls":0,"zeros":2,"negatives":0,"smallest":[0.0,2.5],"largest":[2.5,0.0]})"},
      {"five distinct at each end, repeats kept once",
       {3, -1, 0, 7, 7, 2, 9, -5, 11, 11, 4, std::nullopt},
       R"({"count":11,"nulls":1,"zeros":1,"negatives":2,"smallest":[-5.0,-1.0,0.0,2.0,3.0],"largest":[11.0,9.0,7.0,4.0,3.0]})"},
      {"NaN is counted but is no extreme",
       {NAN, 1},
       R"({"count":2,"nulls":0,"zeros":0,"negatives":0,"smallest":[1.0],"largest":[1.0]})"},
  };
  for (const auto& row : cases) {
    NumericProfile profile;
    for (const auto& value : row.values) value ? profile.Add(*value) : profile.AddNull();
    EXPECT_EQ(profile.ToJson(), Json::parse(row.expected)) << row.name;
  }
}

TEST(NumericProfile, ExtremesOfManyValuesMatchASort) {
  NumericProfile profile;
  std::vector<double> values;
  for (int i = 0; i < 100000; ++i) values.push_back(std::fmod(i * 7919.0, 100003.0) - 50000);
  for (const double value : values) profile.Add(value);
  std::sort(values.begin(), values.end());
  const Json json = profile.ToJson();
  for (std::size_t i = 0; i < kExtremeCount; ++i) {
    EXPECT_EQ(json["smallest"][i], values[i]);
    EXPECT_EQ(json["largest"][i], values[values.size() - 1 - i]);
  }
}

struct OtherCase {
  const char* name;
  bool dateOrder;
  std::vector<std::optional<std::string>> values;
  const char* expected;
};

TEST(OtherProfile, CountsDistinctTopValuesAndExtremes) {
  const std::vector<OtherCase> cases = {
      {"no values",
       false,
       {std::nullopt, std::nullopt},
       R"({"count":0,"nulls":2,"distinct":0,"distinctExact":true,"top":[],"smallest":null,"largest":null})"},
      {"ties by byte order, bytes not letters",
       false,
       {"b", "a", "b", "é", "a", "B", std::nullopt},
       R"({"count":6,"nulls":1,"distinct":4,"distinctExact":true,"top":[{"value":"a","count":2},)"
       R"({"value":"b","count":2},{"value":"B","count":1},{"value":"é","count":1}],"smallest":"B","largest":"é"})"},
      {"dates order as dates across years of any width",
       true,
       {"2026-01-02", "999-12-31", "12026-01-01", "-0044-03-15"},
       R"({"count":4,"nulls":0,"distinct":4,"distinctExact":true,"top":[{"value":"-0044-03-15","count":1},)"
       R"({"value":"12026-01-01","count":1},{"value":"2026-01-02","count":1},{"value":"999-12-31","count":1}],)"
       R"("smallest":"-0044-03-15","largest":"12026-01-01"})"},
  };
  for (const auto& row : cases) {
    OtherProfile profile(row.dateOrder);
    for (const auto& value : row.values) value ? profile.Add(*value) : profile.AddNull();
    EXPECT_EQ(profile.ToJson(), Json::parse(row.expected)) << row.name;
  }
}

TEST(OtherProfile, DistinctCountIsExactUpToTheLimitThenOnlyMoreThan) {
  for (const std::size_t distinct : {kDistinctLimit, kDistinctLimit + 1}) {
    OtherProfile profile;
    for (std::size_t i = 0; i < distinct; ++i) profile.Add("v" + std::to_string(i));
    profile.Add("v0");
    const Json json = profile.ToJson();
    const bool exact = distinct == kDistinctLimit;
    EXPECT_EQ(json["distinct"], kDistinctLimit) << distinct;
    EXPECT_EQ(json["distinctExact"], exact) << distinct;
    EXPECT_EQ(json["top"].size(), exact ? kTopCount : 0) << distinct;
    EXPECT_EQ(json["count"], distinct + 1);
  }
}

TEST(OtherProfile, LongValuesAreKeptApartButReportedCut) {
  OtherProfile profile;
  const std::string longA(5000, 'x'), longB = std::string(4999, 'x') + "y";
  for (const auto* value : {&longA, &longB, &longB}) profile.Add(*value);
  profile.Add(std::string("\xFF bad", 5));
  const Json json = profile.ToJson();
  EXPECT_EQ(json["distinct"], 3);
  EXPECT_EQ(json["top"][0]["count"], 2);
  EXPECT_EQ(json["top"][0]["value"], std::string(kKeptValueBytes, 'x') + "\xE2\x80\xA6");
  EXPECT_EQ(json["largest"], "\xEF\xBF\xBD bad") << "invalid UTF-8 becomes U+FFFD so the document can be written";
}

}  // namespace
}  // namespace sumora::report
