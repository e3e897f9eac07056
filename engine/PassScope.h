// The bracket around every pass over a dataset's records, whoever runs it (a component or a whole-table
// summary): the progress dialog with its caption, the rule that shows it or sets the hourglass, the
// controls disabled with the data source told which fields the pass reads, and the clean-up on every way
// out. On the normal path the pass calls the steps itself, in its own order; when a dataset or arithmetic
// error cuts it short, the destructor does what is left.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dataset/DataSet.h"
#include "host/Services.h"
#include "toolkit/SmrTools.h"

namespace sumora {

class PassScope {
 public:
  PassScope(TDataSet& dataSet, std::string caption) : dataSet_(dataSet), caption_(std::move(caption)) {}
  ~PassScope();
  PassScope(const PassScope&) = delete;
  PassScope& operator=(const PassScope&) = delete;

  void CreateDialog();
  // Shows the dialog when the user wants progress; otherwise the hourglass says the pass is busy.
  void ApplyShowingRule(bool showDialog);
  // Disables the controls and lets the data source fetch just these fields until EnableControls.
  void DisableControls(const std::vector<const TField*>& fields);
  void EnableControls();
  void ReleaseDialog() { dialog_.reset(); }
  void RestoreCursor();
  void Progress(GaugeKind kind, const std::string& message, double fraction) {
    dialog_->SetGaugeProgress(kind, message, fraction);
  }
  TDataSet& DataSet() { return dataSet_; }

 private:
  TDataSet& dataSet_;
  std::string caption_;
  std::unique_ptr<ProgressDialog> dialog_;
  bool controlsDisabled_ = false;
  bool cursorRestored_ = false;
};

// The progress texts of the loading and the combined moment pass.
extern const char* const kLoadingMessage;
extern const char* const kMomentsMessage;

// The warning that a median was taken over the stored values only, said once per summary.
void WarnPartialMedian();

// The large-dataset question asked before the loading pass when progress is only wanted on request:
// true when the user wants the dialog.
bool AskForProgress(TBoolPlus showCalcProgress, int recordCount);

// Holds one snapshot of the data for every pass of a summary where the source can promise it; the hold
// ends with the summary, so writers wait no longer than that.
class SnapshotHold {
 public:
  explicit SnapshotHold(TDataSet& dataSet) : dataSet_(dataSet) { dataSet_.HoldSnapshot(true); }
  ~SnapshotHold();
  SnapshotHold(const SnapshotHold&) = delete;
  SnapshotHold& operator=(const SnapshotHold&) = delete;

 private:
  TDataSet& dataSet_;
};

// "The data of <source> changed during the summary: ..." for a pass that read other data than the loading
// pass (rows written or removed in between, or values that differ from run to run); mixing the two would
// report figures of neither. `detail` says what differed.
[[noreturn]] void ThrowSourceChanged(TDataSet& dataSet, const std::string& sourceName, const std::string& detail);

}  // namespace sumora
