// What every part of the PostgreSQL driver shares: owning handles for libpq objects, the connection with
// its defaults, and the one way a statement holding a user's text reaches the server.
#pragma once

#include <libpq-fe.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sumora::pg {

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

struct ConnectionDeleter {
  void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionDeleter>;

// Opens a session; the whole conninfo is expanded as a URL or key/value string. A connection string
// without connect_timeout gets kConnectTimeoutSeconds, so a listener that never answers cannot hang us.
constexpr int kConnectTimeoutSeconds = 10;
Connection Connect(const std::string& conninfo);

// Runs our own fixed statements (session settings, transaction control, cursor moves): text that never
// holds anything from a user or a form, and may hold several statements.
Result ExecFixed(PGconn* connection, const char* sql);

// Runs exactly one statement over the extended protocol, which the server refuses when the text holds
// more than one: whatever a user or a form wrote cannot end our read-only transaction or start another.
// `parameters` are sent as text ($1, $2, ...).
Result ExecOne(PGconn* connection, const std::string& sql, const std::vector<std::string>& parameters = {});

// libpq messages span lines; an error message reads better on one.
std::string OneLine(std::string_view text);

// The server's own words: the primary message and its hint when the server sent a result, otherwise
// libpq's connection message (a lost connection produces no server result).
std::string ServerMessage(PGconn* connection, const PGresult* result);

bool HasState(const PGresult* result, const char* sqlState);
// The SQLSTATE class (first two characters), "" when there is none.
std::string StateClass(const PGresult* result);

// "sales.orders" -> "sales"."orders": every part quoted, so no name can change the statement.
std::string QuotedTableName(PGconn* connection, const std::string& tableName);
std::string QuotedIdentifier(PGconn* connection, const std::string& name);

}  // namespace sumora::pg
