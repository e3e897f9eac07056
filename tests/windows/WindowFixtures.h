// Shared pieces of the window tests: SQLite files made with real SQL, components bound to them, a
// modal runner that records the windows it is given instead of waiting for a user, and a spy that
// notices progress dialogs being shown.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/SmrQuery.h"
#include "engine/SmrTable.h"
#include "tests/support/TempDir.h"
#include "windows/ModalRunner.h"
#include "windows/SmrGauge.h"

namespace sumora::test {

// A SQLite file "<name>" in `dir` with table VALS(AMOUNT REAL) holding `values` in order.
inline std::string MakeValuesDb(const TempDir& dir, const std::vector<double>& values,
                                const std::string& name = "values.db") {
  const std::string path = dir.file(name);
  std::string sql = "CREATE TABLE VALS(AMOUNT REAL);";
  for (double value : values) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);  // every digit, so 1e-9 stays 1e-9
    sql += std::string("INSERT INTO VALS VALUES(") + text + ");";
  }
  ExecSql(path, sql);
  return path;
}

// A SQLite file with table NUMS(AMOUNT REAL) holding 1..count.
inline std::string MakeCountDb(const TempDir& dir, int count, const std::string& name = "count.db") {
  const std::string path = dir.file(name);
  ExecSql(path, "CREATE TABLE NUMS(AMOUNT REAL);"
                "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                    std::to_string(count) + ") INSERT INTO NUMS SELECT x FROM n;");
  return path;
}

inline std::unique_ptr<TSumoraQuery> MakeQuery(const std::string& db, const std::string& sql,
                                               const std::string& field, const std::string& name = "SumoraQuery1") {
  auto query = std::make_unique<TSumoraQuery>();
  query->SetName(name);
  query->SetDatabaseName(db);
  query->SQL().SetText(sql);
  query->SetStatFieldName(field);
  return query;
}

inline std::unique_ptr<TSumoraTable> MakeTable(const std::string& db, const std::string& table,
                                               const std::string& field, const std::string& name = "SumoraTable1") {
  auto component = std::make_unique<TSumoraTable>();
  component->SetName(name);
  component->SetDatabaseName(db);
  component->SetTableName(table);
  component->SetStatFieldName(field);
  return component;
}

// Answers every modal window at once: `inspect` sees it as it would be shown, then it is closed with
// `result`. Keeps a guarded pointer to each window it saw.
class ModalRecorder {
 public:
  explicit ModalRecorder(std::function<int(QDialog&)> inspect = {})
      : guard_([this, inspect](QDialog& dialog) {
          windows.emplace_back(&dialog);
          return inspect ? inspect(dialog) : int{QDialog::Accepted};
        }) {}
  std::vector<QPointer<QDialog>> windows;

 private:
  ScopedModalRunner guard_;
};

// Records, for every progress dialog shown, its heading and which gauge it showed first.
class GaugeShowSpy : public QObject {
 public:
  GaugeShowSpy() { qApp->installEventFilter(this); }
  ~GaugeShowSpy() override { qApp->removeEventFilter(this); }
  std::vector<QString> headings;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* dialog = qobject_cast<TSMRGaugeDlg*>(watched)) headings.push_back(dialog->Label2->text());
    }
    return false;
  }
};

// Values near 1e9 and near 1e-9, the two ends where a window's numbers get long or short.
inline std::vector<std::vector<double>> ExtremeMagnitudes() {
  return {{987654321.125, 1234567890.5, 1999999999.75, 1500000000.25, 1000000000.0},
          {1.25e-9, 3.5e-9, 2e-9, 9.75e-9, 1e-9}};
}

// The pixel width of `label`'s text in its own font.
inline int TextWidth(const QLabel* label) { return QFontMetrics(label->font()).horizontalAdvance(label->text()); }

}  // namespace sumora::test
