// Taking the process command line apart into the debug switch and the command file path.
// Pure text processing, so every quoting and naming case is tested natively.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct Invocation {
  bool debugMode = false;
  std::string commandFilePath;
};

// Returns nothing for an empty command line, which ends the run at once.
std::optional<Invocation> InterpretCommandLine(std::string_view commandLine);
