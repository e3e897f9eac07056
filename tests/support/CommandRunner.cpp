#include "tests/support/CommandRunner.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>

namespace sumora::test {

namespace {

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadAll(FILE* file) {
  std::string text;
  std::array<char, 4096> buffer{};
  std::size_t read = 0;
  while ((read = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) text.append(buffer.data(), read);
  return text;
}

}  // namespace

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args, const CommandSetup& setup) {
  const auto errPath =
      std::filesystem::temp_directory_path() / ("sumora-stderr-" + std::to_string(std::random_device{}()));
  std::string command;
  if (!setup.directory.empty()) command += "cd " + Quote(setup.directory) + " && ";
  command += "env";
  for (const auto& variable : setup.environment) {
    command += variable.rfind('-', 0) == 0 ? " -u " + Quote(variable.substr(1)) : " " + Quote(variable);
  }
  command += " " + Quote(program);
  for (const auto& arg : args) command += " " + Quote(arg);
  command += " 2>" + Quote(errPath.string()) + " <" + Quote(setup.input);
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  result.out = ReadAll(pipe);
  const int raw = pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (FILE* err = std::fopen(errPath.c_str(), "r")) {
    result.err = ReadAll(err);
    std::fclose(err);
  }
  std::filesystem::remove(errPath);
  return result;
}

}  // namespace sumora::test
