#include "host/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
  throw Exception("cannot write '" + ShownText(path) + "': " + what);
}

std::string ErrnoText(int error) { return std::strerror(error); }

// The process umask, read without changing it: umask(2) can only be read by setting it, which races
// with other threads creating files. /proc/self/status has carried it since Linux 4.7.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  return 022;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t written = ::write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Removes the temporary file unless the rename took it.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int& Fd() { return fd_; }
  char* Name() { return name_.data(); }
  void Release() { name_.clear(); }

 private:
  std::string name_;
  int fd_ = -1;
};

PathKind KindOfMode(mode_t mode) {
  if (S_ISREG(mode)) return PathKind::RegularFile;
  if (S_ISDIR(mode)) return PathKind::Directory;
  if (S_ISLNK(mode)) return PathKind::SymbolicLink;
  if (S_ISFIFO(mode)) return PathKind::Fifo;
  if (S_ISSOCK(mode)) return PathKind::Socket;
  return PathKind::Device;
}

[[noreturn]] void RefuseKind(const std::string& path, PathKind kind) {
  Fail(path, std::string("it is ") + DescribePathKind(kind) + ", not a regular file; remove it or choose another file name");
}

}  // namespace

PathKind InspectPath(const std::string& path, std::string* reason) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT) return PathKind::Missing;
    if (reason != nullptr) *reason = ErrnoText(error);
    return PathKind::Unreachable;
  }
  return KindOfMode(info.st_mode);
}

const char* DescribePathKind(PathKind kind) {
  switch (kind) {
    case PathKind::Missing: return "missing";
    case PathKind::RegularFile: return "a regular file";
    case PathKind::Directory: return "a folder";
    case PathKind::SymbolicLink: return "a symbolic link";
    case PathKind::Fifo: return "a named pipe (FIFO)";
    case PathKind::Device: return "a device";
    case PathKind::Socket: return "a socket";
    case PathKind::Unreachable: return "unreachable";
  }
  return "unknown";
}

namespace {

std::string ProblemOfStat(int statResult, int error, const struct stat& info) {
  if (statResult != 0) return error == ENOENT ? kNoSuchFile : ErrnoText(error);
  if (!S_ISREG(info.st_mode)) return std::string("it is ") + DescribePathKind(KindOfMode(info.st_mode)) + ", not a regular file";
  return std::string();
}

}  // namespace

std::string RegularFileProblem(const std::string& path) {
  struct stat info {};
  const int result = ::stat(path.c_str(), &info);
  return ProblemOfStat(result, errno, info);
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string* contents, std::string* problem) {
  *problem = RegularFileProblem(path);
  if (!problem->empty()) return false;
  // O_NONBLOCK: should a FIFO replace the file after the check, the open returns instead of waiting;
  // fstat then refuses it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *problem = ErrnoText(errno);
    return false;
  }
  struct stat info {};
  const int result = ::fstat(fd, &info);
  *problem = ProblemOfStat(result, errno, info);
  if (problem->empty() && static_cast<std::uint64_t>(info.st_size) > limit) {
    *problem = "it is larger than " + std::to_string(limit) + " bytes";
  }
  contents->clear();
  if (problem->empty()) {
    contents->reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        *problem = ErrnoText(errno);
        break;
      }
      if (got == 0) break;
      if (contents->size() + static_cast<std::size_t>(got) > limit) {
        *problem = "it is larger than " + std::to_string(limit) + " bytes";
        break;
      }
      contents->append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(fd);
  return problem->empty();
}

void CheckOutputTarget(const std::string& path) {
  std::string reason;
  const PathKind kind = InspectPath(path, &reason);
  if (kind == PathKind::Unreachable) Fail(path, reason);
  if (kind != PathKind::Missing && kind != PathKind::RegularFile) RefuseKind(path, kind);
}

void WriteFileAtomically(const std::string& path, std::string_view contents) {
  if (path.empty()) throw Exception("cannot write a file with an empty name; give a file name");
  struct stat target {};
  mode_t mode = 0666 & ~CurrentUmask();
  bool replacing = false;
  if (::lstat(path.c_str(), &target) == 0) {
    if (!S_ISREG(target.st_mode)) {
      RefuseKind(path, KindOfMode(target.st_mode));
    }
    // Only the permission bits: a set-user-ID or set-group-ID bit kept on new contents would make
    // whatever was written run with the old file's owner or group.
    mode = target.st_mode & 0777;
    replacing = true;
  } else if (errno != ENOENT) {
    Fail(path, ErrnoText(errno));
  }

  // mkostemp creates with O_CREAT|O_EXCL and mode 0600: a name someone planted (a link, a file) makes it
  // pick another name instead of opening what is there, and nobody can read the bytes while they land.
  TemporaryFile temporary(DirectoryOf(path) + "/." + BaseNameOf(path) + ".XXXXXX");
  temporary.Fd() = ::mkostemp(temporary.Name(), O_CLOEXEC);
  if (temporary.Fd() < 0) {
    const int error = errno;
    temporary.Release();  // nothing was created
    Fail(path, "cannot create a temporary file in " + DirectoryOf(path) + ": " + ErrnoText(error));
  }
  if (!WriteAll(temporary.Fd(), contents)) Fail(path, ErrnoText(errno));
  if (::fchmod(temporary.Fd(), mode) != 0) Fail(path, "cannot set the file's permissions: " + ErrnoText(errno));
  if (replacing && (target.st_uid != ::geteuid() || target.st_gid != ::getegid())) {
    // Keeping the owner needs privileges; without them the file becomes the writer's, as an editor's
    // save would make it. The permission bits were kept above either way.
    if (::fchown(temporary.Fd(), target.st_uid, target.st_gid) != 0) {
    }
  }
  if (::fsync(temporary.Fd()) != 0) Fail(path, ErrnoText(errno));
  const int fd = temporary.Fd();
  temporary.Fd() = -1;
  if (::close(fd) != 0) Fail(path, ErrnoText(errno));
  // rename replaces the directory entry itself: a link that appeared at `path` meanwhile is replaced,
  // never followed, and a folder that appeared makes it fail.
  if (::rename(temporary.Name(), path.c_str()) != 0) Fail(path, ErrnoText(errno));
  temporary.Release();
  const int directory = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    // The rename survives a crash; a failure here still leaves a good file, so it is not reported.
    if (::fsync(directory) != 0) {
    }
    ::close(directory);
  }
}

}  // namespace sumora
