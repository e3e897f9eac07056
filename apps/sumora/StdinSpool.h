// `--db -`: one CSV table read from standard input. A summary reads its source more than once, so the
// input is copied once into a private folder (mode 0700, made by mkdtemp) as a file created with
// O_EXCL; the folder is opened as a CSV directory. The copy is removed when the process ends normally,
// when an error ends it, and on every signal whose default action ends it (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU). SIGXFSZ is ignored, so a
// copy beyond the file size limit fails as an error instead.
#pragma once

#include <string>

namespace sumora::cli {

// The database name standard input stands for: "-".
inline constexpr const char* kStandardInput = "-";

// Copies standard input (on the first call only; later calls return the same folder) into
// `tableFileName` inside a new private folder and returns the folder. `tableFileName` must be a plain
// file name. Raises Exception saying what failed when the copy cannot be made, or that standard input
// cannot be read (a folder given as standard input) before anything is made.
std::string SpoolStandardInput(const std::string& tableFileName);

}  // namespace sumora::cli
