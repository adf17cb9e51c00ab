#include "app/gui/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <vector>
#include <cstring>

#include "app/disc_catalog.h"
#include "app/disc_title_batch.h"
#include "app/disc_title_choice.h"
#include "app/extraction_batch.h"
#include "app/job_check.h"
#include "app/job_selection.h"
#include "app/gui/about_dialog.h"
#include "app/gui/disc_title_dialog.h"
#include "app/gui/drive_combo_box.h"
#include "app/gui/extract_dialog.h"
#include "app/gui/gui_workers.h"
#include "app/gui/qt_ui.h"
#include "app/gui/readme_dialog.h"
#include "app/gui/save_as.h"
#include "app/gui/scan_dialog.h"
#include "app/stream_selection.h"
#include "extract/extraction_driver.h"
#include "extract/extraction_request.h"
#include "extract/title_selection.h"
#include "platform/drives.h"
#include "platform/media_change.h"
#include "platform/ui_port.h"
#include "report/messages.h"
#include "report/string_table.h"
#include "source/dvd_disc.h"
#include "source/title_scanner.h"

VoltarkMainWindow* MainWindow = nullptr;
bool MessageLoopRunning = false;

VoltarkMainWindow::VoltarkMainWindow()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      units_(DialogUnitsOf(font())) {
  setWindowTitle(QStringLiteral("VOLTARK mpeg2 extractor"));
  BuildMenu();
  auto* client = new QWidget(this);
  client->setFixedSize(MapDialogRect(units_, 0, 0, 220, 140).size());
  setCentralWidget(client);
  BuildControls(client);
  // Esc, like the close box, ends the program.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [this] { close(); });
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  GuiUi().SetTitleList(titles_);
}

void VoltarkMainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  openImageAction_ = file->addAction(QStringLiteral("&Open Image..."));
  extractAction_ = file->addAction(QStringLiteral("e&Xtract"));
  extractAction_->setEnabled(false);
  quitAction_ = file->addAction(QStringLiteral("&Quit"));
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  refreshAction_ = view->addAction(QStringLiteral("&Refresh"));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  readmeAction_ = help->addAction(QStringLiteral("Read &Me"));
  aboutAction_ = help->addAction(QStringLiteral("&About"));

  connect(openImageAction_, &QAction::triggered, this, [this] { OpenImage(); });
  connect(extractAction_, &QAction::triggered, this, [this] { Extract(); });
  connect(quitAction_, &QAction::triggered, this, [this] { Quit(); });
  connect(refreshAction_, &QAction::triggered, this, [this] { Refresh(); });
  connect(readmeAction_, &QAction::triggered, this, [this] { ShowReadme(); });
  connect(aboutAction_, &QAction::triggered, this, [this] { ShowAbout(); });
}

void VoltarkMainWindow::BuildControls(QWidget* client) {
  auto* sourceLabel = new QLabel(QStringLiteral("&Source"), client);
  sourceLabel->setGeometry(MapDialogRect(units_, 7, 4, 24, 8));

  source_ = new DriveComboBox(client);
  // Drive names here are device paths and folders, longer than a drive
  // letter: the box spans the width of the title list.
  QRect sourceRect = MapDialogRect(units_, 7, 12, 85, 12);
  source_->setGeometry(sourceRect.x(), sourceRect.y(), sourceRect.width(), source_->sizeHint().height());
  source_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  source_->setMaxVisibleItems(MAX_DRIVES + 4);
  sourceLabel->setBuddy(source_);
  for (const Drive& drive : DriveList) {
    source_->addItem(QString::fromStdString(drive.name));
    source_->setItemData(source_->count() - 1, QString::fromStdString(drive.name), Qt::ToolTipRole);
  }
  source_->setCurrentIndex(0);
  // A change through the list takes effect when it closes; a change with the
  // keyboard (the list closed) once the selection has settled, so that the
  // source shown is always the one whose titles are listed.
  sourceSettle_ = new QTimer(this);
  sourceSettle_->setSingleShot(true);
  sourceSettle_->setInterval(SOURCE_SETTLE_MS);
  connect(sourceSettle_, &QTimer::timeout, this, [this] { UseShownSource(); });
  connect(source_, &QComboBox::currentIndexChanged, this, [this] { sourceSettle_->start(); });
  source_->onCloseUp = [this] { UseShownSource(); };

  auto* titlesLabel = new QLabel(QStringLiteral("&Titles"), client);
  titlesLabel->setGeometry(MapDialogRect(units_, 7, 34, 18, 8));

  titles_ = new QListWidget(client);
  titles_->setGeometry(MapDialogRect(units_, 7, 42, 85, 77));
  // Several stream lines (Ctrl- and Shift-click) make several tracks.
  titles_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  titles_->setSortingEnabled(false);
  titles_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  titles_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  titles_->setUniformItemSizes(true);
  titlesLabel->setBuddy(titles_);
  connect(titles_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });

  logo_ = new QLabel(client);
  QPixmap picture(QStringLiteral(":/voltark/logo.png"));
  logo_->setPixmap(picture);
  logo_->setGeometry(QRect(MapDialogPoint(units_, 105, 13), picture.size()));

  extractButton_ = new QPushButton(QStringLiteral("Start MPEG2 e&Xtraction"), client);
  extractButton_->setGeometry(MapDialogRect(units_, 104, 67, 102, 24));
  extractButton_->setEnabled(false);
  // Enter on the focused button presses it, as in a dialog.
  extractButton_->setAutoDefault(true);
  connect(extractButton_, &QPushButton::clicked, this, [this] { Extract(); });

  compression_ = new QCheckBox(QStringLiteral("Dynamic Audio &Compression"), client);
  QRect boxRect = MapDialogRect(units_, 105, 110, 105, 10);
  // A UI font wider than the design's would cut the label: the box takes
  // the width its label needs, and the window grows to keep its margin.
  boxRect.setWidth(std::max(boxRect.width(), compression_->sizeHint().width()));
  compression_->setGeometry(boxRect);
  compression_->setEnabled(false);
  keepAudio_ = new QCheckBox(QStringLiteral("&Keep original audio"), client);
  QRect keepRect = MapDialogRect(units_, 105, 122, 105, 10);
  keepRect.setWidth(std::max(keepRect.width(), keepAudio_->sizeHint().width()));
  keepAudio_->setGeometry(keepRect);
  keepAudio_->setEnabled(false);
  connect(keepAudio_, &QCheckBox::toggled, this, [this] { SelectionChanged(); });
  const int widest = std::max(boxRect.right(), keepRect.right());
  int clientWidth = std::max(client->width(), widest + 1 + MapDialogPoint(units_, 10, 0).x());
  client->setFixedSize(clientWidth, client->height());

  setTabOrder(source_, titles_);
  setTabOrder(titles_, extractButton_);
  setTabOrder(extractButton_, compression_);
  setTabOrder(compression_, keepAudio_);
}

void VoltarkMainWindow::SetExtractionEnabled(bool extract, bool compression) {
  extractAction_->setEnabled(extract);
  extractButton_->setEnabled(extract);
  compression_->setEnabled(compression);
  keepAudio_->setEnabled(extract);
}

std::vector<int> VoltarkMainWindow::SelectedLines() const {
  std::vector<int> lines;
  for (QListWidgetItem* item : titles_->selectedItems()) lines.push_back(titles_->row(item));
  std::sort(lines.begin(), lines.end());
  return lines;
}

void VoltarkMainWindow::SelectionChanged() {
  // The list changes under a scan only by the scanner: no selection then.
  if (workerRunning_) return;
  const std::vector<int> lines = SelectedLines();
  ExtractionControls controls = SelectionUpdateLines(lines, keepAudio_->isChecked());
  SetExtractionEnabled(controls.extractEnabled, controls.compressionEnabled);
}

bool VoltarkMainWindow::UseShownSource() {
  sourceSettle_->stop();
  int index = source_->currentIndex();
  if (workerRunning_ || index < 0 || index >= static_cast<int>(DriveList.size()) || index == SelectedDrive)
    return false;
  ResumeMediaChangeNotify();
  SelectedDrive = index;
  SuspendMediaChangeNotify();
  Scan();
  return true;
}

void VoltarkMainWindow::Refresh() {
  // A source shown but not yet taken is the one scanned.
  if (UseShownSource()) return;
  Scan();
}

void VoltarkMainWindow::Scan() {
  // The list is about to be emptied: nothing stays selectable.
  SetExtractionEnabled(false, false);
  ScanDialog dialog(this);
  workerRunning_ = true;
  dialog.RunWorker(GuiWorkers.scan);
  workerRunning_ = false;
  ShowDiscTitlesInToolTips();
}

void VoltarkMainWindow::ShowDiscTitlesInToolTips() {
  // The list lines stay as they are; each title line's tool tip names the
  // disc's own titles that play from it.
  for (const ScannedTitle& title : TitleScanner.titles) {
    QListWidgetItem* item = titles_->item(title.line);
    if (item == nullptr) continue;
    QStringList lines;
    if (title.encrypted)
      lines << (title.decryptable ? QStringLiteral("Encrypted (CSS): read through the system's libdvdcss")
                                  : QStringLiteral("Encrypted (CSS): cannot be extracted"));
    for (const DiscTitle* disc : DiscTitlesOfSet(TitleScanner.disc, title.title))
      lines << QString::fromStdString("Disc title" + DiscTitleLine(*disc));
    item->setToolTip(lines.join(QLatin1Char('\n')));
  }
}

void VoltarkMainWindow::OpenImage() {
  QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Open disc image"), QString(),
                                                QStringLiteral("Disc images (*.iso *.ISO *.img *.IMG);;All files (*)"));
  if (chosen.isEmpty()) return;
  Drive drive = DriveFromArgument(chosen.toLocal8Bit().toStdString());
  std::string error;
  if (!CheckSource(drive, error)) {
    Ui().ShowBox(error, BoxKind::Error);
    return;
  }
  int index = 0;
  while (index < static_cast<int>(DriveList.size()) && DriveList[index].name != drive.name) ++index;
  if (index == static_cast<int>(DriveList.size())) {
    DriveList.push_back(drive);
    source_->addItem(QString::fromStdString(drive.name));
    source_->setItemData(index, QString::fromStdString(drive.name), Qt::ToolTipRole);
  }
  source_->setCurrentIndex(index);
  ResumeMediaChangeNotify();
  SelectedDrive = index;
  SuspendMediaChangeNotify();
  Refresh();
}

void VoltarkMainWindow::Extract() {
  // The listed titles are those of the source shown: a source change not yet
  // taken is taken now (a scan, which leaves nothing selected) instead.
  if (UseShownSource()) return;
  ExtractionJob job = JobOfSelectedLines(SelectedLines(), keepAudio_->isChecked(), compression_->isChecked());
  job.output = TitleSelection.outputPath;
  const JobCheck check = CheckJob(CatalogFromScan(), job);
  if (check.Refused()) return;
  if (!SelectCheckedJob(job, check)) {
    Ui().ShowBox("The output's name is too long, or more than eight tracks are to be re-encoded.", BoxKind::Error);
    return;
  }
  job.tracks = check.tracks;
  // The extraction may be narrowed to one of the disc's own titles; the
  // listed title and size come back once it has run.
  const int32_t listedTitle = TitleSelection.title;
  const int32_t listedSize = TitleSelection.sizeMB;
  std::optional<DiscTitleChoice> part = AskDiscTitle(this, DiscTitlesOfSet(TitleScanner.disc, listedTitle));
  if (!part) return;
  if (part->allDiscTitles)
    ExtractAllDiscTitles(job);
  else
    ExtractNarrowed(*part, job);
  ClearDiscTitleNarrowing();
  TitleSelection.title = listedTitle;
  TitleSelection.sizeMB = listedSize;
}

void VoltarkMainWindow::ExtractNarrowed(const DiscTitleChoice& part, ExtractionJob job) {
  if (part.discTitle > 0) {
    std::string error;
    const DiscTitle* title = FindDiscTitle(TitleScanner.disc, part.discTitle, error);
    if (title == nullptr ||
        !NarrowToDiscTitle(*title, part.firstChapter, part.lastChapter, part.angle, error)) {
      Ui().ShowBox(error, BoxKind::Error);
      return;
    }
  }
  // An output that could not be created (a missing folder, no permission)
  // is asked for again, as one over the disc's own files is.
  do {
    if (!AskOutputPath()) return;
    job.title = TitleSelection.title;
    job.discTitle = part.discTitle;
    job.firstChapter = part.firstChapter;
    job.lastChapter = part.lastChapter;
    job.angle = part.angle;
    job.output = TitleSelection.outputPath;
    // The subtitles ticked are written as a VobSub pair beside the file.
    job.subtitles.clear();
    for (int logical : part.subtitles) job.subtitles.push_back(SubtitleChoice{SubtitlePick::Stream, logical, {}});
    job.checked = true;  // the streams were chosen from the title's own list
    Batch.jobs = {job};
    RunExtractionDialog();
  } while (TakeExtractionOutputNotCreated());
}

bool VoltarkMainWindow::AskOutputPath() {
  QByteArray path;
  for (;;) {
    std::optional<QString> chosen = AskSaveAs(ExtractSaveAsRequest(TitleSelection.outputPath));
    if (!chosen) return false;
    path = chosen->toLocal8Bit();
    // A name that does not fit the output name buffer fails like a cancel,
    // rather than being cut to another file's name.
    if (path.isEmpty() || path.size() >= OUTPUT_PATH_SIZE) return false;
    // Writing over one of the disc's own files would destroy the input:
    // the user is told and asked again.
    if (!OutputIsSourceFile(path.constData())) break;
    ShowError(IDS_OUTPUT_IS_INPUT);
  }
  std::memset(TitleSelection.outputPath, 0, sizeof TitleSelection.outputPath);
  std::memcpy(TitleSelection.outputPath, path.constData(), static_cast<size_t>(path.size()));
  return true;
}

void VoltarkMainWindow::ExtractAllDiscTitles(const ExtractionJob& chosen) {
  // Every disc title with the audio stream chosen; a title without it is
  // skipped with a message, and one summary ends the batch.
  std::optional<QString> folder = AskFolder(QStringLiteral("Folder for the disc titles"));
  if (!folder || SelectedDrive < 0 || SelectedDrive >= static_cast<int>(DriveList.size())) return;
  const std::string base = DiscFileBaseName(DriveList[SelectedDrive]);
  Batch.jobs.clear();
  for (const DiscTitle& title : TitleScanner.disc.titles) {
    ExtractionJob job = chosen;
    job.discTitle = title.number;
    job.checked = false;  // each title is checked for the streams chosen
    job.tracks.clear();
    job.output = BatchOutputFile(folder->toLocal8Bit().toStdString(), base, title.number);
    Batch.jobs.push_back(job);
  }
  RunExtractionDialog();
}

void VoltarkMainWindow::RunExtractionDialog() {
  Batch.options = BatchOptions{};  // its Stop keeps the "done!" box of a single title
  ExtractDialog dialog(this);
  workerRunning_ = true;
  dialog.RunWorker(GuiWorkers.extract);
  workerRunning_ = false;
}

void VoltarkMainWindow::ShowReadme() {
  ReadmeDialog dialog(this);
  dialog.exec();
}

void VoltarkMainWindow::ShowAbout() {
  AboutDialog dialog(this);
  dialog.exec();
}

void VoltarkMainWindow::Quit() { close(); }

void VoltarkMainWindow::closeEvent(QCloseEvent* event) {
  // Quit, the close box and Esc all end the program with status 0.
  ResumeMediaChangeNotify();
  quitRequested_ = true;
  event->accept();
  if (MessageLoopRunning) QCoreApplication::exit(0);
}
