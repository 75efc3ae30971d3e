// CStdioFile on CreateFileA and ReadFile, decoded by the portable text-mode reader.
#include "framework/StdioFile.h"

#include <algorithm>

bool CStdioFile::Open(const char* fileName, UINT openFlags, CFileException* error) {
  Close();
  const DWORD share = (openFlags & shareDenyWrite) != 0 ? FILE_SHARE_READ : 0;
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr,
                                  (openFlags & modeNoInherit) != 0 ? FALSE : TRUE};
  FileHandle handle(CreateFileA(fileName, GENERIC_READ, share, &security, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.IsOpen()) {
    if (error != nullptr) error->m_cause = CFileException::CauseFromSystemError(GetLastError());
    return false;
  }
  m_handle = std::move(handle);
  m_source = std::make_unique<HandleSource>(m_handle.Get());
  m_reader = std::make_unique<TextModeReader>(*m_source);
  return true;
}

bool CStdioFile::ReadString(std::string& line) {
  if (m_reader == nullptr) throw CFileException(CFileException::genericException);
  return m_reader->ReadString(line);
}

void CStdioFile::Close() {
  m_reader.reset();
  m_source.reset();
  m_handle.Close();
}

size_t CStdioFile::HandleSource::Read(char* buffer, size_t capacity) {
  const DWORD wanted = static_cast<DWORD>(std::min<size_t>(capacity, 1u << 30));
  DWORD received = 0;
  if (!ReadFile(m_handle, buffer, wanted, &received, nullptr)) {
    throw CFileException(CFileException::genericException);
  }
  return received;
}

std::optional<uint64_t> CStdioFile::HandleSource::Position() const {
  LARGE_INTEGER position;
  const LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(m_handle, zero, &position, FILE_CURRENT)) return std::nullopt;
  return static_cast<uint64_t>(position.QuadPart);
}

void CStdioFile::HandleSource::Seek(uint64_t position) {
  LARGE_INTEGER target;
  target.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(m_handle, target, nullptr, FILE_BEGIN)) {
    throw CFileException(CFileException::genericException);
  }
}
