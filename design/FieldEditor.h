// TVarFieldProperty: the editor of a statistics component's StatFieldName. It offers the numeric
// fields of the component's own dataset as the values to pick from, and is otherwise a plain text
// property.
#pragma once

#include "design/DesignIntf.h"

namespace sumora {

class TVarFieldProperty : public TStringProperty {
 public:
  using TStringProperty::TStringProperty;
  static constexpr const char* kClassName = "TVarFieldProperty";

  // {paValueList, paMultiSelect, paSortList}.
  TPropertyAttributes GetAttributes() override;
  // Offers each numeric field of the first component's dataset, in field order. A closed dataset is
  // opened for the listing and closed again; one that cannot be opened shows "Please open the table
  // first." (an error of the open itself propagates, and the dataset stays closed). EInvalidCast when
  // the first component is not a dataset.
  void GetValues(const TGetStrProc& proc) override;
};

}  // namespace sumora
