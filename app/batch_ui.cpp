#include "app/batch_ui.h"

#include "report/run_flags.h"

void BatchUi::StartJob(int number, int count, bool holdCompletionBox, bool holdWhenStopped) {
  prefix_ = count > 1 ? "Title " + std::to_string(number) + " of " + std::to_string(count) + ": " : "";
  holdCompletionBox_ = holdCompletionBox;
  holdWhenStopped_ = holdWhenStopped;
}

void BatchUi::SetStatusText(const std::string& text) { inner_.SetStatusText(prefix_ + text); }

void BatchUi::ShowBox(const std::string& text, BoxKind kind) {
  // The only information box of an extraction is its completion box.
  if (kind == BoxKind::Information && (holdCompletionBox_ || (holdWhenStopped_ && StopRequested.load())))
    return;
  inner_.ShowBox(text, kind);
}
