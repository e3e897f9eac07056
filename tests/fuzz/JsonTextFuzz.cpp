// The JSON writer's text handling: arbitrary bytes (a source name cut anywhere, a header in any
// encoding) made valid UTF-8 must always be written as JSON and read back unchanged, and the same
// bytes shown in a message must stay short and free of control characters.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "host/MessageText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  const std::string valid = sumora::ValidUtf8(raw);
  // Valid input is kept as it is; every invalid byte becomes one three-byte replacement at most.
  if (valid.size() < raw.size() || valid.size() > raw.size() * 3) __builtin_trap();
  nlohmann::ordered_json document = {{"source", valid},
                                     {"StatFieldName", sumora::ValidUtf8(raw.substr(0, size / 2))}};
  const std::string text = document.dump();  // throws on invalid UTF-8: a finding
  if (nlohmann::ordered_json::parse(text) != document) __builtin_trap();
  if (sumora::ValidUtf8(valid) != valid) __builtin_trap();

  const std::string shown = sumora::ShownText(raw);
  if (shown.size() > 4 * sumora::kShownTextBytes + 3) __builtin_trap();
  for (const char c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
  }
  return 0;
}
