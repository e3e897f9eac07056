// Stopping a long statement on a database server from outside the pass that waits for it: the sumora
// command calls this from its SIGINT handler, the workbench from the Cancel button of the progress dialog.
#pragma once

#include <functional>

namespace sumora {

// Asks the server of every open server-backed source to cancel what it runs now; a source that is between
// statements fails its next one instead. The pass then ends with the server's "canceling statement due to
// user request" as a database error, and the dataset reads again from its next pass. Safe in a signal
// handler (it allocates nothing and takes no lock). Returns false when no such source is open, so the
// caller can stop the program its usual way.
bool CancelRunningStatements() noexcept;

// Called about every 100 ms, on the waiting thread, while a statement waits for its server. A window
// program keeps its windows painted there and may offer a Cancel that calls CancelRunningStatements().
// An empty hook (the default) waits without calling anything. Returns the hook it replaces.
using StatementWaitHook = std::function<void()>;
StatementWaitHook SetStatementWaitHook(StatementWaitHook hook);

}  // namespace sumora
