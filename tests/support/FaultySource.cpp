#include "tests/support/FaultySource.h"

#include "dataset/Drivers.h"
#include "host/Errors.h"

namespace sumora::test {

void FaultySource::Next() {
  if (faults_->failAfterRecords > 0 && static_cast<int>(position_) + 1 >= faults_->failAfterRecords) {
    throw EDatabaseError("Simulated read failure after record " + std::to_string(position_ + 1));
  }
  MemorySource::Next();
}

std::int64_t FaultySource::RecordCount() {
  ++countCalls_;
  std::int64_t count = MemorySource::RecordCount();
  return countCalls_ > 1 ? count + faults_->recordCountDrift : count;
}

FaultyDatabase::FaultyDatabase(const std::string& name, MemoryTable table) : name_(name) {
  auto faults = faults_;
  RegisterMemoryDatabase(name, [table, faults](const std::string&) {
    return std::make_unique<FaultySource>(table, faults);
  });
}

FaultyDatabase::~FaultyDatabase() { UnregisterMemoryDatabase(name_); }

}  // namespace sumora::test
