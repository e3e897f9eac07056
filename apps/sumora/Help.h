// The usage of each `sumora` command, printed by `sumora COMMAND --help` (or -h).
#pragma once

#include <string>
#include <vector>

namespace sumora::cli {

// The usage text of `command` (ending in a newline), or nullptr for a word that is no command.
const char* CommandUsage(const std::string& command);

// True when the arguments after the command ask for its usage: one of them is --help or -h.
bool AsksForHelp(const std::vector<std::string>& args);

// A library message in the words of the command line: where the user typed --db rather than giving
// a form, "check DatabaseName" becomes "check the path given to --db". Other messages are kept.
std::string InOptionWords(const std::string& message, const std::vector<std::string>& args);

}  // namespace sumora::cli
