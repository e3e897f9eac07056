#include "design/FieldEditor.h"

#include <memory>

#include "dataset/DataSet.h"
#include "host/Errors.h"
#include "host/Services.h"
#include "toolkit/SmrTools.h"

namespace sumora {

namespace {

// Puts a dataset's Active state back however the listing ends.
class ActiveRestorer {
 public:
  explicit ActiveRestorer(TDataSet& dataSet) : dataSet_(dataSet), wasActive_(dataSet.Active()) {}
  ~ActiveRestorer() {
    try {
      dataSet_.SetActive(wasActive_);
    } catch (...) {
      // Closing never fails; reopening a dataset that was open when the listing began can only fail
      // if its source vanished meanwhile, and the listing's own outcome matters more then.
    }
  }
  ActiveRestorer(const ActiveRestorer&) = delete;
  ActiveRestorer& operator=(const ActiveRestorer&) = delete;

 private:
  TDataSet& dataSet_;
  bool wasActive_;
};

}  // namespace

TPropertyAttributes TVarFieldProperty::GetAttributes() {
  return {TPropertyAttribute::paValueList, TPropertyAttribute::paMultiSelect, TPropertyAttribute::paSortList};
}

void TVarFieldProperty::GetValues(const TGetStrProc& proc) {
  const auto names = std::make_unique<TStringList>();
  TComponent* component = GetComponent(0);
  auto* dataSet = dynamic_cast<TDataSet*>(component);
  if (dataSet == nullptr) throw EInvalidCast("Invalid class typecast: " + component->ClassName());
  ActiveRestorer restorer(*dataSet);
  if (!dataSet->Active()) dataSet->Open();
  if (dataSet->Active()) {
    dataSet->GetFieldNames(*names);
    for (const auto& name : names->Items()) {
      if (NumericField(dataSet->FieldByName(name))) proc(name);
    }
  } else {
    MessageDlg("Please open the table first.", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
  }
}

}  // namespace sumora
