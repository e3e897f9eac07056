#include "host/Drivers.h"
#include "host/Errors.h"

namespace sumora {

std::unique_ptr<RecordSource> OpenSqliteTable(const std::string&, const std::string&) {
  throw ENotAvailable("SQLite driver: work in progress");
}
std::unique_ptr<RecordSource> OpenSqliteQuery(const std::string&, const std::string&) {
  throw ENotAvailable("SQLite driver: work in progress");
}

}  // namespace sumora
