// The command file opened with our CStdioFile: read-only, other writers locked out,
// a handle no child process inherits.
#pragma once

#include "command/CommandFileReader.h"

class StdioCommandFileOpener : public CommandFileOpener {
 public:
  std::unique_ptr<CommandFile> Open(const std::string& path, uint32_t& reason) override;
};
