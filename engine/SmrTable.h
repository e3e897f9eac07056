// Unit SmrTable: TSumoraTable, the statistics engine on a table dataset.
#pragma once

#include "engine/SmrEngine.h"
#include "dataset/DataSet.h"

namespace sumora {

class TSumoraTable : public TTable, public TSumoraStats {
 public:
  explicit TSumoraTable(TComponent* owner = nullptr);
  ~TSumoraTable() override;
  std::string ClassName() const override { return "TSumoraTable"; }

  TDataSet& StatDataSet() override { return *this; }
  // The file-name part of the table name (after the last '\', '/' or ':').
  std::string SourceName() const override;
  // "Table: " + the table name exactly as set.
  std::string DatasetLine() const override;
  const std::string& ComponentName() const override { return Name(); }
  std::string ComponentClassName() const override { return ClassName(); }
};

}  // namespace sumora
