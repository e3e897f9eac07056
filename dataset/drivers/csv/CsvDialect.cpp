#include "dataset/drivers/csv/CsvDialect.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora::csv {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%3B" is ';': a delimiter such as '&' or '#' can then be written in the query part too.
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

char OneCharacter(const std::string& key, const std::string& value) {
  if (value == "tab" || value == "\\t") return '\t';
  if (value.size() != 1 || value[0] == '\n' || value[0] == '\r' || value[0] == '"') {
    throw EDatabaseError("CSV option '" + ShownText(key) + "' needs one character (or 'tab'), not '" + ShownText(value) + "'");
  }
  return value[0];
}

std::string Escape(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (c == '%' || c == '&' || c == '=' || c == '?' || c == '#' || c < 0x20) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

SplitName SplitOptions(const std::string& databaseName, const std::string& folder) {
  namespace fs = std::filesystem;
  const auto exists = [&](const std::string& path) {
    std::error_code ec;
    const fs::path full = folder.empty() || fs::path(path).is_absolute() ? fs::path(path) : fs::path(folder) / path;
    return !path.empty() && fs::exists(fs::symlink_status(full, ec));
  };
  if (databaseName.find('?') == std::string::npos || exists(databaseName)) return {databaseName, ""};
  for (auto mark = databaseName.find('?'); mark != std::string::npos; mark = databaseName.find('?', mark + 1)) {
    if (exists(databaseName.substr(0, mark))) return {databaseName.substr(0, mark), databaseName.substr(mark)};
  }
  const auto mark = databaseName.rfind('?');
  return {databaseName.substr(0, mark), databaseName.substr(mark)};
}

DatabaseLocation ParseLocation(const std::string& databaseName) {
  DatabaseLocation location;
  const SplitName split = SplitOptions(databaseName);
  location.path = split.path;
  if (split.options.empty()) return location;
  std::string_view query(split.options);
  query.remove_prefix(1);
  while (!query.empty()) {
    std::string_view pair = query.substr(0, query.find('&'));
    query.remove_prefix(std::min(query.size(), pair.size() + 1));
    if (pair.empty()) continue;
    auto equals = pair.find('=');
    std::string key(pair.substr(0, equals));
    std::string value = equals == std::string_view::npos ? std::string() : Unescape(pair.substr(equals + 1));
    Dialect& d = location.dialect;
    if (key == "delimiter" && value == "whitespace") {
      d.delimiter = ' ';
      d.whitespace = true;
      d.delimiterGiven = true;
    } else if (key == "delimiter") {
      d.delimiter = OneCharacter(key, value);
      d.delimiterGiven = true;
    } else if (key == "decimal") {
      d.decimal = OneCharacter(key, value);
      d.decimalGiven = true;
    } else if (key == "comment") {
      d.comment = OneCharacter(key, value);
      d.commentAnywhere = true;
    } else if (key == "header") {
      if (value != "none" && value != "first") {
        throw EDatabaseError("CSV option 'header' is none (the first line is data) or first (it names the fields), "
                             "not '" + ShownText(value) + "'");
      }
      d.noHeader = value == "none";
    } else if (key == "na") {
      std::string_view list(value);
      while (!list.empty()) {
        std::string_view token = list.substr(0, list.find(','));
        if (!token.empty()) d.extraNulls.emplace_back(token);
        list.remove_prefix(std::min(list.size(), token.size() + 1));
      }
    } else {
      throw EDatabaseError("unknown CSV option '" + ShownText(key) + "' in '" + ShownText(databaseName) +
                           "'; the options are delimiter, decimal, na, comment and header");
    }
  }
  const Dialect& d = location.dialect;
  if (d.decimalGiven && d.delimiterGiven && (d.decimal == d.delimiter || (d.whitespace && (d.decimal == ' ' || d.decimal == '\t')))) {
    throw EDatabaseError("CSV options: the decimal mark and the delimiter cannot both be " + DelimiterName(d.decimal));
  }
  return location;
}

std::string OptionQuery(const OptionSettings& settings) {
  std::string query;
  auto add = [&](const char* key, const std::string& value) {
    query += query.empty() ? "?" : "&";
    query += key;
    query += '=';
    query += value == "\t" ? std::string("tab") : Escape(value);
  };
  if (settings.whitespace) {
    add("delimiter", "whitespace");
  } else if (settings.delimiter != 0) {
    add("delimiter", std::string(1, settings.delimiter));
  }
  if (settings.decimal != 0) add("decimal", std::string(1, settings.decimal));
  if (!settings.nulls.empty()) add("na", settings.nulls);
  if (settings.comment != 0) add("comment", std::string(1, settings.comment));
  if (settings.noHeader) add("header", "none");
  return query;
}

bool IsNullText(std::string_view text, const Dialect& dialect) {
  if (text.empty()) return true;
  if (text.size() > 4 && dialect.extraNulls.empty()) return false;
  static constexpr std::array<std::string_view, 11> kNulls = {"NA",  "N/A",  "n/a", "NULL", "null", "#N/A",
                                                              "NaN", "nan", "-nan", "None", "<NA>"};
  for (std::string_view token : kNulls) {
    if (text == token) return true;
  }
  for (const std::string& token : dialect.extraNulls) {
    if (text == token) return true;
  }
  return false;
}

std::string DelimiterName(char delimiter) {
  if (delimiter == '\t') return "tab";
  if (delimiter == ' ') return "a space";
  return "'" + std::string(1, delimiter) + "'";
}

}  // namespace sumora::csv
