// The one place where text from the data (names, values, statements, messages) becomes HTML. Every
// such text on the report page goes through these functions, so markup in a CSV header is shown, not
// obeyed, and no character can rearrange or hide what the page says.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace sumora::report {

// How many characters of a name a heading or table shows; the whole name is in its title attribute.
constexpr std::size_t kShownNameChars = 120;

// Whether line feeds stay line breaks (an SQL statement shown in <pre>) or are shown as \n (a name).
enum class LineBreaks { Show, Keep };

// `text` fit for HTML text and for a quoted attribute value, with no markup of its own: & < > " ' as
// entities; control characters written out as messages write them (\n, \r, \t, \0, \x1b, \x7f), C1
// controls and the invisible direction controls (U+061C, U+200E/F, U+202A..E, U+2066..9) as "\u202e",
// bytes that are not UTF-8 as "\xff".
std::string HtmlText(std::string_view text, LineBreaks lineBreaks = LineBreaks::Show);

// A name as an isolated run (<bdi>), so a right-to-left name cannot reorder the text around it; cut
// after `limit` characters with "…" and the whole name in a title attribute.
std::string HtmlName(std::string_view name, std::size_t limit = kShownNameChars);

// `data` as JSON fit for the body of <script type="application/json">: every "<" written as \u003c so
// no "</script" or "<!--" can end the element early; invalid UTF-8 becomes U+FFFD.
std::string ScriptJson(const nlohmann::ordered_json& data);

}  // namespace sumora::report
