// The Qt host services: message boxes, the override cursor and the progress dialogs of real passes
// over SQLite files, with the user's answers scripted through the modal runner.
#include "windows/QtHost.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>

#include "host/Errors.h"
#include "tests/windows/WindowFixtures.h"

namespace sumora::test {
namespace {

struct AskedBox {
  QString title, text;
  QMessageBox::Icon icon;
  QStringList buttons;
  bool hourglassOver = false;
};

// Answers every message box with `answer` and records how it looked.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer)
      : recorder_([this, answer](QDialog& dialog) {
          auto& box = dynamic_cast<QMessageBox&>(dialog);
          AskedBox asked{box.windowTitle(), box.text(), box.icon(), {}, false};
          for (QAbstractButton* button : box.buttons()) asked.buttons << button->text();
          asked.buttons.sort();
          const QCursor* cursor = QApplication::overrideCursor();
          asked.hourglassOver = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
          boxes.push_back(asked);
          return int{answer};
        }) {}
  std::vector<AskedBox> boxes;

 private:
  ModalRecorder recorder_;
};

class QtHostTest : public ::testing::Test {
 protected:
  QtHost host;
  TempDir dir;
};

TEST_F(QtHostTest, ConfirmationBoxHasTheQuestionIconAndYesNoButtons) {
  BoxAnswerer yes(QMessageBox::Yes);
  EXPECT_EQ(MessageDlg("Large dataset?", TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo), TModalResult::mrYes);
  BoxAnswerer no(QMessageBox::No);
  EXPECT_EQ(MessageDlg("Large dataset?", TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo), TModalResult::mrNo);

  ASSERT_EQ(yes.boxes.size(), 1u);  // the later answerer took the second box
  EXPECT_EQ(yes.boxes[0].text, QStringLiteral("Large dataset?"));
  ASSERT_EQ(no.boxes.size(), 1u);
  EXPECT_EQ(no.boxes[0].icon, QMessageBox::Question);
  EXPECT_EQ(no.boxes[0].title, QStringLiteral("Confirm"));
  EXPECT_EQ(no.boxes[0].buttons, (QStringList{"&No", "&Yes"}));
}

TEST_F(QtHostTest, ErrorAndWarningBoxesHaveTheirIconsAndOneOkButton) {
  BoxAnswerer ok(QMessageBox::Ok);
  EXPECT_EQ(MessageDlg("Cannot Scale by 0.", TMsgDlgType::mtError, TMsgDlgButtons::mbOK), TModalResult::mrOk);
  MessageDlg("Please check the table name.", TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);

  ASSERT_EQ(ok.boxes.size(), 2u);
  EXPECT_EQ(ok.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(ok.boxes[0].title, QStringLiteral("Error"));
  EXPECT_EQ(ok.boxes[0].text, QStringLiteral("Cannot Scale by 0."));
  EXPECT_EQ(ok.boxes[0].buttons, QStringList{"OK"});
  EXPECT_EQ(ok.boxes[1].icon, QMessageBox::Warning);
  EXPECT_EQ(ok.boxes[1].title, QStringLiteral("Warning"));
}

TEST_F(QtHostTest, HourglassIsOneOverrideCursorHoweverOftenItIsSet) {
  SetScreenCursor(TCursor::crHourGlass);
  SetScreenCursor(TCursor::crHourGlass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  EXPECT_EQ(ScreenCursor(), TCursor::crHourGlass);

  SetScreenCursor(TCursor::crDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  SetScreenCursor(TCursor::crDefault);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtHostLifetimeTest, DestroyingTheHostRestoresTheFormerServicesAndDropsItsCursor) {
  const HostServices before = CurrentServices();
  {
    QtHost host;
    EXPECT_NE(CurrentServices().messages, before.messages);
    SetScreenCursor(TCursor::crHourGlass);
  }
  EXPECT_EQ(CurrentServices().messages, before.messages);
  EXPECT_EQ(CurrentServices().cursor, before.cursor);
  EXPECT_EQ(CurrentServices().progress, before.progress);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// --- When a pass asks and shows its dialogs ---------------------------------------------------

struct ShowingCase {
  TBoolPlus progress;
  int records;
  QMessageBox::StandardButton answer;
  size_t questions;
  size_t dialogsShown;
};

class ShowingRuleTest : public QtHostTest, public ::testing::WithParamInterface<ShowingCase> {};

TEST_P(ShowingRuleTest, AsksAboveAThousandRecordsOnlyWhenPromptedAndShowsWhatWasWanted) {
  const ShowingCase& c = GetParam();
  auto table = MakeTable(MakeCountDb(dir, c.records), "NUMS", "AMOUNT");
  table->SetShowCalcProgress(c.progress);
  table->Open();
  BoxAnswerer answerer(c.answer);
  GaugeShowSpy spy;

  table->Summarize();

  ASSERT_EQ(answerer.boxes.size(), c.questions);
  if (c.questions > 0) {
    EXPECT_EQ(answerer.boxes[0].text.toStdString(), "Large dataset. Show progress\n\r during loading or calculating.");
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Question);
    EXPECT_FALSE(answerer.boxes[0].hourglassOver);
  }
  EXPECT_EQ(spy.headings.size(), c.dialogsShown);
  for (const QString& heading : spy.headings) EXPECT_EQ(heading, QStringLiteral("Summary of NUMS AMOUNT"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShowingRuleTest,
    ::testing::Values(ShowingCase{TBoolPlus::Prompt, 1000, QMessageBox::Yes, 0, 0},
                      ShowingCase{TBoolPlus::Prompt, 1001, QMessageBox::Yes, 1, 2},
                      ShowingCase{TBoolPlus::Prompt, 1001, QMessageBox::No, 1, 0},
                      ShowingCase{TBoolPlus::Always, 1000, QMessageBox::No, 0, 2},
                      ShowingCase{TBoolPlus::Always, 1001, QMessageBox::No, 0, 2},
                      ShowingCase{TBoolPlus::Never, 1000, QMessageBox::Yes, 0, 0},
                      ShowingCase{TBoolPlus::Never, 1001, QMessageBox::Yes, 0, 0}));

TEST_F(QtHostTest, CursorIsTheDefaultAgainAfterPassesEndedByErrors) {
  const std::string db = MakeValuesDb(dir, {5, 5, 5});
  for (TBoolPlus progress : {TBoolPlus::Never, TBoolPlus::Always}) {
    auto unknownField = MakeQuery(db, "SELECT AMOUNT FROM VALS", "NO_SUCH_FIELD");
    unknownField->SetShowCalcProgress(progress);
    unknownField->Open();
    EXPECT_THROW(unknownField->Summarize(), EDatabaseError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    auto allEqual = MakeQuery(db, "SELECT AMOUNT FROM VALS", "AMOUNT");
    allEqual->SetShowCalcProgress(progress);
    allEqual->Open();
    EXPECT_THROW(allEqual->Summarize(), EMathError);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ScreenCursor(), TCursor::crDefault);
  }
  // No dialog of an interrupted pass is left behind.
  for (QWidget* window : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TSMRGaugeDlg*>(window), nullptr);
}

}  // namespace
}  // namespace sumora::test
