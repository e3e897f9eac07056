#include "design/Properties.h"

#include <map>

namespace sumora {

namespace {
std::map<std::string, ComponentClassInfo>& Classes() {
  static std::map<std::string, ComponentClassInfo> classes;
  return classes;
}
}  // namespace

void RegisterComponentClass(ComponentClassInfo info) {
  std::string name = info.className;
  Classes()[name] = std::move(info);
}

const ComponentClassInfo* FindComponentClass(const std::string& className) {
  auto it = Classes().find(className);
  return it == Classes().end() ? nullptr : &it->second;
}

const PublishedProperty* FindProperty(const ComponentClassInfo& info, const std::string& propertyName) {
  for (const auto& property : info.properties) {
    if (property.name == propertyName) return &property;
  }
  return nullptr;
}

const char* BoolPlusName(TBoolPlus value) {
  switch (value) {
    case TBoolPlus::Prompt: return "Prompt";
    case TBoolPlus::Always: return "Always";
    case TBoolPlus::Never: return "Never";
  }
  return "Prompt";
}

bool BoolPlusFromName(const std::string& name, TBoolPlus* value) {
  if (name == "Prompt") *value = TBoolPlus::Prompt;
  else if (name == "Always") *value = TBoolPlus::Always;
  else if (name == "Never") *value = TBoolPlus::Never;
  else return false;
  return true;
}

}  // namespace sumora
