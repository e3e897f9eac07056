#include "dataset/drivers/csv/CsvSniffer.h"

#include <cctype>
#include <string>

#include "dataset/ValueText.h"
#include "dataset/drivers/csv/CsvScanner.h"
#include "host/Errors.h"

namespace sumora::csv {

namespace {

constexpr int kSampleRows = 1000;

// Rows of the sample that have the header's cell count, less a penalty for rows that have more
// (which a right guess would make errors). 0 when the header has a single cell.
int Consistency(std::string_view sample, bool whole, const Dialect& dialect) {
  Scanner scanner(sample, dialect);
  int score = 0;
  try {
    scanner.SkipPreamble();
    if (!scanner.NextRow(0, true) || scanner.Width() < 2) return 0;
    const std::size_t header = scanner.Width();
    score = 1;
    for (int row = 0; row < kSampleRows && scanner.NextRow(0, true); ++row) {
      // The last row of a cut sample may be cut too.
      if (!whole && scanner.Offset() == sample.size()) break;
      if (scanner.Width() == header) {
        ++score;
      } else if (scanner.Width() > header) {
        score -= 5;
      }
    }
  } catch (const EDatabaseError&) {
    // A quote left open where the sample is cut: what was read so far still counts.
  }
  return score;
}

// Splitting at runs of spaces and tabs fits when the header has several cells that way and more
// than half of the sampled rows have as many.
bool WhitespaceFits(std::string_view sample, bool whole, Dialect dialect) {
  dialect.whitespace = true;
  dialect.delimiter = ' ';
  Scanner scanner(sample, dialect);
  int rows = 0;
  int fitting = 0;
  try {
    scanner.SkipPreamble();
    if (!scanner.NextRow(0, true) || scanner.Width() < 2) return false;
    const std::size_t header = scanner.Width();
    for (int row = 0; row < kSampleRows && scanner.NextRow(0, true); ++row) {
      if (!whole && scanner.Offset() == sample.size()) break;
      ++rows;
      fitting += scanner.Width() == header ? 1 : 0;
    }
  } catch (const EDatabaseError&) {
  }
  return rows > 0 && 2 * fitting > rows;
}

// "12,5", "-0,25e3": digits, a comma, digits, an optional exponent.
bool DecimalCommaNumber(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == digits || i == text.size() || text[i] != ',') return false;
  digits = ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i == digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    digits = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i == digits) return false;
  }
  return i == text.size();
}

bool UsesDecimalComma(std::string_view sample, const Dialect& dialect) {
  Scanner scanner(sample, dialect);
  int comma = 0;
  int point = 0;
  std::string scratch;
  try {
    scanner.SkipPreamble();
    if (!scanner.NextRow(0, true)) return false;
    for (int row = 0; row < kSampleRows && scanner.NextRow(static_cast<std::size_t>(-1), false); ++row) {
      for (std::size_t i = 0; i < scanner.CellCount(); ++i) {
        std::string_view text = CellText(scanner.CellAt(i), scratch);
        bool isInteger = false;
        if (DecimalCommaNumber(text)) {
          ++comma;
        } else if (text.find('.') != std::string_view::npos && LooksNumeric(text, &isInteger)) {
          ++point;
        }
      }
    }
  } catch (const EDatabaseError&) {
  }
  return comma > point;
}

}  // namespace

void SniffDialect(std::string_view sample, bool whole, char fallback, Dialect& dialect) {
  if (!dialect.delimiterGiven) {
    char best = fallback;
    int bestScore = 0;
    for (char candidate : {fallback, ',', ';', '\t', '|'}) {
      if (dialect.decimalGiven && candidate == dialect.decimal) continue;
      Dialect trial = dialect;
      trial.delimiter = candidate;
      int score = Consistency(sample, whole, trial);
      if (score > bestScore) {
        best = candidate;
        bestScore = score;
      }
    }
    // A decimal mark given is never the delimiter, even where nothing else fits (one column).
    if (dialect.decimalGiven && best == dialect.decimal) best = dialect.decimal == ';' ? ',' : ';';
    dialect.delimiter = best;
    if (bestScore == 0 && WhitespaceFits(sample, whole, dialect)) {
      dialect.whitespace = true;
      dialect.delimiter = ' ';
    }
  }
  if (!dialect.decimalGiven && dialect.delimiter == ';' && UsesDecimalComma(sample, dialect)) dialect.decimal = ',';
}

}  // namespace sumora::csv
