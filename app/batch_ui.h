// The UI port a batch of extractions talks through: it passes every call on
// to the front end's port, numbers the status texts of a batch ("Title 2 of
// 5: ..."), holds back what belongs to the end of the whole batch (the
// port's WorkerDone) and the per-title completion boxes that the summary
// replaces.
#pragma once

#include <string>

#include "platform/ui_port.h"

class BatchUi : public UiPort {
 public:
  explicit BatchUi(UiPort& inner) : inner_(inner) {}

  // The job about to run: its number (from 1) of count, and whether its
  // completion box is held back always, or only once the user has asked the
  // work to stop (StopRequested).
  void StartJob(int number, int count, bool holdCompletionBox, bool holdWhenStopped);

  void ListReset() override { inner_.ListReset(); }
  void ListAppend(const std::string& line) override { inner_.ListAppend(line); }
  void SetStatusText(const std::string& text) override;
  void SetTimeText(const std::string& text, uint32_t seconds) override { inner_.SetTimeText(text, seconds); }
  void SetProgress(unsigned position) override { inner_.SetProgress(position); }
  void DisableStop() override { inner_.DisableStop(); }
  void ShowBox(const std::string& text, BoxKind kind) override;
  void WorkerDone() override {}

 private:
  UiPort& inner_;
  std::string prefix_;
  bool holdCompletionBox_ = false;
  bool holdWhenStopped_ = false;
};
