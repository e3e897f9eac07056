#include "host/Drivers.h"
#include "host/Errors.h"

namespace sumora {

std::unique_ptr<RecordSource> OpenPgTable(const std::string&, const std::string&) {
  throw ENotAvailable("PostgreSQL support is not built into this library");
}

std::unique_ptr<RecordSource> OpenPgQuery(const std::string&, const std::string&) {
  throw ENotAvailable("PostgreSQL support is not built into this library");
}

}  // namespace sumora
