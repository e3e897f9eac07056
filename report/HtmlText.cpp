#include "report/HtmlText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace sumora::report {

namespace {

// The length of the UTF-8 character starting at text[at] and its code point, or 0 for a byte that
// does not start a valid, shortest-form character.
std::size_t Utf8Char(std::string_view text, std::size_t at, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    code = lead;
    return 1;
  }
  std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
  code = lead & (0x3F >> (length - 1));
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

bool HidesDirection(char32_t code) {
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

void AppendCodeText(std::string& out, const char* format, unsigned value) {
  char buffer[12];
  std::snprintf(buffer, sizeof buffer, format, value);
  out += buffer;
}

}  // namespace

std::string HtmlText(std::string_view text, LineBreaks lineBreaks) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const std::size_t length = Utf8Char(text, at, code);
    if (length == 0) {
      AppendCodeText(out, "\\x%02x", static_cast<unsigned char>(text[at]));
      ++at;
      continue;
    }
    switch (code) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default:
        if (code == '\n' && lineBreaks == LineBreaks::Keep) {
          out += '\n';
        } else if (code < 0x20 || code == 0x7F) {
          // Written as a message writes them, so the page reads like the command's own output.
          switch (code) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case 0: out += "\\0"; break;
            default: AppendCodeText(out, "\\x%02x", static_cast<unsigned>(code));
          }
        } else if ((code >= 0x80 && code < 0xA0) || HidesDirection(code)) {
          AppendCodeText(out, "\\u%04x", static_cast<unsigned>(code));
        } else {
          out.append(text.substr(at, length));
        }
    }
    at += length;
  }
  return out;
}

std::string HtmlName(std::string_view name, std::size_t limit) {
  std::size_t at = 0;
  for (std::size_t chars = 0; at < name.size() && chars < limit; ++chars) {
    char32_t code = 0;
    at += std::max<std::size_t>(1, Utf8Char(name, at, code));
  }
  if (at >= name.size()) return "<bdi>" + HtmlText(name) + "</bdi>";
  return "<bdi title=\"" + HtmlText(name) + "\">" + HtmlText(name.substr(0, at)) + "\xE2\x80\xA6</bdi>";
}

std::string ScriptJson(const nlohmann::ordered_json& data) {
  const std::string json = data.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  std::string out;
  out.reserve(json.size());
  for (const char c : json) {
    // "<" occurs only inside JSON strings, where \u003c means the same character.
    if (c == '<') {
      out += "\\u003c";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace sumora::report
