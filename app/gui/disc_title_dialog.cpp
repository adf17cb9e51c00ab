#include "app/gui/disc_title_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace {

DiscTitleAnswerer answererForTests;

// The dialog's controls, kept in step with the disc title chosen.
struct Controls {
  QComboBox* title;
  QSpinBox* first;
  QSpinBox* last;
  QSpinBox* angle;
  QWidget* subtitleRow;
  std::vector<QCheckBox*> subtitles;  // one per sub-picture stream of the title shown
};

// The title whose subtitles are offered: the one chosen, else the first
// that plays from the set (whose chain plays first).
const DiscTitle* SubtitleTitle(int index, const std::vector<const DiscTitle*>& titles) {
  if (index > 0 && index <= static_cast<int>(titles.size())) return titles[static_cast<size_t>(index - 1)];
  return titles.front();
}

void OfferSubtitles(Controls& controls, const DiscTitle& title) {
  for (QCheckBox* box : controls.subtitles) delete box;
  controls.subtitles.clear();
  for (const DiscSubpicture& stream : title.subpictures) {
    auto* box = new QCheckBox(QString::fromStdString(SubtitleOfferName(stream)), controls.subtitleRow);
    box->setProperty("logical", stream.logical);
    controls.subtitleRow->layout()->addWidget(box);
    controls.subtitles.push_back(box);
  }
  controls.subtitleRow->setEnabled(!controls.subtitles.empty());
}

void ChooseTitle(Controls& controls, const std::vector<const DiscTitle*>& titles) {
  OfferSubtitles(controls, *SubtitleTitle(controls.title->currentIndex(), titles));
  const int index = controls.title->currentIndex();
  const bool one = index > 0 && index <= static_cast<int>(titles.size());
  const DiscTitle* title = one ? titles[static_cast<size_t>(index - 1)] : nullptr;
  const int chapters = title != nullptr ? static_cast<int>(title->chapters.size()) : 1;
  controls.first->setRange(1, chapters);
  controls.last->setRange(1, chapters);
  controls.first->setValue(1);
  controls.last->setValue(chapters);
  controls.angle->setRange(1, title != nullptr ? title->angles : 1);
  controls.angle->setValue(1);
  for (QSpinBox* box : {controls.first, controls.last, controls.angle}) box->setEnabled(title != nullptr);
}

}  // namespace

void SetDiscTitleAnswerer(DiscTitleAnswerer answerer) { answererForTests = std::move(answerer); }

std::optional<DiscTitleChoice> AskDiscTitle(QWidget* parent, const std::vector<const DiscTitle*>& titles) {
  if (titles.empty()) return DiscTitleChoice{};
  if (answererForTests) return answererForTests(titles);

  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("VOLTARK"));
  auto* form = new QFormLayout(&dialog);
  Controls controls{new QComboBox(&dialog), new QSpinBox(&dialog), new QSpinBox(&dialog), new QSpinBox(&dialog),
                    new QWidget(&dialog), {}};
  new QHBoxLayout(controls.subtitleRow);
  controls.subtitleRow->layout()->setContentsMargins(0, 0, 0, 0);
  controls.title->addItem(QStringLiteral("Whole title set, as listed"));
  for (const DiscTitle* title : titles) controls.title->addItem(QString::fromStdString(DiscTitleLine(*title)));
  controls.title->addItem(QStringLiteral("All disc titles, each into its own file"));
  form->addRow(QStringLiteral("&Disc title"), controls.title);
  auto* range = new QHBoxLayout;
  range->addWidget(controls.first);
  range->addWidget(new QLabel(QStringLiteral("to"), &dialog));
  range->addWidget(controls.last);
  // A row of a layout gets a label without a buddy, which would show the
  // ampersand itself: the label's shortcut goes to the first chapter.
  auto* chaptersLabel = new QLabel(QStringLiteral("&Chapters"), &dialog);
  chaptersLabel->setBuddy(controls.first);
  form->addRow(chaptersLabel, range);
  form->addRow(QStringLiteral("&Angle"), controls.angle);
  form->addRow(QStringLiteral("Subtitles (.idx/.sub)"), controls.subtitleRow);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(controls.title, &QComboBox::currentIndexChanged, &dialog,
                   [&controls, &titles] { ChooseTitle(controls, titles); });
  // The last chapter never comes before the first.
  QObject::connect(controls.first, &QSpinBox::valueChanged, &dialog, [&controls](int value) {
    if (controls.last->value() < value) controls.last->setValue(value);
  });
  QObject::connect(controls.last, &QSpinBox::valueChanged, &dialog, [&controls](int value) {
    if (controls.first->value() > value) controls.first->setValue(value);
  });
  ChooseTitle(controls, titles);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;

  DiscTitleChoice choice;
  for (QCheckBox* box : controls.subtitles)
    if (box->isChecked()) choice.subtitles.push_back(box->property("logical").toInt());
  const int index = controls.title->currentIndex();
  if (index > static_cast<int>(titles.size())) {
    choice.allDiscTitles = true;
  } else if (index > 0) {
    choice.discTitle = titles[static_cast<size_t>(index - 1)]->number;
    choice.firstChapter = controls.first->value();
    choice.lastChapter = controls.last->value();
    choice.angle = controls.angle->value();
  }
  return choice;
}
