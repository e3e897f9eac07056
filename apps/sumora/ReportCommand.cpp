#include "apps/sumora/ReportCommand.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>

#include "apps/sumora/Commands.h"
#include "apps/sumora/QuantileOption.h"
#include "apps/sumora/Version.h"
#include "apps/sumora/WholeTable.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/MessageText.h"
#include "host/SafeFile.h"
#include "report/ReportHtml.h"
#include "report/ValueProfiles.h"

namespace sumora::cli {

namespace {

using Json = nlohmann::ordered_json;

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

Json SourceJson(const TDataSet& dataset) {
  Json source = {{"database", nullptr}, {"table", nullptr}, {"sql", nullptr}};
  if (const auto* table = dynamic_cast<const TTable*>(&dataset)) {
    source["database"] = ValidUtf8(table->DatabaseName());
    source["table"] = ValidUtf8(SourceText(dataset));
  } else if (const auto* query = dynamic_cast<const TQuery*>(&dataset)) {
    source["database"] = ValidUtf8(query->DatabaseName());
    source["sql"] = ValidUtf8(SourceText(dataset));
  }
  return source;
}

// The report's own profiles of each group (in discovery order), fed while the loading pass reads: the
// numeric ones on the computing thread, the others on the reading thread, each growing its own lists.
struct Profiles {
  std::vector<std::vector<report::NumericProfile>> numeric;  // [group][numeric field]
  std::vector<std::vector<report::OtherProfile>> other;      // [group][other field]
  std::vector<bool> otherIsDate;

  std::vector<report::NumericProfile>& NumericOf(std::size_t group, std::size_t fields) {
    while (numeric.size() <= group) numeric.emplace_back(fields);
    return numeric[group];
  }
  std::vector<report::OtherProfile>& OtherOf(std::size_t group) {
    while (other.size() <= group) {
      std::vector<report::OtherProfile> others;
      for (bool date : otherIsDate) others.emplace_back(date);
      other.push_back(std::move(others));
    }
    return other[group];
  }
};

}  // namespace

Json GatherReport(BoundComponent& bound, const ReportRequest& request) {
  const auto started = std::chrono::steady_clock::now();
  TDataSet& dataset = *bound.dataset;
  dataset.Open();
  std::vector<std::string> names = request.fields;
  if (names.empty()) {
    for (int i = 0; i < dataset.FieldCount(); ++i) names.push_back(dataset.Fields(i).FieldName());
  }
  // Every field named must exist; the numeric ones get statistics, the others a profile of their values.
  const TField* groupField = request.groupBy.empty() ? nullptr : &dataset.FieldByName(request.groupBy);
  std::vector<std::string> numericNames;
  std::vector<std::string> otherNames;
  Json fields = Json::array();
  for (const auto& name : names) {
    TField& field = dataset.FieldByName(name);
    const bool numeric = NumericField(field);
    fields.push_back({{"name", ValidUtf8(field.FieldName())}, {"class", field.ClassName()}, {"numeric", numeric}});
    if (&field == groupField) continue;  // what the others are grouped by
    (numeric ? numericNames : otherNames).push_back(field.FieldName());
  }

  WholeTableRun run;
  run.bound = BoundComponent{nullptr, bound.stats, bound.dataset, bound.isQuery};
  run.quantiles = request.quantiles;
  run.set = std::make_unique<TSumoraFieldSet>(*bound.stats);
  TSumoraFieldSet& set = *run.set;
  set.SetFieldNames(numericNames);
  set.SetGroupBy(request.groupBy);
  set.SetMaxGroups(request.maxGroups);
  set.PrepareQuantiles(QuantilesWithMedian(request.quantiles));

  // The profiles need every record; server-side mode reads only sums, so it goes without them.
  const bool profiling = !bound.stats->ServerSide();
  Profiles profiles;
  std::vector<const TField*> otherFields;
  for (const auto& name : otherNames) {
    otherFields.push_back(&dataset.FieldByName(name));
    profiles.otherIsDate.push_back(report::IsDateClass(otherFields.back()->ClassName()));
  }
  if (profiling) {
    set.SetExtraFields(otherNames);
    set.onValues = [&](std::size_t group, const double* values) {
      std::vector<report::NumericProfile>& numeric = profiles.NumericOf(group, numericNames.size());
      for (std::size_t f = 0; f < numeric.size(); ++f) {
        if (!std::isnan(values[f])) numeric[f].Add(values[f]);
      }
    };
    set.onRecord = [&](std::size_t group, TDataSet&) {
      std::vector<report::OtherProfile>& others = profiles.OtherOf(group);
      for (std::size_t k = 0; k < otherFields.size(); ++k) {
        if (otherFields[k]->IsNull()) {
          others[k].AddNull();
        } else {
          others[k].Add(otherFields[k]->AsString());
        }
      }
    };
  }
  if (!numericNames.empty() || profiling) set.Summarize();

  Json summaries = Json::array();
  Json profileList = Json::array();
  std::int64_t missing = 0;
  const auto& groups = set.Groups();
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const GroupSummary& group = groups[g];
    const Json key = GroupJson(group.key);
    const Json* groupKey = request.groupBy.empty() ? nullptr : &key;
    const std::size_t discovered = set.GroupOrder().empty() ? g : set.GroupOrder()[g];
    for (std::size_t f = 0; f < group.fields.size(); ++f) {
      summaries.push_back(FieldJson(run, group, f));
      missing += group.fields[f].nullCount;
      if (profiling && discovered < profiles.numeric.size()) {
        report::NumericProfile& profile = profiles.numeric[discovered][f];
        profile.AddNulls(static_cast<std::uint64_t>(group.fields[f].nullCount));
        profileList.push_back(report::ProfileEntry(numericNames[f], groupKey, profile));
      }
    }
    if (profiling && discovered < profiles.other.size()) {
      for (std::size_t k = 0; k < otherFields.size(); ++k) {
        const report::OtherProfile& profile = profiles.other[discovered][k];
        missing += static_cast<std::int64_t>(profile.Nulls());
        profileList.push_back(report::ProfileEntry(otherNames[k], groupKey, otherFields[k]->ClassName(), profile));
      }
    }
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return Json{{"program", "sumora"},
              {"version", SUMORA_VERSION},
              {"generated", UtcNow()},
              {"elapsedSeconds", elapsed},
              {"source", SourceJson(dataset)},
              {"rows", set.RecordsRead()},
              {"fields", fields},
              {"missingCells", missing},
              {"groupBy", request.groupBy.empty() ? Json() : Json(ValidUtf8(request.groupBy))},
              {"summaries", summaries},
              {"profiles", profileList}};
}

int CmdReport(const Args& args) {
  Args rest = args;
  const std::optional<std::vector<double>> quantiles = TakeQuantilesOption(rest);
  CommandLine line(rest, WholeTableOptions({"format", "out"}), WithBindingFlags(), 0, {"field"});
  const std::optional<std::string> out = line.Get("out");
  const bool jsonOut = out && out->size() >= 5 && out->compare(out->size() - 5, 5, ".json") == 0;
  const std::string format = line.Get("format").value_or(jsonOut ? "json" : "html");
  if (format != "html" && format != "json") throw UsageError("--format takes html or json, not '" + ShownText(format) + "'");
  if (format == "html" && !out) throw UsageError("the report needs --out FILE.html (or --format json for its numbers)");
  if (out) CheckOutputTarget(*out);

  ReportRequest request;
  request.fields = line.GetAll("field");
  request.groupBy = line.Get("group-by").value_or("");
  if (auto limit = line.GetInteger("max-groups", 1, 100000000)) request.maxGroups = static_cast<std::size_t>(*limit);
  if (quantiles) request.quantiles = *quantiles;
  BoundComponent bound = BindComponent(line, false);
  // A long read on a terminal shows its progress line unless told otherwise.
  if (!line.Has("progress") && ::isatty(STDERR_FILENO) == 1) bound.stats->SetShowCalcProgress(TBoolPlus::Always);

  const Json data = GatherReport(bound, request);
  const std::string text = format == "json" ? data.dump() + "\n" : report::RenderReportHtml(data);
  if (out) {
    WriteFileAtomically(*out, text);
  } else {
    std::fputs(text.c_str(), stdout);
  }
  return 0;
}

}  // namespace sumora::cli
