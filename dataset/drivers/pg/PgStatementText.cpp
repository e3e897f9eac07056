#include "dataset/drivers/pg/PgStatementText.h"

namespace sumora::pg {

namespace {

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// The end of a quoted run starting at `at` (the opening quote); `backslashes`: E'...' escapes.
std::size_t QuoteEnd(std::string_view sql, std::size_t at, char quote, bool backslashes) {
  for (std::size_t i = at + 1; i < sql.size(); ++i) {
    if (backslashes && sql[i] == '\\') {
      ++i;
    } else if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        ++i;  // a doubled quote stands for itself
      } else {
        return i + 1;
      }
    }
  }
  return sql.size();
}

// $tag$ ... $tag$ starting at `at`, or 0 when no dollar quote starts there ($1 is a parameter).
std::size_t DollarQuoteEnd(std::string_view sql, std::size_t at) {
  std::size_t close = at + 1;
  while (close < sql.size() && sql[close] != '$') {
    const char c = sql[close];
    if (!IsIdentifierChar(c) || c == '$' || (close == at + 1 && c >= '0' && c <= '9')) return 0;
    ++close;
  }
  if (close >= sql.size()) return 0;
  const std::string_view tag = sql.substr(at, close - at + 1);
  const std::size_t end = sql.find(tag, close + 1);
  return end == std::string_view::npos ? sql.size() : end + tag.size();
}

// The end of a block comment starting at `at`; block comments nest.
std::size_t BlockCommentEnd(std::string_view sql, std::size_t at) {
  int depth = 0;
  for (std::size_t i = at; i + 1 < sql.size(); ++i) {
    if (sql[i] == '/' && sql[i + 1] == '*') {
      ++depth;
      ++i;
    } else if (sql[i] == '*' && sql[i + 1] == '/') {
      ++i;
      if (--depth == 0) return i + 1;
    }
  }
  return sql.size();
}

}  // namespace

std::string WithoutTrailingSeparators(std::string_view sql) {
  std::size_t end = 0;  // just after the last character that is no blank, comment or semicolon
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
    std::size_t after = i + 1;
    bool code = true;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == ';') {
      code = false;
    } else if (c == '-' && next == '-') {
      const std::size_t line = sql.find('\n', i);
      after = line == std::string_view::npos ? sql.size() : line + 1;
      code = false;
    } else if (c == '/' && next == '*') {
      after = BlockCommentEnd(sql, i);
      code = false;
    } else if (c == '\'') {
      const bool escapes = i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') && (i < 2 || !IsIdentifierChar(sql[i - 2]));
      after = QuoteEnd(sql, i, '\'', escapes);
    } else if (c == '"') {
      after = QuoteEnd(sql, i, '"', false);
    } else if (c == '$' && (i == 0 || !IsIdentifierChar(sql[i - 1]))) {
      const std::size_t quoted = DollarQuoteEnd(sql, i);
      if (quoted != 0) after = quoted;
    } else if (IsIdentifierChar(c)) {
      while (after < sql.size() && IsIdentifierChar(sql[after])) ++after;
    }
    if (code) end = after;
    i = after;
  }
  return std::string(sql.substr(0, end));
}

}  // namespace sumora::pg
