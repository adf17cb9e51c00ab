#include "app/gui/qt_ui.h"

#include <QListWidget>
#include <QThread>

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

void QtUi::SetTimeText(const std::string& text) {
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
  OnGuiThread([&text, icon] { AskBox(MessageBoxRequest(text, icon)); });
}

void QtUi::WorkerDone() {
  OnGuiThread([this] {
    if (target_ != nullptr) target_->EndOnWorkerDone();
  });
}
