#include "design/FormFile.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <unordered_set>

#include "dataset/Drivers.h"
#include "dataset/drivers/csv/CsvDialect.h"
#include "host/Errors.h"
#include "host/MessageText.h"
#include "host/SafeFile.h"
#include "design/Properties.h"

namespace sumora {

namespace {

using nlohmann::json;

const char* const kFormat = "sumora-form";
constexpr int kVersion = 1;
// Limits far above any real form that keep a hostile one from taking the machine's memory: a form
// of 10000 components takes about 3 MB on disk and 60 MB loaded.
constexpr std::size_t kMaxFormFileBytes = 16u << 20;
constexpr std::size_t kMaxComponents = 10000;
// A form nests five levels (the document, its components, one component, its properties, the SQL
// lines). Each level the parser enters costs an allocation, so 16 MB of brackets would take over a
// gigabyte before any check on the result could refuse them: the depth is checked while parsing.
constexpr int kMaxNesting = 64;

[[noreturn]] void Fail(const std::string& file, const std::string& what) { throw Exception(ShownText(file) + ": " + what); }

std::string ComponentLabel(const std::string& name) { return "component '" + ShownText(name) + "'"; }

json ValueToJson(const PropertyValue& value) {
  return std::visit(
      [](const auto& v) -> json {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, TBoolPlus>) {
          return BoolPlusName(v);
        } else {
          return v;
        }
      },
      value);
}

// Converts a stored value to the property's kind, or says what was expected.
PropertyValue JsonToValue(const json& stored, PropertyKind kind, const std::string& where) {
  switch (kind) {
    case PropertyKind::String:
      if (!stored.is_string()) throw Exception(where + " needs a text value");
      return stored.get<std::string>();
    case PropertyKind::Strings: {
      if (!stored.is_array()) throw Exception(where + " needs a list of text lines");
      std::vector<std::string> lines;
      for (const auto& line : stored) {
        if (!line.is_string()) throw Exception(where + " needs a list of text lines");
        lines.push_back(line.get<std::string>());
      }
      return lines;
    }
    case PropertyKind::Double:
      if (!stored.is_number()) throw Exception(where + " needs a number");
      return stored.get<double>();
    case PropertyKind::Word:
      if (!stored.is_number_integer() || stored.get<std::int64_t>() < 0 || stored.get<std::int64_t>() > 65535) {
        throw Exception(where + " needs a whole number from 0 to 65535");
      }
      return stored.get<std::int64_t>();
    case PropertyKind::BoolPlus: {
      TBoolPlus value{};
      if (!stored.is_string() || !BoolPlusFromName(stored.get<std::string>(), &value)) {
        throw Exception(where + " needs one of Prompt, Always, Never");
      }
      return value;
    }
  }
  throw Exception(where + " has an unknown kind");
}

// Settings this program does not know are skipped: a newer program's form still opens.
void ReadSettings(const json& settings, const ComponentClassInfo& info, TComponent& component, const std::string& file,
                  const std::string& name) {
  if (!settings.is_object()) Fail(file, ComponentLabel(name) + ": \"settings\" must be an object");
  for (const auto& setting : info.settings) {
    if (!settings.contains(setting.name)) continue;
    const json& stored = settings[setting.name];
    if (!stored.is_boolean()) Fail(file, ComponentLabel(name) + ": setting '" + setting.name + "' needs true or false");
    setting.set(component, stored.get<bool>());
  }
}

const char* const kDatabaseName = "DatabaseName";

namespace fs = std::filesystem;

// Only names of files and folders move with the form; URLs, connection strings and in-memory names
// mean the same wherever the form is.
bool IsPathName(const std::string& name) {
  if (name.empty()) return false;
  const DriverKind kind = DriverFor(name);
  return kind == DriverKind::SQLite || kind == DriverKind::Csv;
}

// Only the path moves: CSV options after it ("?na=N//A") are values, kept exactly as written.
std::string ResolvedDatabaseName(const std::string& stored, const std::string& formFolder) {
  if (formFolder.empty() || !IsPathName(stored) || fs::path(stored).is_absolute()) return stored;
  const csv::SplitName split = csv::SplitOptions(stored, formFolder);
  return (fs::path(formFolder) / split.path).lexically_normal().string() + split.options;
}

std::string StoredDatabaseName(const std::string& name, const std::string& formFolder) {
  if (formFolder.empty() || !IsPathName(name)) return name;
  const csv::SplitName split = csv::SplitOptions(name);
  const fs::path absolute = fs::absolute(split.path).lexically_normal();
  const fs::path relative = absolute.lexically_relative(formFolder);
  const bool inside = !relative.empty() && *relative.begin() != "..";
  return (inside ? relative.string() : absolute.string()) + split.options;
}

}  // namespace

std::string FormFolderOf(const std::string& path) {
  return fs::absolute(path).lexically_normal().parent_path().string();
}

std::string RealFolderOf(const std::string& path) {
  std::error_code error;
  const fs::path real = fs::canonical(fs::path(FormFolderOf(path)), error);
  return error ? FormFolderOf(path) : real.string();
}

std::unique_ptr<TForm> ParseForm(const std::string& text, const std::string& file, const std::string& formFolder) {
  json document;
  struct TooDeep {};
  const json::parser_callback_t refuseDeepNesting = [](int depth, json::parse_event_t event, json&) {
    const bool opens = event == json::parse_event_t::object_start || event == json::parse_event_t::array_start;
    if (opens && depth >= kMaxNesting) throw TooDeep{};
    return true;
  };
  try {
    document = json::parse(text, refuseDeepNesting);
  } catch (const json::exception& e) {  // parse errors, and numbers too large for a double
    Fail(file, std::string("malformed form file: ") + e.what());
  } catch (const TooDeep&) {
    Fail(file, "malformed form file: lists and objects are nested more than " + std::to_string(kMaxNesting) +
                   " levels deep");
  }
  if (!document.is_object() || !document.contains("format") || !document["format"].is_string() ||
      document["format"].get<std::string>() != kFormat) {
    Fail(file, std::string("not a form file (expected \"format\": \"") + kFormat + "\")");
  }
  if (!document.contains("version") || !document["version"].is_number_integer() || document["version"] != kVersion) {
    Fail(file, "unsupported form file version (this program reads version " + std::to_string(kVersion) + ")");
  }
  if (!document.contains("components") || !document["components"].is_array()) {
    Fail(file, "malformed form file: \"components\" must be a list");
  }
  auto form = std::make_unique<TForm>();
  if (document.contains("form")) {
    if (!document["form"].is_string()) Fail(file, "malformed form file: \"form\" must be a text");
    form->SetName(document["form"].get<std::string>());
  }
  if (document["components"].size() > kMaxComponents) {
    Fail(file, "the form holds " + std::to_string(document["components"].size()) + " components; at most " +
                   std::to_string(kMaxComponents) + " can be opened");
  }
  std::unordered_set<std::string> names;
  for (const auto& entry : document["components"]) {
    if (!entry.is_object() || !entry.contains("class") || !entry["class"].is_string() || !entry.contains("name") ||
        !entry["name"].is_string()) {
      Fail(file, "malformed form file: every component needs a \"class\" and a \"name\"");
    }
    const std::string name = entry["name"].get<std::string>();
    const std::string className = entry["class"].get<std::string>();
    const ComponentClassInfo* info = FindComponentClass(className);
    if (info == nullptr) Fail(file, ComponentLabel(name) + ": unknown class '" + ShownText(className) + "'");
    if (!names.insert(name).second) Fail(file, ComponentLabel(name) + ": a component of that name already exists");
    TComponent* component = info->create(form.get());
    component->SetName(name);
    if (entry.contains("settings")) ReadSettings(entry["settings"], *info, *component, file, name);
    if (!entry.contains("properties")) continue;
    if (!entry["properties"].is_object()) Fail(file, ComponentLabel(name) + ": \"properties\" must be an object");
    for (const auto& [propertyName, stored] : entry["properties"].items()) {
      const PublishedProperty* property = FindProperty(*info, propertyName);
      if (property == nullptr) {
        Fail(file, ComponentLabel(name) + ": unknown property '" + ShownText(propertyName) + "' of class " +
                       className);
      }
      try {
        PropertyValue value = JsonToValue(stored, property->kind, "property '" + propertyName + "'");
        if (propertyName == kDatabaseName && std::holds_alternative<std::string>(value)) {
          value = ResolvedDatabaseName(std::get<std::string>(value), formFolder);
        }
        property->set(*component, value);
      } catch (const Exception& e) {
        Fail(file, ComponentLabel(name) + ": " + e.what());
      }
    }
  }
  return form;
}

std::unique_ptr<TForm> ReadFormFile(const std::string& path) {
  std::string text;
  std::string problem;
  if (!ReadRegularFile(path, kMaxFormFileBytes, &text, &problem)) Fail(path, "cannot open the form file: " + problem);
  return ParseForm(text, path, RealFolderOf(path));
}

std::string FormToText(const TForm& form, const std::string& formFolder) {
  json components = json::array();
  for (TComponent* component : form.Components()) {
    const ComponentClassInfo* info = FindComponentClass(component->ClassName());
    if (info == nullptr) continue;
    json properties = json::object();
    for (const auto& property : info->properties) {
      PropertyValue value = property.get(*component);
      if (property.name == kDatabaseName && std::holds_alternative<std::string>(value)) {
        value = StoredDatabaseName(std::get<std::string>(value), formFolder);
      }
      properties[property.name] = ValueToJson(value);
    }
    json entry = {{"class", info->className}, {"name", component->Name()}, {"properties", properties}};
    json settings = json::object();
    for (const auto& setting : info->settings) {
      if (setting.get(*component)) settings[setting.name] = true;
    }
    if (!settings.empty()) entry["settings"] = settings;
    components.push_back(entry);
  }
  json document = {{"format", kFormat}, {"version", kVersion}, {"form", form.Name()}, {"components", components}};
  return document.dump(2) + "\n";
}

void WriteFormFile(const TForm& form, const std::string& path) {
  WriteFileAtomically(path, FormToText(form, FormFolderOf(path)));
}

TComponent* FindFormComponent(const TForm& form, const std::string& name, const std::string& file) {
  for (TComponent* component : form.Components()) {
    if (FindComponentClass(component->ClassName()) == nullptr) continue;
    if (name.empty() || component->Name() == name) return component;
  }
  if (name.empty()) Fail(file, "the form holds no component");
  Fail(file, "the form holds no component named '" + ShownText(name) + "'");
}

}  // namespace sumora
