// Placeholder until the plot window lands.
#include "apps/sumora/Commands.h"
#include "apps/sumora/CommandLine.h"
namespace sumora::cli {
int CmdPlot(const Args&) { throw UsageError("plot is not available in this build yet"); }
}  // namespace sumora::cli
