// Adapts CStdioFile to the command-file port of the portable reader.
#include "command/StdioCommandFile.h"

#include "framework/StdioFile.h"

namespace {

class StdioCommandFile : public CommandFile {
 public:
  bool Open(const std::string& path, uint32_t& reason) {
    CFileException error;
    const UINT flags = CStdioFile::modeRead | CStdioFile::shareDenyWrite |
                       CStdioFile::modeNoInherit | CStdioFile::typeText;
    if (m_file.Open(path.c_str(), flags, &error)) return true;
    reason = error.m_cause;
    return false;
  }
  bool ReadString(std::string& line) override { return m_file.ReadString(line); }

 private:
  CStdioFile m_file;
};

}  // namespace

std::unique_ptr<CommandFile> StdioCommandFileOpener::Open(const std::string& path,
                                                          uint32_t& reason) {
  auto file = std::make_unique<StdioCommandFile>();
  if (!file->Open(path, reason)) return nullptr;
  return file;
}
