// The design-time layer: palette pages, which editor a property gets, and the standard editors'
// text conversions through the components' own setters.
#include "design/DesignIntf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "tests/support/ScriptedHost.h"

namespace sumora {
namespace {

using test::ScriptedHost;

class DesignIntfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearDesignRegistry();
    RegisterSumoraClasses();
  }

  std::unique_ptr<TPropertyEditor> Editor(TComponent& component, const std::string& name) {
    const PublishedProperty* property = FindProperty(*FindComponentClass(component.ClassName()), name);
    EXPECT_NE(property, nullptr) << name;
    return CreatePropertyEditor({&component}, *property);
  }

  static std::vector<std::string> Offered(TPropertyEditor& editor) {
    std::vector<std::string> values;
    editor.GetValues([&](const std::string& value) { values.push_back(value); });
    return values;
  }

  ScriptedHost host_;
  TSumoraQuery query_;
};

TEST_F(DesignIntfTest, PalettePagesKeepTheirOrderAndHoldEachClassOnce) {
  RegisterComponents("Norvane Statistics", {"TSumoraTable"});
  RegisterComponents("Other", {"TSumoraQuery"});
  RegisterComponents("Norvane Statistics", {"TSumoraQuery", "TSumoraTable"});
  EXPECT_EQ(PalettePages(), (std::vector<std::string>{"Norvane Statistics", "Other"}));
  EXPECT_EQ(PaletteClasses("Norvane Statistics"), (std::vector<std::string>{"TSumoraTable", "TSumoraQuery"}));
  EXPECT_TRUE(PaletteClasses("Missing").empty());
  EXPECT_EQ(DesignRegistrations().size(), 3u);
  ClearDesignRegistry();
  EXPECT_TRUE(PalettePages().empty());
  EXPECT_TRUE(DesignRegistrations().empty());
}

TEST_F(DesignIntfTest, EditorLookupPrefersTheLastMatchingRegistration) {
  const PublishedProperty& field = *FindProperty(*FindComponentClass("TSumoraQuery"), "StatFieldName");
  const PublishedProperty& scale = *FindProperty(*FindComponentClass("TSumoraQuery"), "ScaleBy");
  EXPECT_EQ(FindPropertyEditor("TSumoraQuery", field).className, "TStringProperty");
  EXPECT_EQ(FindPropertyEditor("TSumoraQuery", scale).className, "TFloatProperty");

  RegisterPropertyEditor(PropertyKind::String, "", "", PropertyEditorClass<TStringsProperty>());
  RegisterPropertyEditor(PropertyKind::String, "TSumoraQuery", "StatFieldName", PropertyEditorClass<TEnumProperty>());
  EXPECT_EQ(FindPropertyEditor("TSumoraQuery", field).className, "TEnumProperty");
  EXPECT_EQ(FindPropertyEditor("TSumoraTable", field).className, "TStringsProperty") << "the catch-all applies";
  // The property's kind must match too: a string editor never edits a double.
  EXPECT_EQ(FindPropertyEditor("TSumoraQuery", scale).className, "TFloatProperty");
}

TEST_F(DesignIntfTest, FloatTextRoundTripsExactlyAndGoesThroughTheSetter) {
  auto editor = Editor(query_, "ScaleBy");
  const double awkward = 1.0 / 3.0 + 1e-12;
  query_.SetdsScaleFactor(awkward);
  const std::string text = editor->GetValue();
  query_.SetdsScaleFactor(5.0);
  editor->SetValue(text);
  EXPECT_EQ(query_.ScaleBy(), awkward) << text;

  editor->SetValue(" 0.0001 ");
  EXPECT_EQ(query_.ScaleBy(), 0.0001);
  EXPECT_TRUE(host_.messages.empty());
  editor->SetValue("0");
  EXPECT_EQ(query_.ScaleBy(), 1.0);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Cannot Scale by 0.");

  for (const char* bad : {"", "abc", "1.5x", "inf", "1e999"}) {
    query_.SetdsScaleFactor(2.0);
    EXPECT_THROW(editor->SetValue(bad), Exception) << bad;
    EXPECT_EQ(query_.ScaleBy(), 2.0) << bad;
  }
}

TEST_F(DesignIntfTest, WholeNumbersAreCheckedThenClampedByTheSetter) {
  auto classes = Editor(query_, "FreqClasses");
  classes->SetValue("150");
  EXPECT_EQ(query_.FreqClasses(), 100);
  EXPECT_EQ(classes->GetValue(), "100");
  classes->SetValue("0");
  EXPECT_EQ(query_.FreqClasses(), 0);
  for (const char* bad : {"-1", "65536", "2.5", "ten"}) {
    EXPECT_THROW(classes->SetValue(bad), Exception) << bad;
    EXPECT_EQ(query_.FreqClasses(), 0) << bad;
  }
  auto plotCount = Editor(query_, "RecordPlotCount");
  plotCount->SetValue("65535");
  EXPECT_EQ(query_.RecordPlotCount(), 10000);
}

TEST_F(DesignIntfTest, ShowCalcProgressOffersItsThreeNames) {
  auto editor = Editor(query_, "ShowCalcProgress");
  EXPECT_TRUE(editor->GetAttributes().Contains(TPropertyAttribute::paValueList));
  EXPECT_EQ(Offered(*editor), (std::vector<std::string>{"Prompt", "Always", "Never"}));
  EXPECT_EQ(editor->GetValue(), "Prompt");
  editor->SetValue("Never");
  EXPECT_EQ(query_.ShowCalcProgress(), TBoolPlus::Never);
  EXPECT_THROW(editor->SetValue("Sometimes"), Exception);
  EXPECT_EQ(query_.ShowCalcProgress(), TBoolPlus::Never);
}

TEST_F(DesignIntfTest, SqlLinesAreEditedAsTextInADialog) {
  auto editor = Editor(query_, "SQL");
  EXPECT_TRUE(editor->GetAttributes().Contains(TPropertyAttribute::paDialog));
  editor->SetValue("SELECT AMOUNT\r\nFROM ORDERS");
  EXPECT_EQ(query_.SQL().Items(), (std::vector<std::string>{"SELECT AMOUNT", "FROM ORDERS"}));
  EXPECT_EQ(editor->GetValue(), "SELECT AMOUNT\nFROM ORDERS");
}

TEST_F(DesignIntfTest, ComponentsAreReachedByIndex) {
  TSumoraTable table;
  const PublishedProperty& field = *FindProperty(*FindComponentClass("TSumoraQuery"), "StatFieldName");
  auto editor = CreatePropertyEditor({&query_, &table}, field);
  EXPECT_EQ(editor->PropCount(), 2);
  EXPECT_EQ(editor->GetComponent(0), &query_);
  EXPECT_EQ(editor->GetComponent(1), &table);
  EXPECT_THROW(editor->GetComponent(2), EListError);
  EXPECT_THROW(editor->GetComponent(-1), EListError);
  EXPECT_THROW(CreatePropertyEditor({}, field), EListError);
}

}  // namespace
}  // namespace sumora
