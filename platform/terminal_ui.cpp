#include "platform/terminal_ui.h"

#include <cstdio>

#include "platform/console.h"

TerminalUi::TerminalUi()
    : interactive_(StderrIsConsole()), start_(std::chrono::steady_clock::now()) {}

void TerminalUi::ListAppend(const std::string& line) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void TerminalUi::SetStatusText(const std::string& text) {
  std::lock_guard lock(mutex_);
  status_ = text;
  progressSeen_ = false;
  start_ = std::chrono::steady_clock::now();
  DrawProgressLine();
}

void TerminalUi::SetTimeText(const std::string& text, uint32_t seconds) {
  std::lock_guard lock(mutex_);
  time_ = text;
  videoSeconds_ = seconds;
  DrawProgressLine();
}

void TerminalUi::SetProgress(unsigned position) {
  std::lock_guard lock(mutex_);
  progress_ = position;
  progressSeen_ = true;
  DrawProgressLine();
}

void TerminalUi::ShowBox(const std::string& text, BoxKind) {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
  // A carriage return inside a message text is a line break on a terminal.
  std::string shown = "VOLTARK: ";
  for (char c : text) shown += (c == '\r') ? '\n' : c;
  std::fputs(shown.c_str(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void TerminalUi::WorkerDone() {
  std::lock_guard lock(mutex_);
  ClearProgressLine();
}

void TerminalUi::DrawProgressLine() {
  if (!interactive_) return;
  std::string line = status_;
  if (progressSeen_) line += " " + std::to_string(progress_) + "%";
  if (!time_.empty()) line += "  " + time_;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (videoSeconds_ > 0 && wall > 0.5) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1fx", videoSeconds_ / wall);
    line += speed;
  }
  std::fprintf(stderr, "\r\033[K%s", line.c_str());
  std::fflush(stderr);
  lineShown_ = true;
}

void TerminalUi::ClearProgressLine() {
  if (!lineShown_) return;
  std::fputs("\r\033[K", stderr);
  lineShown_ = false;
}
