// The workbench driven as a user drives it, offscreen: place a component from the palette, fill its
// properties in the inspector, pick the field from the drop-down, summarize, save, reopen, compare.
#include "apps/workbench/Workbench.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <QDialog>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTest>
#include <QToolButton>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>

#include "apps/workbench/PropertyInspector.h"
#include "engine/SmrProperties.h"
#include "engine/SmrQuery.h"
#include "engine/SmrReport.h"
#include "engine/SmrTable.h"
#include "dataset/DataSet.h"
#include "design/DesignIntf.h"
#include "design/FormFile.h"
#include "package/PaletteBitmaps.h"
#include "package/Smr32reg.h"
#include "plot/PlotRegistration.h"
#include "plot/SmrPlot.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempDir.h"
#include "windows/ModalRunner.h"
#include "windows/QtHost.h"
#include "windows/SmrOutpt.h"

namespace sumora {
namespace {

using test::ExecSql;
using test::ScriptedHost;
using test::TempDir;

QStringList Items(const QComboBox& combo) {
  QStringList items;
  for (int index = 0; index < combo.count(); ++index) items.push_back(combo.itemText(index));
  return items;
}

class WorkbenchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearDesignRegistry();
    Register();
    db_ = dir_.file("orders.sqlite");
    ExecSql(db_,
            "CREATE TABLE ORDERS (ID INTEGER, REGION TEXT, QTY SMALLINT, AMOUNT REAL, PRICE MONEY, ORDERED DATE);"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200)"
            " INSERT INTO ORDERS SELECT i, 'R' || (i % 3), i % 9, (i * 31 % 97) + i / 8.0, i * 0.25, '2024-01-01'"
            " FROM n;");
  }

  // Types `text` into the inspector's line for `property` and presses Return.
  void Type(Workbench& workbench, const char* property, const QString& text) {
    auto* line = qobject_cast<QLineEdit*>(workbench.Inspector().EditorWidget(property));
    ASSERT_NE(line, nullptr) << property;
    line->selectAll();
    QTest::keyClicks(line, text);
    QTest::keyClick(line, Qt::Key_Return);
  }

  // Drops the list of `property` down and picks `value` from it.
  void Pick(Workbench& workbench, const char* property, const QString& value) {
    auto* combo = qobject_cast<QComboBox*>(workbench.Inspector().EditorWidget(property));
    ASSERT_NE(combo, nullptr) << property;
    combo->showPopup();
    const int index = combo->findText(value);
    ASSERT_GE(index, 0) << value.toStdString() << " not offered";
    combo->hidePopup();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  TempDir dir_;
  std::string db_;
  ScriptedHost host_;
  // Every modal dialog goes through here; `answer` decides what the user does.
  std::function<int(QDialog&)> answer_ = [](QDialog&) { return int{QDialog::Accepted}; };
  ScopedModalRunner runner_{[this](QDialog& dialog) { return answer_(dialog); }};
};

TEST_F(WorkbenchTest, PlaceEditSummarizeSaveAndReopen) {
  Workbench workbench;
  workbench.show();
  QToolButton* paletteButton = workbench.PaletteButton("TSumoraTable");
  ASSERT_NE(paletteButton, nullptr);
  QTest::mouseClick(paletteButton, Qt::LeftButton);
  auto* table = dynamic_cast<TSumoraTable*>(workbench.SelectedComponent());
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Name(), "SumoraTable1");
  EXPECT_TRUE(workbench.IsModified());
  EXPECT_TRUE(workbench.windowTitle().startsWith(QStringLiteral("Untitled*"))) << workbench.windowTitle().toStdString();

  Type(workbench, "DatabaseName", QString::fromStdString(db_));
  Type(workbench, "TableName", QStringLiteral("ORDERS"));
  EXPECT_EQ(table->DatabaseName(), db_);
  EXPECT_EQ(table->TableName(), "ORDERS");

  // The drop-down offers the numeric fields sorted, and leaves the table closed.
  auto* fieldCombo = qobject_cast<QComboBox*>(workbench.Inspector().EditorWidget("StatFieldName"));
  ASSERT_NE(fieldCombo, nullptr);
  fieldCombo->showPopup();
  EXPECT_EQ(Items(*fieldCombo), (QStringList{"AMOUNT", "ID", "PRICE", "QTY"}));
  fieldCombo->hidePopup();
  EXPECT_FALSE(table->Active());
  Pick(workbench, "StatFieldName", QStringLiteral("AMOUNT"));
  EXPECT_EQ(table->StatFieldName(), "AMOUNT");

  // Numbers go through the setters: 0 is refused with the component's own message, 250 is clamped.
  Type(workbench, "ScaleBy", QStringLiteral("0"));
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].text, "Cannot Scale by 0.");
  EXPECT_EQ(qobject_cast<QLineEdit*>(workbench.Inspector().EditorWidget("ScaleBy"))->text(), QStringLiteral("1"));
  Type(workbench, "ScaleBy", QStringLiteral("0.5"));
  Type(workbench, "FreqClasses", QStringLiteral("250"));
  EXPECT_EQ(table->FreqClasses(), 100);
  Type(workbench, "FreqClasses", QStringLiteral("12"));
  auto* progress = qobject_cast<QComboBox*>(workbench.Inspector().EditorWidget("ShowCalcProgress"));
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(Items(*progress), (QStringList{"Prompt", "Always", "Never"}));
  Pick(workbench, "ShowCalcProgress", QStringLiteral("Never"));
  EXPECT_EQ(table->ShowCalcProgress(), TBoolPlus::Never);
  EXPECT_EQ(table->ScaleBy(), 0.5);
  EXPECT_EQ(table->FreqClasses(), 12);

  // Summarize lists what the summary window would show for the same settings.
  workbench.Summarize();
  EXPECT_TRUE(table->Active());
  TSumoraTable reference;
  reference.SetDatabaseName(db_);
  reference.SetTableName("ORDERS");
  reference.SetStatFieldName("AMOUNT");
  reference.SetdsScaleFactor(0.5);
  reference.SetdsFreqClasses(12);
  reference.SetShowCalcProgress(TBoolPlus::Never);
  reference.Open();
  reference.Summarize();
  reference.GetdsCoeffVariation();
  QStringList expected;
  for (const auto& text : SummaryTexts(reference)) expected.push_back(QString::fromStdString(text));
  EXPECT_EQ(workbench.Results().toPlainText(), expected.join('\n'));
  // At the default window size every line is in view: nothing to scroll to, the last line inside.
  QApplication::processEvents();
  QPlainTextEdit& results = workbench.Results();
  EXPECT_EQ(results.verticalScrollBar()->maximum(), 0);
  const QTextCursor last(results.document()->lastBlock());
  EXPECT_LE(results.cursorRect(last).bottom(), results.viewport()->height()) << last.block().text().toStdString();

  // Output of a table component shows the summary window.
  QString shownMean;
  answer_ = [&](QDialog& dialog) {
    if (auto* output = qobject_cast<TOutputForm*>(&dialog)) shownMean = output->labMean->text();
    return int{QDialog::Accepted};
  };
  workbench.Output();
  EXPECT_EQ(shownMean, expected[3]);

  const QString path = QString::fromStdString(dir_.file("orders.form.json"));
  ASSERT_TRUE(workbench.SaveFormAs(path));
  // The database lies next to the form, so the form stores it relative to its own folder.
  std::ifstream saved(path.toStdString());
  const std::string savedText((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  EXPECT_NE(savedText.find("\"DatabaseName\": \"orders.sqlite\""), std::string::npos) << savedText;
  EXPECT_FALSE(workbench.IsModified());
  EXPECT_FALSE(workbench.windowTitle().contains('*'));

  Workbench reopened;
  ASSERT_TRUE(reopened.OpenForm(path));
  EXPECT_EQ(FormToText(reopened.Form()), FormToText(workbench.Form()));
  EXPECT_EQ(reopened.ComponentList().count(), 1);
  ASSERT_NE(reopened.SelectedComponent(), nullptr);
  EXPECT_EQ(reopened.SelectedComponent()->Name(), "SumoraTable1");
  auto* reopenedField = qobject_cast<QComboBox*>(reopened.Inspector().EditorWidget("StatFieldName"));
  EXPECT_EQ(reopenedField->currentText(), QStringLiteral("AMOUNT"));
  EXPECT_FALSE(reopened.IsModified());
}

TEST_F(WorkbenchTest, QueryComponentEditsItsSqlInADialogAndOffersItsFields) {
  Workbench workbench;
  auto* component = workbench.PlaceComponent("TSumoraQuery");
  ASSERT_NE(component, nullptr);
  EXPECT_EQ(component->Name(), "SumoraQuery1");
  Type(workbench, "DatabaseName", QString::fromStdString(db_));
  answer_ = [](QDialog& dialog) {
    auto* input = qobject_cast<QInputDialog*>(&dialog);
    if (input == nullptr) return int{QDialog::Rejected};
    input->setTextValue(QStringLiteral("SELECT REGION, QTY\nFROM ORDERS"));
    return int{QDialog::Accepted};
  };
  auto* sqlButton = workbench.Inspector().findChild<QToolButton*>(QStringLiteral("editSQL"));
  ASSERT_NE(sqlButton, nullptr);
  QTest::mouseClick(sqlButton, Qt::LeftButton);
  auto* query = dynamic_cast<TQuery*>(component);
  EXPECT_EQ(query->SQL().Items(), (std::vector<std::string>{"SELECT REGION, QTY", "FROM ORDERS"}));
  auto* fieldCombo = qobject_cast<QComboBox*>(workbench.Inspector().EditorWidget("StatFieldName"));
  ASSERT_NE(fieldCombo, nullptr);
  fieldCombo->showPopup();
  EXPECT_EQ(Items(*fieldCombo), QStringList{"QTY"});
  fieldCombo->hidePopup();
  // A second component of the class gets the next free name.
  EXPECT_EQ(workbench.PlaceComponent("TSumoraQuery")->Name(), "SumoraQuery2");
}

TEST_F(WorkbenchTest, SummaryChartSummarizesAComponentThatHasNoResultsYet) {
  ScopedPlotWindow plotWindow;
  Workbench workbench;
  auto* table = dynamic_cast<TSumoraTable*>(workbench.PlaceComponent("TSumoraTable"));
  ASSERT_NE(table, nullptr);
  table->SetDatabaseName(db_);
  table->SetTableName("ORDERS");
  table->SetStatFieldName("AMOUNT");
  table->SetShowCalcProgress(TBoolPlus::Never);
  int plotted = 0;
  answer_ = [&](QDialog& dialog) {
    if (dynamic_cast<TSumoraPlotForm*>(&dialog) != nullptr) {
      ++plotted;
      // What the histogram is drawn from when the window opens.
      EXPECT_EQ(table->dsDataCountValue(), 200);
      EXPECT_GT(table->GetdsModeClass(), 0u);
      EXPECT_LT(table->GetdsClassStart(1), table->GetdsClassEnd(table->FreqClasses()));
    }
    return int{QDialog::Accepted};
  };
  workbench.SummaryChart();
  EXPECT_EQ(plotted, 1);
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(WorkbenchTest, ChangesAreNotLostWithoutBeingAsked) {
  Workbench workbench;
  workbench.PlaceComponent("TSumoraTable");
  int asked = 0;
  answer_ = [&](QDialog& dialog) {
    ++asked;
    EXPECT_NE(qobject_cast<QMessageBox*>(&dialog), nullptr);
    return int{QMessageBox::Cancel};
  };
  EXPECT_FALSE(workbench.NewForm());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(workbench.Form().Components().size(), 1u);
  EXPECT_TRUE(workbench.IsModified());

  answer_ = [&](QDialog&) { ++asked; return int{QMessageBox::Discard}; };
  EXPECT_TRUE(workbench.NewForm());
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(workbench.Form().Components().empty());
  EXPECT_FALSE(workbench.IsModified());
  // An unchanged form is replaced without a question.
  EXPECT_TRUE(workbench.NewForm());
  EXPECT_EQ(asked, 2);
}

TEST_F(WorkbenchTest, BrokenFormIsReportedAndTheOpenFormStays) {
  Workbench workbench;
  const QString good = QString::fromStdString(dir_.file("good.form.json"));
  workbench.PlaceComponent("TSumoraTable");
  ASSERT_TRUE(workbench.SaveFormAs(good));
  const std::string broken = dir_.write("broken.form.json", R"({"format": "sumora-form", "version": 1, )"
                                                            R"("components": [{"class": "TNothing", "name": "X"}]})");
  EXPECT_FALSE(workbench.OpenForm(QString::fromStdString(broken)));
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].text.find(broken), std::string::npos) << host_.messages[0].text;
  EXPECT_NE(host_.messages[0].text.find("TNothing"), std::string::npos);
  EXPECT_EQ(workbench.FileName(), good);
  EXPECT_EQ(workbench.Form().Components().size(), 1u);
}

TEST_F(WorkbenchTest, ReportWritesTheProfilePageOfTheSelectedDataset) {
  Workbench workbench;
  auto* table = dynamic_cast<TSumoraTable*>(workbench.PlaceComponent("TSumoraTable"));
  ASSERT_NE(table, nullptr);
  table->SetDatabaseName(db_);
  table->SetTableName("ORDERS");
  table->SetShowCalcProgress(TBoolPlus::Never);
  workbench.SelectComponent(table);
  ASSERT_TRUE(workbench.ReportAction().isEnabled());
  const std::string page = dir_.file("orders.html");
  workbench.Report(QString::fromStdString(page));
  std::ifstream in(page);
  const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(html.find("id=\"sumora-data\""), std::string::npos);
  EXPECT_NE(html.find("\"StatFieldName\":\"AMOUNT\""), std::string::npos);
}

TEST_F(WorkbenchTest, ServerSideSumsAreToggledAndKeptInTheForm) {
  Workbench workbench;
  workbench.PlaceComponent("TSumoraQuery");
  TSumoraStats* stats = StatsOf(workbench.SelectedComponent());
  ASSERT_NE(stats, nullptr);
  EXPECT_FALSE(workbench.ServerSideAction().isChecked());
  workbench.ServerSideAction().trigger();
  EXPECT_TRUE(stats->ServerSide());
  const QString path = QString::fromStdString(dir_.file("server.form.json"));
  ASSERT_TRUE(workbench.SaveFormAs(path));
  Workbench reopened;
  ASSERT_TRUE(reopened.OpenForm(path));
  reopened.SelectComponent(reopened.Form().Components().front());
  EXPECT_TRUE(StatsOf(reopened.SelectedComponent())->ServerSide());
  EXPECT_TRUE(reopened.ServerSideAction().isChecked());
}

// A statement that runs long on a PostgreSQL server: the wait window's Cancel stops it, and the
// command ends in an error box with the server's words.
TEST_F(WorkbenchTest, CancelStopsAStatementOnTheServer) {
  const char* url = std::getenv("SUMORA_PG_TEST_URL");
  if (url == nullptr) GTEST_SKIP() << "No PostgreSQL test server: SUMORA_PG_TEST_URL is not set";
  Workbench workbench;
  workbench.show();
  auto* query = dynamic_cast<TSumoraQuery*>(workbench.PlaceComponent("TSumoraQuery"));
  ASSERT_NE(query, nullptr);
  query->SetDatabaseName(url);
  query->SQL().SetText("SELECT pg_sleep(30)::text AS slept, 1.5::float8 AS x");
  query->SetStatFieldName("x");
  bool clicked = false;
  std::function<void()> clickCancel = [&] {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->objectName() == "serverWait" && window->isVisible()) {
        auto* button = window->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        clicked = true;
        return;
      }
    }
    QTimer::singleShot(100, clickCancel);
  };
  QTimer::singleShot(100, clickCancel);
  QElapsedTimer elapsed;
  elapsed.start();
  workbench.Summarize();
  EXPECT_TRUE(clicked);
  EXPECT_LT(elapsed.elapsed(), 20000);
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_NE(host_.messages[0].text.find("canceling statement due to user request"), std::string::npos)
      << host_.messages[0].text;
}

TEST_F(WorkbenchTest, PaletteBitmapsAreTwentyFourSquareIndexedImages) {
  for (const char* className : {"TSumoraTable", "TSumoraQuery"}) {
    EXPECT_EQ(PaletteBitmap(className).size(), QSize(24, 24)) << className;
    const QImage image(QStringLiteral(":/sumora/palette/") + QString::fromLatin1(className).toUpper() + ".png");
    EXPECT_EQ(image.format(), QImage::Format_Indexed8) << className;
  }
  EXPECT_TRUE(PaletteBitmap("TSumoraGrid").isNull());
}

}  // namespace
}  // namespace sumora
