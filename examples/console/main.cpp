// Binds a table component to a table of an SQLite file (or a directory of CSV files), summarizes one
// numeric field and prints three statistics.
//
//   sumora_console_example data/orders.sqlite ORDERS AMOUNT
#include <cstdio>
#include <exception>

#include "engine/SmrReport.h"
#include "engine/SmrTable.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DATABASE TABLE FIELD\n", argv[0]);
    return 2;
  }
  try {
    sumora::TSumoraTable table;
    table.SetDatabaseName(argv[1]);
    table.SetTableName(argv[2]);
    table.SetStatFieldName(argv[3]);
    table.SetShowCalcProgress(sumora::TBoolPlus::Never);  // no question on the terminal
    table.Open();
    table.Summarize();
    // The texts the summary window shows: record count, mean and standard deviation.
    const auto texts = sumora::SummaryTexts(table);
    for (int line : {2, 3, 12}) std::printf("%s\n", texts[line].c_str());
    std::printf("dsMedian = %.17g\n", table.GetdsMedian());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
  return 0;
}
