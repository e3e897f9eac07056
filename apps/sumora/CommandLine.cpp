#include "apps/sumora/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "host/MessageText.h"

namespace sumora::cli {

namespace {
bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}
}  // namespace

CommandLine::CommandLine(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
                         const std::vector<std::string>& flagOptions, std::size_t maxPositional,
                         const std::vector<std::string>& repeatableOptions) {
  accepted_ = valueOptions;
  accepted_.insert(accepted_.end(), flagOptions.begin(), flagOptions.end());
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
      positional_.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2);
    std::optional<std::string> inlineValue;
    if (auto eq = name.find('='); eq != std::string::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (Contains(flagOptions, name)) {
      if (inlineValue) throw UsageError("option --" + name + " takes no value");
      flags_[name] = true;
    } else if (Contains(valueOptions, name)) {
      if (values_.count(name) != 0 && !Contains(repeatableOptions, name)) {
        throw UsageError("option --" + name + " is given twice");
      }
      if (inlineValue) {
        values_[name].push_back(*inlineValue);
      } else {
        if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
        values_[name].push_back(args[++i]);
      }
    } else {
      throw UsageError("unknown option --" + ShownText(name));
    }
  }
  if (positional_.size() > maxPositional) {
    throw UsageError("unexpected argument '" + ShownText(positional_[maxPositional]) + "'");
  }
}

bool CommandLine::Accepts(const std::string& option) const { return Contains(accepted_, option); }

std::optional<std::string> CommandLine::Get(const std::string& option) const {
  auto it = values_.find(option);
  if (it == values_.end()) return std::nullopt;
  return it->second.front();
}

std::vector<std::string> CommandLine::GetAll(const std::string& option) const {
  auto it = values_.find(option);
  return it == values_.end() ? std::vector<std::string>() : it->second;
}

std::string CommandLine::Require(const std::string& option) const {
  auto value = Get(option);
  if (!value) throw UsageError("option --" + option + " is required");
  return *value;
}

std::optional<double> CommandLine::GetDouble(const std::string& option) const {
  auto text = Get(option);
  if (!text) return std::nullopt;
  double value = 0.0;
  const char* begin = text->data();
  if (!text->empty() && text->front() == '+') ++begin;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (text->empty() || ptr != end || ec != std::errc() || !std::isfinite(value)) {
    throw UsageError("option --" + option + " needs a finite number, not '" + ShownText(*text) + "'");
  }
  return value;
}

std::optional<long long> CommandLine::GetInteger(const std::string& option, long long low, long long high) const {
  auto text = Get(option);
  if (!text) return std::nullopt;
  long long value = 0;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(text->data(), end, value);
  if (text->empty() || ptr != end || ec != std::errc() || value < low || value > high) {
    throw UsageError("option --" + option + " needs a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + ShownText(*text) + "'");
  }
  return value;
}

}  // namespace sumora::cli
