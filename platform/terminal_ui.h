// UI port for the command line: list lines on stdout, messages on stderr as
// "VOLTARK: <text>", status and progress only when stderr is a terminal.
#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include "platform/ui_port.h"

// True when standard input is a terminal: a question can be asked there.
bool StdinIsTerminal();

// Asks a question on stderr and reads the answer from stdin: true only for
// "y" or "yes" (any case); an empty line or the end of input is no.
bool AskYesNo(const std::string& question);

// The width of the terminal on stderr in columns; 80 when it cannot be told.
unsigned TerminalColumns();

// The progress line, the status text followed by the figures (percentage,
// video time, speed), in at most columns - 1 characters, so that the
// terminal never wraps it (each wrapped line would stay on the screen): the
// status text is cut first.
std::string FitProgressLine(const std::string& status, const std::string& figures, unsigned columns);

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
