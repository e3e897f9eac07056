#include "apps/workbench/ServerWait.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sumora {

namespace {
// Short statements never show the window.
constexpr qint64 kShowAfterMs = 500;
}  // namespace

ServerWaitDialog::ServerWaitDialog(QWidget* parent)
    : QDialog(parent), label_(new QLabel(tr("Waiting for the database server..."), this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
  setObjectName(QStringLiteral("serverWait"));
  setWindowTitle(tr("Database server"));
  setWindowModality(Qt::ApplicationModal);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, this, [this] {
    label_->setText(tr("Cancelling..."));
    cancel_->setEnabled(false);
    CancelRunningStatements();
  });
}

ServerWaitScope::ServerWaitScope(QWidget* parent)
    : parent_(parent), previous_(SetStatementWaitHook([this] { Waiting(); })) {
  waited_.start();
}

ServerWaitScope::~ServerWaitScope() {
  SetStatementWaitHook(std::move(previous_));
  delete dialog_;
}

void ServerWaitScope::Waiting() {
  if (dialog_ == nullptr && waited_.elapsed() >= kShowAfterMs) {
    dialog_ = new ServerWaitDialog(parent_);
    dialog_->show();
  }
  if (dialog_ != nullptr) QCoreApplication::processEvents();
}

}  // namespace sumora
