#include "engine/PassScope.h"

#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

PassScope::~PassScope() {
  // Cleaning up after an error must not raise another one.
  try {
    EnableControls();
  } catch (const std::exception&) {
  }
  ReleaseDialog();
  if (!cursorRestored_) SetScreenCursor(TCursor::crDefault);
}

void PassScope::CreateDialog() {
  dialog_ = CreateProgressDialog();
  dialog_->SetLabels(caption_);
}

void PassScope::ApplyShowingRule(bool showDialog) {
  if (showDialog) {
    dialog_->Show();
  } else {
    SetScreenCursor(TCursor::crHourGlass);
  }
}

void PassScope::DisableControls(const std::vector<const TField*>& fields) {
  dataSet_.DisableControls();
  controlsDisabled_ = true;
  if (dataSet_.Active()) dataSet_.FocusFields(fields);
}

void PassScope::EnableControls() {
  if (!controlsDisabled_) return;
  controlsDisabled_ = false;
  dataSet_.EnableControls();
  if (dataSet_.Active()) dataSet_.FocusFields({});
}

void PassScope::RestoreCursor() {
  SetScreenCursor(TCursor::crDefault);
  cursorRestored_ = true;
}

const char* const kLoadingMessage = "Loading dataset, calculating totals, mean";
const char* const kMomentsMessage = "Calculating Variance, Skew, Kurtosis";

void WarnPartialMedian() {
  MessageDlg("Median is calculated based on\n\ronly the first " + std::to_string(MaxStoredValues) + " records.",
             TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

bool AskForProgress(TBoolPlus showCalcProgress, int recordCount) {
  if (showCalcProgress != TBoolPlus::Prompt || recordCount <= 1000) return false;
  return MessageDlg("Large dataset. Show progress\n\r during loading or calculating.", TMsgDlgType::mtConfirmation,
                    TMsgDlgButtons::mbYesNo) == TModalResult::mrYes;
}

SnapshotHold::~SnapshotHold() {
  try {
    dataSet_.HoldSnapshot(false);
  } catch (const Exception&) {
    // Ending a read cannot lose anything, and the summary's own outcome is what the caller needs.
  }
}

void ThrowSourceChanged(TDataSet& dataSet, const std::string& sourceName, const std::string& detail) {
  std::string source = sourceName;
  if (const auto* table = dynamic_cast<const TTable*>(&dataSet)) {
    source = "table '" + ShownText(table->TableName()) + "' in '" + ShownText(table->DatabaseName()) + "'";
  } else if (const auto* query = dynamic_cast<const TQuery*>(&dataSet)) {
    std::string sql;
    for (const auto& line : query->SQL().Items()) sql += (sql.empty() ? "" : " ") + line;
    source = "query '" + ShownText(sql) + "' on '" + ShownText(query->DatabaseName()) + "'";
  }
  throw EDatabaseError("The data of " + source + " changed during the summary: " + detail +
                       "; summarize again when nothing is writing to it");
}

}  // namespace sumora
