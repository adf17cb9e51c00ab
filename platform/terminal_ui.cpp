#include "platform/terminal_ui.h"

#include <cctype>
#include <cstdio>

#include "platform/console.h"

bool AskYesNo(const std::string& question) {
  std::fprintf(stderr, "%s (y/N) ", question.c_str());
  std::fflush(stderr);
  std::string answer;
  for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
    answer += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return answer == "y" || answer == "yes";
}

std::string FitProgressLine(const std::string& status, const std::string& figures, unsigned columns) {
  const size_t room = columns > 1 ? columns - 1 : 0;
  if (status.size() + figures.size() <= room) return status + figures;
  if (figures.size() >= room) return figures.substr(0, room);
  return status.substr(0, room - figures.size()) + figures;
}

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
  std::string figures;
  if (progressSeen_) figures += " " + std::to_string(progress_) + "%";
  if (!time_.empty()) figures += "  " + time_;
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  if (videoSeconds_ > 0 && wall > 0.5) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1fx", videoSeconds_ / wall);
    figures += speed;
  }
  // Measured at each update: the terminal may have been resized.
  std::fprintf(stderr, "\r\033[K%s", FitProgressLine(status_, figures, TerminalColumns()).c_str());
  std::fflush(stderr);
  lineShown_ = true;
}

void TerminalUi::ClearProgressLine() {
  if (!lineShown_) return;
  std::fputs("\r\033[K", stderr);
  lineShown_ = false;
}
