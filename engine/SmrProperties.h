// The published properties of the two component classes, described once: name, kind, getter and
// setter. Form files and the workbench's property inspector work from these tables, so a property is
// always read and written the way the component's own setters do it (a ScaleBy of 0 is refused there).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "host/Classes.h"
#include "toolkit/SmrTools.h"

namespace sumora {

class TSumoraStats;

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
  // Raises EInvalidCast when the value is not of the property's kind, and EConvertError-like
  // Exception when a Word is out of 0..65535.
  std::function<void(TComponent&, const PropertyValue&)> set;
};

// The component classes that can be created by name, in palette order.
const std::vector<std::string>& ComponentClassNames();
// The published properties of `className` in the order they are written; empty for unknown classes.
const std::vector<PublishedProperty>& PublishedProperties(const std::string& className);
const PublishedProperty* FindProperty(const std::string& className, const std::string& propertyName);
// Creates a component of `className` owned by `owner` (nullptr for an unknown class).
TComponent* CreateComponent(const std::string& className, TComponent* owner);
// The statistics engine of a component made by CreateComponent (nullptr for anything else).
TSumoraStats* StatsOf(TComponent* component);

const char* BoolPlusName(TBoolPlus value);
std::optional<TBoolPlus> BoolPlusFromName(const std::string& name);

}  // namespace sumora
