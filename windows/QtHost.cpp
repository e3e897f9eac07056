#include "windows/QtHost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>

#include "windows/FormLook.h"
#include "windows/ModalRunner.h"
#include "windows/SmrClass.h"
#include "windows/SmrGauge.h"
#include "windows/SmrOutpt.h"

namespace sumora {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

constexpr int kExposeWaitMs = 200;

struct BoxLook {
  QMessageBox::Icon icon;
  const char* caption;
};

BoxLook LookOf(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtInformation:
      return {QMessageBox::Information, "Information"};
    case TMsgDlgType::mtWarning:
      return {QMessageBox::Warning, "Warning"};
    case TMsgDlgType::mtError:
      return {QMessageBox::Critical, "Error"};
    case TMsgDlgType::mtConfirmation:
      break;
  }
  return {QMessageBox::Question, "Confirm"};
}

}  // namespace

TModalResult QtMessageBoxes::MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  const BoxLook look = LookOf(type);
  QMessageBox box(look.icon, QString::fromLatin1(look.caption), Text(text));
  box.setTextFormat(Qt::PlainText);
  if (buttons == TMsgDlgButtons::mbYesNo) {
    box.addButton(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box.addButton(QMessageBox::No)->setText(QStringLiteral("&No"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
  } else {
    box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.setDefaultButton(QMessageBox::Ok);
  }
  // A box asked during a pass must not show the hourglass over itself.
  const bool overridden = QApplication::overrideCursor() != nullptr;
  if (overridden) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int answer = RunModal(box);
  if (overridden) QApplication::restoreOverrideCursor();

  switch (answer) {
    case QMessageBox::Yes:
      return TModalResult::mrYes;
    case QMessageBox::No:
      return TModalResult::mrNo;
    case QMessageBox::Ok:
      return TModalResult::mrOk;
    default:
      return buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrCancel;
  }
}

QtScreenCursor::~QtScreenCursor() { SetCursor(TCursor::crDefault); }

void QtScreenCursor::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  if (cursor == TCursor::crHourGlass)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  cursor_ = cursor;
}

QtProgressDialog::QtProgressDialog() : dialog_(std::make_unique<TSMRGaugeDlg>()) {}

QtProgressDialog::~QtProgressDialog() = default;

void QtProgressDialog::SetLabels(const std::string& value) { dialog_->SetLabels(Text(value)); }

void QtProgressDialog::SetCaption(const std::string& value) { dialog_->SetCaption(Text(value)); }

void QtProgressDialog::SetGaugeProgress(GaugeKind kind, const std::string& message, double fraction) {
  dialog_->SetGaugeProgress(kind, Text(message), fraction);
}

void QtProgressDialog::Show() {
  CentreOnScreen(dialog_.get());
  dialog_->show();
  // A pass runs no event loop: give the platform a moment to put the window on screen, then activate
  // it here, as its activation event may come late or never.
  QElapsedTimer waited;
  waited.start();
  while (!dialog_->IsExposed() && waited.elapsed() < kExposeWaitMs)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
  dialog_->FormActivate();
  dialog_->repaint();
}

std::unique_ptr<ProgressDialog> QtProgressFactory::CreateProgressDialog() {
  return std::make_unique<QtProgressDialog>();
}

QtHost::QtHost()
    : previousServices_(InstallServices(HostServices{&messages_, &cursor_, &progress_})),
      previousClassFactory_(
          RegisterClassFrequencyWindowFactory([] { return std::make_unique<TClassDisplayForm>(); })),
      previousOutputRunner_(RegisterOutputWindowRunner([](TSumoraStats& source) {
        TOutputForm form;
        form.ShowOutput(source);
      })) {}

QtHost::~QtHost() {
  RegisterOutputWindowRunner(std::move(previousOutputRunner_));
  RegisterClassFrequencyWindowFactory(std::move(previousClassFactory_));
  InstallServices(previousServices_);
}

}  // namespace sumora
