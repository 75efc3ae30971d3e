// The run against recording fakes: every call sequence, a failure at each call, the COM and
// file failures, exhausted memory, and the order of the cleanup.
#include <gtest/gtest.h>

#include "RunFakes.h"

namespace {

using testing_support::ComponentScript;
using testing_support::RunFixture;
using Calls = std::vector<std::string>;

constexpr char kDebugLine[] = "\"C:\\Sarnivox\\Sarnivox.exe\" /debug C:\\call.txt";
constexpr char kQuietLine[] = "\"C:\\Sarnivox\\Sarnivox.exe\" C:\\call.txt";
constexpr char kAskFirst[] = "start\r\n0\r\none\r\ntwo\r\n three \r\nfour\r\nfive\r\n";
constexpr char kAutoStart[] = "start\r\n1\r\none\r\ntwo\r\n three \r\nfour\r\nfive\r\n";
constexpr int kYes = 1;
constexpr int kNo = 2;

ComponentScript ConfigurationDiffers() {
  ComponentScript script;
  script.configurationMatches = 0;
  return script;
}

struct SequenceCase {
  const char* name;
  const char* file;
  ComponentScript script;
  int answer;
  Calls calls;
  bool promptShown;
};

void PrintTo(const SequenceCase& row, std::ostream* os) { *os << row.name; }

const SequenceCase kSequences[] = {
    {"StopCommand", "stop\r\n", {}, kYes, {"Stop", "Release"}, false},
    // Any word but "start", in any letter case, is a stop.
    {"StartsIsAStop", "starts\r\n", {}, kYes, {"Stop", "Release"}, false},
    {"MatchesAutomaticStart",
     kAutoStart,
     {},
     kNo,
     {"IsInstalled", "CheckConfiguration", "Start", "Release"},
     false},
    {"MatchesUserSaysYes",
     kAskFirst,
     {},
     kYes,
     {"IsInstalled", "CheckConfiguration", "Start", "Release"},
     true},
    {"MatchesUserSaysNo",
     kAskFirst,
     {},
     kNo,
     {"IsInstalled", "CheckConfiguration", "Release"},
     true},
    // A dialog that cannot be shown is a no.
    {"DialogCannotBeShown",
     kAskFirst,
     {},
     -1,
     {"IsInstalled", "CheckConfiguration", "Release"},
     true},
    {"DiffersAutomaticStart",
     kAutoStart,
     ConfigurationDiffers(),
     kNo,
     {"IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Start", "Release"},
     false},
    {"DiffersUserSaysYes",
     kAskFirst,
     ConfigurationDiffers(),
     kYes,
     {"IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Start", "Release"},
     true},
    {"DiffersUserSaysNo",
     kAskFirst,
     ConfigurationDiffers(),
     kNo,
     {"IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Release"},
     true},
    // Only exactly "1" starts at once.
    {"AutoStartZeroOneAsks",
     "Start\n01\na\nb\nc\nd\ne\n",
     {},
     kNo,
     {"IsInstalled", "CheckConfiguration", "Release"},
     true},
    {"AutoStartYesAsks",
     "START\nyes\na\nb\nc\nd\ne\n",
     {},
     kNo,
     {"IsInstalled", "CheckConfiguration", "Release"},
     true},
    {"AutoStartEmptyAsks",
     "start\n\na\nb\nc\nd\ne\n",
     {},
     kNo,
     {"IsInstalled", "CheckConfiguration", "Release"},
     true},
    // The autoStart line is trimmed before the comparison.
    {"AutoStartTrimmed",
     "start\n 1 \na\nb\nc\nd\ne\n",
     {},
     kNo,
     {"IsInstalled", "CheckConfiguration", "Start", "Release"},
     false},
};

class SequenceTest : public testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceTest, ComponentSeesTheSequence) {
  const auto& row = GetParam();
  for (const char* commandLine : {kDebugLine, kQuietLine}) {
    SCOPED_TRACE(commandLine);
    RunFixture run(row.script);
    run.opener.contents = row.file;
    run.prompts.answer = row.answer;
    EXPECT_EQ(run.Run(commandLine), RunOutcome::Completed);
    EXPECT_EQ(run.ComponentCalls(), row.calls);
    EXPECT_EQ(std::count(run.log.events.begin(), run.log.events.end(), "DoModal"),
              row.promptShown ? 1 : 0);
    EXPECT_TRUE(run.Shown().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SequenceTest, testing::ValuesIn(kSequences),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  const char* file;
  ComponentScript script;
  Calls calls;
  const char* text;
  RunOutcome outcome;
};

void PrintTo(const FailureCase& row, std::ostream* os) { *os << row.name; }

ComponentScript With(void (*change)(ComponentScript&)) {
  ComponentScript script;
  change(script);
  return script;
}

const FailureCase kFailures[] = {
    {"StopFails",
     "stop\n",
     With([](auto& s) { s.stop = 0x80004005; }),
     {"Stop", "Release"},
     "Unable to stop running NetMeeting",
     RunOutcome::StopFailed},
    // Positive result codes are failures too.
    {"IsInstalledFails",
     kAutoStart,
     With([](auto& s) { s.isInstalled = 1; }),
     {"IsInstalled", "Release"},
     "NetMeeting not installed, corrupt, or wrong version",
     RunOutcome::NotInstalled},
    {"IsInstalledSaysNo",
     kAutoStart,
     With([](auto& s) { s.installed = 0; }),
     {"IsInstalled", "Release"},
     "NetMeeting not installed, corrupt, or wrong version",
     RunOutcome::NotInstalled},
    // The installation is checked before the parameters.
    {"NotInstalledReportedBeforeEmptyParameter",
     "start\n1\na\nb\nc\nd\n\n",
     With([](auto& s) { s.installed = 0; }),
     {"IsInstalled", "Release"},
     "NetMeeting not installed, corrupt, or wrong version",
     RunOutcome::NotInstalled},
    {"Param2Empty",
     "start\n1\na\n \nc\nd\ne\n",
     {},
     {"IsInstalled", "Release"},
     "A non-NULL parameter had no value",
     RunOutcome::ParameterMissing},
    {"Param3Empty",
     "start\n1\na\nb\n\nd\ne\n",
     {},
     {"IsInstalled", "Release"},
     "A non-NULL parameter had no value",
     RunOutcome::ParameterMissing},
    {"Param4Empty",
     "start\n1\na\nb\nc\n\t\ne\n",
     {},
     {"IsInstalled", "Release"},
     "A non-NULL parameter had no value",
     RunOutcome::ParameterMissing},
    {"Param5Empty",
     "start\n1\na\nb\nc\nd\n\n",
     {},
     {"IsInstalled", "Release"},
     "A non-NULL parameter had no value",
     RunOutcome::ParameterMissing},
    {"CheckFails",
     kAutoStart,
     With([](auto& s) { s.check = 0x80070005; }),
     {"IsInstalled", "CheckConfiguration", "Release"},
     "Unable to check NetMeeting configuration",
     RunOutcome::ConfigurationCheckFailed},
    {"StopBeforeUpdateFails",
     kAutoStart,
     With([](auto& s) {
       s.configurationMatches = 0;
       s.stop = 1;
     }),
     {"IsInstalled", "CheckConfiguration", "Stop", "Release"},
     "Unable to stop running NetMeeting",
     RunOutcome::StopFailed},
    // A successful Stop is not undone, and Start is not called.
    {"UpdateFails",
     kAutoStart,
     With([](auto& s) {
       s.configurationMatches = 0;
       s.update = 0x80004005;
     }),
     {"IsInstalled", "CheckConfiguration", "Stop", "UpdateConfiguration", "Release"},
     "Unable to update NetMeeting configuration",
     RunOutcome::UpdateFailed},
    {"StartFails",
     kAutoStart,
     With([](auto& s) { s.start = 0x80004005; }),
     {"IsInstalled", "CheckConfiguration", "Start", "Release"},
     "NetMeeting did not start",
     RunOutcome::StartFailed},
    {"StartSaysNo",
     kAutoStart,
     With([](auto& s) { s.started = 0; }),
     {"IsInstalled", "CheckConfiguration", "Start", "Release"},
     "NetMeeting did not start",
     RunOutcome::StartFailed},
    {"RecordCutShort",
     "start\n1\na\nb\nc\nd\n",
     {},
     {"Release"},
     "Read command file 'C:\\call.txt' failed end-of-file",
     RunOutcome::CommandFileTruncated},
};

class FailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(FailureTest, ReportsInDebugModeOnlyAndStops) {
  const auto& row = GetParam();
  for (bool debugMode : {true, false}) {
    SCOPED_TRACE(debugMode ? "debug mode" : "quiet");
    RunFixture run(row.script);
    run.opener.contents = row.file;
    EXPECT_EQ(run.Run(debugMode ? kDebugLine : kQuietLine), row.outcome);
    EXPECT_EQ(run.ComponentCalls(), row.calls);
    EXPECT_EQ(run.Shown(), debugMode ? Calls{row.text} : Calls{});
    EXPECT_EQ(run.component.Releases(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FailureTest, testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HandlerRun, PassesTheFiveParametersInOrderWithParam3Untrimmed) {
  RunFixture run(ConfigurationDiffers());
  run.opener.contents = "start\n1\n\n two \n three \nfour\n\xE9\n";
  ASSERT_EQ(run.Run(kQuietLine), RunOutcome::Completed);
  const Calls expected = {"CoInitialize",
                          "CoCreateInstance",
                          "Open C:\\call.txt",
                          "IsInstalled",
                          "CheckConfiguration(|two| three |four|\xE9)",
                          "Stop",
                          "UpdateConfiguration(|two| three |four|\xE9)",
                          "CreatePrompt",
                          "Start",
                          "DestroyPrompt",
                          "Release",
                          "CoUninitialize",
                          "ClearMainWindow",
                          "CloseFile"};
  EXPECT_EQ(run.log.events, expected);
}

TEST(HandlerRun, CleanupAfterAbortRunsInOrderAfterThePromptIsGone) {
  ComponentScript script;
  script.start = 0x80004005;
  RunFixture run(script);
  run.opener.contents = kAskFirst;
  run.prompts.answer = kYes;
  ASSERT_EQ(run.Run(kDebugLine), RunOutcome::StartFailed);
  const Calls tail(run.log.events.end() - 7, run.log.events.end());
  const Calls expected = {"Start",          "Show: NetMeeting did not start",
                          "DestroyPrompt",  "Release",
                          "CoUninitialize", "ClearMainWindow",
                          "CloseFile"};
  EXPECT_EQ(tail, expected);
}

TEST(HandlerRun, EmptyCommandLineDoesNothing) {
  RunFixture run;
  EXPECT_EQ(run.Run(""), RunOutcome::EmptyCommandLine);
  EXPECT_TRUE(run.log.events.empty());
}

TEST(HandlerRun, CoInitializeFailureIsReportedWithoutCoUninitialize) {
  for (bool debugMode : {true, false}) {
    RunFixture run;
    run.com.initializeResult = static_cast<contract::Result>(0x8007000E);
    EXPECT_EQ(run.Run(debugMode ? kDebugLine : kQuietLine), RunOutcome::ComInitializeFailed);
    Calls expected = {"CoInitialize", "ClearMainWindow"};
    if (debugMode)
      expected.insert(expected.begin() + 1, "Show: CoInitialize failed system error 8007000e");
    EXPECT_EQ(run.log.events, expected);
  }
}

TEST(HandlerRun, CreationFailureLeavesTheApartmentOnly) {
  for (bool debugMode : {true, false}) {
    RunFixture run;
    run.com.createResult = static_cast<contract::Result>(0x80040154);
    EXPECT_EQ(run.Run(debugMode ? kDebugLine : kQuietLine), RunOutcome::ComponentCreationFailed);
    Calls expected = {"CoInitialize", "CoCreateInstance", "CoUninitialize", "ClearMainWindow"};
    if (debugMode) {
      expected.insert(expected.begin() + 2, "Show: CoCreateInstance failed system error 80040154");
    }
    EXPECT_EQ(run.log.events, expected);
  }
}

TEST(HandlerRun, OpenFailureReportsPathAndReasonThenCleansUp) {
  RunFixture run;
  run.opener.openReason = 0xb;
  EXPECT_EQ(run.Run("Sarnivox.exe /debug \"C:\\No Such\\call.txt\""),
            RunOutcome::CommandFileOpenFailed);
  const Calls expected = {"CoInitialize",
                          "CoCreateInstance",
                          "Open \"C:\\No Such\\call.txt\"",
                          "Show: Open command file '\"C:\\No Such\\call.txt\"' failed reason b",
                          "Release",
                          "CoUninitialize",
                          "ClearMainWindow"};
  EXPECT_EQ(run.log.events, expected);
}

TEST(HandlerRun, FileWithoutCommandEndsSilentlyEvenInDebugMode) {
  RunFixture run;
  run.opener.contents = "\r\n  \r\n";
  EXPECT_EQ(run.Run(kDebugLine), RunOutcome::CommandFileWithoutCommand);
  EXPECT_EQ(run.ComponentCalls(), Calls{"Release"});
  EXPECT_TRUE(run.Shown().empty());
}

TEST(HandlerRun, ExhaustedMemoryForParametersEndsThroughTheCleanup) {
  // Allocation 3 is in the first set, 8 in the second: both must free what they hold.
  for (size_t failing : {size_t{3}, size_t{8}}) {
    SCOPED_TRACE(failing);
    RunFixture run(ConfigurationDiffers());
    run.opener.contents = kAutoStart;
    run.strings.FailAllocation(failing);
    EXPECT_EQ(run.Run(kDebugLine), RunOutcome::OutOfMemory);
    EXPECT_EQ(run.component.Releases(), 1);
    EXPECT_EQ(run.strings.Live(), 0u);
    EXPECT_EQ(run.log.events.back(), "CloseFile");
    EXPECT_EQ(std::count(run.log.events.begin(), run.log.events.end(), "Start"), 0);
  }
}

}  // namespace
