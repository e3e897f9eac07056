#include "apps/sumora/StdinSpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "host/Errors.h"

namespace sumora::cli {

namespace {

// The signal handler may only use async-signal-safe calls, so the paths live in fixed buffers.
std::array<char, 4096> g_file{};
std::array<char, 4096> g_folder{};

void RemoveSpool() {
  if (g_file[0] != '\0') unlink(g_file.data());
  if (g_folder[0] != '\0') rmdir(g_folder.data());
}

void RemoveOnSignal(int signal) {
  RemoveSpool();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Removes the copy when the program ends through main's return or exit().
struct SpoolCleanup {
  ~SpoolCleanup() { RemoveSpool(); }
};

[[noreturn]] void Fail(const std::string& what) {
  throw Exception("cannot copy standard input to a temporary file (" + what + ": " + std::strerror(errno) +
                  "); set TMPDIR to a folder with free space that you may write");
}

bool CopyAll(int in, int out) {
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      done += put;
    }
  }
}

}  // namespace

std::string SpoolStandardInput(const std::string& tableFileName) {
  static std::string folder;
  static SpoolCleanup cleanup;
  if (!folder.empty()) return folder;

  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/sumora-stdin-XXXXXX";
  if (pattern.size() + tableFileName.size() + 2 >= g_file.size()) {
    throw Exception("TMPDIR is too long a path for the copy of standard input; set TMPDIR to a shorter one");
  }
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) std::signal(signal, RemoveOnSignal);
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp " + pattern);
  std::memcpy(g_folder.data(), pattern.c_str(), pattern.size() + 1);
  const std::string file = pattern + "/" + tableFileName;
  const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) Fail("open " + file);
  std::memcpy(g_file.data(), file.c_str(), file.size() + 1);
  const bool copied = CopyAll(STDIN_FILENO, out);
  const int copyErrno = errno;
  const bool closed = close(out) == 0;
  if (!copied) errno = copyErrno;
  if (!copied || !closed) Fail("writing " + file);
  folder = pattern;
  return folder;
}

}  // namespace sumora::cli
