// sumora: descriptive statistics of one numeric field of an SQLite, CSV or PostgreSQL data source.
// Compiled twice: as `sumora`, without the window library, which hands show, plot and gui to the
// windows program; and with SUMORA_WITH_WIDGETS as `sumora-windows`, which runs every command itself.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <string>

#include "apps/sumora/CommandLine.h"
#include "apps/sumora/Commands.h"
#include "apps/sumora/Help.h"
#include "apps/sumora/Version.h"
#include "apps/sumora/WindowsProgram.h"
#include "dataset/Cancel.h"


namespace {

const char* kUsage =
    "usage: sumora COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  summarize --db DB (--table NAME | --sql TEXT) (--field NAME ... | --all-numeric) [--scale-by X]\n"
    "            [--classes K] [--plot-count N] [--progress prompt|always|never] [--format text|json|csv]\n"
    "            [--format table] [--digits N]   one aligned line per field; N significant digits\n"
    "            [--server-side]   sums computed by a PostgreSQL server\n"
    "            [--quantiles [P,P,...]]   exact quantiles of every value (default 0.25,0.5,0.75)\n"
    "            [--group-by FIELD] [--max-groups N]   the statistics per distinct value of FIELD\n"
    "  classes   (the options of summarize, without --quantiles) [--format text|csv] [--digits N]\n"
    "  report    (the binding options) [--field NAME ...] [--group-by FIELD] [--quantiles P,...]\n"
    "            --out FILE.html | --format json [--out FILE.json]   a profile page of the whole table\n"
    "  fields    --db DB (--table NAME | --sql TEXT)\n"
    "  describe  --db DB (--table NAME | --sql TEXT)\n"
    "  tables    --db DB\n"
    "  show      output|classes|progress (the options of summarize, one --field) --out FILE.png|FILE.svg\n"
    "  plot      (the binding options) --field NAME --kind histogram|cumulative|polygon|input-order\n"
    "            [--classes K] [--set N] [--dot-color C] [--background C] [--seed S] --out FILE.png|FILE.svg\n"
    "            [--window]\n"
    "  form save FILE (the binding and property options of summarize)\n"
    "  gui       [FORM]\n"
    "  sample    [--out DIR]\n"
    "\n"
    "DB is an SQLite file, a directory of CSV files (tables \"name.csv\"), a postgresql:// URL, or - for one\n"
    "CSV table read from standard input (--table may then be left out).\n"
    "--field may be repeated; --all-numeric takes every numeric field in field order.\n"
    "summarize, classes, plot and show also take --form FILE [--component NAME] instead of the binding.\n"
    "--server-side (PostgreSQL only) computes the sums on the server and reads only the first 10000 values.\n"
    "CSV: --csv-delimiter C|tab|whitespace, --csv-decimal C, --csv-na A,B, --csv-comment C, --csv-header none.\n"
    "sumora COMMAND --help shows the options of one command.\n"
    "\n"
    "exit status: 0 success, 1 error, 2 usage error\n";

// Ctrl-C while a statement runs on a database server cancels it there, and the command ends with the
// server's "canceling statement due to user request" as an error; with nothing to cancel, or pressed a
// second time, it stops the program as usual.
extern "C" void OnInterrupt(int signalNumber) {
  static volatile std::sig_atomic_t interrupted = 0;
  const bool first = interrupted == 0;
  interrupted = 1;
  if (first && sumora::CancelRunningStatements()) return;
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// A request to end (SIGTERM from a service manager or kill, SIGHUP from a closed terminal) cancels what a
// database server runs for us, which would otherwise go on after we are gone, then ends as the signal asks.
extern "C" void OnTermination(int signalNumber) {
  sumora::CancelRunningStatements();
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sumora::cli;
  Args args(argv + 1, argv + argc);
  if (args.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string command = args.front();
  Args rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("sumora %s\n", SUMORA_VERSION);
    return 0;
  }

  if (AsksForHelp(rest)) {
    if (const char* usage = CommandUsage(command)) {
      std::fputs(usage, stdout);
      return 0;
    }
  }

#ifndef SUMORA_WITH_WIDGETS
  if (command == "show" || command == "plot" || command == "gui") return RunWindowsProgram(command, argv);
#endif
  const std::map<std::string, std::function<int(const Args&)>> commands = {
      {"describe", CmdDescribe}, {"fields", CmdFields}, {"tables", CmdTables}, {"summarize", CmdSummarize},
      {"classes", CmdClasses},   {"sample", CmdSample}, {"form", CmdForm}, {"report", CmdReport},
#ifdef SUMORA_WITH_WIDGETS
      {"show", CmdShow}, {"plot", CmdPlot}, {"gui", CmdGui},
#endif
  };
  auto it = commands.find(command);
  if (it == commands.end()) {
    std::fprintf(stderr, "sumora: unknown command '%s'\n%s", command.c_str(), kUsage);
    return 2;
  }
  std::signal(SIGINT, OnInterrupt);
  for (int signalNumber : {SIGTERM, SIGHUP}) std::signal(signalNumber, OnTermination);
  try {
    return it->second(rest);
  } catch (const UsageError& e) {
    std::fprintf(stderr, "sumora %s: %s (see sumora %s --help)\n", command.c_str(), e.what(), command.c_str());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", InOptionWords(e.what(), rest).c_str());
    return 1;
  }
}
