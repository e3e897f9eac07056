#include "engine/SmrTable.h"

#include "host/SysUtils.h"

namespace sumora {

TSumoraTable::TSumoraTable(TComponent* owner) : TTable(owner), TSumoraStats("TSumoraTable") {}

TSumoraTable::~TSumoraTable() = default;

std::string TSumoraTable::SourceName() const { return ExtractFileName(TableName()); }

std::string TSumoraTable::DatasetLine() const { return "Table: " + TableName(); }

}  // namespace sumora
