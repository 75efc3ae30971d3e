// How a run ended, which is also the process exit status, and the signal that ends a run early.
// Codes stay within 8 bits so every shell sees them unchanged.
#pragma once

#include <cstdint>

enum class RunOutcome : uint8_t {
  Completed = 0,  // the command was carried out; the user's "No" included
  EmptyCommandLine = 2,
  ComInitializeFailed = 3,
  ComponentCreationFailed = 4,
  CommandFileOpenFailed = 5,
  CommandFileReadFailed = 6,
  CommandFileTruncated = 7,
  CommandFileWithoutCommand = 8,
  NotInstalled = 9,
  ParameterMissing = 10,
  ConfigurationCheckFailed = 11,
  StopFailed = 12,
  UpdateFailed = 13,
  StartFailed = 14,
  OutOfMemory = 15,
};

// Raised after the component exists; unwinding to the run's one cleanup point releases it all.
struct RunAborted {
  RunOutcome outcome;
};
