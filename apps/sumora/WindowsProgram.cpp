#include "apps/sumora/WindowsProgram.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/MessageText.h"

namespace sumora::cli {

namespace {

bool OwnedByUserOrRoot(const struct stat& info, uid_t user) { return info.st_uid == user || info.st_uid == 0; }

bool WritableByOthers(const struct stat& info) { return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

std::string OwnerText(const struct stat& info) { return "user " + std::to_string(info.st_uid); }

// Why the program found beside sumora may not be run as the user; empty when it may. Whoever can
// change the file, or put another in its place, would otherwise run their program as the user.
std::string UntrustedProgramReason(const struct stat& program, const struct stat& folder, uid_t user) {
  if (!S_ISREG(program.st_mode)) return "it is not a regular file";
  if (!OwnedByUserOrRoot(program, user)) return "it belongs to " + OwnerText(program) + ", not to you or root";
  if (WritableByOthers(program)) return "users other than its owner may change it (it is group- or world-writable)";
  if (!OwnedByUserOrRoot(folder, user)) return "its folder belongs to " + OwnerText(folder) + ", not to you or root";
  // In a folder others may write, the sticky bit still keeps them from replacing or renaming a file
  // that is not theirs, and the file was found to be the user's or root's above.
  if (WritableByOthers(folder) && (folder.st_mode & S_ISVTX) == 0) {
    return "its folder is writable by other users, who could put another program in its place";
  }
  return std::string();
}

// Closes the descriptor however the hand-off ends.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

int ReportNotStarted(const std::string& command, const std::string& shownProgram, int error) {
  if (error == ENOENT) {
    std::fprintf(stderr,
                 "sumora %s: the windows program '%s' is missing (looked for %s). It is built with the Qt 6 "
                 "windows: build the target %s (cmake --build BUILD --target %s) or install it beside sumora.\n",
                 command.c_str(), kWindowsProgramName, shownProgram.c_str(), kWindowsProgramName,
                 kWindowsProgramName);
  } else {
    std::fprintf(stderr, "sumora %s: cannot run the windows program %s: %s\n", command.c_str(), shownProgram.c_str(),
                 std::strerror(error));
  }
  return 1;
}

}  // namespace

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
  const std::string shown = ShownText(program, program.size());
  // The checks and the exec go through descriptors, so what was checked is what runs: a name replaced
  // in between would be another file.
  const Descriptor folder{::open(std::filesystem::path(program).parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)};
  if (folder.fd < 0) return ReportNotStarted(command, shown, errno);
  const Descriptor file{::openat(folder.fd, kWindowsProgramName, O_PATH | O_CLOEXEC)};
  if (file.fd < 0) return ReportNotStarted(command, shown, errno);
  struct stat folderInfo {};
  struct stat fileInfo {};
  if (::fstat(folder.fd, &folderInfo) != 0 || ::fstat(file.fd, &fileInfo) != 0) {
    return ReportNotStarted(command, shown, errno);
  }
  const std::string reason = UntrustedProgramReason(fileInfo, folderInfo, ::geteuid());
  if (!reason.empty()) {
    std::fprintf(stderr,
                 "sumora %s: refusing to run the windows program '%s': %s. Only a program that you or root own and "
                 "nobody else may change, in a folder nobody else may change, is run: install sumora in such a "
                 "folder (or chmod go-w the program and its folder)\n",
                 command.c_str(), shown.c_str(), reason.c_str());
    return 1;
  }
  argv[0] = const_cast<char*>(program.c_str());
  std::fflush(nullptr);
  ::fexecve(file.fd, argv, environ);
  return ReportNotStarted(command, shown, errno);
}

}  // namespace sumora::cli
