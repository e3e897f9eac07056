// The console services of the command: message box lines, the answer without a terminal, and the
// progress bar that is redrawn only when what it shows changes.
#include "host/ConsoleServices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace sumora {
namespace {

std::string Contents(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[512];
  std::size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, read);
  return text;
}

TEST(ConsoleServicesTest, MessageBoxesAreOneLineAndAConfirmationWithoutATerminalIsNo) {
  std::FILE* in = std::tmpfile();  // a file, not a terminal
  std::FILE* out = std::tmpfile();
  ConsoleMessageBoxes boxes(in, out);
  EXPECT_EQ(boxes.MessageDlg("Cannot Scale by 0.", TMsgDlgType::mtError, TMsgDlgButtons::mbOK), TModalResult::mrOk);
  EXPECT_EQ(boxes.MessageDlg("Large dataset. Show progress\n\r during loading or calculating.",
                             TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo),
            TModalResult::mrNo);
  EXPECT_EQ(boxes.MessageDlg("a\nb", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK), TModalResult::mrOk);
  EXPECT_EQ(Contents(out),
            "Error: Cannot Scale by 0.\n"
            "Information: a b\n");
  std::fclose(in);
  std::fclose(out);
}

TEST(ConsoleServicesTest, TheProgressBarIsRedrawnOnlyWhenPercentageOrMessageChange) {
  std::FILE* out = std::tmpfile();
  {
    ConsoleProgressFactory factory(out, /*forceDraw=*/true);
    auto dialog = factory.CreateProgressDialog();
    dialog->SetLabels("Summary of T V");
    dialog->Show();
    for (int record = 1; record <= 1000; ++record) {
      dialog->SetGaugeProgress(GaugeKind::Horizontal, "Loading", record / 1000.0);
    }
    dialog->SetGaugeProgress(GaugeKind::Round, "Calculating", 1.0);
  }
  const std::string text = Contents(out);
  std::size_t draws = 0;
  for (std::size_t at = 0; (at = text.find("Summary of T V [", at)) != std::string::npos; ++at) ++draws;
  // Percentages 0 .. 100 of the loading pass (101 values) and one more for the new message.
  EXPECT_EQ(draws, 102u);
  EXPECT_NE(text.find("100% Calculating"), std::string::npos);
  std::fclose(out);
}

TEST(ConsoleServicesTest, AHiddenProgressDialogDrawsNothing) {
  std::FILE* out = std::tmpfile();
  {
    ConsoleProgressFactory factory(out, /*forceDraw=*/true);
    auto dialog = factory.CreateProgressDialog();
    dialog->SetGaugeProgress(GaugeKind::Horizontal, "Loading", 0.5);
  }
  EXPECT_EQ(Contents(out), "");
  std::fclose(out);
}

}  // namespace
}  // namespace sumora
