// Writing a whole file so that nobody else's file is harmed: the bytes go to a private temporary file
// beside the target, which then replaces the target in one rename. A reader never sees half a file, a
// link planted at the target or at a temporary name is never written through, and a device or pipe is
// never opened (opening a FIFO for writing would block until someone reads it).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sumora {

// What stands at a path, found without following a final symbolic link and without opening it.
enum class PathKind { Missing, RegularFile, Directory, SymbolicLink, Fifo, Device, Socket, Unreachable };

// lstat's answer for `path`; Unreachable when the path cannot be examined (a directory on the way that
// cannot be searched, a link loop, a name too long), with the reason in `*reason` when given.
PathKind InspectPath(const std::string& path, std::string* reason = nullptr);

// "a symbolic link", "a folder", "a named pipe (FIFO)", ... for messages.
const char* DescribePathKind(PathKind kind);

// The problem RegularFileProblem and ReadRegularFile give for a path where nothing is.
inline constexpr const char* kNoSuchFile = "it does not exist";

// Reads the whole regular file at `path` (links followed) into `*contents`, at most `limit` bytes.
// Anything else is refused before it is opened for reading, since opening a FIFO blocks until a
// writer comes: returns false with `*problem` set to "it does not exist", "it is a named pipe (FIFO),
// not a regular file", "it is larger than N bytes" or the system's reason (a link loop, a folder
// that cannot be searched), worded to follow "cannot read '<path>': ".
bool ReadRegularFile(const std::string& path, std::size_t limit, std::string* contents, std::string* problem);

// Why `path` (links followed) is not a regular file that can be opened, in ReadRegularFile's words;
// empty when it is one. For libraries that open the file themselves.
std::string RegularFileProblem(const std::string& path);

// Raises the Exception WriteFileAtomically gives when `path` exists but is not a regular file, so a
// command can refuse its output before doing the work.
void CheckOutputTarget(const std::string& path);

// Replaces (or creates) the regular file `path` with `contents`. An existing target keeps its permission
// bits (rwx for owner, group and others; never set-user-ID, set-group-ID or sticky); a new one gets the usual 0666 less the umask. Throws Exception, naming the path and what to do,
// when the target exists but is not a regular file (nothing is opened then) or when writing, syncing or
// renaming fails; the temporary file is removed in every failing case.
void WriteFileAtomically(const std::string& path, std::string_view contents);

}  // namespace sumora
