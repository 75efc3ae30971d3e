// The whole run, from the command line to the cleanup, against the platform's ports.
// Returns how it ended; that is the process exit status.
#pragma once

#include <string_view>

#include "app/FailureReporter.h"
#include "app/Ports.h"
#include "app/RunOutcome.h"
#include "command/CommandFileReader.h"

struct RunPorts {
  ComRuntime& com;
  CommandFileOpener& files;
  FailureDisplay& display;
  WideStrings& wideStrings;
  StartPromptFactory& prompts;
  MainWindowReference& mainWindow;
};

RunOutcome HandlerRun(std::string_view commandLine, RunPorts& ports);
