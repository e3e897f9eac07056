// What may follow the user's one statement: blanks, semicolons and comments go; quoted text and a
// second statement stay (the server refuses the latter).
#include <gtest/gtest.h>

#include <string>

#include "dataset/drivers/pg/PgStatementText.h"

namespace sumora {
namespace {

TEST(PgStatementTextTest, OnlySeparatorsAfterTheStatementGo) {
  const struct {
    const char* sql;
    const char* kept;
  } cases[] = {
      {"SELECT v FROM t; -- all rows", "SELECT v FROM t"},
      {"SELECT v FROM t;\n;  /* done */ -- really\n\t", "SELECT v FROM t"},
      {"SELECT v FROM t -- a comment with ; inside", "SELECT v FROM t"},
      {"SELECT ';--' AS v;", "SELECT ';--' AS v"},
      {"SELECT 'it''s;' AS v; ", "SELECT 'it''s;' AS v"},
      {"SELECT E'a\\'; --' AS v", "SELECT E'a\\'; --' AS v"},
      {"SELECT \"a;--\" FROM t;", "SELECT \"a;--\" FROM t"},
      {"SELECT $x$ ; -- $x$ AS v;", "SELECT $x$ ; -- $x$ AS v"},
      {"SELECT $1::int; -- c", "SELECT $1::int"},
      {"SELECT 1 /* a /* nested */ ; */", "SELECT 1"},
      {"SELECT 1; DELETE FROM t; -- c", "SELECT 1; DELETE FROM t"},
      {"SELECT 1; -- c\nDELETE FROM t", "SELECT 1; -- c\nDELETE FROM t"},
      {"SELECT 'unterminated; --", "SELECT 'unterminated; --"},
      {";  -- nothing", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(pg::WithoutTrailingSeparators(c.sql), c.kept) << c.sql;
}

}  // namespace
}  // namespace sumora
