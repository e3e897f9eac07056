// Runs a program as a user would from a shell, with no standard input, and captures what it printed
// on both streams and its exit status.
#pragma once

#include <string>
#include <vector>

namespace sumora::test {

struct CommandResult {
  int status = -1;  // exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args);

}  // namespace sumora::test
