// Text from data shown in messages: short, on one line, with nothing a terminal would act on; and
// text that is not UTF-8 made valid for UTF-8 outputs.
#include "host/MessageText.h"

#include <gtest/gtest.h>

#include <string>

namespace sumora {
namespace {

using namespace std::string_literals;

struct Shown {
  std::string text;
  std::string expected;
};

TEST(MessageTextTest, ControlCharactersAreEscapedAndLongTextIsCut) {
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  for (const Shown& s : {Shown{"plain", "plain"}, Shown{"a\nb\r\tc", "a\\nb\\r\\tc"},
                         Shown{"nul\0inside"s, "nul\\0inside"}, Shown{"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
                         Shown{std::string(200, 'x'), std::string(200, 'x')},
                         Shown{std::string(201, 'x'), std::string(200, 'x') + "\xE2\x80\xA6"},
                         // 199 bytes then a three-byte character: the cut falls before it, not inside.
                         Shown{std::string(199, 'x') + euro + "tail", std::string(199, 'x') + "\xE2\x80\xA6"}}) {
    EXPECT_EQ(ShownText(s.text), s.expected) << s.text.substr(0, 20);
  }
  EXPECT_EQ(ShownText(std::string(50'000'000, 'c')).size(), 203u);
}

TEST(MessageTextTest, InvalidUtf8IsReplacedAndValidTextKept) {
  const std::string replacement = "\xEF\xBF\xBD";
  for (const Shown& s : {Shown{"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80"},
                         Shown{"cut \xE2\x82", "cut " + replacement + replacement},
                         Shown{"latin1 caf\xE9!", "latin1 caf" + replacement + "!"},
                         Shown{"overlong \xC0\xAF", "overlong " + replacement + replacement},
                         Shown{"surrogate \xED\xA0\x80", "surrogate " + replacement + replacement + replacement},
                         Shown{"too high \xF4\x90\x80\x80", "too high " + replacement + replacement + replacement +
                                                                replacement}}) {
    EXPECT_EQ(ValidUtf8(s.text), s.expected) << s.text;
  }
}

}  // namespace
}  // namespace sumora
