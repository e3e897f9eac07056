#include "report/ValueProfiles.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <vector>

#include "host/MessageText.h"

namespace sumora::report {

namespace {

// Inserts `value` into the first `size` entries of `kept`, ordered by `before`, keeping at most
// kExtremeCount distinct values. The common case, a value no better than the worst kept, costs one
// comparison.
template <typename Before>
void KeepExtreme(std::array<double, kExtremeCount>& kept, std::size_t& size, double value, Before before) {
  if (size == kExtremeCount && !before(value, kept[size - 1])) return;
  std::size_t at = 0;
  while (at < size && before(kept[at], value)) ++at;
  if (at < size && kept[at] == value) return;
  if (size < kExtremeCount) ++size;
  for (std::size_t move = size - 1; move > at; --move) kept[move] = kept[move - 1];
  kept[at] = value;
}

nlohmann::ordered_json Values(const std::array<double, kExtremeCount>& kept, std::size_t size) {
  nlohmann::ordered_json values = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < size; ++i) values.push_back(kept[i] == 0.0 ? 0.0 : kept[i]);
  return values;
}

// The signed year leading an ISO date ("-0044-03-15", "12026-01-01"), and where the rest starts.
bool LeadingYear(std::string_view text, long long& year, std::size_t& rest) {
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const bool negative = first != last && *first == '-';
  if (negative) ++first;
  auto [end, error] = std::from_chars(first, last, year);
  if (error != std::errc() || end == first || end == last || *end != '-') return false;
  if (negative) year = -year;
  rest = static_cast<std::size_t>(end - text.data());
  return true;
}

// The key a value is counted under: the value itself, or for a very long value its first bytes and a
// hash of the whole (the bytes keep the report readable, the hash keeps distinct values apart).
std::string DistinctKey(std::string_view value) {
  if (value.size() <= kKeptValueBytes) return std::string(value);
  // One byte more than is shown, so the report still marks the value as cut.
  std::string key(value.substr(0, kKeptValueBytes + 1));
  key += '\0';
  key += std::to_string(std::hash<std::string_view>{}(value));
  return key;
}

std::string_view ShownPart(const std::string& key) {
  const std::size_t cut = key.find('\0', std::min(key.size(), kKeptValueBytes + 1));
  return std::string_view(key).substr(0, cut);
}

}  // namespace

void NumericProfile::Add(double value) {
  ++count_;
  if (std::isnan(value)) return;
  if (value == 0.0) ++zeros_;
  if (value < 0.0) ++negatives_;
  KeepExtreme(smallest_, smallestSize_, value, std::less<double>());
  KeepExtreme(largest_, largestSize_, value, std::greater<double>());
}

nlohmann::ordered_json NumericProfile::ToJson() const {
  return {{"count", count_},
          {"nulls", nulls_},
          {"zeros", zeros_},
          {"negatives", negatives_},
          // -0.0 is written as 0: a scaled zero is still a zero to the reader.
          {"smallest", Values(smallest_, smallestSize_)},
          {"largest", Values(largest_, largestSize_)}};
}

namespace {

nlohmann::ordered_json EntryHead(std::string_view field, const nlohmann::ordered_json* group, bool numeric) {
  nlohmann::ordered_json entry = {{"field", ValidUtf8(field)}};
  if (group != nullptr) entry["group"] = *group;
  entry["numeric"] = numeric;
  return entry;
}

}  // namespace

nlohmann::ordered_json ProfileEntry(std::string_view field, const nlohmann::ordered_json* group,
                                    const NumericProfile& profile) {
  nlohmann::ordered_json entry = EntryHead(field, group, true);
  entry.update(profile.ToJson());
  return entry;
}

nlohmann::ordered_json ProfileEntry(std::string_view field, const nlohmann::ordered_json* group,
                                    std::string_view className, const OtherProfile& profile) {
  nlohmann::ordered_json entry = EntryHead(field, group, false);
  entry["class"] = std::string(className);
  entry.update(profile.ToJson());
  return entry;
}

bool IsDateClass(std::string_view className) {
  return className == "TDateField" || className == "TDateTimeField" || className == "TTimeField" ||
         className == "TSQLTimeStampField";
}

std::string KeptValue(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return ValidUtf8(text);
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return ValidUtf8(text.substr(0, cut)) + "\xE2\x80\xA6";
}

bool OtherProfile::Less(std::string_view a, std::string_view b) const {
  long long yearA = 0, yearB = 0;
  std::size_t restA = 0, restB = 0;
  if (dateOrder_ && LeadingYear(a, yearA, restA) && LeadingYear(b, yearB, restB) && yearA != yearB) {
    return yearA < yearB;
  }
  return a < b;
}

void OtherProfile::Add(std::string_view value) {
  if (count_ == 0 || Less(value, smallest_)) smallest_.assign(value);
  if (count_ == 0 || Less(largest_, value)) largest_.assign(value);
  ++count_;
  if (!distinctExact_) return;
  std::string key = DistinctKey(value);
  auto found = counts_.find(key);
  if (found != counts_.end()) {
    ++found->second;
  } else if (counts_.size() < kDistinctLimit) {
    counts_.emplace(std::move(key), 1);
  } else {
    // One value more than the limit: the count is no longer exact and the counts are of no further use.
    distinctExact_ = false;
    counts_ = {};
  }
}

nlohmann::ordered_json OtherProfile::ToJson() const {
  nlohmann::ordered_json top = nlohmann::ordered_json::array();
  if (distinctExact_) {
    std::vector<const std::pair<const std::string, std::uint64_t>*> entries;
    entries.reserve(counts_.size());
    for (const auto& entry : counts_) entries.push_back(&entry);
    const std::size_t shown = std::min(kTopCount, entries.size());
    std::partial_sort(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(shown), entries.end(),
                      [](const auto* a, const auto* b) {
                        return a->second != b->second ? a->second > b->second : a->first < b->first;
                      });
    for (std::size_t i = 0; i < shown; ++i) {
      top.push_back({{"value", KeptValue(ShownPart(entries[i]->first))}, {"count", entries[i]->second}});
    }
  }
  const auto extreme = [this](const std::string& value) {
    return count_ == 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(KeptValue(value));
  };
  return {{"count", count_},
          {"nulls", nulls_},
          {"distinct", Distinct()},
          {"distinctExact", distinctExact_},
          {"top", std::move(top)},
          {"smallest", extreme(smallest_)},
          {"largest", extreme(largest_)}};
}

}  // namespace sumora::report
