// Number and text formatting: FormatFloat patterns, FloatToStrF, FloatToStr, IntToStr, ExtractFileName
// and the locale's decimal separator.
#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>

#include "host/SysUtils.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// ---- FormatFloat ----

struct PatternCase {
  const char* pattern;
  double value;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const PatternCase& c) {
  return out << '"' << c.pattern << "\" of " << c.value;
}

class FormatFloatPattern : public testing::TestWithParam<PatternCase> {};

TEST_P(FormatFloatPattern, WritesTheExpectedText) {
  EXPECT_EQ(FormatFloat(GetParam().pattern, GetParam().value), GetParam().expected);
}

// "#.000": three decimals, no leading zero, so magnitudes below 1 begin with the separator.
INSTANTIATE_TEST_SUITE_P(ThreeDecimalsNoLeadingZero, FormatFloatPattern,
                         testing::Values(PatternCase{"#.000", 0.5, ".500"},         //
                                         PatternCase{"#.000", 0.0, ".000"},         //
                                         PatternCase{"#.000", 1234.5, "1234.500"},  //
                                         PatternCase{"#.000", -2.25, "-2.250"},     //
                                         PatternCase{"#.000", 0.25, ".250"},        //
                                         PatternCase{"#.000", 12.0, "12.000"},      //
                                         PatternCase{"#.000", -0.25, "-.250"},      //
                                         PatternCase{"#.000", 1e20, "100000000000000000000.000"}));

// The double nearest a written half may lie above or below it; the exact value decides.
INSTANTIATE_TEST_SUITE_P(HalfAwayFromZeroOnTheExactValue, FormatFloatPattern,
                         testing::Values(PatternCase{"#.000", 0.0005, ".001"},   // 0.000500000000000000010...
                                         PatternCase{"#.000", 1.0005, "1.000"},  // 1.000499999999999944...
                                         PatternCase{"#.000", 0.9995, "1.000"},  // 0.999500000000000055...
                                         PatternCase{"#.000", -0.0005, "-.001"},  //
                                         PatternCase{"0.00", 2.675, "2.67"},      // 2.67499999999999982...
                                         PatternCase{"0.00", 0.125, "0.13"},    // exact half: away from zero
                                         PatternCase{"0.00", -0.125, "-0.13"},  //
                                         PatternCase{"0", 0.5, "1"},            //
                                         PatternCase{"0", 2.5, "3"},            //
                                         PatternCase{"0", -2.5, "-3"},          //
                                         PatternCase{"0", 250.5, "251"},        //
                                         PatternCase{"0", 0.49999999999999994, "0"},  //
                                         PatternCase{"#.000", 5e-324, ".000"}));

// A negative value that rounds to zero loses its minus sign.
INSTANTIATE_TEST_SUITE_P(NegativeZero, FormatFloatPattern,
                         testing::Values(PatternCase{"#.000", -0.0004, ".000"},  //
                                         PatternCase{"#.000", -0.0, ".000"},     //
                                         PatternCase{"0", -0.4, "0"},            //
                                         PatternCase{"000.000", -1e-9, "000.000"}));

// "000.000" and "#000.00": at least three integer digits, padded with zeros.
INSTANTIATE_TEST_SUITE_P(PaddedIntegerPart, FormatFloatPattern,
                         testing::Values(PatternCase{"000.000", 5.5, "005.500"},        //
                                         PatternCase{"000.000", 1234.5, "1234.500"},    //
                                         PatternCase{"000.000", 0.0, "000.000"},        //
                                         PatternCase{"000.000", -5.5, "-005.500"},      //
                                         PatternCase{"000.000", 999.9996, "1000.000"},  //
                                         PatternCase{"#000.00", 25.0, "025.00"},        //
                                         PatternCase{"#000.00", 100.0, "100.00"},       //
                                         PatternCase{"#000.00", 0.0, "000.00"},         //
                                         PatternCase{"#000.00", 12.3456, "012.35"},     //
                                         PatternCase{"#000.00", 12345.0, "12345.00"}));

// Text before and after the digits is copied; the minus sign stands right before the digits.
INSTANTIATE_TEST_SUITE_P(LiteralText, FormatFloatPattern,
                         testing::Values(PatternCase{"Range: #.000", 12.0, "Range: 12.000"},        //
                                         PatternCase{"Variance: #.000", 12.0, "Variance: 12.000"},  //
                                         PatternCase{"Variance: #.000", 0.25, "Variance: .250"},    //
                                         PatternCase{"Standard Deviation: #.000", 1.5,
                                                     "Standard Deviation: 1.500"},
                                         PatternCase{"Skewness: #.000", 0.0, "Skewness: .000"},     //
                                         PatternCase{"Kurtosis: #.000", -1.2, "Kurtosis: -1.200"},  //
                                         PatternCase{"0.00 %", 12.5, "12.50 %"},                    //
                                         PatternCase{"'#'0", 5.0, "#5"},                            //
                                         PatternCase{"\"v.0,\" 0.0", 2.0, "v.0, 2.0"},              //
                                         PatternCase{"no digits", 3.0, "no digits"}));

// Optional decimals, thousands separators and digits beyond the placeholders.
INSTANTIATE_TEST_SUITE_P(OtherPlaceholders, FormatFloatPattern,
                         testing::Values(PatternCase{"#.##", 0.0, ""},                          //
                                         PatternCase{"#.##", 0.5, ".5"},                        //
                                         PatternCase{"#.##", 1234.0, "1234"},                   //
                                         PatternCase{"0.0#", 1.5, "1.5"},                       //
                                         PatternCase{"0.0#", 1.257, "1.26"},                    //
                                         PatternCase{"#,##0.00", 1234567.891, "1,234,567.89"},  //
                                         PatternCase{"#,##0.00", -1234.0, "-1,234.00"},         //
                                         PatternCase{"#,##0.00", 0.5, "0.50"},                  //
                                         PatternCase{"#,##0", 999.5, "1,000"},                  //
                                         PatternCase{".00", 3.25, "3.25"},                      //
                                         PatternCase{".00", -0.5, "-.50"},                      //
                                         PatternCase{"0", 1e15, "1000000000000000"}));

TEST(FormatFloat, NonFiniteValues) {
  EXPECT_EQ(FormatFloat("#.000", std::nan("")), "NAN");
  EXPECT_EQ(FormatFloat("#.000", kInf), "INF");
  EXPECT_EQ(FormatFloat("Range: #.000", -kInf), "-INF");
}

TEST(FormatFloat, EmptyPatternFormatsLikeFloatToStr) {
  EXPECT_EQ(FormatFloat("", 0.5), "0.5");
  EXPECT_EQ(FormatFloat("", 1e20), "1E20");
}

TEST(FormatFloat, ManyDecimalsShowTheExactBinaryValue) {
  EXPECT_EQ(FormatFloat("0." + std::string(40, '0'), 0.1), "0.1000000000000000055511151231257827021182");
  // The smallest subnormal has 1074 decimals; more placeholders only add zeros.
  const std::string text = FormatFloat("0." + std::string(1100, '0'), 5e-324);
  ASSERT_EQ(text.size(), 1102u);
  EXPECT_EQ(text.substr(0, 330), "0." + std::string(323, '0') + "49406");
  EXPECT_EQ(text.substr(1074, 2), "25");
  EXPECT_EQ(text.substr(1076), std::string(26, '0'));
}

TEST(FormatFloat, LargestDoubleWritesEveryIntegerDigit) {
  const std::string text = FormatFloat("0", DBL_MAX);
  EXPECT_EQ(text.size(), 309u);
  EXPECT_EQ(text.substr(0, 17), "17976931348623157");
}

// ---- FloatToStrF ----

struct FloatCase {
  double value;
  TFloatFormat format;
  int precision;
  int digits;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const FloatCase& c) {
  return out << c.value << " format " << static_cast<int>(c.format) << " precision " << c.precision
             << " digits " << c.digits;
}

class FloatToStrFCase : public testing::TestWithParam<FloatCase> {};

TEST_P(FloatToStrFCase, WritesTheExpectedText) {
  const FloatCase& c = GetParam();
  EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits), c.expected);
}

constexpr TFloatFormat kFixed = TFloatFormat::ffFixed;

INSTANTIATE_TEST_SUITE_P(Fixed, FloatToStrFCase,
                         testing::Values(FloatCase{1234.5, kFixed, 7, 2, "1234.50"},  //
                                         FloatCase{1234.5, kFixed, 7, 0, "1235"},     //
                                         FloatCase{250.5, kFixed, 7, 0, "251"},       //
                                         FloatCase{100.0, kFixed, 7, 0, "100"},       //
                                         FloatCase{-40.0, kFixed, 7, 0, "-40"},       //
                                         FloatCase{0.0, kFixed, 7, 0, "0"},           //
                                         FloatCase{0.0, kFixed, 7, 2, "0.00"},        //
                                         FloatCase{0.5, kFixed, 7, 2, "0.50"},        //
                                         FloatCase{-2.25, kFixed, 7, 1, "-2.3"},      //
                                         FloatCase{-0.001, kFixed, 7, 2, "0.00"},     //
                                         FloatCase{12.345, kFixed, 8, 2, "12.35"},  // 12.3450000000000006...
                                         FloatCase{1.005, kFixed, 8, 2, "1.00"},    // 1.00499999999999989...
                                         FloatCase{5.0, kFixed, 7, 2, "5.00"}));

// The precision-th significant digit is the last one that can be non-zero.
INSTANTIATE_TEST_SUITE_P(FixedWithinPrecision, FloatToStrFCase,
                         testing::Values(FloatCase{123456.789, kFixed, 7, 2, "123456.80"},          //
                                         FloatCase{1.23456789, kFixed, 7, 4, "1.2346"},             //
                                         FloatCase{0.000123456789, kFixed, 7, 10, "0.0001234568"},  //
                                         FloatCase{9999999.4, kFixed, 7, 2, "9999999.00"},          //
                                         FloatCase{999999.96, kFixed, 7, 1, "1000000.0"}));

// More integer digits than the precision: scientific notation, "1.234568E+10".
INSTANTIATE_TEST_SUITE_P(FixedSwitchesToScientific, FloatToStrFCase,
                         testing::Values(FloatCase{12345678901.0, kFixed, 7, 2, "1.234568E+10"},  //
                                         FloatCase{12345678.0, kFixed, 7, 2, "1.234568E+07"},     //
                                         FloatCase{-12345678.0, kFixed, 7, 0, "-1.234568E+07"},   //
                                         FloatCase{9999999.5, kFixed, 7, 2, "1.000000E+07"},      //
                                         FloatCase{1e100, kFixed, 7, 2, "1.000000E+100"},         //
                                         FloatCase{123456789.0, kFixed, 8, 2, "1.2345679E+08"}));

INSTANTIATE_TEST_SUITE_P(
    OtherFormats, FloatToStrFCase,
    testing::Values(FloatCase{1234.5, TFloatFormat::ffGeneral, 7, 0, "1234.5"},             //
                    FloatCase{12345678.0, TFloatFormat::ffGeneral, 7, 0, "1.234568E7"},     //
                    FloatCase{0.00001, TFloatFormat::ffGeneral, 7, 0, "0.00001"},           //
                    FloatCase{0.000001, TFloatFormat::ffGeneral, 7, 2, "1E-06"},            //
                    FloatCase{1234.5, TFloatFormat::ffExponent, 7, 2, "1.234500E+03"},      //
                    FloatCase{-0.0012, TFloatFormat::ffExponent, 3, 0, "-1.20E-3"},         //
                    FloatCase{0.0, TFloatFormat::ffExponent, 4, 2, "0.000E+00"},            //
                    FloatCase{1234567.891, TFloatFormat::ffNumber, 15, 2, "1,234,567.89"},  //
                    FloatCase{-1234.5, TFloatFormat::ffCurrency, 15, 2, "-1,234.50"}));

TEST(FloatToStrF, NonFiniteValues) {
  EXPECT_EQ(FloatToStrF(std::nan(""), kFixed, 7, 2), "NAN");
  EXPECT_EQ(FloatToStrF(kInf, kFixed, 7, 2), "INF");
  EXPECT_EQ(FloatToStrF(-kInf, TFloatFormat::ffGeneral, 15, 0), "-INF");
}

// ---- FloatToStr ----

struct GeneralCase {
  double value;
  const char* expected;
};

std::ostream& operator<<(std::ostream& out, const GeneralCase& c) { return out << c.value; }

class FloatToStrCase : public testing::TestWithParam<GeneralCase> {};

TEST_P(FloatToStrCase, WritesTheExpectedText) {
  EXPECT_EQ(FloatToStr(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(FifteenSignificantDigits, FloatToStrCase,
                         testing::Values(GeneralCase{2.0, "2"},                              //
                                         GeneralCase{0.5, "0.5"},                            //
                                         GeneralCase{1000.0, "1000"},                        //
                                         GeneralCase{-2.5, "-2.5"},                          //
                                         GeneralCase{0.0, "0"},                              //
                                         GeneralCase{-0.0, "0"},                             //
                                         GeneralCase{0.1, "0.1"},                            //
                                         GeneralCase{0.1 + 0.2, "0.3"},                      //
                                         GeneralCase{1.0 / 3.0, "0.333333333333333"},        //
                                         GeneralCase{2.0 / 3.0, "0.666666666666667"},        //
                                         GeneralCase{123456789012345.0, "123456789012345"},  //
                                         GeneralCase{0.00001, "0.00001"},                    //
                                         GeneralCase{0.000012345, "0.000012345"}));

// Scientific only when the exponent is below -5 or at least 15.
INSTANTIATE_TEST_SUITE_P(Scientific, FloatToStrCase,
                         testing::Values(GeneralCase{1e20, "1E20"},                     //
                                         GeneralCase{1.5e-7, "1.5E-7"},                 //
                                         GeneralCase{1e15, "1E15"},                     //
                                         GeneralCase{999999999999999.9, "1E15"},        //
                                         GeneralCase{0.000001, "1E-6"},                 //
                                         GeneralCase{-1.25e300, "-1.25E300"},           //
                                         GeneralCase{DBL_MAX, "1.79769313486232E308"},  //
                                         GeneralCase{5e-324, "4.94065645841247E-324"}));

// ---- IntToStr, ExtractFileName ----

TEST(IntToStr, WritesDecimalIntegers) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-5), "-5");
  EXPECT_EQ(IntToStr(10000), "10000");
  EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(ExtractFileName, TakesWhatFollowsTheLastSeparator) {
  EXPECT_EQ(ExtractFileName("C:\\data\\orders.db"), "orders.db");
  EXPECT_EQ(ExtractFileName("/tmp/sample/orders.csv"), "orders.csv");
  EXPECT_EQ(ExtractFileName("C:orders.db"), "orders.db");
  EXPECT_EQ(ExtractFileName("mixed\\dir/and:name.csv"), "name.csv");
  EXPECT_EQ(ExtractFileName("orders.db"), "orders.db");
  EXPECT_EQ(ExtractFileName("dir/"), "");
  EXPECT_EQ(ExtractFileName(""), "");
}

// ---- The decimal separator ----

TEST(DecimalSeparator, IsThePointInTheCLocale) {
  ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
  EXPECT_EQ(DecimalSeparator(), '.');
  EXPECT_EQ(FormatFloat("#.000", 0.5), ".500");
}

// Puts LC_NUMERIC into a locale that writes a decimal comma for the lifetime of the object: an
// installed German, French or Dutch locale, or else one compiled with localedef into a temporary
// directory named by LOCPATH. Active() is false when neither works.
class CommaLocale {
 public:
  CommaLocale() {
    if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) saved_ = current;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "de_DE"})
      if (TrySet(name)) return;
    if (!std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return;
    dir_ = std::make_unique<test::TempDir>();
    const std::string target = dir_->file("de_DE.UTF-8");
    const std::string command = "localedef -i de_DE -f UTF-8 --no-archive '" + target + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == -1 || !std::filesystem::exists(target + "/LC_NUMERIC")) return;
    if (const char* locpath = std::getenv("LOCPATH")) savedLocpath_ = locpath;
    setenv("LOCPATH", dir_->path().c_str(), 1);
    TrySet("de_DE.UTF-8");
  }
  ~CommaLocale() {
    std::setlocale(LC_NUMERIC, saved_.c_str());
    if (dir_ != nullptr) {
      if (savedLocpath_)
        setenv("LOCPATH", savedLocpath_->c_str(), 1);
      else
        unsetenv("LOCPATH");
    }
  }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  bool Active() const { return active_; }

 private:
  bool TrySet(const char* name) {
    active_ =
        std::setlocale(LC_NUMERIC, name) != nullptr && std::string(std::localeconv()->decimal_point) == ",";
    if (!active_) std::setlocale(LC_NUMERIC, saved_.c_str());
    return active_;
  }
  std::string saved_ = "C";
  std::optional<std::string> savedLocpath_;
  std::unique_ptr<test::TempDir> dir_;
  bool active_ = false;
};

void ExpectDecimalComma() {
  EXPECT_EQ(DecimalSeparator(), ',');
  EXPECT_EQ(FormatFloat("#.000", 0.5), ",500");
  EXPECT_EQ(FormatFloat("Range: #.000", -2.25), "Range: -2,250");
  EXPECT_EQ(FormatFloat("000.000", 5.5), "005,500");
  EXPECT_EQ(FormatFloat("#000.00", 25.0), "025,00");
  EXPECT_EQ(FloatToStrF(1234.5, kFixed, 7, 2), "1234,50");
  EXPECT_EQ(FloatToStrF(12345678901.0, kFixed, 7, 2), "1,234568E+10");
  EXPECT_EQ(FloatToStr(0.5), "0,5");
  EXPECT_EQ(FloatToStr(1.5e-7), "1,5E-7");
  // With a decimal comma, thousands are grouped with a point.
  EXPECT_EQ(FormatFloat("#,##0.00", 1234567.891), "1.234.567,89");
}

TEST(DecimalSeparator, FollowsACommaLocale) {
  CommaLocale locale;
  if (!locale.Active()) GTEST_SKIP() << "no locale with a decimal comma is installed or can be built";
  ExpectDecimalComma();
}

TEST(DecimalSeparator, TestingOverrideWritesAComma) {
  ASSERT_NE(std::setlocale(LC_NUMERIC, "C"), nullptr);
  SetDecimalSeparatorForTesting(',');
  ExpectDecimalComma();
  SetDecimalSeparatorForTesting('\0');
  EXPECT_EQ(DecimalSeparator(), '.');
  EXPECT_EQ(FloatToStr(0.5), "0.5");
}

}  // namespace
}  // namespace sumora
