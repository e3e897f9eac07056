// Unit SmrQuery: TSumoraQuery, the statistics engine on an SQL query dataset.
#pragma once

#include "engine/SmrEngine.h"
#include "dataset/DataSet.h"

namespace sumora {

class TSumoraQuery : public TQuery, public TSumoraStats {
 public:
  explicit TSumoraQuery(TComponent* owner = nullptr);
  ~TSumoraQuery() override;
  std::string ClassName() const override { return "TSumoraQuery"; }

  // Shows the summary output window for this component (it summarizes first), modally.
  void Output();

  TDataSet& StatDataSet() override { return *this; }
  // Line 0 of the SQL text less its first 13 characters; EListError when the SQL text is empty.
  std::string SourceName() const override;
  // "Dataset Query: " + the whole of line 0 of the SQL text.
  std::string DatasetLine() const override;
  const std::string& ComponentName() const override { return Name(); }
  std::string ComponentClassName() const override { return ClassName(); }
};

}  // namespace sumora
