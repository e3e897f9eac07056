// Data sources that misbehave on purpose, for tests of what a pass leaves behind when its data source
// fails: one that raises a database error after a number of records, and one whose record count
// changes while a pass runs.
#pragma once

#include <memory>
#include <string>

#include "dataset/MemorySource.h"

namespace sumora::test {

// Shared with the test, so it can arm and disarm a fault between passes.
struct Faults {
  // Raise EDatabaseError when moving past this many records (0: never).
  int failAfterRecords = 0;
  // Added to the true record count at every RecordCount call after the first (simulates a table
  // that grows while it is read).
  int recordCountDrift = 0;
};

class FaultySource : public MemorySource {
 public:
  FaultySource(MemoryTable table, std::shared_ptr<Faults> faults)
      : MemorySource(std::move(table)), faults_(std::move(faults)) {}

  void Next() override;
  std::int64_t RecordCount() override;

 private:
  std::shared_ptr<Faults> faults_;
  std::int64_t countCalls_ = 0;
};

// Registers "memory:<name>" answering every table or query with a FaultySource over `table`.
// Unregisters on destruction.
class FaultyDatabase {
 public:
  FaultyDatabase(const std::string& name, MemoryTable table);
  ~FaultyDatabase();
  std::string DatabaseName() const { return "memory:" + name_; }
  Faults& faults() { return *faults_; }

 private:
  std::shared_ptr<Faults> faults_ = std::make_shared<Faults>();
  std::string name_;
};

}  // namespace sumora::test
