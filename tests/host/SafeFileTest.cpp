// Whole-file writes that harm nothing else: the target's kind is checked without following links,
// the bytes land in a private temporary file that replaces the target in one rename.
#include "host/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <sstream>

#include "host/Errors.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

class SafeFileTest : public ::testing::Test {
 protected:
  // Names in the folder other than `keep`: a temporary file left behind shows up here.
  std::vector<std::string> Leftovers(const std::vector<std::string>& keep) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      const std::string name = entry.path().filename().string();
      if (std::find(keep.begin(), keep.end(), name) == keep.end()) names.push_back(name);
    }
    return names;
  }

  test::TempDir dir_;
};

// The permission bits are kept; set-user-ID, set-group-ID and sticky are not, since the new contents
// were never vetted to run with the old file's owner or group.
TEST_F(SafeFileTest, ReplacesTheContentsKeepingOnlyThePermissionBits) {
  const std::string path = dir_.write("secret.form.json", std::string(5000, 'x'));
  for (const auto& [before, after] : {std::pair<mode_t, mode_t>{0600, 0600}, {06755, 0755}, {01644, 0644}}) {
    ASSERT_EQ(::chmod(path.c_str(), before), 0);
    WriteFileAtomically(path, "new");
    EXPECT_EQ(Slurp(path), "new");
    EXPECT_EQ(ModeOf(path), after) << std::oct << before;
  }
  EXPECT_TRUE(Leftovers({"secret.form.json"}).empty());
}

TEST_F(SafeFileTest, ANewFileGetsTheUsualModeLessTheUmask) {
  const mode_t mask = ::umask(027);
  WriteFileAtomically(dir_.file("new.png"), std::string("\0png", 4));
  ::umask(mask);
  EXPECT_EQ(Slurp(dir_.file("new.png")), std::string("\0png", 4));
  EXPECT_EQ(ModeOf(dir_.file("new.png")), 0640u);
}

// Names someone planted where the old writer put its temporary file are neither followed nor clobbered.
TEST_F(SafeFileTest, PlantedTemporaryNamesAreLeftAlone) {
  const std::string victim = dir_.write("victim.txt", "precious");
  fs::create_symlink(victim, dir_.file("out.form.json.tmp"));
  const std::string planted = dir_.write("out.form.json.XXXXXX", "theirs");
  WriteFileAtomically(dir_.file("out.form.json"), "mine");
  EXPECT_EQ(Slurp(dir_.file("out.form.json")), "mine");
  EXPECT_EQ(Slurp(victim), "precious");
  EXPECT_EQ(Slurp(planted), "theirs");
  EXPECT_TRUE(fs::is_symlink(dir_.file("out.form.json.tmp")));
}

struct NotAFile {
  const char* label;
  std::function<void(const std::string&)> make;
  const char* kind;
};

// A target that is not a regular file is refused before anything is opened (a FIFO would block), and
// left as it was.
TEST_F(SafeFileTest, TargetsThatAreNotRegularFilesAreRefused) {
  const std::string victim = dir_.write("victim.txt", "precious");
  const std::vector<NotAFile> cases{
      {"link", [&](const std::string& p) { fs::create_symlink(victim, p); }, "a symbolic link"},
      {"dangling", [](const std::string& p) { fs::create_symlink("/nonexistent/x", p); }, "a symbolic link"},
      {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, "a named pipe (FIFO)"},
      {"folder", [](const std::string& p) { fs::create_directory(p); }, "a folder"},
      {"socket",
       [](const std::string& p) {
         const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un address{};
         address.sun_family = AF_UNIX;
         p.copy(address.sun_path, sizeof address.sun_path - 1);
         ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
         ::close(fd);
       },
       "a socket"},
  };
  for (const auto& c : cases) {
    const std::string path = dir_.file(c.label);
    c.make(path);
    const auto before = fs::symlink_status(path).type();
    try {
      WriteFileAtomically(path, "mine");
      ADD_FAILURE() << c.label << ": written";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), "cannot write '" + path + "': it is " + c.kind +
                                           ", not a regular file; remove it or choose another file name");
    }
    EXPECT_EQ(fs::symlink_status(path).type(), before) << c.label;
  }
  EXPECT_EQ(Slurp(victim), "precious");
  EXPECT_EQ(Leftovers({"victim.txt", "link", "dangling", "fifo", "folder", "socket"}), std::vector<std::string>{});
}

TEST_F(SafeFileTest, AFailedWriteLeavesNoTemporaryFileAndNamesTheTarget) {
  const std::string missingFolder = dir_.file("no/such/dir/f.png");
  try {
    WriteFileAtomically(missingFolder, "x");
    ADD_FAILURE() << "wrote into a missing folder";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(missingFolder), std::string::npos) << e.what();
  }
  EXPECT_TRUE(Leftovers({}).empty());
}

TEST(PathKindTest, UnreachablePathsAreNotMissing) {
  test::TempDir dir;
  fs::create_symlink(dir.file("loop-b"), dir.file("loop-a"));
  fs::create_symlink(dir.file("loop-a"), dir.file("loop-b"));
  std::string reason;
  EXPECT_EQ(InspectPath(dir.file("loop-a/x"), &reason), PathKind::Unreachable);
  EXPECT_NE(reason.find("symbolic links"), std::string::npos) << reason;
  EXPECT_EQ(InspectPath(dir.file("nothing")), PathKind::Missing);
  EXPECT_EQ(InspectPath(dir.file("loop-a")), PathKind::SymbolicLink);
  EXPECT_EQ(InspectPath("/dev/null"), PathKind::Device);
}

}  // namespace
}  // namespace sumora
