// Builds the component a command works on, from binding options (--db with --table or --sql) or from
// a form file (--form FILE [--component NAME]), and sets its properties through their setters in the
// order StatFieldName, ScaleBy, FreqClasses, RecordPlotCount, ShowCalcProgress.
#pragma once

#include <memory>
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

// Binds and configures the component. `requireField` makes --field mandatory (a usage error when
// missing and no form gives it). Does not open the dataset.
BoundComponent BindComponent(const CommandLine& line, bool requireField);

// Opens the dataset, runs Summarize, then GetdsCoeffVariation (as the summary window does).
void OpenAndSummarize(BoundComponent& bound);

}  // namespace sumora::cli
