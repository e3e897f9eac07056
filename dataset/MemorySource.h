// An in-memory data source: a table of typed cells held in vectors. Used by tests and examples,
// and as the base of sources that fail on purpose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "dataset/RecordSource.h"

namespace sumora {

using MemoryCell = std::optional<std::variant<double, std::int64_t, std::string>>;

struct MemoryTable {
  std::vector<FieldDef> fields;
  std::vector<std::vector<MemoryCell>> rows;  // rows[record][column]

  // A one-column float table; nullopt entries are nulls.
  static MemoryTable SingleColumn(const std::string& fieldName, const std::vector<std::optional<double>>& values);
};

class MemorySource : public RecordSource {
 public:
  explicit MemorySource(MemoryTable table);

  const std::vector<FieldDef>& Fields() const override { return table_.fields; }
  void First() override { position_ = 0; }
  void Next() override {
    if (position_ < table_.rows.size()) ++position_;
  }
  bool Eof() const override { return position_ >= table_.rows.size(); }
  std::int64_t RecordCount() override { return static_cast<std::int64_t>(table_.rows.size()); }
  bool IsNull(int column) override;
  double AsFloat(int column) override;
  std::string AsString(int column) override;
  std::int64_t RecordNumber() const override { return static_cast<std::int64_t>(position_) + 1; }

 protected:
  const MemoryCell& Cell(int column) const;
  MemoryTable table_;
  std::size_t position_ = 0;
};

}  // namespace sumora
