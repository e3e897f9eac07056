// `sumora` is built without the window library, so a summary never pays for loading it; the commands
// that draw windows (show, plot, gui) are served by `sumora-windows`, installed beside it.
#pragma once

#include <string>

namespace sumora::cli {

// The file name of the program that serves the window commands.
inline constexpr const char* kWindowsProgramName = "sumora-windows";

// The windows program beside the running executable (its real folder, links resolved); empty when that
// folder cannot be known.
std::string WindowsProgramPath();

// Replaces this process with the windows program, given the same arguments, so its exit status,
// output and signals are the user's. The program is run only when nobody but the user and root can
// change it or put another in its place: it is a regular file the user (effective ID) or root owns,
// without group or world write permission, in a folder the user or root owns that others may not
// write unless it is sticky. Returns only when it is not started: then it has printed what is
// missing or why it is refused and what to do, and returns exit status 1.
int RunWindowsProgram(const std::string& command, char** argv);

}  // namespace sumora::cli
