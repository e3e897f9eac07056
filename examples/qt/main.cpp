// A form with one button that opens the summary window of a query component.
//
//   sumora_qt_example data/orders.sqlite "SELECT AMOUNT FROM ORDERS" AMOUNT
#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <exception>

#include "engine/SmrQuery.h"
#include "host/Services.h"
#include "windows/QtHost.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DATABASE SQL FIELD\n", argv[0]);
    return 2;
  }
  sumora::QtHost host;  // Qt message boxes, cursor, progress dialog and windows

  sumora::TSumoraQuery query;
  query.SetName("SumoraQuery1");
  query.SetDatabaseName(argv[1]);
  query.SQL().SetText(argv[2]);
  query.SetStatFieldName(argv[3]);

  QWidget form;
  form.setWindowTitle(QStringLiteral("Sumora example"));
  auto* layout = new QVBoxLayout(&form);
  auto* button = new QPushButton(QStringLiteral("Summary..."), &form);
  layout->addWidget(button);
  QObject::connect(button, &QPushButton::clicked, &form, [&query] {
    try {
      query.Open();
      query.Output();  // summarizes and shows the modal summary window
    } catch (const std::exception& e) {
      sumora::MessageDlg(e.what(), sumora::TMsgDlgType::mtError, sumora::TMsgDlgButtons::mbOK);
    }
  });
  form.show();
  return application.exec();
}
