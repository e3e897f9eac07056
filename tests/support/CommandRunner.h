// Runs a program as a user would from a shell, with no standard input unless told, and captures what it printed
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

// How the program is started: what it reads on standard input, where, with which variables changed.
struct CommandSetup {
  std::string input = "/dev/null";
  std::string directory;                  // empty: the test's own working directory
  std::vector<std::string> environment;   // "NAME=value" sets, "-NAME" unsets
};

CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                         const CommandSetup& setup = {});

}  // namespace sumora::test
