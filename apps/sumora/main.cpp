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
#include "apps/sumora/WindowsProgram.h"
#include "dataset/Cancel.h"

#ifndef SUMORA_VERSION
#define SUMORA_VERSION "0.1.0"
#endif

namespace {

const char* kUsage =
    "usage: sumora COMMAND [options]\n"
    "\n"
    "commands:\n"
    "  summarize --db DB (--table NAME | --sql TEXT) (--field NAME ... | --all-numeric) [--scale-by X]\n"
    "            [--classes K] [--plot-count N] [--progress prompt|always|never] [--format text|json|csv]\n"
    "            [--server-side]   sums computed by a PostgreSQL server\n"
    "            [--quantiles [P,P,...]]   exact quantiles of every value (default 0.25,0.5,0.75)\n"
    "  classes   (the options of summarize, without --quantiles) [--format text|csv]\n"
    "  fields    --db DB (--table NAME | --sql TEXT)\n"
    "  describe  --db DB (--table NAME | --sql TEXT)\n"
    "  tables    --db DB\n"
    "  show      output|classes|progress (the options of summarize, one --field) --out FILE.png\n"
    "  plot      (the binding options) --field NAME --kind histogram|cumulative|polygon|input-order\n"
    "            [--classes K] [--set N] [--dot-color C] [--background C] [--seed S] --out FILE.png [--window]\n"
    "  form save FILE (the binding and property options of summarize)\n"
    "  gui       [FORM]\n"
    "  sample    [--out DIR]\n"
    "\n"
    "DB is an SQLite file, a directory of CSV files (tables \"name.csv\"), a postgresql:// URL, or - for one\n"
    "CSV table read from standard input (--table may then be left out).\n"
    "--field may be repeated; --all-numeric takes every numeric field in field order.\n"
    "summarize, classes, plot and show also take --form FILE [--component NAME] instead of the binding.\n"
    "--server-side (PostgreSQL only) computes the sums on the server and reads only the first 10000 values.\n"
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

#ifndef SUMORA_WITH_WIDGETS
  if (command == "show" || command == "plot" || command == "gui") return RunWindowsProgram(command, argv);
#endif
  const std::map<std::string, std::function<int(const Args&)>> commands = {
      {"describe", CmdDescribe}, {"fields", CmdFields}, {"tables", CmdTables}, {"summarize", CmdSummarize},
      {"classes", CmdClasses},   {"sample", CmdSample}, {"form", CmdForm},
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
    std::fprintf(stderr, "sumora %s: %s (see sumora --help)\n", command.c_str(), e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
}
