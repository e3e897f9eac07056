// Feeds arbitrary text to the form-file reader. A malformed file must end in sumora::Exception naming
// the file; anything else is a finding. Message boxes raised by refusing setters are answered by a
// scripted host so the run stays quiet.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/SmrProperties.h"
#include "host/Errors.h"
#include "design/FormFile.h"
#include "tests/support/ScriptedHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = [] {
    sumora::RegisterSumoraClasses();
    return true;
  }();
  (void)registered;
  sumora::test::ScriptedHost host;
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    std::unique_ptr<sumora::TForm> form = sumora::ParseForm(text, "fuzz.sfm");
    // What was read must write back and read again.
    const std::string written = sumora::FormToText(*form);
    std::unique_ptr<sumora::TForm> again = sumora::ParseForm(written, "fuzz-again.sfm");
    if (sumora::FormToText(*again) != written) __builtin_trap();
    (void)sumora::FindFormComponent(*form, "", "fuzz.sfm");
  } catch (const sumora::Exception&) {
  }
  return 0;
}
