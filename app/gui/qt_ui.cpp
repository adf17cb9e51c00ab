#include "app/gui/qt_ui.h"

#include <QListWidget>
#include <QThread>
#include <future>

#include "app/gui/message_box.h"

QtUi::QtUi() = default;

QtUi& GuiUi() {
  static QtUi port;
  return port;
}

void QtUi::OnGuiThread(const std::function<void()>& work) {
  if (QThread::currentThread() == thread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void QtUi::ListReset() {
  OnGuiThread([this] {
    if (titleList_ != nullptr) titleList_->clear();
  });
}

void QtUi::ListAppend(const std::string& line) {
  OnGuiThread([this, &line] {
    if (titleList_ != nullptr) titleList_->addItem(QString::fromStdString(line));
  });
}

void QtUi::SetStatusText(const std::string& text) {
  OnGuiThread([this, &text] {
    if (target_ != nullptr) target_->ShowStatusText(QString::fromStdString(text));
  });
}

void QtUi::SetTimeText(const std::string& text, uint32_t) {
  OnGuiThread([this, &text] {
    if (target_ != nullptr) target_->ShowTimeText(QString::fromStdString(text));
  });
}

void QtUi::SetProgress(unsigned position) {
  OnGuiThread([this, position] {
    if (target_ != nullptr) target_->ShowProgress(position);
  });
}

void QtUi::DisableStop() {
  OnGuiThread([this] {
    if (target_ != nullptr) target_->DisableStopButton();
  });
}

void QtUi::ShowBox(const std::string& text, BoxKind kind) {
  QMessageBox::Icon icon = kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
  BoxRequest request = MessageBoxRequest(text, icon);
  if (QThread::currentThread() == thread()) {
    AskBox(request);
    return;
  }
  // The box is shown by the GUI thread's own loop; this thread waits until
  // the user has dismissed it.
  std::promise<void> dismissed;
  QMetaObject::invokeMethod(
      this, [&request, &dismissed] { ShowBoxThen(request, [&dismissed] { dismissed.set_value(); }); },
      Qt::QueuedConnection);
  dismissed.get_future().wait();
}

void QtUi::WorkerDone() {
  OnGuiThread([this] {
    if (target_ != nullptr) target_->EndOnWorkerDone();
  });
}
