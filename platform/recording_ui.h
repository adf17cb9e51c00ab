// UI port for tests: records every call in order, answers nothing.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/ui_port.h"

class RecordingUi : public UiPort {
 public:
  struct Box {
    std::string text;
    BoxKind kind;
  };

  void ListReset() override;
  void ListAppend(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  void SetTimeText(const std::string& text, uint32_t seconds) override;
  void SetProgress(unsigned position) override;
  void DisableStop() override;
  void ShowBox(const std::string& text, BoxKind kind) override;
  void WorkerDone() override;

  // Snapshots, safe to take while a worker runs.
  std::vector<std::string> lines() const;
  std::vector<std::string> statusTexts() const;
  std::vector<std::string> timeTexts() const;
  std::vector<unsigned> progress() const;
  std::vector<Box> boxes() const;
  std::vector<std::string> boxTexts() const;
  int workerDoneCount() const;
  bool stopDisabled() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> status_;
  std::vector<std::string> time_;
  std::vector<unsigned> progress_;
  std::vector<Box> boxes_;
  int workerDone_ = 0;
  bool stopDisabled_ = false;
};

// Installs a RecordingUi for the life of the object, then restores the
// previous port.
class ScopedRecordingUi {
 public:
  ScopedRecordingUi();
  ~ScopedRecordingUi();
  RecordingUi& operator*() { return ui_; }
  RecordingUi* operator->() { return &ui_; }

 private:
  RecordingUi ui_;
  UiPort* previous_;
};
