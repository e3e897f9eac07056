// A fresh directory under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>

namespace sumora::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Writes `contents` to `name` inside the directory and returns the full path.
  std::string write(const std::string& name, const std::string& contents) const;

 private:
  std::filesystem::path path_;
};

// Runs `sql` (several statements allowed) against the SQLite file at `path`, creating it if needed.
// Fails the current test with the SQLite message on error.
void ExecSql(const std::string& path, const std::string& sql);

}  // namespace sumora::test

#include <optional>
#include <vector>

namespace sumora::test {

// Creates (or replaces) `table` in the SQLite file at `path` with one REAL column `column` holding
// `values` in order (nullopt is NULL). Fast enough for tens of thousands of rows.
void WriteValuesTable(const std::string& path, const std::string& table, const std::string& column,
                      const std::vector<std::optional<double>>& values);

}  // namespace sumora::test
