// Parsing of `sumora` arguments: a command word followed by --name value options and positional
// words. Unknown or malformed options are usage errors (exit status 2).
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sumora::cli {

// A mistake in how the command was called; main prints it with the usage hint and exits 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CommandLine {
 public:
  // `valueOptions` take a value (--db X); `flagOptions` take none (--window). More than
  // `maxPositional` words that are not options is a usage error: a stray word is a mistake (a value
  // whose option was mistyped, a quote in the wrong place), never something to ignore. A value option
  // given twice is a usage error unless it is one of `repeatableOptions` (--field A --field B).
  CommandLine(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
              const std::vector<std::string>& flagOptions = {}, std::size_t maxPositional = 0,
              const std::vector<std::string>& repeatableOptions = {});

  bool Has(const std::string& option) const { return values_.count(option) != 0 || flags_.count(option) != 0; }
  // The first value of `option`.
  std::optional<std::string> Get(const std::string& option) const;
  // Every value of `option`, in the order given; empty when it is absent.
  std::vector<std::string> GetAll(const std::string& option) const;
  std::string Require(const std::string& option) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  // True when the command takes `option` at all, given or not (a message then suggests only options
  // that exist for it).
  bool Accepts(const std::string& option) const;

  // Numeric options, range-checked; a bad value is a usage error naming the option.
  std::optional<double> GetDouble(const std::string& option) const;
  std::optional<long long> GetInteger(const std::string& option, long long low, long long high) const;

 private:
  std::vector<std::string> accepted_;
  std::map<std::string, std::vector<std::string>> values_;
  std::map<std::string, bool> flags_;
  std::vector<std::string> positional_;
};

}  // namespace sumora::cli
