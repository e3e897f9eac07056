#include "dataset/MemorySource.h"

#include <cmath>

#include "host/Errors.h"
#include "dataset/ValueText.h"

namespace sumora {

MemoryTable MemoryTable::SingleColumn(const std::string& fieldName, const std::vector<std::optional<double>>& values) {
  MemoryTable table;
  table.fields.push_back({fieldName, TFieldType::ftFloat});
  table.rows.reserve(values.size());
  for (const auto& value : values) {
    table.rows.push_back({value ? MemoryCell(*value) : MemoryCell()});
  }
  return table;
}

MemorySource::MemorySource(MemoryTable table) : table_(std::move(table)) {}

const MemoryCell& MemorySource::Cell(int column) const {
  if (Eof()) throw EDatabaseError("Cannot read a field past the last record");
  const auto& row = table_.rows[position_];
  if (column < 0 || static_cast<std::size_t>(column) >= row.size()) {
    throw EDatabaseError("Record " + std::to_string(position_ + 1) + " has no column " + std::to_string(column));
  }
  return row[static_cast<std::size_t>(column)];
}

bool MemorySource::IsNull(int column) {
  const MemoryCell& cell = Cell(column);
  if (!cell) return true;
  if (const double* d = std::get_if<double>(&*cell)) return std::isnan(*d);
  return false;
}

double MemorySource::AsFloat(int column) {
  const MemoryCell& cell = Cell(column);
  const std::string& fieldName = table_.fields[static_cast<std::size_t>(column)].name;
  if (!cell) return 0.0;
  if (const double* d = std::get_if<double>(&*cell)) {
    return CheckedFloat(*d, fieldName, RecordNumber());
  }
  if (const std::int64_t* i = std::get_if<std::int64_t>(&*cell)) return static_cast<double>(*i);
  return ParseFloatText(std::get<std::string>(*cell), fieldName, RecordNumber());
}

std::string MemorySource::AsString(int column) {
  const MemoryCell& cell = Cell(column);
  if (!cell) return {};
  if (const double* d = std::get_if<double>(&*cell)) return FloatToText(*d);
  if (const std::int64_t* i = std::get_if<std::int64_t>(&*cell)) return std::to_string(*i);
  return std::get<std::string>(*cell);
}

}  // namespace sumora
