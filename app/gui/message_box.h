// Message boxes of the desktop program, all with the caption "VOLTARK".
// Tests answer them through SetBoxAnswerer instead of a window.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

struct BoxRequest {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  bool owned = false;  // owned by the main window (else it had none yet)
};

using BoxAnswerer = std::function<QMessageBox::StandardButton(const BoxRequest&)>;

// Installs (or with an empty function removes) the answerer of every box.
void SetBoxAnswerer(BoxAnswerer answerer);

// Shows the box on the GUI thread, modal, and returns the button pressed.
// Runs a modal loop: call it only from user input (a click, a key) or
// before the message loop, never from inside a queued call.
QMessageBox::StandardButton AskBox(const BoxRequest& request);

// Closes the box that AskBox shows at the moment, if any, as if the user had
// pressed answer: a question that the end of the work has made moot.
void CloseAskedBox(QMessageBox::StandardButton answer);

// Shows the box modal to the application without a loop of its own and
// calls done once it is dismissed: the way to show a box asked for by a
// worker thread, whose request arrives as a queued call that must return
// to the running loop (a loop run inside it would not deliver further
// queued calls, repaints included).
void ShowBoxThen(const BoxRequest& request, std::function<void()> done);

// A box of a message text: the platform breaks lines at carriage returns, so
// a lone CR in a text ("done!\r Video time") is a line break.
BoxRequest MessageBoxRequest(const std::string& text, QMessageBox::Icon icon);
