// Shared set-up of the desktop program's tests: message boxes and the Save
// As dialog answered by the test, stand-in workers driven step by step.
#pragma once

#include <gtest/gtest.h>

#include <QMessageBox>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/message_box.h"
#include "app/gui/save_as.h"

// A scan worker that lists a small disc: label, one title with MPEG, PCM #0,
// AC3 #1 and DTS #0 lines (lines 3 and 4 selectable).
int FakeScanWorker();
extern int FakeScanRuns;

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the program with the given sources (VOLTARK_DRIVES).
  int Start(const std::string& drives, const std::string& commandLine = "");

  std::vector<BoxRequest> boxes;                // every box asked, in order
  std::function<QMessageBox::StandardButton(const BoxRequest&)> answer;  // default: Ok / No
  std::vector<SaveAsRequest> saveAsRequests;
  std::optional<QString> saveAsAnswer;          // what the Save As dialog returns

 private:
  std::string savedDrives_;
  bool hadDrives_ = false;
};
