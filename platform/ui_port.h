// The UI port: the one way workers (scanner, extraction, encoder and writer
// threads) reach the user. The GUI, the terminal and the tests each provide
// an implementation; workers never know which one they talk to.
//
// Every call is synchronous: it returns once the front end has taken the
// update (a message box returns once the user has dismissed it), so a worker
// sees the same ordering a modal dialog would give it.
#pragma once

#include <cstdint>
#include <string>

enum class BoxKind {
  Error,        // error icon, OK button
  Information,  // no icon, OK button (the completion box)
};

class UiPort {
 public:
  virtual ~UiPort() = default;

  // The title list (main window list box).
  virtual void ListReset() = 0;
  virtual void ListAppend(const std::string& line) = 0;

  // The running progress dialog: its label / status text, its time text (with
  // the video seconds it shows, for a front end that computes with them) and
  // its progress bar position (0..100, larger values are passed on as sent).
  virtual void SetStatusText(const std::string& text) = 0;
  virtual void SetTimeText(const std::string& text, uint32_t seconds) = 0;
  virtual void SetProgress(unsigned position) = 0;
  // The extraction dialog's Stop button is disabled once the output closes.
  virtual void DisableStop() = 0;

  // A modal message box with the caption "VOLTARK"; blocks until dismissed.
  virtual void ShowBox(const std::string& text, BoxKind kind) = 0;

  // The worker's last act: the progress dialog may close.
  virtual void WorkerDone() = 0;
};

// The port in use. Until a front end installs one, a terminal port is used.
UiPort& Ui();
void UiInstall(UiPort* port);
