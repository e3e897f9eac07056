// How a CSV file is written: delimiter, decimal mark, comment character and the texts that mean "no
// value", and whether the first line names the fields. The driver sniffs what the user did not set;
// the user sets it through the query part of DatabaseName
// ("dir?delimiter=;&decimal=,&na=-,missing&comment=%&header=none"; "delimiter=whitespace" splits at
// runs of spaces and tabs).
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
  // Runs of spaces and tabs are one delimiter, and those at the start and end of a row are ignored.
  bool whitespace = false;
  bool delimiterGiven = false;
  bool decimalGiven = false;
  // The first line is data: the fields are named column_1 ... column_N.
  bool noHeader = false;
  // Null texts added by the user to the built-in ones.
  std::vector<std::string> extraNulls;
};

// Splits "path?key=value&key=value" into the path and its option text ("?key=value...", or "").
// A name that exists as it stands is a path, '?' and all; otherwise the options start at the first
// '?' before which an existing path ends (at the last '?' when none does). Existence is checked
// relative to `folder` when it is given and the name is relative.
struct SplitName {
  std::string path;
  std::string options;
};
SplitName SplitOptions(const std::string& databaseName, const std::string& folder = "");

// The path and the options read from them. Raises EDatabaseError naming an unknown key or a value
// that is not one character.
struct DatabaseLocation {
  std::string path;
  Dialect dialect;
};
DatabaseLocation ParseLocation(const std::string& databaseName);

// What the user set, as the command line gives it: 0 and empty mean "not set".
struct OptionSettings {
  char delimiter = 0;
  bool whitespace = false;  // the delimiter is any run of spaces and tabs
  char decimal = 0;
  std::string nulls;
  char comment = 0;
  bool noHeader = false;
};
// The option text ParseLocation reads back to these settings ("" when none). Used by the command
// line to carry its --csv-* options in DatabaseName.
std::string OptionQuery(const OptionSettings& settings);

// True for an empty cell and for the null texts: the common spreadsheet and data-frame spellings
// ("NA", "N/A", "n/a", "NULL", "null", "#N/A", "NaN", "nan", "-nan", "None", "<NA>") and the user's own.
bool IsNullText(std::string_view text, const Dialect& dialect);

// Names a delimiter for messages: "','", "tab".
std::string DelimiterName(char delimiter);

}  // namespace sumora::csv
