// Published properties and the registry of component classes that can be created by name. Form
// files and the workbench's property inspector work from these descriptions, so a property is always
// read and written the way the component's own getter and setter do it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "host/Classes.h"
#include "toolkit/SmrTools.h"

namespace sumora {

enum class PropertyKind {
  String,    // text
  Strings,   // lines of text (SQL)
  Double,    // a double
  Word,      // a 16-bit unsigned number
  BoolPlus,  // Prompt, Always or Never
};

using PropertyValue = std::variant<std::string, std::vector<std::string>, double, std::int64_t, TBoolPlus>;

struct PublishedProperty {
  std::string name;
  PropertyKind kind;
  std::function<PropertyValue(TComponent&)> get;
  // Raises EInvalidCast when the value is not of the property's kind, Exception when a Word is
  // outside 0..65535; otherwise does what the component's setter does.
  std::function<void(TComponent&, const PropertyValue&)> set;
};

// An on/off setting of a component that is not a published property (the inspector does not list it).
// Form files keep the settings that are on under the component's "settings" key, which readers that do
// not know it skip.
struct ComponentSetting {
  std::string name;
  std::function<bool(TComponent&)> get;
  std::function<void(TComponent&, bool)> set;
};

struct ComponentClassInfo {
  std::string className;
  std::function<TComponent*(TComponent* owner)> create;
  std::vector<PublishedProperty> properties;  // in the order they are written
  std::vector<ComponentSetting> settings = {};
};

// Adds or replaces a class.
void RegisterComponentClass(ComponentClassInfo info);
const ComponentClassInfo* FindComponentClass(const std::string& className);
const PublishedProperty* FindProperty(const ComponentClassInfo& info, const std::string& propertyName);

const char* BoolPlusName(TBoolPlus value);
// Prompt, Always or Never; false for any other text.
bool BoolPlusFromName(const std::string& name, TBoolPlus* value);

}  // namespace sumora
