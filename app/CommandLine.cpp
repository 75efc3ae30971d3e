// Command-line interpretation: find the program name, skip past it, take the switch and path.
// Every cut is made on the unaltered text, so the path keeps its letter case and quotes.
#include "app/CommandLine.h"

#include "app/TextRules.h"

namespace {

constexpr std::string_view kProgramName = "Sarnivox.exe";
constexpr std::string_view kDebugSwitch = "/debug";

// Right-most start of the program name. Position 0 is never compared and is the fallback, so a
// program started under another name loses as many characters as the name is long.
size_t FindProgramName(std::string_view commandLine) {
  for (size_t position = commandLine.size() - 1; position >= 1; --position) {
    if (text::EqualsIgnoringAsciiCase(commandLine.substr(position, kProgramName.size()),
                                      kProgramName)) {
      return position;
    }
  }
  return 0;
}

// Tokens end at space or tab only; the rest of the white-space set does not split them.
std::string_view FromFirstSpaceOrTab(std::string_view s) {
  const size_t end = s.find_first_of(" \t");
  return end == std::string_view::npos ? std::string_view() : s.substr(end);
}

}  // namespace

std::optional<Invocation> InterpretCommandLine(std::string_view commandLine) {
  if (commandLine.empty()) return std::nullopt;

  const size_t nameEnd = FindProgramName(commandLine) + kProgramName.size();
  std::string_view rest = nameEnd < commandLine.size() ? commandLine.substr(nameEnd) : "";
  // The token in which the name ended may go on, e.g. with the closing quote of the path.
  rest = text::TrimLeft(FromFirstSpaceOrTab(rest));

  Invocation invocation;
  if (text::EqualsIgnoringAsciiCase(rest.substr(0, kDebugSwitch.size()), kDebugSwitch)) {
    invocation.debugMode = true;
    rest = text::TrimLeft(FromFirstSpaceOrTab(rest));
  }
  invocation.commandFilePath = std::string(text::TrimRight(rest));
  return invocation;
}
