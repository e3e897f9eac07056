// Cancel keys of the open PostgreSQL sessions, kept where a signal handler can reach them.
#pragma once

#include <libpq-fe.h>

namespace sumora::pg {

// Makes one session cancellable by CancelRunningStatements() while it lives. A session reset by
// PQreset gets a new key: call Renew() afterwards.
class CancelRegistration {
 public:
  explicit CancelRegistration(PGconn* connection) { Renew(connection); }
  ~CancelRegistration() { Release(); }
  CancelRegistration(const CancelRegistration&) = delete;
  CancelRegistration& operator=(const CancelRegistration&) = delete;
  void Renew(PGconn* connection);

 private:
  void Release();
  int slot_ = -1;
};

// True once after CancelRunningStatements() was called (and forgets the request): a source between
// statements fails its next statement instead of starting it.
bool TakeCancelRequest();
// Forgets a request the server has already acted on.
void ForgetCancelRequest();

// The hook SetStatementWaitHook installed, if any.
bool HasStatementWaitHook();
void CallStatementWaitHook();

}  // namespace sumora::pg
