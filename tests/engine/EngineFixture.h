// Shared set-up of the engine tests: a real SQLite file per test, components bound to it, and the
// scripted host recording message boxes, cursors and progress calls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora::test {

using Values = std::vector<std::optional<double>>;

inline Values Sequence(int count, double start = 1.0, double step = 1.0) {
  Values values;
  for (int i = 0; i < count; ++i) values.push_back(start + step * i);
  return values;
}

class EngineTest : public ::testing::Test {
 protected:
  // A table component over T(V) holding `values`, opened, analysing V, with progress `Never`.
  std::unique_ptr<TSumoraTable> TableOver(const Values& values, TBoolPlus progress = TBoolPlus::Never) {
    const std::string path = NextDatabase(values);
    auto table = std::make_unique<TSumoraTable>();
    table->SetName("SumoraTable1");
    table->SetDatabaseName(path);
    table->SetTableName("T");
    table->SetStatFieldName("V");
    table->SetShowCalcProgress(progress);
    table->Open();
    return table;
  }

  // A query component running `sql` (default: every row of T) over `values`.
  std::unique_ptr<TSumoraQuery> QueryOver(const Values& values, const std::string& sql = "SELECT * FROM T",
                                          TBoolPlus progress = TBoolPlus::Never) {
    const std::string path = NextDatabase(values);
    auto query = std::make_unique<TSumoraQuery>();
    query->SetName("SumoraQuery1");
    query->SetDatabaseName(path);
    query->SQL().SetText(sql);
    query->SetStatFieldName("V");
    query->SetShowCalcProgress(progress);
    query->Open();
    return query;
  }

  // A fresh SQLite file holding T(V) = `values`; each call gets its own file, because a component
  // still open on an earlier file holds a read lock on it. dbPath names the last one.
  std::string NextDatabase(const Values& values) {
    dbPath = dir.file("stats" + std::to_string(++databases_) + ".sqlite");
    WriteValuesTable(dbPath, "T", "V", values);
    return dbPath;
  }

  std::vector<std::string> MessageTexts() const {
    std::vector<std::string> texts;
    for (const auto& message : host.messages) texts.push_back(message.text);
    return texts;
  }

  TempDir dir;
  std::string dbPath;
  ScriptedHost host;

 private:
  int databases_ = 0;
};

}  // namespace sumora::test
