#include "apps/sumora/WindowsProgram.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace sumora::cli {

std::string WindowsProgramPath() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  // Without /proc the folder is unknown. A bare name would be looked up in the current directory, which
  // may hold anything: nothing is run then.
  if (ec) return std::string();
  return (self.parent_path() / kWindowsProgramName).string();
}

int RunWindowsProgram(const std::string& command, char** argv) {
  const std::string program = WindowsProgramPath();
  if (program.empty()) {
    std::fprintf(stderr, "sumora %s: cannot find the folder sumora runs from (/proc/self/exe cannot be read), so "
                 "the windows program cannot be found; run %s from that folder instead\n", command.c_str(),
                 kWindowsProgramName);
    return 1;
  }
  argv[0] = const_cast<char*>(program.c_str());
  std::fflush(nullptr);
  ::execv(program.c_str(), argv);
  const int error = errno;
  if (error == ENOENT) {
    std::fprintf(stderr,
                 "sumora %s: the windows program '%s' is missing (looked for %s). It is built with the Qt 6 "
                 "windows: build the target %s (cmake --build BUILD --target %s) or install it beside sumora.\n",
                 command.c_str(), kWindowsProgramName, program.c_str(), kWindowsProgramName, kWindowsProgramName);
  } else {
    std::fprintf(stderr, "sumora %s: cannot run the windows program %s: %s\n", command.c_str(), program.c_str(),
                 std::strerror(error));
  }
  return 1;
}

}  // namespace sumora::cli
