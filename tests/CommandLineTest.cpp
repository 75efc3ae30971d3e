// Command-line interpretation, as a table of command lines and what the run takes from them.
#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

struct CommandLineCase {
  const char* name;
  const char* commandLine;
  bool debugMode;
  const char* commandFilePath;
};

void PrintTo(const CommandLineCase& row, std::ostream* os) { *os << row.name; }

const CommandLineCase kCases[] = {
    // The usual launch: quoted program path, switch, path.
    {"QuotedProgramDebugPath",
     R"("C:\Program Files\Sarnivox\Sarnivox.exe" /debug C:\Temp\call.txt)", true,
     R"(C:\Temp\call.txt)"},
    // Any token that begins with the switch counts and is dropped whole.
    {"DebuggingCountsAsSwitch", R"("C:\Sarnivox.exe" /DEBUGGING C:\Temp\call.txt)", true,
     R"(C:\Temp\call.txt)"},
    // The switch is recognised only first; after the path it is part of the path.
    {"SwitchAfterPathIsPath", R"("C:\Sarnivox.exe" C:\Temp\x /debug)", false,
     R"(C:\Temp\x /debug)"},
    {"NoSwitch", R"(C:\Sarnivox.exe C:\call.txt)", false, R"(C:\call.txt)"},
    // The name is found in any letter case; the path keeps its own case.
    {"NameInOtherCase", R"(c:\SARNIVOX.EXE /Debug D:\Calls\Start.TXT)", true,
     R"(D:\Calls\Start.TXT)"},
    // The right-most occurrence wins, so a command file named after the program is the token.
    {"NameTwiceUsesRightMost", R"("C:\Sarnivox.exe" C:\Temp\Sarnivox.exe.txt)", false, ""},
    {"NameTwiceFileAfterIt", R"(C:\Sarnivox.exe /debug C:\Sarnivox.exe\ call.txt)", false,
     "call.txt"},
    // Not found: position 0 is taken, twelve characters and the rest of that token dropped.
    {"OtherProgramName", R"("C:\Tools\Caller.exe" /debug C:\call.txt)", true, R"(C:\call.txt)"},
    {"ShortPathName", R"(C:\PROGRA~1\SARNIV~1.EXE C:\call.txt)", false, R"(C:\call.txt)"},
    // Quotes around the command file path stay.
    {"QuotedCommandFile", R"("C:\Sarnivox.exe" "C:\My Calls\call.txt")", false,
     R"("C:\My Calls\call.txt")"},
    // Embedded spaces stay; trailing white space of every kind goes.
    {"EmbeddedSpacesTrailingWhiteSpace", "Sarnivox.exe   C:\\My Calls\\call.txt \t\r\n", false,
     "C:\\My Calls\\call.txt"},
    // Tokens end at space or tab only: a vertical tab stays inside the program token.
    {"VerticalTabDoesNotEndToken", "Sarnivox.exe\vx call.txt", false, "call.txt"},
    {"TabEndsToken", "\"C:\\Sarnivox.exe\"\t/debug\tcall.txt", true, "call.txt"},
    {"ProgramOnly", R"("C:\Sarnivox.exe")", false, ""},
    {"SwitchOnly", R"("C:\Sarnivox.exe" /debug)", true, ""},
    {"SwitchThenSpaces", R"("C:\Sarnivox.exe" /debug   )", true, ""},
    {"SingleCharacter", "x", false, ""},
    // The switch must be the start of the token; "/debu" is a path.
    {"ShortSwitchIsPath", R"(Sarnivox.exe /debu call.txt)", false, "/debu call.txt"},
    // A name cut off by the end of the text does not match; the fallback takes over.
    {"NameCutOffAtEnd", "Caller.exe /debug C:\\Sarnivox.ex", false, "C:\\Sarnivox.ex"},
};

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, TakesSwitchAndPath) {
  const auto& row = GetParam();
  const auto invocation = InterpretCommandLine(row.commandLine);
  ASSERT_TRUE(invocation.has_value());
  EXPECT_EQ(invocation->debugMode, row.debugMode);
  EXPECT_EQ(invocation->commandFilePath, row.commandFilePath);
}

INSTANTIATE_TEST_SUITE_P(Rows, CommandLineTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineEmpty, EndsTheRun) { EXPECT_FALSE(InterpretCommandLine("").has_value()); }

}  // namespace
