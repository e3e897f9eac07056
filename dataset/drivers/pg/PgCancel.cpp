#include "dataset/Cancel.h"

#include <utility>

namespace sumora {

namespace {
StatementWaitHook& WaitHook() {
  static StatementWaitHook hook;
  return hook;
}
}  // namespace

StatementWaitHook SetStatementWaitHook(StatementWaitHook hook) { return std::exchange(WaitHook(), std::move(hook)); }

namespace pg {
void CallStatementWaitHook() {
  if (WaitHook()) WaitHook()();
}
bool HasStatementWaitHook() { return static_cast<bool>(WaitHook()); }
}  // namespace pg

}  // namespace sumora

#ifdef SUMORA_HAVE_POSTGRESQL

#include <array>
#include <atomic>

#include "dataset/drivers/pg/PgCancel.h"

namespace sumora {

namespace {

// A few slots are plenty: each open PostgreSQL dataset takes one. A source beyond them still works, it
// only cannot be cancelled.
constexpr int kSlots = 32;
std::array<std::atomic<PGcancel*>, kSlots> gCancelKeys{};
std::atomic<bool> gRequested{false};

}  // namespace

bool CancelRunningStatements() noexcept {
  bool any = false;
  for (auto& key : gCancelKeys) {
    PGcancel* cancel = key.load();
    if (cancel == nullptr) continue;
    any = true;
    gRequested.store(true);
    char reason[256];
    PQcancel(cancel, reason, sizeof reason);  // signal-safe by libpq's contract
  }
  return any;
}

namespace pg {

void CancelRegistration::Renew(PGconn* connection) {
  Release();
  PGcancel* cancel = PQgetCancel(connection);
  if (cancel == nullptr) return;
  for (int i = 0; i < kSlots; ++i) {
    PGcancel* expected = nullptr;
    if (gCancelKeys[static_cast<std::size_t>(i)].compare_exchange_strong(expected, cancel)) {
      slot_ = i;
      return;
    }
  }
  PQfreeCancel(cancel);
}

// The slot is emptied before the key is freed, so a handler never sees a freed key.
void CancelRegistration::Release() {
  if (slot_ < 0) return;
  PGcancel* cancel = gCancelKeys[static_cast<std::size_t>(slot_)].exchange(nullptr);
  slot_ = -1;
  if (cancel != nullptr) PQfreeCancel(cancel);
}

bool TakeCancelRequest() { return gRequested.exchange(false); }

void ForgetCancelRequest() { gRequested.store(false); }

}  // namespace pg
}  // namespace sumora

#else  // built without libpq: nothing can be cancelled

namespace sumora {
bool CancelRunningStatements() noexcept { return false; }
}  // namespace sumora

#endif
