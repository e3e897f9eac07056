// What the PostgreSQL tests share: the address of the throwaway server scripts/pg-test-server.sh started,
// and a second libpq connection to act on the driver's sessions from outside.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <string>

namespace sumora::test {

// The test server's URL, or "" when no server was started for this run.
inline std::string PgTestUrl() {
  const char* url = std::getenv("SUMORA_PG_TEST_URL");
  return url != nullptr ? url : "";
}

#define SKIP_WITHOUT_PG_SERVER()                                                                          \
  if (::sumora::test::PgTestUrl().empty())                                                                \
  GTEST_SKIP() << "No PostgreSQL test server: SUMORA_PG_TEST_URL is not set (scripts/run-tests.sh starts " \
                  "one through scripts/pg-test-server.sh)"

// `url` with one more query parameter; later parameters override the URL's own user and options.
inline std::string WithUrlParameter(const std::string& url, const std::string& key, const std::string& value) {
  return url + (url.find('?') == std::string::npos ? "?" : "&") + key + "=" + value;
}

// A plain libpq session to the test server, closed at the end of the scope.
class PgAdmin {
 public:
  PgAdmin() : connection_(PQconnectdb(PgTestUrl().c_str())) {}
  ~PgAdmin() { PQfinish(connection_); }
  PgAdmin(const PgAdmin&) = delete;
  PgAdmin& operator=(const PgAdmin&) = delete;

  bool Connected() const { return PQstatus(connection_) == CONNECTION_OK; }

  // Runs `sql` and returns the first column of its first row ("" when there is none); failures fail the test.
  std::string Value(const std::string& sql) {
    PGresult* result = PQexec(connection_, sql.c_str());
    std::string value;
    EXPECT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << sql << ": " << PQerrorMessage(connection_);
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) > 0) value = PQgetvalue(result, 0, 0);
    PQclear(result);
    return value;
  }

  // Ends every server session of `applicationName`, as an administrator or a failing network would;
  // returns how many were ended.
  int TerminateSessions(const std::string& applicationName) {
    return std::stoi(Value("SELECT count(pg_terminate_backend(pid, 10000)) FROM pg_stat_activity WHERE application_name = '" +
                           applicationName + "'"));
  }

  PGconn* Raw() { return connection_; }

 private:
  PGconn* connection_;
};

}  // namespace sumora::test
