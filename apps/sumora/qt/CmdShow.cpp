// Placeholder until the report windows land.
#include "apps/sumora/Commands.h"
#include "apps/sumora/CommandLine.h"
namespace sumora::cli {
int CmdShow(const Args&) { throw UsageError("show is not available in this build yet"); }
}  // namespace sumora::cli
