// Failure texts: "%x" as bare lower-case hex, "%s" as the path unchanged whatever it holds.
#include <gtest/gtest.h>

#include "Recorders.h"

namespace {

struct FormatCase {
  const char* pattern;
  std::string path;
  uint32_t code;
  std::string expected;
};

TEST(FormatFailureText, Rows) {
  const std::string longPath = "C:\\" + std::string(2000, 'p') + "\\call.txt";
  const FormatCase rows[] = {
      {"CoInitialize failed system error %x", "", 0x80004005,
       "CoInitialize failed system error 80004005"},
      // No padding, no prefix.
      {"reason %x", "", 0xb, "reason b"},
      {"reason %x", "", 0, "reason 0"},
      {"reason %x", "", 0xFFFFFFFF, "reason ffffffff"},
      // The path is taken literally, percent signs included, and never cut.
      {"Open command file '%s' failed reason %x", "C:\\100%x\\%s.txt", 2,
       "Open command file 'C:\\100%x\\%s.txt' failed reason 2"},
      {"Read command file '%s' failed end-of-file", longPath, 0,
       "Read command file '" + longPath + "' failed end-of-file"},
      {"Open command file '%s' failed reason %x", "\"C:\\a b\\c\"", 3,
       "Open command file '\"C:\\a b\\c\"' failed reason 3"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pattern);
    EXPECT_EQ(FormatFailureText(row.pattern, row.path, row.code), row.expected);
  }
}

TEST(FailureReporter, ShowsOnlyInDebugModeAndAbortCarriesTheOutcome) {
  for (bool debugMode : {true, false}) {
    testing_support::RecordingDisplay display;
    const FailureReporter reporter(display, debugMode);
    reporter.ReportFailure("first");
    try {
      reporter.Abort("second", RunOutcome::StartFailed);
      FAIL() << "Abort returned";
    } catch (const RunAborted& aborted) {
      EXPECT_EQ(aborted.outcome, RunOutcome::StartFailed);
    }
    const std::vector<std::string> expected =
        debugMode ? std::vector<std::string>{"first", "second"} : std::vector<std::string>{};
    EXPECT_EQ(display.shown, expected);
  }
}

}  // namespace
