// Guesses how a CSV file is written from its first bytes, for what the user did not set.
#pragma once

#include <string_view>

#include "dataset/drivers/csv/CsvDialect.h"

namespace sumora::csv {

// How many bytes of the file the guess looks at.
constexpr std::size_t kSniffBytes = 64 * 1024;

// Delimiter: among `fallback`, ',', ';', tab and '|', the one whose rows have the header's cell count
// most often (a header of one cell says nothing; `fallback` wins ties and hopeless cases, unless it is
// the decimal mark given). When none of them fits, runs of spaces and tabs, if most rows then have
// the header's cell count. Decimal
// mark: ',' when the delimiter is ';' and numbers in the cells are written with a decimal comma more
// often than with a point. `sample` is the start of the file; `whole` says it is all of it.
void SniffDialect(std::string_view sample, bool whole, char fallback, Dialect& dialect);

}  // namespace sumora::csv
