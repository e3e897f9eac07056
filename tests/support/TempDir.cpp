#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <fstream>
#include <random>

namespace sumora::test {

TempDir::TempDir() {
  std::random_device device;
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = base / ("sumora-test-" + std::to_string(getpid()) + "-" + std::to_string(device()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& contents) const {
  std::string full = file(name);
  std::ofstream out(full, std::ios::binary);
  out << contents;
  return full;
}

void ExecSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK) << sqlite3_errmsg(db);
  char* error = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  std::string message = error != nullptr ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << message;
}

}  // namespace sumora::test

namespace sumora::test {

void WriteValuesTable(const std::string& path, const std::string& table, const std::string& column,
                      const std::vector<std::optional<double>>& values) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string create = "DROP TABLE IF EXISTS \"" + table + "\"; CREATE TABLE \"" + table + "\" (\"" + column +
                       "\" REAL); BEGIN;";
  ASSERT_EQ(sqlite3_exec(db, create.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  sqlite3_stmt* insert = nullptr;
  std::string sql = "INSERT INTO \"" + table + "\" VALUES (?)";
  ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr), SQLITE_OK);
  for (const auto& value : values) {
    if (value) {
      sqlite3_bind_double(insert, 1, *value);
    } else {
      sqlite3_bind_null(insert, 1);
    }
    ASSERT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  ASSERT_EQ(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
}

}  // namespace sumora::test
