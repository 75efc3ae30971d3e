// Buffered text-mode file reading on a Win32 file handle, with reason-coded open failures.
// Only what opening and reading a command file needs.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "framework/FileException.h"
#include "framework/TextModeReader.h"

// Owns a file handle; both NULL and INVALID_HANDLE_VALUE mean none.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(HANDLE handle) : m_handle(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(FileHandle&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
  FileHandle& operator=(FileHandle&& other) noexcept {
    if (this != &other) {
      Close();
      m_handle = other.m_handle;
      other.m_handle = nullptr;
    }
    return *this;
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool IsOpen() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_handle; }
  void Close() {
    if (IsOpen()) CloseHandle(m_handle);
    m_handle = nullptr;
  }

 private:
  HANDLE m_handle = nullptr;
};

class CStdioFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    shareDenyWrite = 0x0020,
    modeNoInherit = 0x0080,
    typeText = 0x4000,
  };

  CStdioFile() = default;
  CStdioFile(const CStdioFile&) = delete;
  CStdioFile& operator=(const CStdioFile&) = delete;

  // Opens an existing file for reading in text mode; on failure fills `error` and returns false.
  // Supports exactly the flags above.
  bool Open(const char* fileName, UINT openFlags, CFileException* error);

  // Empties `line`, reads the next line whole without its LF; false at the end of the file.
  // Throws CFileException (generic) when the read fails.
  bool ReadString(std::string& line);

  void Close();

 private:
  class HandleSource : public ByteSource {
   public:
    explicit HandleSource(HANDLE handle) : m_handle(handle) {}
    size_t Read(char* buffer, size_t capacity) override;
    std::optional<uint64_t> Position() const override;
    void Seek(uint64_t position) override;

   private:
    HANDLE m_handle;
  };

  FileHandle m_handle;
  std::unique_ptr<HandleSource> m_source;
  std::unique_ptr<TextModeReader> m_reader;
};
