#include "engine/SmrProperties.h"

#include <map>

#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "host/MessageText.h"

namespace sumora {

namespace {

template <typename T>
const T& ValueAs(const PropertyValue& value, const char* property) {
  if (const T* typed = std::get_if<T>(&value)) return *typed;
  throw EInvalidCast(std::string("Invalid value type for property ") + property);
}

std::uint16_t WordValue(const PropertyValue& value, const char* property) {
  std::int64_t number = ValueAs<std::int64_t>(value, property);
  if (number < 0 || number > 65535) {
    throw Exception(std::to_string(number) + " is not a valid value for " + property + " (0 to 65535)");
  }
  return static_cast<std::uint16_t>(number);
}

TSumoraStats& Stats(TComponent& component) {
  TSumoraStats* stats = StatsOf(&component);
  if (stats == nullptr) throw EInvalidCast(component.ClassName() + " is not a statistics component");
  return *stats;
}

template <typename DataSet>
DataSet& As(TComponent& component) {
  auto* dataSet = dynamic_cast<DataSet*>(&component);
  if (dataSet == nullptr) throw EInvalidCast("Invalid class typecast: " + component.ClassName());
  return *dataSet;
}

// The engine's published properties, in the order both classes publish them.
std::vector<PublishedProperty> EngineProperties() {
  return {
      {"StatFieldName", PropertyKind::String, [](TComponent& c) -> PropertyValue { return Stats(c).StatFieldName(); },
       [](TComponent& c, const PropertyValue& v) {
         Stats(c).SetStatFieldName(ValueAs<std::string>(v, "StatFieldName"));
       }},
      {"ScaleBy", PropertyKind::Double, [](TComponent& c) -> PropertyValue { return Stats(c).ScaleBy(); },
       [](TComponent& c, const PropertyValue& v) { Stats(c).SetdsScaleFactor(ValueAs<double>(v, "ScaleBy")); }},
      {"FreqClasses", PropertyKind::Word,
       [](TComponent& c) -> PropertyValue { return std::int64_t{Stats(c).FreqClasses()}; },
       [](TComponent& c, const PropertyValue& v) { Stats(c).SetdsFreqClasses(WordValue(v, "FreqClasses")); }},
      {"RecordPlotCount", PropertyKind::Word,
       [](TComponent& c) -> PropertyValue { return std::int64_t{Stats(c).RecordPlotCount()}; },
       [](TComponent& c, const PropertyValue& v) {
         Stats(c).SetdsMaxPlotCount(WordValue(v, "RecordPlotCount"));
       }},
      {"ShowCalcProgress", PropertyKind::BoolPlus,
       [](TComponent& c) -> PropertyValue { return Stats(c).ShowCalcProgress(); },
       [](TComponent& c, const PropertyValue& v) {
         Stats(c).SetShowCalcProgress(ValueAs<TBoolPlus>(v, "ShowCalcProgress"));
       }},
  };
}

std::vector<PublishedProperty> QueryProperties() {
  std::vector<PublishedProperty> properties = {
      {"DatabaseName", PropertyKind::String,
       [](TComponent& c) -> PropertyValue { return As<TQuery>(c).DatabaseName(); },
       [](TComponent& c, const PropertyValue& v) {
         As<TQuery>(c).SetDatabaseName(ValueAs<std::string>(v, "DatabaseName"));
       }},
      {"SQL", PropertyKind::Strings, [](TComponent& c) -> PropertyValue { return As<TQuery>(c).SQL().Items(); },
       [](TComponent& c, const PropertyValue& v) {
         TQuery& query = As<TQuery>(c);
         const auto& lines = ValueAs<std::vector<std::string>>(v, "SQL");
         if (query.Active()) throw EDatabaseError(ShownText(query.Name()) + ": Cannot change SQL of an open dataset; close it first");
         query.SQL().Clear();
         for (const auto& line : lines) query.SQL().Add(line);
       }},
  };
  for (auto& property : EngineProperties()) properties.push_back(std::move(property));
  return properties;
}

std::vector<PublishedProperty> TableProperties() {
  std::vector<PublishedProperty> properties = {
      {"DatabaseName", PropertyKind::String,
       [](TComponent& c) -> PropertyValue { return As<TTable>(c).DatabaseName(); },
       [](TComponent& c, const PropertyValue& v) {
         As<TTable>(c).SetDatabaseName(ValueAs<std::string>(v, "DatabaseName"));
       }},
      {"TableName", PropertyKind::String, [](TComponent& c) -> PropertyValue { return As<TTable>(c).TableName(); },
       [](TComponent& c, const PropertyValue& v) {
         As<TTable>(c).SetTableName(ValueAs<std::string>(v, "TableName"));
       }},
  };
  for (auto& property : EngineProperties()) properties.push_back(std::move(property));
  return properties;
}

std::vector<ComponentSetting> EngineSettings() {
  return {{"ServerSide", [](TComponent& c) { return Stats(c).ServerSide(); },
           [](TComponent& c, bool on) { Stats(c).SetServerSide(on); }}};
}

}  // namespace

void RegisterSumoraClasses() {
  RegisterComponentClass({"TSumoraQuery", [](TComponent* owner) -> TComponent* { return new TSumoraQuery(owner); },
                          QueryProperties(), EngineSettings()});
  RegisterComponentClass({"TSumoraTable", [](TComponent* owner) -> TComponent* { return new TSumoraTable(owner); },
                          TableProperties(), EngineSettings()});
}

TSumoraStats* StatsOf(TComponent* component) {
  if (auto* query = dynamic_cast<TSumoraQuery*>(component)) return query;
  if (auto* table = dynamic_cast<TSumoraTable*>(component)) return table;
  return nullptr;
}

}  // namespace sumora
