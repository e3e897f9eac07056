// `summarize`, `classes` and `report` over one or many fields, optionally per group: binds the component
// once, summarizes every field (and group) in one pair of passes (TSumoraFieldSet), and turns each field
// of each group into the command's JSON object and text block.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/sumora/Binding.h"
#include "engine/SmrFieldSet.h"

namespace sumora::cli {

// The options these commands take beyond the binding options.
std::vector<std::string> WholeTableOptions(std::vector<std::string> extra);

struct WholeTableRun {
  BoundComponent bound;
  std::unique_ptr<TSumoraFieldSet> set;
  std::optional<std::vector<double>> quantiles;  // the probabilities asked for, without the median's 0.5
  std::optional<int> digits;                     // --digits: significant digits instead of the windows' format
  // One field and no --group-by: printed as one object, and its error fails the run as a component's would.
  bool Single() const { return set->GroupBy().empty() && set->FieldNames().size() == 1; }
  // Whether any field of any group failed.
  bool AnyError() const;
};

// Binds from the command line, resolves the fields (--field ..., --all-numeric, or the form's field; an
// unknown field is an error naming the numeric fields), --group-by and --max-groups. `extraFields`
// names fields the caller reads itself in the loading pass. Does not summarize.
WholeTableRun PrepareWholeTable(const CommandLine& line, const std::optional<std::vector<double>>& quantiles);
// Summarizes; for a single field, raises that field's error as a component would.
void RunWholeTable(WholeTableRun& run);

// The whole table name or SQL text (its lines joined by line feeds).
std::string SourceText(const TDataSet& dataset);
// A group's key in JSON: a number, a string (made valid UTF-8), or null for the null group.
nlohmann::ordered_json GroupJson(const GroupKey& key);

// Calls visit(group, field index) for every field of every group, in group then field order.
template <typename Visit>
void ForEachField(const WholeTableRun& run, Visit&& visit) {
  for (const GroupSummary& group : run.set->Groups()) {
    for (std::size_t f = 0; f < group.fields.size(); ++f) visit(group, f);
  }
}

// The JSON object of one field of one group, keys as `summarize --format json` writes them.
nlohmann::ordered_json FieldJson(const WholeTableRun& run, const GroupSummary& group, std::size_t field);
// Every field of every group, in group then field order.
std::vector<nlohmann::ordered_json> AllFieldJson(const WholeTableRun& run);
// The text block of `summarize` (the summary's lines, quantile lines, the error line) for one field.
std::string SummaryText(const WholeTableRun& run, const GroupSummary& group, std::size_t field);
// The text block of `classes` for one field.
std::string ClassesText(const WholeTableRun& run, const GroupSummary& group, std::size_t field);
// "Group: FIELD = value" ((null) for the null group), shown before a group's blocks.
std::string GroupLine(const WholeTableRun& run, const GroupSummary& group);
// Prints the blocks one after another on standard output, each group's led by its group line,
// separated by one blank line.
void PrintBlocks(const WholeTableRun& run,
                 std::string (*block)(const WholeTableRun&, const GroupSummary&, std::size_t));

}  // namespace sumora::cli
