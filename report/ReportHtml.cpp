#include "report/ReportHtml.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/HtmlText.h"
#include "report/ReportStyle.h"
#include "report/Svg.h"

namespace sumora::report {

namespace {

using Json = nlohmann::ordered_json;

const Json& Null() {
  static const Json null;
  return null;
}

// `object[key]`, or null when `object` is not an object or has no such key: a document with a key
// missing or mistyped still renders.
const Json& At(const Json& object, const char* key) {
  if (!object.is_object()) return Null();
  const auto found = object.find(key);
  return found == object.end() ? Null() : *found;
}

const Json& Item(const Json& array, std::size_t index) {
  return array.is_array() && index < array.size() ? array[index] : Null();
}

std::string String(const Json& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

double Double(const Json& value) {
  return value.is_number() ? value.get<double>() : std::numeric_limits<double>::quiet_NaN();
}

// A value from the document as page text: integers exactly, other numbers to `significant` digits,
// strings escaped and isolated, null (or anything else) as a dash.
std::string Shown(const Json& value, int significant = 7) {
  if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
  if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
  if (value.is_number()) return ShownNumber(value.get<double>(), significant);
  // A long value is cut like a long name, the whole in its tooltip, so one cell cannot flood the page.
  if (value.is_string()) return HtmlName(value.get<std::string>(), 160);
  return "—";
}

// The share `part` is of `whole`, as " (12.5%)", or nothing when the whole is zero or unknown.
std::string Share(const Json& part, double whole) {
  if (!part.is_number() || !(whole > 0)) return {};
  return " <small>(" + ShownNumber(100 * part.get<double>() / whole, 3) + "%)</small>";
}

// An element showing `value`, tagged with its key path `key` (see the header).
std::string Tagged(const char* element, const std::string& key, const Json& value, int significant = 7) {
  return "<" + std::string(element) + " data-k=\"" + HtmlText(key) + "\">" + Shown(value, significant) + "</" +
         element + ">";
}

std::string Row(const char* label, const std::string& cell) { return "<tr><th>" + std::string(label) + "<td>" + cell; }

std::string Pointer(const char* collection, std::size_t index) {
  return "/" + std::string(collection) + "/" + std::to_string(index);
}

// A group key as text: strings and numbers as they are, the null group as "(null)"; tagged where the
// enclosing element names the group's entry.
std::string GroupText(const Json& group, bool tagged = true) {
  if (group.is_null()) return "<span class=\"null\">(null)</span>";
  return tagged ? "<span data-k=\"group\">" + Shown(group) + "</span>" : Shown(group);
}

std::vector<ClassBar> Bars(const Json& summary) {
  std::vector<ClassBar> bars;
  const Json& classes = At(summary, "classes");
  if (!classes.is_array()) return bars;
  for (const Json& row : classes) {
    ClassBar bar{Double(At(row, "start")), Double(At(row, "end")), Double(At(row, "count")),
                 Double(At(row, "cumPercent"))};
    // A class table of a failed field has no bounds: nothing to draw.
    if (!std::isfinite(bar.start) || !std::isfinite(bar.end) || !std::isfinite(bar.count)) return {};
    bars.push_back(bar);
  }
  return bars;
}

// The indices of a collection's entries per field name, in document order.
std::unordered_map<std::string, std::vector<std::size_t>> ByField(const Json& entries, const char* nameKey) {
  std::unordered_map<std::string, std::vector<std::size_t>> index;
  if (!entries.is_array()) return index;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Json& name = At(entries[i], nameKey);
    if (name.is_string()) index[name.get<std::string>()].push_back(i);
  }
  return index;
}

// A subject for the window title, which shows little of a long name: cut after 200 bytes, at a
// character boundary.
std::string TitleText(std::string_view subject) {
  if (subject.size() <= 200) return HtmlText(subject);
  std::size_t cut = 200;
  while (cut > 0 && (static_cast<unsigned char>(subject[cut]) & 0xC0) == 0x80) --cut;
  return HtmlText(subject.substr(0, cut)) + "\xE2\x80\xA6";
}

class PageWriter {
 public:
  explicit PageWriter(const Json& data) : data_(data) {}

  std::string Write() {
    const Json& source = At(data_, "source");
    const std::string subject = At(source, "table").is_string() ? String(At(source, "table")) : "a query";
    page_ +=
        "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline';"
        " img-src data:\"><meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
        "<meta name=\"color-scheme\" content=\"light dark\"><title>Profile of " +
        TitleText(subject) + "</title><style>" + kReportStyle + "</style></head><body>";
    page_ += "<header><h1>Profile of " + HtmlName(subject) + "</h1><p class=\"sub\">" +
             HtmlText(String(At(data_, "program"))) + " " + HtmlText(String(At(data_, "version"))) + "</p></header>";
    Overview();
    Fields();
    page_ += "<script type=\"application/json\" id=\"sumora-data\">" + ScriptJson(data_) + "</script></body></html>\n";
    return std::move(page_);
  }

 private:
  void Overview() {
    const Json& source = At(data_, "source");
    const Json& fields = At(data_, "fields");
    const double rows = Double(At(data_, "rows"));
    const double elapsed = Double(At(data_, "elapsedSeconds"));
    const std::size_t fieldCount = fields.is_array() ? fields.size() : 0;
    std::map<std::string, int> byClass;
    for (std::size_t i = 0; i < fieldCount; ++i) ++byClass[String(At(fields[i], "class"))];
    std::string classes;
    for (const auto& [name, count] : byClass) {
      classes += (classes.empty() ? "" : ", ") + HtmlText(name) + " " + std::to_string(count);
    }
    const double cells = rows * static_cast<double>(fieldCount);
    page_ += "<section id=\"overview\" data-p=\"\"><h2>Overview</h2><div class=\"cols\"><table class=\"st tx\">";
    page_ += Row("Database", "<bdi>" + HtmlText(String(At(source, "database"))) + "</bdi>");
    if (At(source, "table").is_string()) page_ += Row("Table", HtmlName(String(At(source, "table"))));
    if (At(source, "sql").is_string())
      page_ += Row("Statement", "<pre>" + HtmlText(String(At(source, "sql")), LineBreaks::Keep) + "</pre>");
    if (At(data_, "groupBy").is_string()) {
      page_ +=
          Row("Grouped by", HtmlName(String(At(data_, "groupBy"))) + " (" + std::to_string(GroupCount()) + " groups)");
    }
    page_ += "</table><table class=\"st\">";
    page_ += Row("Rows", Tagged("span", "rows", At(data_, "rows")));
    page_ += Row("Fields", std::to_string(fieldCount) + " <small>(" + classes + ")</small>");
    page_ += Row("Missing cells",
                 Tagged("span", "missingCells", At(data_, "missingCells")) + Share(At(data_, "missingCells"), cells));
    page_ += Row("Made", "<bdi>" + HtmlText(String(At(data_, "generated"))) + "</bdi>");
    page_ += Row("Took", Tagged("span", "elapsedSeconds", At(data_, "elapsedSeconds")) + " s" +
                             (elapsed > 0 && rows >= 0
                                  ? " <small>(" + ShownNumber(std::round(rows / elapsed), 4) + " rows/s)</small>"
                                  : ""));
    page_ += "</table></div>";
    if (fieldCount > 0) {
      page_ += "<div class=\"toc\"><h3>Fields</h3><nav>";
      for (std::size_t i = 0; i < fieldCount; ++i) {
        page_ += "<a href=\"#f" + std::to_string(i) + "\">" + HtmlName(String(At(fields[i], "name")), 40) + "</a>";
      }
      page_ += "</nav></div>";
    }
    page_ += "</section>";
  }

  std::size_t GroupCount() const {
    const Json& summaries = At(data_, "summaries");
    const Json& profiles = At(data_, "profiles");
    std::map<std::string, bool> keys;
    for (const Json* list : {&summaries, &profiles}) {
      if (!list->is_array()) continue;
      for (const Json& entry : *list)
        keys[At(entry, "group").dump(-1, ' ', false, Json::error_handler_t::replace)] = true;
    }
    return keys.size();
  }

  void Fields() {
    const Json& fields = At(data_, "fields");
    if (!fields.is_array()) return;
    const auto summaries = ByField(At(data_, "summaries"), "StatFieldName");
    const auto profiles = ByField(At(data_, "profiles"), "field");
    const bool grouped = At(data_, "groupBy").is_string();
    static const std::vector<std::size_t> none;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const Json& field = fields[i];
      const std::string name = String(At(field, "name"));
      const auto summary = summaries.find(name);
      const auto profile = profiles.find(name);
      const auto& summaryList = summary == summaries.end() ? none : summary->second;
      const auto& profileList = profile == profiles.end() ? none : profile->second;
      if (summaryList.empty() && profileList.empty()) continue;
      page_ += "<section id=\"f" + std::to_string(i) + "\"><h2>" + HtmlName(name) + "<span class=\"cls\">" +
               HtmlText(String(At(field, "class"))) + "</span></h2>";
      // A summary makes a field numeric even when its entry in "fields" does not say so.
      const bool numeric = At(field, "numeric") == true || !summaryList.empty() || profileList.empty() ||
                           At(Item(At(data_, "profiles"), profileList.front()), "numeric") == true;
      if (grouped && numeric) {
        NumericGroups(summaryList, profileList);
      } else if (grouped) {
        OtherGroups(profileList);
      } else if (numeric) {
        Numeric(summaryList.empty() ? nullptr : &summaryList.front(),
                profileList.empty() ? nullptr : &profileList.front());
      } else {
        Other(profileList.front());
      }
      page_ += "</section>";
    }
  }

  // One numeric field: its statistics, extremes, class table and histogram.
  void Numeric(const std::size_t* summaryIndex, const std::size_t* profileIndex) {
    const Json& summary = summaryIndex ? Item(At(data_, "summaries"), *summaryIndex) : Null();
    const Json& profile = profileIndex ? Item(At(data_, "profiles"), *profileIndex) : Null();
    const std::string profilePath = profileIndex ? Pointer("profiles", *profileIndex) : "";
    const auto fromProfile = [&](const char* key) { return Tagged("td", profilePath + "/" + key, At(profile, key)); };
    page_ += "<div";
    if (summaryIndex) page_ += " data-p=\"" + Pointer("summaries", *summaryIndex) + "\"";
    page_ += ">";
    if (At(summary, "error").is_string()) {
      page_ += "<p class=\"err\">Statistics failed: " + HtmlText(String(At(summary, "error"))) + "</p>";
    }
    const Json& count = At(summary, "dsDataCount");
    const double records = Double(count) + Double(At(summary, "nullCount"));
    page_ += "<div class=\"cols\"><table class=\"st\"><caption>Values</caption>";
    page_ += "<tr><th>Count" + Tagged("td", "dsDataCount", count);
    page_ +=
        Row("Nulls", Tagged("span", "nullCount", At(summary, "nullCount")) + Share(At(summary, "nullCount"), records));
    if (profileIndex) {
      page_ += "<tr><th>Zeros" + fromProfile("zeros") + "<tr><th>Negatives" + fromProfile("negatives");
    }
    for (const auto& [label, key] :
         {std::pair{"Minimum", "dsMin"}, {"Maximum", "dsMax"}, {"Range", "dsRange"}, {"Total", "dsTotal"}}) {
      page_ += "<tr><th>" + std::string(label) + Tagged("td", key, At(summary, key));
    }
    page_ += "</table><table class=\"st\"><caption>Centre and spread</caption>";
    for (const auto& [label, key] : {std::pair{"Mean", "dsMean"}, {"Median of every value", "medianAll"}}) {
      if (std::string(key) == "medianAll" && !At(summary, "medianAll").is_number()) continue;
      page_ += "<tr><th>" + std::string(label) + Tagged("td", key, At(summary, key));
    }
    page_ += "<tr><th>Median of the first " + Tagged("span", "medianBasis", At(summary, "medianBasis")) + " values" +
             Tagged("td", "dsMedian", At(summary, "dsMedian"));
    for (const auto& [label, key] : {std::pair{"Mode", "dsMode"},
                                     {"Modal class", "dsModeClass"},
                                     {"Standard deviation", "dsStdDev"},
                                     {"Variance", "dsVariance"},
                                     {"Coefficient of variation", "dsCoeffVariation"}}) {
      page_ += "<tr><th>" + std::string(label) + Tagged("td", key, At(summary, key));
    }
    page_ += Row("Skewness", Tagged("span", "dsSkew", At(summary, "dsSkew")) + " " +
                                 Tagged("span", "dsSkewSign", At(summary, "dsSkewSign")));
    page_ += "<tr><th>Kurtosis" + Tagged("td", "dsKurtosis", At(summary, "dsKurtosis"));
    page_ += "</table>";
    Quantiles(summary);
    if (profileIndex) Extremes(profile, profilePath);
    page_ += "</div><div class=\"cols\">";
    Histogram(summary);
    ClassTable(summary);
    page_ += "</div></div>";
  }

  void Quantiles(const Json& summary) {
    const Json& quantiles = At(summary, "quantiles");
    if (!quantiles.is_array() || quantiles.empty()) return;
    page_ += "<table class=\"st\"><caption>Quantiles (exact)</caption>";
    for (std::size_t i = 0; i < quantiles.size(); ++i) {
      const double p = Double(At(quantiles[i], "p"));
      page_ += "<tr><th>" + (std::isfinite(p) ? ShownNumber(100 * p, 4) + "%" : std::string("—")) +
               Tagged("td", "quantiles/" + std::to_string(i) + "/value", At(quantiles[i], "value"));
    }
    page_ += "</table>";
  }

  void Extremes(const Json& profile, const std::string& path) {
    const Json& smallest = At(profile, "smallest");
    const Json& largest = At(profile, "largest");
    const std::size_t rows =
        std::max(smallest.is_array() ? smallest.size() : 0, largest.is_array() ? largest.size() : 0);
    if (rows == 0) return;
    page_ += "<table class=\"st\"><caption>Extremes</caption><thead><tr><th>Smallest<th>Largest</thead>";
    for (std::size_t i = 0; i < rows; ++i) {
      page_ += "<tr>";
      for (const auto& [list, key] : {std::pair{&smallest, "/smallest/"}, {&largest, "/largest/"}}) {
        page_ += i < list->size() ? Tagged("td", path + key + std::to_string(i), (*list)[i]) : "<td>";
      }
    }
    page_ += "</table>";
  }

  void Histogram(const Json& summary) {
    const std::string svg = HistogramSvg(Bars(summary));
    if (svg.empty()) return;
    page_ += "<figure>" + svg +
             "<figcaption class=\"key\"><i class=\"kb\"></i>count<i class=\"kp\"></i>frequency polygon"
             "<i class=\"kc\"></i>cumulative %</figcaption></figure>";
  }

  void ClassTable(const Json& summary) {
    const Json& classes = At(summary, "classes");
    if (!classes.is_array() || classes.empty()) return;
    page_ +=
        "<table class=\"st\"><caption>Classes</caption><thead><tr><th>#<th>From<th>To<th>Count<th>%<th>Cum. %</thead>";
    for (std::size_t i = 0; i < classes.size(); ++i) {
      const std::string path = "classes/" + std::to_string(i) + "/";
      page_ += "<tr>" + Tagged("th", path + "class", At(classes[i], "class"));
      for (const char* key : {"start", "end", "count"}) page_ += Tagged("td", path + key, At(classes[i], key));
      // Percentages to four digits: a reader compares shares, and the exact values are in the data.
      for (const char* key : {"percent", "cumPercent"}) page_ += Tagged("td", path + key, At(classes[i], key), 4);
    }
    page_ += "</table>";
  }

  // A numeric field across the groups: a row of figures per group and a small histogram per group on
  // one common axis.
  void NumericGroups(const std::vector<std::size_t>& summaryList, const std::vector<std::size_t>& profileList) {
    const Json& summaries = At(data_, "summaries");
    page_ +=
        "<div class=\"wide\"><table class=\"grp\"><thead><tr><th>Group<th>Count<th>Nulls<th>Mean<th>Std dev"
        "<th>Q1<th>Median<th>Q3<th>Min<th>Max</thead>";
    std::string errors;
    double axisStart = std::numeric_limits<double>::infinity(), axisEnd = -axisStart;
    for (const std::size_t index : summaryList) {
      const Json& summary = summaries[index];
      page_ += "<tr data-p=\"" + Pointer("summaries", index) + "\"><th>" + GroupText(At(summary, "group"));
      for (const char* key : {"dsDataCount", "nullCount", "dsMean", "dsStdDev"})
        page_ += Tagged("td", key, At(summary, key));
      for (const double p : {0.25, 0.5, 0.75}) page_ += QuantileCell(summary, p);
      for (const char* key : {"dsMin", "dsMax"}) page_ += Tagged("td", key, At(summary, key));
      if (At(summary, "error").is_string()) {
        errors += "<p class=\"err\">" + GroupText(At(summary, "group"), false) + ": " +
                  HtmlText(String(At(summary, "error"))) + "</p>";
      }
      const auto bars = Bars(summary);
      if (!bars.empty()) {
        axisStart = std::min(axisStart, bars.front().start);
        axisEnd = std::max(axisEnd, bars.back().end);
      }
    }
    page_ += "</table></div>" + errors;
    GroupExtremes(profileList);
    if (!(axisStart <= axisEnd)) return;
    page_ += "<h3>Histograms on one axis, from " + ShownNumber(axisStart) + " to " + ShownNumber(axisEnd) +
             " <small>(each scaled to its largest class)</small></h3><div class=\"minis\">";
    for (const std::size_t index : summaryList) {
      const std::string svg = SmallHistogramSvg(Bars(summaries[index]), axisStart, axisEnd);
      if (svg.empty()) continue;
      page_ += "<figure data-p=\"" + Pointer("summaries", index) + "\">" + svg + "<figcaption>" +
               GroupText(At(summaries[index], "group")) +
               " · n = " + Tagged("span", "dsDataCount", At(summaries[index], "dsDataCount")) +
               "</figcaption></figure>";
    }
    page_ += "</div>";
  }

  // The quartile `p` of a summary when it was asked for, tagged with its place in the quantile list.
  std::string QuantileCell(const Json& summary, double p) {
    const Json& quantiles = At(summary, "quantiles");
    if (quantiles.is_array()) {
      for (std::size_t i = 0; i < quantiles.size(); ++i) {
        if (Double(At(quantiles[i], "p")) == p) {
          return Tagged("td", "quantiles/" + std::to_string(i) + "/value", At(quantiles[i], "value"));
        }
      }
    }
    return "<td>—";
  }

  void GroupExtremes(const std::vector<std::size_t>& profileList) {
    if (profileList.empty()) return;
    page_ +=
        "<div class=\"wide\"><table class=\"grp\"><thead><tr><th>Group<th>Zeros<th>Negatives"
        "<th>Smallest<th>Largest</thead>";
    const Json& profiles = At(data_, "profiles");
    for (const std::size_t index : profileList) {
      const Json& profile = profiles[index];
      page_ += "<tr data-p=\"" + Pointer("profiles", index) + "\"><th>" + GroupText(At(profile, "group")) +
               Tagged("td", "zeros", At(profile, "zeros")) + Tagged("td", "negatives", At(profile, "negatives")) +
               Tagged("td", "smallest/0", Item(At(profile, "smallest"), 0)) +
               Tagged("td", "largest/0", Item(At(profile, "largest"), 0));
    }
    page_ += "</table></div>";
  }

  // A text, date or boolean field: counts, distinct values, the most frequent values and the extremes.
  void Other(std::size_t profileIndex) {
    const Json& profile = Item(At(data_, "profiles"), profileIndex);
    const double records = Double(At(profile, "count")) + Double(At(profile, "nulls"));
    page_ += "<div class=\"cols\" data-p=\"" + Pointer("profiles", profileIndex) + "\"><table class=\"st tx\">";
    page_ += "<tr><th>Count" + Tagged("td", "count", At(profile, "count"));
    page_ += Row("Nulls", Tagged("span", "nulls", At(profile, "nulls")) + Share(At(profile, "nulls"), records));
    page_ += Row("Distinct", DistinctText(profile));
    page_ += "<tr><th>Smallest" + Tagged("td", "smallest", At(profile, "smallest"));
    page_ += "<tr><th>Largest" + Tagged("td", "largest", At(profile, "largest"));
    page_ += "</table>";
    const Json& top = At(profile, "top");
    if (top.is_array() && !top.empty()) {
      page_ += "<table class=\"st tx top\"><caption>Most frequent</caption><thead><tr><th>Value<th>Count<th>%</thead>";
      for (std::size_t i = 0; i < top.size(); ++i) {
        const std::string path = "top/" + std::to_string(i) + "/";
        page_ += "<tr>" + Tagged("td", path + "value", At(top[i], "value")) +
                 Tagged("td", path + "count", At(top[i], "count")) + "<td>" +
                 ShownNumber(100 * Double(At(top[i], "count")) / Double(At(profile, "count")), 3);
      }
      page_ += "</table>";
    }
    page_ += "</div>";
  }

  static std::string DistinctText(const Json& profile) {
    if (At(profile, "distinctExact") == false) {
      return "more than <span data-k=\"distinct\">" + Shown(At(profile, "distinct")) + "</span>";
    }
    return Tagged("span", "distinct", At(profile, "distinct"));
  }

  void OtherGroups(const std::vector<std::size_t>& profileList) {
    const Json& profiles = At(data_, "profiles");
    page_ +=
        "<div class=\"wide\"><table class=\"grp tx\"><thead><tr><th>Group<th>Count<th>Nulls<th>Distinct"
        "<th>Most frequent<th>Smallest<th>Largest</thead>";
    for (const std::size_t index : profileList) {
      const Json& profile = profiles[index];
      page_ += "<tr data-p=\"" + Pointer("profiles", index) + "\"><th>" + GroupText(At(profile, "group")) +
               Tagged("td", "count", At(profile, "count")) + Tagged("td", "nulls", At(profile, "nulls")) + "<td>" +
               DistinctText(profile) + Tagged("td", "top/0/value", At(Item(At(profile, "top"), 0), "value")) +
               Tagged("td", "smallest", At(profile, "smallest")) + Tagged("td", "largest", At(profile, "largest"));
    }
    page_ += "</table></div>";
  }

  const Json& data_;
  std::string page_;
};

}  // namespace

std::string RenderReportHtml(const nlohmann::ordered_json& data) { return PageWriter(data).Write(); }

}  // namespace sumora::report
