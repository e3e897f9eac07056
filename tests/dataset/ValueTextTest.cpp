// Number text as every driver reads it: out-of-range values round to what a double can hold (zero
// or a subnormal below, infinity above, which is refused), and NaN text is recognised as null.
#include "dataset/ValueText.h"

#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
}  // namespace sumora
