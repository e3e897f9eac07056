#include "design/DesignIntf.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "host/Errors.h"

namespace sumora {

namespace {

struct EditorRegistration {
  PropertyKind propertyType;
  std::string componentClass;
  std::string propertyName;
  TPropertyEditorClass editor;
};

struct PalettePage {
  std::string name;
  std::vector<std::string> classNames;
};

struct DesignRegistry {
  std::vector<PalettePage> pages;
  std::vector<EditorRegistration> editors;
  std::vector<TDesignRegistration> calls;
};

DesignRegistry& Registry() {
  static DesignRegistry registry;
  return registry;
}

// The shortest text that reads back as the same double.
std::string DoubleText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

double ParseDouble(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  double value = 0.0;
  const char* begin = trimmed.data();
  if (!trimmed.empty() && *begin == '+') ++begin;
  auto [end, ec] = std::from_chars(begin, trimmed.data() + trimmed.size(), value);
  if (trimmed.empty() || ec != std::errc() || end != trimmed.data() + trimmed.size() || !std::isfinite(value)) {
    throw Exception("'" + text + "' is not a valid floating point value.");
  }
  return value;
}

std::int64_t ParseWord(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
  if (trimmed.empty() || ec != std::errc() || end != trimmed.data() + trimmed.size()) {
    throw Exception("'" + text + "' is not a valid integer value.");
  }
  if (value < 0 || value > 65535) throw Exception(trimmed + " is not between 0 and 65535.");
  return value;
}

std::string ValueText(const PropertyValue& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
          std::string text;
          for (std::size_t line = 0; line < v.size(); ++line) {
            if (line > 0) text += '\n';
            text += v[line];
          }
          return text;
        } else if constexpr (std::is_same_v<T, double>) {
          return DoubleText(v);
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return std::to_string(v);
        } else {
          return BoolPlusName(v);
        }
      },
      value);
}

PropertyValue ParseValue(const std::string& text, PropertyKind kind) {
  switch (kind) {
    case PropertyKind::String: return text;
    case PropertyKind::Strings: {
      TStringList lines;
      lines.SetText(text);
      return lines.Items();
    }
    case PropertyKind::Double: return ParseDouble(text);
    case PropertyKind::Word: return ParseWord(text);
    case PropertyKind::BoolPlus: {
      TBoolPlus value{};
      if (!BoolPlusFromName(Trimmed(text), &value)) throw Exception("Invalid property value: '" + text + "'");
      return value;
    }
  }
  throw Exception("Invalid property value: '" + text + "'");
}

TPropertyEditorClass StandardEditor(PropertyKind kind) {
  switch (kind) {
    case PropertyKind::String: return PropertyEditorClass<TStringProperty>();
    case PropertyKind::Strings: return PropertyEditorClass<TStringsProperty>();
    case PropertyKind::Double: return PropertyEditorClass<TFloatProperty>();
    case PropertyKind::Word: return PropertyEditorClass<TIntegerProperty>();
    case PropertyKind::BoolPlus: return PropertyEditorClass<TEnumProperty>();
  }
  return PropertyEditorClass<TPropertyEditor>();
}

}  // namespace

// --- TPropertyEditor -------------------------------------------------------------------------------

TPropertyEditor::TPropertyEditor(std::vector<TComponent*> components, const PublishedProperty& property)
    : components_(std::move(components)), property_(property) {}

TPropertyEditor::~TPropertyEditor() = default;

bool TPropertyEditor::AllEqual() {
  if (components_.size() < 2) return true;
  const PropertyValue first = property_.get(*components_.front());
  for (std::size_t index = 1; index < components_.size(); ++index) {
    if (!(property_.get(*components_[index]) == first)) return false;
  }
  return true;
}

std::string TPropertyEditor::GetValue() { return ValueText(property_.get(*GetComponent(0))); }

void TPropertyEditor::GetValues(const TGetStrProc&) {}

void TPropertyEditor::SetValue(const std::string& value) { SetPropertyValue(ParseValue(value, property_.kind)); }

void TPropertyEditor::SetPropertyValue(const PropertyValue& value) {
  for (TComponent* component : components_) property_.set(*component, value);
}

TComponent* TPropertyEditor::GetComponent(int index) const {
  if (index < 0 || index >= PropCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return components_[static_cast<std::size_t>(index)];
}

void TEnumProperty::GetValues(const TGetStrProc& proc) {
  for (TBoolPlus value : {TBoolPlus::Prompt, TBoolPlus::Always, TBoolPlus::Never}) proc(BoolPlusName(value));
}

// --- Registry --------------------------------------------------------------------------------------

void RegisterComponents(const std::string& page, const std::vector<std::string>& classNames) {
  DesignRegistry& registry = Registry();
  registry.calls.push_back({TDesignRegistration::Kind::Components, page, classNames, PropertyKind::String, {}, {}, {}});
  PalettePage* target = nullptr;
  for (auto& existing : registry.pages) {
    if (existing.name == page) target = &existing;
  }
  if (target == nullptr) target = &registry.pages.emplace_back(PalettePage{page, {}});
  for (const auto& className : classNames) {
    bool present = false;
    for (const auto& name : target->classNames) present = present || name == className;
    if (!present) target->classNames.push_back(className);
  }
}

void RegisterPropertyEditor(PropertyKind propertyType, const std::string& componentClass,
                            const std::string& propertyName, TPropertyEditorClass editor) {
  DesignRegistry& registry = Registry();
  registry.calls.push_back({TDesignRegistration::Kind::PropertyEditor, {}, {}, propertyType, componentClass,
                            propertyName, editor.className});
  registry.editors.push_back({propertyType, componentClass, propertyName, std::move(editor)});
}

const std::vector<TDesignRegistration>& DesignRegistrations() { return Registry().calls; }

void ClearDesignRegistry() { Registry() = DesignRegistry{}; }

std::vector<std::string> PalettePages() {
  std::vector<std::string> names;
  for (const auto& page : Registry().pages) names.push_back(page.name);
  return names;
}

std::vector<std::string> PaletteClasses(const std::string& page) {
  for (const auto& existing : Registry().pages) {
    if (existing.name == page) return existing.classNames;
  }
  return {};
}

TPropertyEditorClass FindPropertyEditor(const std::string& componentClass, const PublishedProperty& property) {
  const auto& editors = Registry().editors;
  for (auto it = editors.rbegin(); it != editors.rend(); ++it) {
    if (it->propertyType != property.kind) continue;
    if (!it->componentClass.empty() && it->componentClass != componentClass) continue;
    if (!it->propertyName.empty() && it->propertyName != property.name) continue;
    return it->editor;
  }
  return StandardEditor(property.kind);
}

std::unique_ptr<TPropertyEditor> CreatePropertyEditor(std::vector<TComponent*> components,
                                                      const PublishedProperty& property) {
  if (components.empty()) throw EListError("List index out of bounds (0)");
  const std::string className = components.front()->ClassName();
  return FindPropertyEditor(className, property).create(std::move(components), property);
}

}  // namespace sumora
