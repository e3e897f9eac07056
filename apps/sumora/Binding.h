// Builds the component a command works on, from binding options (--db with --table or --sql) or from
// a form file (--form FILE [--component NAME]), and sets its properties through their setters in the
// order StatFieldName, ScaleBy, FreqClasses, RecordPlotCount, ShowCalcProgress.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/sumora/CommandLine.h"
#include "engine/SmrEngine.h"
#include "dataset/DataSet.h"

namespace sumora::cli {

// The value options every binding command accepts.
const std::vector<std::string>& BindingOptions();
// BindingOptions() plus `extra`.
std::vector<std::string> WithBindingOptions(std::vector<std::string> extra);
// The flags every binding command accepts (--server-side), plus `extra`.
std::vector<std::string> WithBindingFlags(std::vector<std::string> extra = {});

struct BoundComponent {
  std::unique_ptr<TComponent> owner;  // owns the component (a form when read from a form file)
  TSumoraStats* stats = nullptr;
  TDataSet* dataset = nullptr;
  bool isQuery = false;
};

// Binds and configures the component. `field`, when given, is the StatFieldName instead of --field.
// `requireField` makes a field mandatory (a usage error when missing and no form gives it). Does not
// open the dataset. `--db -` reads a CSV table from standard input (see StdinSpool.h).
BoundComponent BindComponent(const CommandLine& line, bool requireField,
                             const std::optional<std::string>& field = std::nullopt);

// Opens the dataset and checks, before any pass, that StatFieldName names a numeric field. An
// unknown field, or one holding text, dates or true/false values, raises EDatabaseError naming the
// field (and its class) and listing the numeric fields there are.
void CheckFieldIsNumeric(BoundComponent& bound);
// The same for field `name` of the bound dataset (a run over several fields checks each).
void CheckFieldIsNumeric(BoundComponent& bound, const std::string& name);

// Checks that a --db naming a file or folder (CSV options aside) exists; EDatabaseError speaking of
// --db otherwise. URLs, connection strings and in-memory names are left to their drivers.
void CheckDatabaseExists(const std::string& db);

// No --field and no field from a form: a usage error saying what to add and, when the data can be
// opened, which numeric fields there are.
[[noreturn]] void FailMissingField(const CommandLine& line, BoundComponent& bound);

// What `tables` says on standard error when `db` holds no tables: for a CSV folder, which file names
// are tables and that sub-folders are not searched.
std::string NoTablesMessage(const std::string& db);

// CheckFieldIsNumeric, then Summarize, then GetdsCoeffVariation (as the summary window does).
void OpenAndSummarize(BoundComponent& bound);

}  // namespace sumora::cli
