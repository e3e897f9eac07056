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
