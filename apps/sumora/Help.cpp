#include "apps/sumora/Help.h"

#include <algorithm>
#include <map>
#include <string>

namespace sumora::cli {

namespace {

#define SUMORA_BINDING                                                                                         \
  "binding:\n"                                                                                                 \
  "  --db DB            an SQLite file, a CSV file, a folder of CSV files, a postgresql:// URL, or - for one\n" \
  "                     CSV table read from standard input\n"                                                 \
  "  --table NAME       a table of DB (a CSV file alone needs none), or\n"                                    \
  "  --sql TEXT         one read-only SELECT statement (SQLite and PostgreSQL)\n"                             \
  "  --form FILE [--component NAME]   the component of a saved form instead of --db/--table/--sql\n"        \
  "CSV files (what is not given is guessed from the file):\n"                                                 \
  "  --csv-delimiter C  one character, tab, or whitespace (runs of spaces and tabs)\n"                       \
  "  --csv-decimal C    the decimal mark (',' for 12,5)\n"                                                    \
  "  --csv-na A,B       more texts that mean \"no value\"\n"                                                   \
  "  --csv-comment C    lines starting with C are skipped\n"                                                  \
  "  --csv-header none  the first line is data; the fields are column_1 ... column_N\n"

#define SUMORA_PROPERTIES                                                                                 \
  "properties:\n"                                                                                         \
  "  --scale-by X       divide every value by X\n"                                                        \
  "  --classes K        frequency classes (default 10)\n"                                                 \
  "  --plot-count N     values kept for plots\n"                                                          \
  "  --progress prompt|always|never   the progress window (no window on the command line)\n"             \
  "  --server-side      PostgreSQL: sums computed by the server\n"

const std::map<std::string, const char*>& Usages() {
  static const std::map<std::string, const char*> usages = {
      {"summarize",
       "usage: sumora summarize BINDING (--field NAME ... | --all-numeric) [options]\n"
       "The statistics of each numeric field named (or of every numeric field).\n"
       "  --field NAME       a numeric field; may be repeated\n"
       "  --all-numeric      every numeric field, in field order\n"
       "  --format text|json|csv|table   table: one aligned line per field\n"
       "  --digits N         numbers with N significant digits (1 to 17; table default 6; text default the\n"
       "                     windows' three decimals)\n"
       "  --quantiles [P,P,...]   exact quantiles of every value (default 0.25,0.5,0.75)\n"
       "  --group-by FIELD   the statistics per distinct value of FIELD (any field class)\n"
       "  --max-groups N     more distinct values than N is an error (default 10000)\n" SUMORA_BINDING
           SUMORA_PROPERTIES},
      {"report",
       "usage: sumora report BINDING [--field NAME ...] --out FILE.html [options]\n"
       "A profile of the table on one self-contained HTML page: every field's statistics, exact quantiles,\n"
       "classes and histogram, the other fields' values; per group with --group-by.\n"
       "  --field NAME       a field to profile; may be repeated (default: every field)\n"
       "  --group-by FIELD   per distinct value of FIELD;  --max-groups N (default 10000)\n"
       "  --quantiles P,P,...   default 0.05,0.25,0.5,0.75,0.95\n"
       "  --out FILE.html    the page; --out FILE.json or --format json writes the numbers only\n"
       "  --format html|json  json without --out writes to standard output\n" SUMORA_BINDING SUMORA_PROPERTIES},
      {"classes",
       "usage: sumora classes BINDING (--field NAME ... | --all-numeric) [options]\n"
       "The frequency classes of each numeric field named.\n"
       "  --format text|csv\n"
       "  --digits N         class bounds and percentages with N significant digits\n" SUMORA_BINDING
           SUMORA_PROPERTIES},
      {"fields", "usage: sumora fields BINDING\nThe numeric fields, one a line.\n" SUMORA_BINDING},
      {"describe", "usage: sumora describe BINDING\nEvery field and its class, one a line.\n" SUMORA_BINDING},
      {"tables",
       "usage: sumora tables --db DB\n"
       "The tables of DB, one a line: SQLite tables and views, the CSV files directly in a folder (sub-folders\n"
       "are not searched), PostgreSQL tables and views on the search path.\n"},
      {"show",
       "usage: sumora show output|classes|progress BINDING --field NAME --out FILE.png|FILE.svg [properties]\n"
       "Draws a report window into a picture: PNG, or SVG (vector) when the name ends in .svg.\n" SUMORA_BINDING
           SUMORA_PROPERTIES},
      {"plot",
       "usage: sumora plot BINDING --field NAME --kind histogram|cumulative|polygon|input-order\n"
       "                  --out FILE.png|FILE.svg [options]\n"
       "Draws a plot into a picture: PNG, or SVG (vector) when the name ends in .svg.\n"
       "  --window           the whole plot window (axes, title, buttons), not the plot alone\n"
       "  --classes K  --set N  --dot-color C  --background C  --seed S\n" SUMORA_BINDING SUMORA_PROPERTIES},
      {"form",
       "usage: sumora form save FILE BINDING [properties]\n"
       "Saves a form file holding one component bound and set as the options say.\n" SUMORA_BINDING
           SUMORA_PROPERTIES},
      {"gui", "usage: sumora gui [FORM]\nOpens the workbench, with the form FILE when given.\n"},
      {"sample", "usage: sumora sample [--out DIR]\nWrites the sample SQLite database, CSV file and form (default folder: data).\n"},
  };
  return usages;
}

#undef SUMORA_BINDING
#undef SUMORA_PROPERTIES

}  // namespace

const char* CommandUsage(const std::string& command) {
  const auto& usages = Usages();
  auto found = usages.find(command);
  return found == usages.end() ? nullptr : found->second;
}

std::string InOptionWords(const std::string& message, const std::vector<std::string>& args) {
  const auto given = [&args](const char* option) {
    return std::any_of(args.begin(), args.end(), [option](const std::string& arg) {
      return arg == option || arg.rfind(std::string(option) + "=", 0) == 0;
    });
  };
  if (!given("--db") || given("--form")) return message;
  static const std::string kProperty = "check DatabaseName";
  std::string text = message;
  for (auto at = text.find(kProperty); at != std::string::npos; at = text.find(kProperty, at)) {
    text.replace(at, kProperty.size(), "check the path given to --db");
  }
  return text;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

}  // namespace sumora::cli
