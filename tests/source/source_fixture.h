// A temporary DVD folder selected as the drive in use, a recording UI port
// and clean run flags for every test of the title source.
#pragma once

#include <gtest/gtest.h>

#include "report/run_flags.h"
#include "platform/drives.h"
#include "platform/recording_ui.h"
#include "source/vob_reader.h"
#include "tests/support/program_stream.h"
#include "tests/support/temp_dir.h"

class SourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AbortFlag = false;
    VerboseErrors = false;
    StopOnDamage = false;
    DriveList = {DriveFromArgument(dir_.path().string())};
    SelectedDrive = 0;
    VobClose();
    VobReader = VobReaderState{};
  }
  void TearDown() override {
    VobClose();
    DriveList.clear();
    AbortFlag = false;
    VerboseErrors = false;
    StopOnDamage = false;
  }

  // Opens part 1 of a title as a user of the reader does.
  bool Open(int title) {
    VobReader.title = title;
    VobReader.part = 1;
    return VobOpenPart();
  }

  TempDir dir_;
  ScopedRecordingUi ui_;
};
