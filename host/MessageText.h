// Text that came from data or from a user (a cell, a table or field name, an SQL statement) made fit
// for a one-line message: a 50 MB cell must not become a 50 MB message, and a terminal must not act on
// escape sequences hidden in a cell.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sumora {

// How much of a quoted text a message shows.
constexpr std::size_t kShownTextBytes = 200;

// `text` with control characters written as escapes (\n, \r, \t, \0, \xHH for the others and DEL),
// cut after its first `limit` bytes (never inside a UTF-8 character) with "…" marking the cut.
std::string ShownText(std::string_view text, std::size_t limit = kShownTextBytes);

// `text` with every byte sequence that is not valid UTF-8 replaced by U+FFFD, so that JSON and other
// UTF-8 outputs can always be written.
std::string ValidUtf8(std::string_view text);

}  // namespace sumora
