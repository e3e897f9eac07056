// What a profile report shows of a field beyond its statistics, gathered one value at a time while the
// passes read the records: flat memory, whatever the row count.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include <nlohmann/json.hpp>

namespace sumora::report {

// How many extreme values a profile keeps at each end.
constexpr std::size_t kExtremeCount = 5;
// Distinct values are counted exactly up to this many; beyond, only "more than" is known.
constexpr std::size_t kDistinctLimit = 10000;
// How many of the most frequent values a profile reports.
constexpr std::size_t kTopCount = 10;
// Values longer than this are reported cut (with "…"), and distinct keys longer than this are kept as
// their first bytes plus a hash, so 10,000 huge cells cannot exhaust memory.
constexpr std::size_t kKeptValueBytes = 1000;

// A numeric field's scaled values: zeros, negatives and the distinct smallest and largest values.
class NumericProfile {
 public:
  NumericProfile() = default;
  // Counts one scaled value; NaN is counted but is neither zero, negative nor an extreme.
  void Add(double value);
  void AddNull() { ++nulls_; }
  // The nulls of a field counted elsewhere (the summary counts them in the same pass).
  void AddNulls(std::uint64_t nulls) { nulls_ += nulls; }
  std::uint64_t Count() const { return count_; }
  // {"count","nulls","zeros","negatives","smallest":[ascending],"largest":[descending]}; the lists hold
  // up to five distinct values, fewer when the field has fewer.
  nlohmann::ordered_json ToJson() const;

 private:
  std::uint64_t count_ = 0;
  std::uint64_t nulls_ = 0;
  std::uint64_t zeros_ = 0;
  std::uint64_t negatives_ = 0;
  std::array<double, kExtremeCount> smallest_{};  // ascending, the first smallestSize_ are valid
  std::array<double, kExtremeCount> largest_{};   // descending
  std::size_t smallestSize_ = 0;
  std::size_t largestSize_ = 0;
};

// A text, date or boolean field's values as strings: count, nulls, distinct values, the most frequent
// values and the smallest and largest. Strings order by bytes; a date field's values (ISO 8601) order
// as dates, so a year before 0 or after 9999 still sorts where it belongs.
class OtherProfile {
 public:
  // `dateOrder`: compare values as ISO dates rather than as bytes.
  explicit OtherProfile(bool dateOrder = false) : dateOrder_(dateOrder) {}
  void Add(std::string_view value);
  void AddNull() { ++nulls_; }
  // The number of distinct values, exact while DistinctExact().
  std::size_t Distinct() const { return distinctExact_ ? counts_.size() : kDistinctLimit; }
  bool DistinctExact() const { return distinctExact_; }
  std::uint64_t Nulls() const { return nulls_; }
  // {"count","nulls","distinct","distinctExact","top":[{"value","count"}],"smallest","largest"}. While
  // the distinct count is exact "top" holds the ten most frequent values (ties in byte order); beyond
  // the limit "distinct" is 10000 with "distinctExact" false and "top" is empty. smallest/largest are
  // null for a field without values.
  nlohmann::ordered_json ToJson() const;

 private:
  bool Less(std::string_view a, std::string_view b) const;

  bool dateOrder_;
  bool distinctExact_ = true;
  std::uint64_t count_ = 0;
  std::uint64_t nulls_ = 0;
  std::unordered_map<std::string, std::uint64_t> counts_;
  std::string smallest_;
  std::string largest_;
};

// A field's entry in the report's "profiles": {"field", ("group",) "numeric": true, ...profile.ToJson()}.
// `group` is the group's key (null for the null group), or nullptr when the report is not grouped.
nlohmann::ordered_json ProfileEntry(std::string_view field, const nlohmann::ordered_json* group,
                                    const NumericProfile& profile);
// {"field", ("group",) "numeric": false, "class": className, ...profile.ToJson()}.
nlohmann::ordered_json ProfileEntry(std::string_view field, const nlohmann::ordered_json* group,
                                    std::string_view className, const OtherProfile& profile);

// True when `className` is one of the dataset's date or time field classes.
bool IsDateClass(std::string_view className);

// `text` cut after `limit` bytes (never inside a UTF-8 character) with "…" marking the cut, and made
// valid UTF-8 so it can be written as JSON.
std::string KeptValue(std::string_view text, std::size_t limit = kKeptValueBytes);

}  // namespace sumora::report
