#include "app/command_line.h"

#include <gtest/gtest.h>

#include "report/run_flags.h"
#include "platform/recording_ui.h"

namespace {

struct Case {
  const char* line;
  bool accepted;
  bool verbose;
};

TEST(CommandLine, AcceptsBlanksAndVerboseSwitchesOnly) {
  const Case cases[] = {
      {"", true, false},       {"   ", true, false},       {"/V", true, true},   {"/v", true, true},
      {"  /V  ", true, true},  {"/V/V", true, true},       {"/v /V", true, true}, {"-V", false, false},
      {"/", false, false},     {"/X", false, false},       {"/VX", false, true}, {"x/V", false, false},
      {"/V -x", false, true},  {"\t/V", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ScopedRecordingUi ui;
    VerboseErrors = false;
    EXPECT_EQ(ParseCommandLine(c.line), c.accepted);
    // What was parsed before the fault stays in effect.
    EXPECT_EQ(VerboseErrors.load(), c.verbose);
    if (c.accepted) {
      EXPECT_TRUE(ui->boxes().empty());
    } else {
      ASSERT_EQ(ui->boxes().size(), 1u);
      EXPECT_EQ(ui->boxes()[0].text, "Command line syntax error");
      EXPECT_EQ(ui->boxes()[0].kind, BoxKind::Error);
    }
  }
  VerboseErrors = false;
}

TEST(CommandLine, JoinsArgumentsWithBlanks) {
  char program[] = "voltark", a[] = "/V", b[] = "/v";
  char* argv[] = {program, a, b, nullptr};
  EXPECT_EQ(JoinArguments(1, argv), "");
  EXPECT_EQ(JoinArguments(3, argv), "/V /v");
}

}  // namespace
