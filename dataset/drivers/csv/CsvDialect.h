// How a CSV file is written: delimiter, decimal mark, comment character and the texts that mean "no
// value". The driver sniffs what the user did not set; the user sets it through the query part of
// DatabaseName ("dir?delimiter=;&decimal=,&na=-,missing&comment=%").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sumora::csv {

struct Dialect {
  char delimiter = ',';
  char decimal = '.';
  char comment = '#';
  // The user named the comment character: its lines are skipped everywhere, not only above the header.
  bool commentAnywhere = false;
  bool delimiterGiven = false;
  bool decimalGiven = false;
  // Null texts added by the user to the built-in ones.
  std::vector<std::string> extraNulls;
};

// Splits "path?key=value&key=value" into the path and the options. A name without '?' has no
// options. Raises EDatabaseError naming an unknown key or a value that is not one character.
struct DatabaseLocation {
  std::string path;
  Dialect dialect;
};
DatabaseLocation ParseLocation(const std::string& databaseName);

// The option text ParseLocation reads back to `dialect`'s user-given settings ("" when none).
// Used by the command line to carry its --csv-* options in DatabaseName.
std::string OptionQuery(char delimiter, char decimal, const std::string& nulls, char comment);

// True for an empty cell and for the null texts: the common spreadsheet and data-frame spellings
// ("NA", "N/A", "n/a", "NULL", "null", "#N/A", "NaN", "nan", "-nan", "None", "<NA>") and the user's own.
bool IsNullText(std::string_view text, const Dialect& dialect);

// Names a delimiter for messages: "','", "tab".
std::string DelimiterName(char delimiter);

}  // namespace sumora::csv
