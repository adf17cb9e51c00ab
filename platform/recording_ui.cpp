#include "platform/recording_ui.h"

void RecordingUi::ListReset() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}
void RecordingUi::ListAppend(const std::string& line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(line);
}
void RecordingUi::SetStatusText(const std::string& text) {
  std::lock_guard lock(mutex_);
  status_.push_back(text);
}
void RecordingUi::SetTimeText(const std::string& text, uint32_t) {
  std::lock_guard lock(mutex_);
  time_.push_back(text);
}
void RecordingUi::SetProgress(unsigned position) {
  std::lock_guard lock(mutex_);
  progress_.push_back(position);
}
void RecordingUi::DisableStop() {
  std::lock_guard lock(mutex_);
  stopDisabled_ = true;
}
void RecordingUi::ShowBox(const std::string& text, BoxKind kind) {
  std::lock_guard lock(mutex_);
  boxes_.push_back({text, kind});
}
void RecordingUi::WorkerDone() {
  std::lock_guard lock(mutex_);
  ++workerDone_;
}

std::vector<std::string> RecordingUi::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}
std::vector<std::string> RecordingUi::statusTexts() const {
  std::lock_guard lock(mutex_);
  return status_;
}
std::vector<std::string> RecordingUi::timeTexts() const {
  std::lock_guard lock(mutex_);
  return time_;
}
std::vector<unsigned> RecordingUi::progress() const {
  std::lock_guard lock(mutex_);
  return progress_;
}
std::vector<RecordingUi::Box> RecordingUi::boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}
std::vector<std::string> RecordingUi::boxTexts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const Box& box : boxes_) texts.push_back(box.text);
  return texts;
}
int RecordingUi::workerDoneCount() const {
  std::lock_guard lock(mutex_);
  return workerDone_;
}
bool RecordingUi::stopDisabled() const {
  std::lock_guard lock(mutex_);
  return stopDisabled_;
}
void RecordingUi::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
  status_.clear();
  time_.clear();
  progress_.clear();
  boxes_.clear();
  workerDone_ = 0;
  stopDisabled_ = false;
}

ScopedRecordingUi::ScopedRecordingUi() : previous_(&Ui()) { UiInstall(&ui_); }
ScopedRecordingUi::~ScopedRecordingUi() { UiInstall(previous_); }
