// The commands of `sumora`. Each returns the process exit status: 0 on success, 1 on an error
// (already reported); a UsageError propagates to main (status 2).
#pragma once

#include <string>
#include <vector>

namespace sumora::cli {

using Args = std::vector<std::string>;

// Commands of the core (no window library needed).
int CmdDescribe(const Args& args);
int CmdFields(const Args& args);
int CmdTables(const Args& args);
int CmdSummarize(const Args& args);
int CmdClasses(const Args& args);
int CmdSample(const Args& args);
int CmdForm(const Args& args);
int CmdReport(const Args& args);

// Commands that need the Qt windows (apps/sumora/qt/).
int CmdShow(const Args& args);
int CmdPlot(const Args& args);
int CmdGui(const Args& args);

}  // namespace sumora::cli
