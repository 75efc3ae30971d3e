// The file error that opening and reading the command file raise, with its reason code.
// Portable: the reason table is plain data, so it is tested natively.
#pragma once

#include <cstdint>

class CFileException {
 public:
  enum Cause : uint32_t {
    none = 0x0,
    genericException = 0x1,
    fileNotFound = 0x2,
    badPath = 0x3,
    tooManyOpenFiles = 0x4,
    accessDenied = 0x5,
    invalidFile = 0x6,
    removeCurrentDir = 0x7,
    directoryFull = 0x8,
    badSeek = 0x9,
    hardIO = 0xa,
    sharingViolation = 0xb,
    lockViolation = 0xc,
    diskFull = 0xd,
    endOfFile = 0xe,
  };

  explicit CFileException(uint32_t cause = none) : m_cause(cause) {}

  // Maps a system error number (GetLastError) to a reason code; unlisted numbers are generic.
  static uint32_t CauseFromSystemError(uint32_t systemError);

  uint32_t m_cause;
};
