// Feeds arbitrary bytes to the CSV table reader as a whole file: header, quoting, the inference of
// column classes and every field read back as a number and as text. Database errors are the reader's
// way of refusing a file; anything else (a crash, a sanitizer report, another exception) is a finding.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "dataset/DataSet.h"
#include "host/Errors.h"

namespace {

// One directory for the whole run; each input replaces t.csv in it.
const std::filesystem::path& FuzzDirectory() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("sumora-fuzz-csv-" + std::to_string(static_cast<long>(::getpid())));
    std::filesystem::create_directories(path);
    return path;
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path& dir = FuzzDirectory();
  {
    std::ofstream out(dir / "t.csv", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  // Each input is read as it comes and again split at runs of blanks without a header line, the
  // dialect with the most state of its own.
  for (const char* options : {"", "?delimiter=whitespace&header=none"}) {
    sumora::TTable table;
    table.SetDatabaseName(dir.string() + options);
    table.SetTableName("t.csv");
    try {
      table.Open();
      const int records = table.RecordCount();
      int seen = 0;
      for (table.First(); !table.Eof(); table.Next()) {
        ++seen;
        for (int i = 0; i < table.FieldCount(); ++i) {
          sumora::TField& field = table.Fields(i);
          (void)field.AsString();
          try {
            if (!field.IsNull()) (void)field.AsFloat();
          } catch (const sumora::Exception&) {
            // Text in a numeric read is refused per cell; the rest of the record is still read.
          }
        }
      }
      if (seen != records) __builtin_trap();  // the count must match the records the cursor visits
      table.First();
    } catch (const sumora::Exception&) {
    }
  }
  return 0;
}
