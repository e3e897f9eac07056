#include "apps/sumora/StdinSpool.h"

#include <fcntl.h>
#include <sys/stat.h>
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

// The signals whose default action ends the program: each removes the copy first.
constexpr int kRemovingSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM,
                                    SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};

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

const char* const kGiveAFile = "; pipe the CSV text in or redirect a file (sumora summarize --db - ... < FILE.csv)";

[[noreturn]] void FailReading(const char* why) {
  throw Exception(std::string("standard input cannot be read: ") + why + kGiveAFile);
}

// A folder given as standard input (`< folder`) opens, but every read of it fails: say so before
// anything is made on disk.
void CheckReadable(int in) {
  struct stat st {};
  if (fstat(in, &st) == 0 && S_ISDIR(st.st_mode)) FailReading("it is a directory");
}

enum class CopyEnd { Done, ReadFailed, WriteFailed };

CopyEnd CopyAll(int in, int out) {
  std::array<char, 65536> buffer{};
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got == 0) return CopyEnd::Done;
    if (got < 0) {
      if (errno == EINTR) continue;
      return CopyEnd::ReadFailed;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return CopyEnd::WriteFailed;
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
  CheckReadable(STDIN_FILENO);
  for (int signal : kRemovingSignals) std::signal(signal, RemoveOnSignal);
  // A copy beyond the file size limit (ulimit -f) would otherwise end the program with SIGXFSZ and
  // leave the copy behind; ignored, the write fails and the error path below removes it.
  std::signal(SIGXFSZ, SIG_IGN);
  if (mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp " + pattern);
  std::memcpy(g_folder.data(), pattern.c_str(), pattern.size() + 1);
  const std::string file = pattern + "/" + tableFileName;
  // Known before it exists, so a signal between open and the copy still removes it; nobody else can
  // make that name in the private folder.
  std::memcpy(g_file.data(), file.c_str(), file.size() + 1);
  const int out = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) Fail("open " + file);
  const CopyEnd end = CopyAll(STDIN_FILENO, out);
  const int copyErrno = errno;
  const bool closed = close(out) == 0;
  if (end != CopyEnd::Done) errno = copyErrno;
  if (end == CopyEnd::ReadFailed) FailReading(std::strerror(errno));
  if (end == CopyEnd::WriteFailed || !closed) Fail("writing " + file);
  folder = pattern;
  return folder;
}

}  // namespace sumora::cli
