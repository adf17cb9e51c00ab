// The main window "VOLTARK mpeg2 extractor": menu, "&Source" drive list,
// "&Titles" list, LOGO, "Start MPEG2 e&Xtraction" and "Dynamic Audio
// &Compression". Its commands run the progress, read-me and about dialogs.
#pragma once

#include <vector>

#include <QMainWindow>

#include "app/extraction_job.h"
#include "app/gui/dialog_units.h"

class DriveComboBox;
class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

// A source chosen with the keyboard is taken once it has stayed this long.
constexpr int SOURCE_SETTLE_MS = 400;

class VoltarkMainWindow : public QMainWindow {
 public:
  VoltarkMainWindow();

  // The commands of the menu and the buttons.
  void Extract();
  void OpenImage();
  void Quit();
  void Refresh();
  void ShowReadme();
  void ShowAbout();

  DriveComboBox* sourceBox() const { return source_; }
  QListWidget* titleList() const { return titles_; }
  QPushButton* extractButton() const { return extractButton_; }
  QCheckBox* compressionBox() const { return compression_; }
  QCheckBox* keepAudioBox() const { return keepAudio_; }
  QAction* extractAction() const { return extractAction_; }
  QAction* openImageAction() const { return openImageAction_; }
  QAction* quitAction() const { return quitAction_; }
  QAction* refreshAction() const { return refreshAction_; }
  QAction* readmeAction() const { return readmeAction_; }
  QAction* aboutAction() const { return aboutAction_; }
  QLabel* logo() const { return logo_; }
  bool quitRequested() const { return quitRequested_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildControls(QWidget* client);
  void SelectionChanged();
  // Takes the source the drop-down shows, with a scan, when it is not the
  // one in use; true when it did.
  bool UseShownSource();
  void Scan();
  void SetExtractionEnabled(bool extract, bool compression);
  // The stream lines selected, in list order.
  std::vector<int> SelectedLines() const;
  void ShowDiscTitlesInToolTips();
  void RunExtractionDialog();

  DialogUnits units_;
  DriveComboBox* source_ = nullptr;
  QListWidget* titles_ = nullptr;
  QLabel* logo_ = nullptr;
  QPushButton* extractButton_ = nullptr;
  QCheckBox* compression_ = nullptr;
  QCheckBox* keepAudio_ = nullptr;
  QAction* openImageAction_ = nullptr;
  QAction* extractAction_ = nullptr;
  QAction* quitAction_ = nullptr;
  QAction* refreshAction_ = nullptr;
  QAction* readmeAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QTimer* sourceSettle_ = nullptr;
  bool workerRunning_ = false;
  bool quitRequested_ = false;
};

// The main window once it exists: the owner of every message box.
extern VoltarkMainWindow* MainWindow;

// Set while the program's message loop runs; closing the main window ends it.
extern bool MessageLoopRunning;
