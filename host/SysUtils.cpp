#include "host/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <string_view>
#include <vector>

namespace sumora {

namespace {

char decimalSeparatorOverride = '\0';

// The separator as text: a few locales use a multi-byte radix character.
std::string DecimalText() {
  if (decimalSeparatorOverride != '\0') return std::string(1, decimalSeparatorOverride);
  const char* point = std::localeconv()->decimal_point;
  return (point != nullptr && point[0] != '\0') ? std::string(point) : std::string(".");
}

// The locale's grouping character; the C locale has none, so fall back to ',' (or '.' beside a
// decimal comma).
std::string ThousandsText(const std::string& decimal) {
  if (decimalSeparatorOverride == '\0') {
    const char* sep = std::localeconv()->thousands_sep;
    if (sep != nullptr && sep[0] != '\0') return sep;
  }
  return decimal == "," ? "." : ",";
}

// ---- Exact decimal rounding ----
//
// std::to_chars prints the double's exact decimal value correctly rounded to the requested digits
// (round half to even), whatever the locale. Printing kGuard digits past the rounding position decides
// half-away-from-zero rounding exactly, except when those digits read exactly 5000...: the exact
// value may then lie just below or just above the half, so it is printed in full (a double has at most
// 1074 fraction digits and 767 significant digits).
constexpr int kGuard = 20;
constexpr int kAllFractionDigits = 1074;
constexpr int kAllSignificantDigits = 800;

std::string ToChars(double magnitude, std::chars_format format, int precision) {
  // Room for the 309 integer digits of the largest double, the point, the exponent and the digits.
  std::string buffer(static_cast<std::size_t>(precision) + 330, '\0');
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude, format, precision);
  buffer.resize(ec == std::errc() ? static_cast<std::size_t>(end - buffer.data()) : 0);
  return buffer;
}

bool LooksLikeExactHalf(std::string_view rest) {
  return !rest.empty() && rest[0] == '5' && rest.find_first_not_of('0', 1) == std::string_view::npos;
}

// Adds one unit in the last place of a digit string; true when it carries out of the first digit
// (all nines become zeros).
bool Increment(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it != '9') {
      ++*it;
      return false;
    }
    *it = '0';
  }
  return true;
}

std::string StripLeadingZeros(const std::string& digits) {
  const auto first = digits.find_first_not_of('0');
  return first == std::string::npos ? std::string() : digits.substr(first);
}

// A magnitude rounded to a number of decimals: `integer` without leading zeros ("" for an integer
// part of 0) and `fraction` of exactly the requested length.
struct FixedDigits {
  std::string integer;
  std::string fraction;
  bool IsZero() const { return integer.empty() && fraction.find_first_not_of('0') == std::string::npos; }
};

FixedDigits RoundToDecimals(double magnitude, int decimals) {
  auto split = [decimals](const std::string& text, std::string& kept, std::string& rest) {
    const auto point = text.find('.');
    kept = text.substr(0, point) + text.substr(point + 1, static_cast<std::size_t>(decimals));
    rest = text.substr(point + 1 + static_cast<std::size_t>(decimals));
  };
  std::string kept, rest;
  split(ToChars(magnitude, std::chars_format::fixed, decimals + kGuard), kept, rest);
  if (LooksLikeExactHalf(rest))
    split(ToChars(magnitude, std::chars_format::fixed, std::max(kAllFractionDigits, decimals + kGuard)), kept,
          rest);
  if (rest[0] >= '5' && Increment(kept)) kept.insert(kept.begin(), '1');
  const std::size_t integerLength = kept.size() - static_cast<std::size_t>(decimals);
  return {StripLeadingZeros(kept.substr(0, integerLength)), kept.substr(integerLength)};
}

// A magnitude rounded to `count` significant digits: value = d1.d2d3... x 10^exponent. Zero gives
// zeros with exponent 0.
struct SignificantDigits {
  std::string digits;
  int exponent = 0;
  bool IsZero() const { return digits.find_first_not_of('0') == std::string::npos; }
};

SignificantDigits RoundToSignificant(double magnitude, int count) {
  if (magnitude == 0.0) return {std::string(static_cast<std::size_t>(count), '0'), 0};
  auto split = [count](const std::string& text, std::string& kept, std::string& rest, int& exponent) {
    const auto e = text.find('e');
    std::string mantissa = text.substr(0, e);
    mantissa.erase(1, 1);  // the point after the first digit
    kept = mantissa.substr(0, static_cast<std::size_t>(count));
    rest = mantissa.substr(static_cast<std::size_t>(count));
    exponent = std::stoi(text.substr(e + 1));
  };
  std::string kept, rest;
  int exponent = 0;
  split(ToChars(magnitude, std::chars_format::scientific, count - 1 + kGuard), kept, rest, exponent);
  if (LooksLikeExactHalf(rest))
    split(ToChars(magnitude, std::chars_format::scientific, kAllSignificantDigits), kept, rest, exponent);
  if (rest[0] >= '5' && Increment(kept)) {
    kept.insert(kept.begin(), '1');
    kept.pop_back();
    ++exponent;
  }
  return {kept, exponent};
}

// Fixed digits with `decimals` decimals from significant digits that hold no digit beyond them.
FixedDigits FixedFromSignificant(const SignificantDigits& s, int decimals) {
  const int count = static_cast<int>(s.digits.size());
  auto digitAt = [&](int index) {
    return index >= 0 && index < count ? s.digits[static_cast<std::size_t>(index)] : '0';
  };
  FixedDigits f;
  for (int index = 0; index <= s.exponent; ++index) f.integer += digitAt(index);
  for (int i = 0; i < decimals; ++i) f.fraction += digitAt(s.exponent + 1 + i);
  f.integer = StripLeadingZeros(f.integer);
  return f;
}

std::string Grouped(const std::string& integer, const std::string& separator) {
  std::string out;
  for (std::size_t p = 0; p < integer.size(); ++p) {
    out += integer[p];
    const std::size_t remaining = integer.size() - 1 - p;
    if (remaining > 0 && remaining % 3 == 0) out += separator;
  }
  return out;
}

std::string NonFinite(double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

// "-ddd.ddd": at least one integer digit, then the fraction digits of `f`, if any.
std::string FixedText(const FixedDigits& f, bool negative, bool thousands) {
  const std::string decimal = DecimalText();
  std::string integer = f.integer.empty() ? "0" : f.integer;
  std::string out = (negative && !f.IsZero()) ? "-" : "";
  out += thousands ? Grouped(integer, ThousandsText(decimal)) : integer;
  if (!f.fraction.empty()) out += decimal + f.fraction;
  return out;
}

// "d.dddE+xx": all digits of the mantissa, the exponent's sign when negative or when `plusSign`,
// and at least `exponentDigits` exponent digits.
std::string ScientificText(const SignificantDigits& s, bool negative, bool plusSign, int exponentDigits) {
  std::string out = (negative && !s.IsZero()) ? "-" : "";
  out += s.digits[0];
  if (s.digits.size() > 1) out += DecimalText() + s.digits.substr(1);
  out += 'E';
  if (s.exponent < 0)
    out += '-';
  else if (plusSign)
    out += '+';
  std::string exponent = std::to_string(std::abs(s.exponent));
  if (static_cast<int>(exponent.size()) < exponentDigits)
    exponent.insert(0, static_cast<std::size_t>(exponentDigits) - exponent.size(), '0');
  return out + exponent;
}

std::string GeneralText(double value, int precision, int exponentDigits) {
  SignificantDigits s = RoundToSignificant(std::fabs(value), precision);
  if (s.IsZero()) return "0";
  const auto last = s.digits.find_last_not_of('0');
  s.digits.erase(last + 1);
  const bool negative = std::signbit(value);
  if (s.exponent < precision && s.exponent >= -5) {
    const int decimals = std::max(0, static_cast<int>(s.digits.size()) - s.exponent - 1);
    return FixedText(FixedFromSignificant(s, decimals), negative, false);
  }
  return ScientificText(s, negative, false, exponentDigits);
}

// ---- Format patterns ----

struct PatternToken {
  enum Kind { Literal, Zero, Hash, Point, Comma } kind;
  std::string text;  // for literals
};

std::vector<PatternToken> Tokenize(const std::string& pattern) {
  std::vector<PatternToken> tokens;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    switch (c) {
      case '0':
        tokens.push_back({PatternToken::Zero, {}});
        break;
      case '#':
        tokens.push_back({PatternToken::Hash, {}});
        break;
      case '.':
        tokens.push_back({PatternToken::Point, {}});
        break;
      case ',':
        tokens.push_back({PatternToken::Comma, {}});
        break;
      case '"':
      case '\'': {
        // Quoted text is copied without its quotes; an unclosed quote runs to the end.
        const auto close = pattern.find(c, i + 1);
        const auto end = close == std::string::npos ? pattern.size() : close;
        tokens.push_back({PatternToken::Literal, pattern.substr(i + 1, end - i - 1)});
        i = end;
        break;
      }
      default:
        tokens.push_back({PatternToken::Literal, std::string(1, c)});
    }
  }
  return tokens;
}

}  // namespace

void SetDecimalSeparatorForTesting(char separator) { decimalSeparatorOverride = separator; }

char DecimalSeparator() {
  const std::string text = DecimalText();
  return text.size() == 1 ? text[0] : '.';
}

std::string FormatFloat(const std::string& pattern, double value) {
  if (pattern.empty()) return FloatToStr(value);
  if (!std::isfinite(value)) return NonFinite(value);

  const std::vector<PatternToken> tokens = Tokenize(pattern);
  // Only the first point separates integer from fraction placeholders; later points are ignored.
  const auto firstPoint = std::find_if(tokens.begin(), tokens.end(),
                                       [](const PatternToken& t) { return t.kind == PatternToken::Point; });
  int integerPlaceholders = 0, minIntegerDigits = 0, fractionPlaceholders = 0, minFractionDigits = 0;
  bool thousands = false;
  for (auto it = tokens.begin(); it != tokens.end(); ++it) {
    const bool placeholder = it->kind == PatternToken::Zero || it->kind == PatternToken::Hash;
    if (it->kind == PatternToken::Comma) thousands = true;
    if (!placeholder) continue;
    if (it < firstPoint) {
      ++integerPlaceholders;
      // Every placeholder from the first '0' on shows a digit, leading zeros included.
      if (it->kind == PatternToken::Zero || minIntegerDigits > 0) ++minIntegerDigits;
    } else {
      ++fractionPlaceholders;
      if (it->kind == PatternToken::Zero) minFractionDigits = fractionPlaceholders;
    }
  }
  if (integerPlaceholders + fractionPlaceholders == 0 && firstPoint == tokens.end()) {
    std::string out;
    for (const PatternToken& t : tokens) out += t.text;
    return out;
  }

  const FixedDigits rounded = RoundToDecimals(std::fabs(value), fractionPlaceholders);
  const bool negative = value < 0 && !rounded.IsZero();
  std::string fraction = rounded.fraction;
  while (static_cast<int>(fraction.size()) > minFractionDigits && fraction.back() == '0') fraction.pop_back();
  std::string integer = rounded.integer;
  if (static_cast<int>(integer.size()) < minIntegerDigits)
    integer.insert(0, static_cast<std::size_t>(minIntegerDigits) - integer.size(), '0');

  const std::string decimal = DecimalText();
  const std::string groupSeparator = thousands ? ThousandsText(decimal) : std::string();
  const int length = static_cast<int>(integer.size());
  // Integer digits line up with the placeholders from the right; the first placeholder takes every
  // digit that has no placeholder of its own.
  const int unfilled = integerPlaceholders - length;
  std::string out;
  bool numberStarted = false;
  auto startNumber = [&] {
    if (numberStarted) return;
    numberStarted = true;
    if (negative) out += '-';
  };
  auto emitIntegerDigit = [&](int position) {
    out += integer[static_cast<std::size_t>(position)];
    const int remaining = length - 1 - position;
    if (thousands && remaining > 0 && remaining % 3 == 0) out += groupSeparator;
  };
  int integerIndex = 0, fractionIndex = 0;
  bool afterPoint = false;
  for (auto it = tokens.begin(); it != tokens.end(); ++it) {
    switch (it->kind) {
      case PatternToken::Literal:
        out += it->text;
        break;
      case PatternToken::Comma:
        break;
      case PatternToken::Point:
        if (it != firstPoint) break;
        startNumber();
        if (integerPlaceholders == 0)
          for (int p = 0; p < length; ++p) emitIntegerDigit(p);
        if (!fraction.empty()) out += decimal;
        afterPoint = true;
        break;
      case PatternToken::Zero:
      case PatternToken::Hash:
        startNumber();
        if (afterPoint) {
          if (fractionIndex < static_cast<int>(fraction.size()))
            out += fraction[static_cast<std::size_t>(fractionIndex)];
          ++fractionIndex;
        } else if (integerIndex++ == 0) {
          for (int p = 0; p < 1 - unfilled && p < length; ++p) emitIntegerDigit(p);
        } else {
          const int p = integerIndex - 1 - unfilled;
          if (p >= 0 && p < length) emitIntegerDigit(p);
        }
        break;
    }
  }
  return out;
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  if (!std::isfinite(value)) return NonFinite(value);
  precision = std::clamp(precision, 1, 18);
  const bool negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  switch (format) {
    case TFloatFormat::ffGeneral:
      return GeneralText(value, precision, std::clamp(digits, 0, 4));
    case TFloatFormat::ffExponent:
      return ScientificText(RoundToSignificant(magnitude, precision), negative, true,
                            std::clamp(digits, 0, 4));
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency: {
      digits = std::clamp(digits, 0, 18);
      const bool thousands = format != TFloatFormat::ffFixed;
      // One rounding, at whichever comes first: the last significant digit or the last decimal.
      const SignificantDigits s = RoundToSignificant(magnitude, precision);
      // Too many integer digits: scientific notation with `precision` significant digits (trailing
      // zeros kept) and a signed exponent of at least two digits, "1.234568E+10".
      if (s.exponent + 1 > precision) return ScientificText(s, negative, true, 2);
      if (digits >= precision - 1 - s.exponent)
        return FixedText(FixedFromSignificant(s, digits), negative, thousands);
      return FixedText(RoundToDecimals(magnitude, digits), negative, thousands);
    }
  }
  return {};
}

std::string FloatToStr(double value) { return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0); }

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::string ExtractFileName(const std::string& fileName) {
  const auto slash = fileName.find_last_of("\\/:");
  return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

}  // namespace sumora
