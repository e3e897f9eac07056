#include "report/HtmlText.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace sumora::report {
namespace {

struct EscapeCase {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(HtmlText, ShowsEveryCharacterOfTheDataAsText) {
  const std::vector<EscapeCase> cases = {
      {"markup", "<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
      {"quotes and ampersand", "a\"b'c&d", "a&quot;b&#39;c&amp;d"},
      {"control characters written out", std::string("\t\n\r\x1B\x7F\0", 6), "\\t\\n\\r\\x1b\\x7f\\0"},
      {"direction controls made visible", "\u202Eevil\u2066x\u200F", "\\u202eevil\\u2066x\\u200f"},
      {"C1 controls", "a\u0085b", "a\\u0085b"},
      {"bytes that are not UTF-8", "\xFF\xC0\x80\xED\xA0\x80", "\\xff\\xc0\\x80\\xed\\xa0\\x80"},
      {"other text unchanged", "Ünïcode ✓ עברית 𝄞", "Ünïcode ✓ עברית 𝄞"},
  };
  for (const auto& row : cases) EXPECT_EQ(HtmlText(row.input), row.expected) << row.name;
  EXPECT_EQ(HtmlText("SELECT 1\n\tFROM t", LineBreaks::Keep), "SELECT 1\n\\tFROM t") << "a statement keeps its lines";
}

TEST(HtmlName, IsolatesNamesAndCutsLongOnesKeepingTheWholeInTheTitle) {
  EXPECT_EQ(HtmlName("a<b"), "<bdi>a&lt;b</bdi>");
  EXPECT_EQ(HtmlName("ééé&x", 3), "<bdi title=\"ééé&amp;x\">ééé…</bdi>") << "cut after characters, not bytes";
}

TEST(ScriptJson, CannotEndTheScriptElementAndReadsBackTheSame) {
  const nlohmann::ordered_json data = {{"name", "</script><!-- <script>"}, {"bad", std::string("\xFF")}};
  const std::string text = ScriptJson(data);
  EXPECT_EQ(text.find('<'), std::string::npos);
  EXPECT_EQ(nlohmann::ordered_json::parse(text)["name"], data["name"]);
  EXPECT_EQ(nlohmann::ordered_json::parse(text)["bad"], "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace sumora::report
