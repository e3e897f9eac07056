// Form files: every published property written and read back exactly, reading through the setters,
// and a clear error naming the file, the component and the property for each kind of broken file.
#include "design/FormFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "host/Errors.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"

namespace sumora {
namespace {

using test::ScriptedHost;
using test::TempDir;

// A form file holding one query component whose properties are `properties` (a JSON object body).
std::string QueryForm(const std::string& properties, const std::string& className = "TSumoraQuery") {
  return R"({"format": "sumora-form", "version": 1, "form": "Form1", "components": [)"
         R"({"class": ")" + className + R"(", "name": "SumoraQuery1", "properties": {)" + properties + "}}]}";
}

class FormFileTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterSumoraClasses(); }

  // The error ParseForm raises for `text`, or "" when it raises none.
  static std::string ErrorOf(const std::string& text) {
    try {
      ParseForm(text, "broken.form.json");
    } catch (const Exception& e) {
      return e.what();
    }
    return {};
  }

  ScriptedHost host_;
  TempDir dir_;
};

TEST_F(FormFileTest, EveryPropertyRoundTripsExactly) {
  TForm form;
  form.SetName("OrdersForm");
  auto* query = new TSumoraQuery(&form);
  query->SetName("Amounts");
  query->SetDatabaseName("/data/orders \"2024\".sqlite");
  query->SQL().Add("SELECT AMOUNT, QTY");
  query->SQL().Add("FROM ORDERS WHERE REGION = 'Nörth'");
  query->SetStatFieldName("AMOUNT");
  query->SetdsScaleFactor(0.1 + 0.2);  // not the double nearest 0.3
  query->SetdsFreqClasses(37);
  query->SetdsMaxPlotCount(10000);
  query->SetShowCalcProgress(TBoolPlus::Never);
  auto* table = new TSumoraTable(&form);
  table->SetName("Quantities");
  table->SetDatabaseName(dir_.file("csvdir"));  // next to the form: stored relative, read back whole
  table->SetTableName("orders");
  table->SetStatFieldName("QTY");
  table->SetdsScaleFactor(-1.0 / 3.0);
  table->SetdsFreqClasses(0);
  table->SetdsMaxPlotCount(0);
  table->SetShowCalcProgress(TBoolPlus::Always);

  const std::string path = dir_.file("orders.form.json");
  WriteFormFile(form, path);
  auto read = ReadFormFile(path);
  EXPECT_EQ(read->Name(), "OrdersForm");
  ASSERT_EQ(read->Components().size(), 2u);
  auto* readQuery = dynamic_cast<TSumoraQuery*>(read->Components()[0]);
  auto* readTable = dynamic_cast<TSumoraTable*>(read->Components()[1]);
  ASSERT_NE(readQuery, nullptr);
  ASSERT_NE(readTable, nullptr);
  EXPECT_EQ(readQuery->Name(), "Amounts");
  EXPECT_EQ(readQuery->DatabaseName(), query->DatabaseName());
  EXPECT_EQ(readQuery->SQL().Items(), query->SQL().Items());
  EXPECT_EQ(readQuery->StatFieldName(), "AMOUNT");
  EXPECT_EQ(readQuery->ScaleBy(), 0.1 + 0.2) << "doubles must come back bit for bit";
  EXPECT_EQ(readQuery->FreqClasses(), 37);
  EXPECT_EQ(readQuery->RecordPlotCount(), 10000);
  EXPECT_EQ(readQuery->ShowCalcProgress(), TBoolPlus::Never);
  EXPECT_EQ(readTable->Name(), "Quantities");
  EXPECT_EQ(readTable->DatabaseName(), dir_.file("csvdir"));
  EXPECT_EQ(readTable->TableName(), "orders");
  EXPECT_EQ(readTable->StatFieldName(), "QTY");
  EXPECT_EQ(readTable->ScaleBy(), -1.0 / 3.0);
  EXPECT_EQ(readTable->FreqClasses(), 0);
  EXPECT_EQ(readTable->RecordPlotCount(), 0);
  EXPECT_EQ(readTable->ShowCalcProgress(), TBoolPlus::Always);
  EXPECT_EQ(FormToText(*read), FormToText(form));
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(FormFileTest, DefaultsAreWrittenToo) {
  TForm form;
  auto* query = new TSumoraQuery(&form);
  query->SetName("SumoraQuery1");
  const std::string text = FormToText(form);
  for (const char* property : {"\"DatabaseName\": \"\"", "\"SQL\": []", "\"StatFieldName\": \"\"", "\"ScaleBy\": 1.0",
                               "\"FreqClasses\": 10", "\"RecordPlotCount\": 500", "\"ShowCalcProgress\": \"Prompt\""}) {
    EXPECT_NE(text.find(property), std::string::npos) << property << " missing from\n" << text;
  }
}

TEST_F(FormFileTest, StoredValuesGoThroughTheSetters) {
  auto form = ParseForm(QueryForm(R"("ScaleBy": 0, "FreqClasses": 250, "RecordPlotCount": 20000)"), "f.json");
  auto* query = dynamic_cast<TSumoraQuery*>(FindFormComponent(*form, "", "f.json"));
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(query->ScaleBy(), 1.0);
  EXPECT_EQ(query->FreqClasses(), 100);
  EXPECT_EQ(query->RecordPlotCount(), 10000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Cannot Scale by 0.");
  EXPECT_EQ(host_.messages[0].type, TMsgDlgType::mtError);
  EXPECT_EQ(host_.messages[0].buttons, TMsgDlgButtons::mbOK);
}

struct BrokenCase {
  const char* label;
  std::string text;
  std::vector<std::string> mentions;  // besides the file name, which every error starts with
};

TEST_F(FormFileTest, EachKindOfBrokenFileIsAClearError) {
  const std::vector<BrokenCase> cases = {
      {"bad JSON", R"({"format": "sumora-form", "components": [)", {"malformed"}},
      {"not an object", "[1, 2]", {"not a form file"}},
      {"wrong format tag", R"({"format": "other", "version": 1, "components": []})", {"not a form file"}},
      {"format tag not text", R"({"format": 7, "version": 1, "components": []})", {"not a form file"}},
      {"wrong version", R"({"format": "sumora-form", "version": 2, "components": []})", {"version"}},
      {"components not a list", R"({"format": "sumora-form", "version": 1, "components": {}})", {"components"}},
      {"component without class", R"({"format": "sumora-form", "version": 1, "components": [{"name": "A"}]})",
       {"class"}},
      {"number too large", QueryForm(R"("ScaleBy": 1e400)"), {"malformed"}},
      {"unknown class", QueryForm("", "TSumoraGrid"), {"component 'SumoraQuery1'", "TSumoraGrid"}},
      {"unknown property", QueryForm(R"("TableName": "ORDERS")"), {"component 'SumoraQuery1'", "'TableName'"}},
      {"text for a number", QueryForm(R"("ScaleBy": "2")"), {"component 'SumoraQuery1'", "'ScaleBy'"}},
      {"fraction for a whole number", QueryForm(R"("FreqClasses": 2.5)"),
       {"component 'SumoraQuery1'", "'FreqClasses'"}},
      {"whole number out of range", QueryForm(R"("RecordPlotCount": 70000)"),
       {"component 'SumoraQuery1'", "'RecordPlotCount'"}},
      {"unknown progress name", QueryForm(R"("ShowCalcProgress": "Sometimes")"),
       {"component 'SumoraQuery1'", "'ShowCalcProgress'"}},
      {"SQL not lines", QueryForm(R"("SQL": "SELECT 1")"), {"component 'SumoraQuery1'", "'SQL'"}},
      {"text property given a list", QueryForm(R"("StatFieldName": ["A"])"),
       {"component 'SumoraQuery1'", "'StatFieldName'"}},
      {"two components of one name",
       R"({"format": "sumora-form", "version": 1, "components": [{"class": "TSumoraQuery", "name": "Q"},)"
       R"({"class": "TSumoraTable", "name": "Q"}]})",
       {"component 'Q'", "already exists"}},
  };
  for (const auto& broken : cases) {
    const std::string error = ErrorOf(broken.text);
    ASSERT_FALSE(error.empty()) << broken.label << ": accepted";
    EXPECT_EQ(error.rfind("broken.form.json: ", 0), 0u) << broken.label << ": " << error;
    for (const auto& mention : broken.mentions) {
      EXPECT_NE(error.find(mention), std::string::npos) << broken.label << ": '" << mention << "' not in " << error;
    }
  }
}

TEST_F(FormFileTest, MissingAndUnwritableFilesNameTheFile) {
  const std::string missing = dir_.file("missing.form.json");
  try {
    ReadFormFile(missing);
    FAIL() << "read a missing file";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind(missing + ": ", 0), 0u) << e.what();
  }
  TForm form;
  const std::string unwritable = dir_.file("no/such/dir/f.form.json");
  try {
    WriteFormFile(form, unwritable);
    FAIL() << "wrote into a missing directory";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(unwritable), std::string::npos) << e.what();
  }
}

TEST_F(FormFileTest, WritingReplacesTheWholeFile) {
  const std::string path = dir_.write("f.form.json", std::string(5000, 'x'));
  TForm form;
  form.SetName("Form1");
  WriteFormFile(form, path);
  auto read = ReadFormFile(path);
  EXPECT_TRUE(read->Components().empty());
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST_F(FormFileTest, ComponentsAreFoundByNameOrFirst) {
  auto form = ParseForm(
      R"({"format": "sumora-form", "version": 1, "components": [{"class": "TSumoraTable", "name": "T1"},)"
      R"({"class": "TSumoraQuery", "name": "Q1"}]})",
      "two.json");
  EXPECT_EQ(FindFormComponent(*form, "", "two.json")->Name(), "T1");
  EXPECT_EQ(FindFormComponent(*form, "Q1", "two.json")->ClassName(), "TSumoraQuery");
  try {
    FindFormComponent(*form, "Q2", "two.json");
    FAIL() << "found a component that is not there";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "two.json: the form holds no component named 'Q2'");
  }
  auto empty = ParseForm(R"({"format": "sumora-form", "version": 1, "components": []})", "empty.json");
  EXPECT_THROW(FindFormComponent(*empty, "", "empty.json"), Exception);
}

}  // namespace
}  // namespace sumora
