// Recording fakes shared by the core tests: the failure display and an in-memory command file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ByteSources.h"
#include "app/FailureReporter.h"
#include "command/CommandFileReader.h"

namespace testing_support {

class RecordingDisplay : public FailureDisplay {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// A command file over bytes in memory, decoded by the real text-mode reader.
class MemoryCommandFile : public CommandFile {
 public:
  explicit MemoryCommandFile(std::string bytes, std::vector<size_t> chunking = {})
      : m_source(std::move(bytes), std::move(chunking)), m_reader(m_source, 7) {}
  bool ReadString(std::string& line) override { return m_reader.ReadString(line); }
  ChunkedSource& Source() { return m_source; }

 private:
  ChunkedSource m_source;
  TextModeReader m_reader;
};

}  // namespace testing_support
