// The UI port of the desktop program. Workers call it from their threads;
// every call is carried out on the GUI thread while the worker waits
// (a blocking queued call), so a worker sees each update taken before it goes
// on, as with synchronous window messages. A call made on the GUI thread
// itself is carried out at once.
#pragma once

#include <QObject>
#include <functional>

#include "platform/ui_port.h"

class QListWidget;

// The progress dialog that is running a worker.
class ProgressTarget {
 public:
  virtual ~ProgressTarget() = default;
  virtual void ShowStatusText(const QString& text) = 0;
  virtual void ShowTimeText(const QString&) {}
  virtual void ShowProgress(unsigned) {}
  virtual void DisableStopButton() {}
  virtual void EndOnWorkerDone() = 0;
};

class QtUi : public QObject, public UiPort {
 public:
  // Lives on the thread that creates it: the GUI thread.
  QtUi();

  void SetTitleList(QListWidget* list) { titleList_ = list; }
  void SetProgressTarget(ProgressTarget* target) { target_ = target; }

  void ListReset() override;
  void ListAppend(const std::string& line) override;
  void SetStatusText(const std::string& text) override;
  void SetTimeText(const std::string& text, uint32_t seconds) override;
  void SetProgress(unsigned position) override;
  void DisableStop() override;
  void ShowBox(const std::string& text, BoxKind kind) override;
  void WorkerDone() override;

  // Runs work on the GUI thread and returns when it is done.
  void OnGuiThread(const std::function<void()>& work);

 private:
  QListWidget* titleList_ = nullptr;  // touched on the GUI thread only
  ProgressTarget* target_ = nullptr;
};

// The port of the desktop program, created on first use (on the GUI thread).
QtUi& GuiUi();
