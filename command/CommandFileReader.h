// Opening the command file and reading it into a CommandRequest, with every failure reported.
// The file itself is reached through two small ports so the reading is tested natively.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/FailureReporter.h"
#include "command/CommandRequest.h"

// Port: an open command file read line by line in text mode; closed when destroyed.
class CommandFile {
 public:
  virtual ~CommandFile() = default;
  // Empties `line`, reads the next line without its line feed; false at the end of the file.
  // Throws CFileException when the read itself fails.
  virtual bool ReadString(std::string& line) = 0;
};

// Port: opens a command file for reading, other writers locked out, or gives the reason code.
class CommandFileOpener {
 public:
  virtual ~CommandFileOpener() = default;
  virtual std::unique_ptr<CommandFile> Open(const std::string& path, uint32_t& reason) = 0;
};

std::unique_ptr<CommandFile> OpenCommandFile(CommandFileOpener& opener,
                                             const std::string& commandFilePath,
                                             const FailureReporter& reporter);

CommandRequest ReadCommandRequest(CommandFile& file, const std::string& commandFilePath,
                                  const FailureReporter& reporter);

bool IsStartCommand(const std::string& command);
