#include "apps/sumora/Commands.h"
namespace sumora::cli {
int CmdDescribe(const Args&) { return 1; }
int CmdFields(const Args&) { return 1; }
int CmdSummarize(const Args&) { return 1; }
int CmdClasses(const Args&) { return 1; }
int CmdSample(const Args&) { return 1; }
int CmdForm(const Args&) { return 1; }
}  // namespace sumora::cli
