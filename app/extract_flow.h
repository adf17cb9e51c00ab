// The Extract command of the windowed front ends, the same whatever draws
// the windows: the request of the selected lines is checked, narrowed to one
// of the disc's own titles (or widened to all of them), given its output
// file, and run as a batch in the extraction dialog. The front end asks the
// questions and runs the dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/disc_title_choice.h"
#include "app/extraction_job.h"

struct ExtractQuestions {
  // Which part of the title set; asked only when the disc names titles that
  // play from it. Nothing when the user cancelled.
  std::function<std::optional<DiscTitleChoice>(const std::vector<const DiscTitle*>& titles)> discTitle;
  // The output file (UTF-8), the previous one offered; nothing when cancelled.
  std::function<std::optional<std::string>(const std::string& previous)> outputFile;
  // The folder the files of all disc titles go to; nothing when cancelled.
  std::function<std::optional<std::string>()> folder;
  // Runs the extraction dialog over Batch.jobs and returns once it closed.
  std::function<void()> runExtraction;
};

// The Extract command for the request of the selected title-list lines
// (JobOfSelectedLines). TitleSelection's listed title and size are as
// before once it returns; its output name is the last one chosen.
void RunExtractCommand(ExtractionJob job, const ExtractQuestions& questions);
