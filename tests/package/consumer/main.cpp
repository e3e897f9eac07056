// Makes a small SQLite table, summarizes it with a table component and prints a few results.
#include <cstdio>
#include <string>

#include "engine/SmrTable.h"
#include "design/DesignIntf.h"
#include "host/Errors.h"
#include "package/Smr32reg.h"
#include "sqlite3.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string path = argv[1];
  std::remove(path.c_str());
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE T (A REAL, B INTEGER, C TEXT); INSERT INTO T VALUES (1, 1, 'x'), (2, 2, 'y'),"
               " (3, 3, 'z'), (4, 4, 'w');", nullptr, nullptr, nullptr);
  sqlite3_close(db);

  sumora::TSumoraTable table;
  table.SetDatabaseName(path);
  table.SetTableName("T");
  table.SetStatFieldName("A");
  table.SetShowCalcProgress(sumora::TBoolPlus::Never);
  table.Open();
  table.Summarize();
  std::printf("count %d\nmean %g\n", table.GetdsDataCount(), table.GetdsMean());
  std::string fields;
  for (const auto& name : table.GetNumericFields().Items()) fields += (fields.empty() ? "" : ",") + name;
  std::printf("numeric %s\n", fields.c_str());

  sumora::Register();
  std::string palette;
  for (const auto& className : sumora::PaletteClasses("Norvane Statistics")) palette += " " + className;
  std::printf("palette %s:%s\n", sumora::PalettePages().front().c_str(), palette.c_str());
  return 0;
}
