// The StatFieldName editor over real SQLite files: which fields it offers, and that it leaves the
// dataset as it found it.
#include "design/FieldEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "dataset/Drivers.h"
#include "host/Errors.h"
#include "package/Smr32reg.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

using test::ExecSql;
using test::ScriptedHost;
using test::TempDir;

class FieldEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearDesignRegistry();
    Register();
    db_ = dir_.file("fields.sqlite");
    // Numeric and non-numeric columns interleaved, so field order is visible.
    ExecSql(db_,
            "CREATE TABLE MIXED (NAME TEXT, QTY INTEGER, ORDERED DATE, SMALL SMALLINT, PAID BOOLEAN,"
            " UNITS SMALLINT UNSIGNED, AMOUNT REAL, PRICE MONEY, STAMP DATETIME);"
            "INSERT INTO MIXED VALUES ('a', 1, '2024-01-01', 2, 1, 3, 4.5, 6.25, '2024-01-01 10:00');"
            "CREATE TABLE WORDS (NAME TEXT, ORDERED DATE, PAID BOOLEAN);"
            "INSERT INTO WORDS VALUES ('a', '2024-01-01', 0);");
    table_.SetName("SumoraTable1");
    table_.SetDatabaseName(db_);
    table_.SetTableName("MIXED");
    query_.SetName("SumoraQuery1");
    query_.SetDatabaseName(db_);
    query_.SQL().Add("SELECT AMOUNT, NAME, QTY FROM MIXED");
  }

  static const PublishedProperty& StatFieldName(const TComponent& component) {
    return *FindProperty(*FindComponentClass(component.ClassName()), "StatFieldName");
  }

  static std::vector<std::string> Offered(TPropertyEditor& editor) {
    std::vector<std::string> values;
    editor.GetValues([&](const std::string& value) { values.push_back(value); });
    return values;
  }

  std::unique_ptr<TPropertyEditor> EditorFor(std::vector<TComponent*> components) {
    const PublishedProperty& property = StatFieldName(*components.front());
    return CreatePropertyEditor(std::move(components), property);
  }

  TempDir dir_;
  std::string db_;
  ScriptedHost host_;
  TSumoraTable table_;
  TSumoraQuery query_;
};

TEST_F(FieldEditorTest, BothClassesGetTheFieldEditorWithItsAttributes) {
  for (TComponent* component : std::vector<TComponent*>{&table_, &query_}) {
    auto editor = EditorFor({component});
    ASSERT_NE(dynamic_cast<TVarFieldProperty*>(editor.get()), nullptr) << component->ClassName();
    const TPropertyAttributes expected{TPropertyAttribute::paValueList, TPropertyAttribute::paMultiSelect,
                                       TPropertyAttribute::paSortList};
    EXPECT_EQ(editor->GetAttributes(), expected);
  }
  // Other string properties of the same classes keep the plain text editor.
  const auto* info = FindComponentClass("TSumoraTable");
  EXPECT_EQ(FindPropertyEditor("TSumoraTable", *FindProperty(*info, "TableName")).className, "TStringProperty");
}

TEST_F(FieldEditorTest, ClosedTableOffersNumericFieldsInFieldOrderAndIsClosedAgain) {
  auto editor = EditorFor({&table_});
  ASSERT_FALSE(table_.Active());
  // Integer, small integer, word, float and currency; not text, date, date-time or Boolean.
  EXPECT_EQ(Offered(*editor), (std::vector<std::string>{"QTY", "SMALL", "UNITS", "AMOUNT", "PRICE"}));
  EXPECT_FALSE(table_.Active());
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(FieldEditorTest, OpenTableIsListedWithoutClosingIt) {
  table_.Open();
  table_.Next();
  auto editor = EditorFor({&table_});
  EXPECT_EQ(Offered(*editor).size(), 5u);
  EXPECT_TRUE(table_.Active());
  EXPECT_TRUE(table_.Eof()) << "the listing must not move or reopen an open dataset";
}

TEST_F(FieldEditorTest, TableWithoutNumericFieldsOffersNothingAndSaysNothing) {
  table_.SetTableName("WORDS");
  auto editor = EditorFor({&table_});
  EXPECT_TRUE(Offered(*editor).empty());
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_FALSE(table_.Active());
}

TEST_F(FieldEditorTest, QueryOffersTheNumericColumnsOfItsResult) {
  auto editor = EditorFor({&query_});
  EXPECT_EQ(Offered(*editor), (std::vector<std::string>{"AMOUNT", "QTY"}));
  EXPECT_FALSE(query_.Active());
}

TEST_F(FieldEditorTest, OpenErrorPropagatesAndLeavesTheDatasetClosed) {
  table_.SetTableName("NO_SUCH_TABLE");
  auto editor = EditorFor({&table_});
  int offered = 0;
  EXPECT_THROW(editor->GetValues([&](const std::string&) { ++offered; }), EDatabaseError);
  EXPECT_EQ(offered, 0);
  EXPECT_FALSE(table_.Active());
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(FieldEditorTest, ADatasetThatDeclinesToOpenAsksToOpenTheTableFirst) {
  RegisterMemoryDatabase("editor-declines", [](const std::string&) { return std::unique_ptr<RecordSource>(); });
  TSumoraQuery declining;
  declining.SetDatabaseName("memory:editor-declines");
  declining.SQL().Add("SELECT 1");
  auto editor = EditorFor({&declining});
  EXPECT_TRUE(Offered(*editor).empty());
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Please open the table first.");
  EXPECT_EQ(host_.messages[0].type, TMsgDlgType::mtInformation);
  EXPECT_EQ(host_.messages[0].buttons, TMsgDlgButtons::mbOK);
  EXPECT_FALSE(declining.Active());
  UnregisterMemoryDatabase("editor-declines");
}

TEST_F(FieldEditorTest, ErrorInsideTheCallbackStillRestoresActive) {
  auto editor = EditorFor({&table_});
  EXPECT_THROW(editor->GetValues([](const std::string&) { throw Exception("stop"); }), Exception);
  EXPECT_FALSE(table_.Active());
}

TEST_F(FieldEditorTest, SeveralComponentsOfferTheFirstOnesFieldsAndTakeTheValueAsText) {
  auto editor = EditorFor({&query_, &table_});
  EXPECT_EQ(Offered(*editor), (std::vector<std::string>{"AMOUNT", "QTY"}));
  query_.SetStatFieldName("AMOUNT");
  table_.SetStatFieldName("QTY");
  EXPECT_FALSE(editor->AllEqual());
  EXPECT_EQ(editor->GetValue(), "AMOUNT");
  // Stored unchanged, without a test: a name that is no field is accepted too.
  editor->SetValue("No Such Field");
  EXPECT_EQ(query_.StatFieldName(), "No Such Field");
  EXPECT_EQ(table_.StatFieldName(), "No Such Field");
  EXPECT_EQ(editor->GetValue(), "No Such Field");
  EXPECT_TRUE(editor->AllEqual());
}

}  // namespace
}  // namespace sumora
