// Number text as every driver reads it: out-of-range values round to what a double can hold (zero
// or a subnormal below, infinity above, which is refused), and NaN text is recognised as null.
#include "dataset/ValueText.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "host/Errors.h"

namespace sumora {
namespace {

struct Reading {
  std::string text;
  double expected;
};

TEST(ValueTextTest, ValuesTooSmallForADoubleRoundToZeroOrASubnormal) {
  const std::string zeros(400, '0');
  for (const Reading& r : {Reading{"0." + zeros + "1", 0.0}, Reading{"-0." + zeros + "1", -0.0},
                           Reading{"1e-400", 0.0}, Reading{"0.0000000001e-399", 0.0},
                           Reading{"1" + zeros + "e-800", 0.0}, Reading{"4e-324", 0x1p-1074},
                           Reading{"0." + std::string(313, '0') + "1", 1e-314}, Reading{" +2.5e-324 ", 0x1p-1074}}) {
    const double value = ParseFloatText(r.text, "V", 1);
    EXPECT_EQ(value, r.expected) << r.text.substr(0, 30);
    EXPECT_EQ(std::signbit(value), std::signbit(r.expected)) << r.text.substr(0, 30);
  }
}

TEST(ValueTextTest, ValuesTooLargeForADoubleAreRefusedAsInfinity) {
  const std::string zeros(400, '0');
  for (const std::string& text : {"1" + zeros, "-1" + zeros + ".5", std::string("1e400"), "0.001e4" + zeros,
                                  "0." + zeros + "1e800"}) {
    try {
      ParseFloatText(text, "V", 7);
      ADD_FAILURE() << text.substr(0, 30) << " read as a number";
    } catch (const EDatabaseError& e) {
      const std::string sign = text.front() == '-' ? "-" : "+";
      EXPECT_EQ(std::string(e.what()), sign + "Inf is not a usable value (field 'V', record 7)");
    }
  }
}

TEST(ValueTextTest, NanTextIsRecognisedInAnyCase) {
  for (const char* text : {"nan", "NaN", "NAN", " -nan", "+nan\r"}) EXPECT_TRUE(IsNanText(text)) << text;
  for (const char* text : {"", "na", "nan1", "inf", "banana", "n a n"}) EXPECT_FALSE(IsNanText(text)) << text;
}

// The plain-decimal shortcut must give std::from_chars' double bit for bit, or decline; the variant that
// reads ahead must decide as it does whatever bytes follow the cell (digits included).
TEST(ValueTextTest, PlainDecimalsReadExactlyAsFromChars) {
  std::mt19937_64 follow(11);
  auto agrees = [&follow](const std::string& text) {
    double fast = 0.0;
    const bool plain = ReadPlainDecimal(text.data(), text.data() + text.size(), &fast);
    std::string padded = text;
    for (std::size_t k = 0; k < kPlainDecimalReach; ++k) padded += "0123456789.-,\n"[follow() % 14];
    double ahead = 0.0;
    if (ReadPlainDecimalPadded(padded.data(), padded.data() + text.size(), &ahead) != plain) return false;
    if (!plain) return true;
    if (std::memcmp(&fast, &ahead, sizeof fast) != 0) return false;
    double general = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), general);
    return ptr == text.data() + text.size() && ec == std::errc() && std::memcmp(&fast, &general, sizeof fast) == 0;
  };
  std::mt19937_64 random(7);
  const std::string alphabet = "0123456789.-";
  for (int i = 0; i < 2'000'000; ++i) {
    std::string text;
    const auto length = 1 + random() % 24;
    // Mostly digits with one point, sometimes any mix of the alphabet.
    for (std::uint64_t k = 0; k < length; ++k) text += alphabet[random() % (i % 4 == 0 ? 12 : 10)];
    if (i % 4 != 0 && length > 1) text[random() % length] = '.';
    if (i % 3 == 0) text = "-" + text;
    ASSERT_TRUE(agrees(text)) << text;
  }
  for (const char* text : {"0", "-0", "-0.0", "9007199254740992", "9007199254740993", "0.1", "1.", ".5",
                           "0.0000000000000000000001", "1234567890123456789", "12345678901234567890"}) {
    ASSERT_TRUE(agrees(text)) << text;
  }
  double value = 0.0;
  for (const char* text : {"", "-", ".", "+1", "1e5", " 1", "1.2.3", "--1", "0x10", "1,5"}) {
    EXPECT_FALSE(ReadPlainDecimal(text, text + std::strlen(text), &value)) << text;
  }
}

}  // namespace
}  // namespace sumora
