// UI port for the command line: list lines on stdout, messages on stderr as
// "VOLTARK: <text>", status and progress only when stderr is a terminal.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "platform/ui_port.h"

class TerminalUi : public UiPort {
 public:
  TerminalUi();

  void ListReset() override {}
  void ListAppend(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  // The speed shown beside the progress is video time over wall time.
  void SetTimeText(const std::string& text, uint32_t seconds) override;
  void SetProgress(unsigned position) override;
  void DisableStop() override {}
  void ShowBox(const std::string& text, BoxKind kind) override;
  void WorkerDone() override;

  bool interactive() const { return interactive_; }

 private:
  void DrawProgressLine();   // caller holds mutex_
  void ClearProgressLine();  // caller holds mutex_

  std::mutex mutex_;
  bool interactive_;
  bool lineShown_ = false;
  std::string status_;
  std::string time_;
  unsigned progress_ = 0;
  bool progressSeen_ = false;
  unsigned videoSeconds_ = 0;
  std::chrono::steady_clock::time_point start_;
};
