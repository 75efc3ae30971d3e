// Reading a command file into a CommandRequest: blank lines, trimming, the start record, and
// the failures with their texts.
#include <gtest/gtest.h>

#include "Recorders.h"

// Found by argument-dependent lookup, so outside the unnamed namespace.
bool operator==(const CommandRequest& a, const CommandRequest& b) {
  return a.command == b.command && a.autoStart == b.autoStart && a.param1 == b.param1 &&
         a.param2 == b.param2 && a.param3 == b.param3 && a.param4 == b.param4 &&
         a.param5 == b.param5;
}

void PrintTo(const CommandRequest& r, std::ostream* os) {
  *os << "{" << testing::PrintToString(r.command) << ", " << testing::PrintToString(r.autoStart);
  for (const auto* p : {&r.param1, &r.param2, &r.param3, &r.param4, &r.param5}) {
    *os << ", " << testing::PrintToString(*p);
  }
  *os << "}";
}

namespace {

using namespace std::string_literals;
using testing_support::MemoryCommandFile;
using testing_support::RecordingDisplay;

constexpr char kPath[] = "C:\\Calls\\call.txt";

struct RequestCase {
  const char* name;
  std::string bytes;
  CommandRequest expected;
};

void PrintTo(const RequestCase& row, std::ostream* os) { *os << row.name; }

const RequestCase kCases[] = {
    {"StopFile", "stop\r\n", {"stop", "", "", "", "", "", ""}},
    // Blank and white-space-only lines before the command are skipped; the word is trimmed.
    {"BlankLinesBeforeCommand",
     "\r\n \t\r\n\v\f\n  START  \r\n0\na\nb\nc\nd\ne\n",
     {"START", "0", "a", "b", "c", "d", "e"}},
    // Only the command word decides; the rest of a stop file is never looked at.
    {"StopIgnoresRest", "restart\nanything\x1A", {"restart", "", "", "", "", "", ""}},
    {"FullRecordTrimmed",
     "start\n 1 \n p1 \n\tp2\t\n p3 \n p4\r\n p5 ",
     {"start", "1", "p1", "p2", " p3 ", "p4", "p5"}},
    // param3 keeps white space only; every other line of white space becomes empty.
    {"WhiteSpaceOnlyLines", "start\n \n \n \n  \n \n \n", {"start", "", "", "", "  ", "", ""}},
    {"EmptyParam1Accepted",
     "start\n0\n\np2\np3\np4\np5\n",
     {"start", "0", "", "p2", "p3", "p4", "p5"}},
    // Lines after the sixth line of the record are ignored.
    {"LinesAfterRecordIgnored",
     "start\n1\na\nb\nc\nd\ne\nextra\n",
     {"start", "1", "a", "b", "c", "d", "e"}},
    // A byte-order mark is part of the first line, so the command is not "start".
    {"ByteOrderMarkMakesItAStop",
     "\xEF\xBB\xBFstart\n1\na\nb\nc\nd\ne\n",
     {"\xEF\xBB\xBFstart", "", "", "", "", "", ""}},
    // A lone CR is not a line end: the whole CR-only file is the command word.
    {"CrOnlyFileIsOneCommand", "start\r1\ra\r", {"start\r1\ra", "", "", "", "", "", ""}},
    {"NonAsciiKeptAsBytes",
     "start\n1\n\xE9t\xE9\nb\n c\xA0\nd\ne\n",
     {"start", "1", "\xE9t\xE9", "b", " c\xA0", "d", "e"}},
    {"NulKeptInValue", "start\n1\na\0b\nb\nc\nd\ne"s, {"start", "1", "a\0b"s, "b", "c", "d", "e"}},
};

class RequestTest : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestTest, ReadsTheRequest) {
  const auto& row = GetParam();
  MemoryCommandFile file(row.bytes);
  RecordingDisplay display;
  const FailureReporter reporter(display, true);
  EXPECT_EQ(ReadCommandRequest(file, kPath, reporter), row.expected);
  EXPECT_TRUE(display.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, RequestTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  std::string bytes;
  size_t failOnRead;  // 0: no read failure
  RunOutcome outcome;
  const char* text;  // nullptr: ends without any report
};

void PrintTo(const FailureCase& row, std::ostream* os) { *os << row.name; }

const FailureCase kFailures[] = {
    {"EmptyFile", "", 0, RunOutcome::CommandFileWithoutCommand, nullptr},
    {"BlankLinesOnly", " \r\n\t\n\n", 0, RunOutcome::CommandFileWithoutCommand, nullptr},
    {"CtrlZBeforeCommand", "\n\x1Astart\n", 0, RunOutcome::CommandFileWithoutCommand, nullptr},
    {"FiveLinesOnly", "start\n1\na\nb\nc\nd\n", 0, RunOutcome::CommandFileTruncated,
     "Read command file 'C:\\Calls\\call.txt' failed end-of-file"},
    // Ctrl-Z before the sixth line has begun cuts the record short.
    {"CtrlZCutsRecord",
     "start\n1\na\nb\nc\nd\n\x1A"
     "e\n",
     0, RunOutcome::CommandFileTruncated,
     "Read command file 'C:\\Calls\\call.txt' failed end-of-file"},
    {"ReadFailsBeforeCommand", "start\n", 1, RunOutcome::CommandFileReadFailed,
     "Read command file 'C:\\Calls\\call.txt' failed reason 1"},
    {"ReadFailsInRecord", "start\n1\na\nb\nc\nd\ne\n", 3, RunOutcome::CommandFileReadFailed,
     "Read command file 'C:\\Calls\\call.txt' failed reason 1"},
};

class RequestFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(RequestFailureTest, AbortsWithItsTextInDebugModeOnly) {
  const auto& row = GetParam();
  for (bool debugMode : {true, false}) {
    SCOPED_TRACE(debugMode ? "debug mode" : "quiet");
    MemoryCommandFile file(row.bytes, {5});
    if (row.failOnRead != 0) file.Source().FailOnRead(row.failOnRead);
    RecordingDisplay display;
    const FailureReporter reporter(display, debugMode);
    try {
      ReadCommandRequest(file, kPath, reporter);
      FAIL() << "the run was not aborted";
    } catch (const RunAborted& aborted) {
      EXPECT_EQ(aborted.outcome, row.outcome);
    }
    std::vector<std::string> expected;
    if (debugMode && row.text != nullptr) expected.push_back(row.text);
    EXPECT_EQ(display.shown, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, RequestFailureTest, testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
