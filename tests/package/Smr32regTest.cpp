// Register: the four design-time calls in their order, and what a design environment sees after them.
#include "package/Smr32reg.h"

#include <gtest/gtest.h>

#include "engine/SmrTable.h"
#include "design/DesignIntf.h"
#include "design/FieldEditor.h"

namespace sumora {
namespace {

TEST(Smr32regTest, RegisterMakesTheFourCallsInOrder) {
  ClearDesignRegistry();
  Register();
  const auto& calls = DesignRegistrations();
  ASSERT_EQ(calls.size(), 4u);
  using Kind = TDesignRegistration::Kind;
  for (int index : {0, 1}) {
    EXPECT_EQ(calls[index].kind, Kind::Components) << index;
    EXPECT_EQ(calls[index].page, "Norvane Statistics") << index;
  }
  EXPECT_EQ(calls[0].classNames, std::vector<std::string>{"TSumoraTable"});
  EXPECT_EQ(calls[1].classNames, std::vector<std::string>{"TSumoraQuery"});
  const char* editedClasses[] = {"TSumoraTable", "TSumoraQuery"};
  for (int index : {2, 3}) {
    EXPECT_EQ(calls[index].kind, Kind::PropertyEditor) << index;
    EXPECT_EQ(calls[index].propertyType, PropertyKind::String) << index;
    EXPECT_EQ(calls[index].componentClass, editedClasses[index - 2]);
    EXPECT_EQ(calls[index].propertyName, "StatFieldName") << index;
    EXPECT_EQ(calls[index].editorClassName, "TVarFieldProperty") << index;
  }
}

TEST(Smr32regTest, AfterRegisterThePalettePageCreatesBothClassesByName) {
  ClearDesignRegistry();
  Register();
  ASSERT_EQ(PalettePages(), std::vector<std::string>{"Norvane Statistics"});
  const auto classes = PaletteClasses("Norvane Statistics");
  ASSERT_EQ(classes, (std::vector<std::string>{"TSumoraTable", "TSumoraQuery"}));
  for (const auto& className : classes) {
    const ComponentClassInfo* info = FindComponentClass(className);
    ASSERT_NE(info, nullptr) << className;
    std::unique_ptr<TComponent> component(info->create(nullptr));
    EXPECT_EQ(component->ClassName(), className);
    const PublishedProperty* field = FindProperty(*info, "StatFieldName");
    ASSERT_NE(field, nullptr);
    auto editor = CreatePropertyEditor({component.get()}, *field);
    EXPECT_NE(dynamic_cast<TVarFieldProperty*>(editor.get()), nullptr) << className;
  }
}

}  // namespace
}  // namespace sumora
