#include "dataset/drivers/pg/PgSession.h"

#include <poll.h>

#include <cerrno>

#include "dataset/drivers/pg/PgCancel.h"
#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora::pg {

Connection Connect(const std::string& conninfo) {
  // Keywords before dbname are defaults the connection string may override; naming the program lets an
  // administrator spot its sessions unless the user chose an application_name.
  const std::string timeout = std::to_string(kConnectTimeoutSeconds);
  const char* keywords[] = {"connect_timeout", "dbname", "fallback_application_name", nullptr};
  const char* values[] = {timeout.c_str(), conninfo.c_str(), "sumora", nullptr};
  Connection connection(PQconnectdbParams(keywords, values, 1));
  if (connection == nullptr) throw EDatabaseError("Cannot connect to the PostgreSQL server: out of memory");
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    std::string reason = ServerMessage(connection.get(), nullptr);
    if (reason.find("timeout expired") != std::string::npos) {
      reason += " (the server did not answer in time: connect_timeout is " + timeout +
                " seconds unless DatabaseName sets it)";
    }
    throw EDatabaseError("Cannot connect to the PostgreSQL server: " + reason +
                         ". Check the host, port, user, password and database in DatabaseName");
  }
  return connection;
}

// A statement the server cancelled has used up the request that cancelled it.
static Result Settled(Result result) {
  if (HasState(result.get(), "57014")) ForgetCancelRequest();
  return result;
}

// Collects the results of a statement sent without waiting, calling the wait hook while the server works;
// like PQexec, the last result is the answer (an error ends a run of fixed statements, so it comes last).
static Result Await(PGconn* connection) {
  Result last;
  while (true) {
    while (PQisBusy(connection)) {
      pollfd socket{PQsocket(connection), POLLIN, 0};
      const int ready = poll(&socket, 1, 100);
      if (ready == 0) CallStatementWaitHook();
      if (ready < 0 && errno != EINTR) break;
      if (ready > 0 && PQconsumeInput(connection) == 0) break;
    }
    PGresult* next = PQgetResult(connection);
    if (next == nullptr) break;
    last.reset(next);
  }
  return last;
}

Result ExecFixed(PGconn* connection, const char* sql) {
  if (!HasStatementWaitHook()) return Settled(Result(PQexec(connection, sql)));
  if (PQsendQuery(connection, sql) == 0) return nullptr;
  return Settled(Await(connection));
}

Result ExecOne(PGconn* connection, const std::string& sql, const std::vector<std::string>& parameters) {
  std::vector<const char*> values;
  values.reserve(parameters.size());
  for (const auto& parameter : parameters) values.push_back(parameter.c_str());
  const int count = static_cast<int>(values.size());
  const char* const* data = values.empty() ? nullptr : values.data();
  if (!HasStatementWaitHook()) {
    return Settled(Result(PQexecParams(connection, sql.c_str(), count, nullptr, data, nullptr, nullptr, 0)));
  }
  if (PQsendQueryParams(connection, sql.c_str(), count, nullptr, data, nullptr, nullptr, 0) == 0) return nullptr;
  return Settled(Await(connection));
}

std::string OneLine(std::string_view text) {
  std::string line;
  bool pendingSpace = false;
  for (char c : text) {
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      pendingSpace = !line.empty();
      continue;
    }
    if (pendingSpace) line += ' ';
    pendingSpace = false;
    line += c;
  }
  return line;
}

// Longer than the names other messages quote: a server message with its hint runs to a few hundred bytes.
constexpr std::size_t kServerMessageBytes = 1000;

std::string ServerMessage(PGconn* connection, const PGresult* result) {
  std::string message;
  if (result != nullptr) {
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) message = primary;
    if (const char* hint = PQresultErrorField(result, PG_DIAG_MESSAGE_HINT)) message += std::string(" (") + hint + ")";
  }
  if (message.empty() && connection != nullptr) message = PQerrorMessage(connection);
  // The server quotes the user's text and the data in its messages: escape what a terminal would act
  // on, and keep a message of a reasonable length.
  message = ShownText(OneLine(message), kServerMessageBytes);
  return message.empty() ? std::string("the server gave no reason") : message;
}

bool HasState(const PGresult* result, const char* sqlState) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state != nullptr && std::string_view(state) == sqlState;
}

std::string StateClass(const PGresult* result) {
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  return state != nullptr ? std::string(state).substr(0, 2) : std::string();
}

std::string QuotedIdentifier(PGconn* connection, const std::string& name) {
  char* escaped = PQescapeIdentifier(connection, name.c_str(), name.size());
  if (escaped == nullptr) {
    throw EDatabaseError("Name '" + name + "' cannot be used: " + ServerMessage(connection, nullptr));
  }
  std::string quoted = escaped;
  PQfreemem(escaped);
  return quoted;
}

std::string QuotedTableName(PGconn* connection, const std::string& tableName) {
  std::string quoted;
  std::size_t start = 0;
  while (true) {
    std::size_t dot = tableName.find('.', start);
    std::string part = tableName.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (part.empty()) {
      throw EDatabaseError("Table name '" + tableName +
                           "' is not valid: write a table as name or schema.name, without empty parts");
    }
    if (!quoted.empty()) quoted += '.';
    quoted += QuotedIdentifier(connection, part);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return quoted;
}

}  // namespace sumora::pg
