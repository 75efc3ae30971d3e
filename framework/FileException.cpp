// System error numbers to file-error reason codes.
// Kept as a sorted table so the lookup stays obviously complete and cheap.
#include "framework/FileException.h"

#include <algorithm>
#include <iterator>

namespace {

struct ErrorCause {
  uint32_t systemError;
  uint32_t cause;
};

constexpr ErrorCause kErrorCauses[] = {
    {0, CFileException::none},
    {2, CFileException::fileNotFound},
    {3, CFileException::badPath},
    {4, CFileException::tooManyOpenFiles},
    {5, CFileException::accessDenied},
    {6, CFileException::fileNotFound},
    {11, CFileException::invalidFile},
    {12, CFileException::accessDenied},
    {15, CFileException::badPath},
    {16, CFileException::removeCurrentDir},
    {17, CFileException::badPath},
    {18, CFileException::fileNotFound},
    {19, CFileException::accessDenied},
    {20, CFileException::hardIO},
    {21, CFileException::hardIO},
    {22, CFileException::hardIO},
    {23, CFileException::hardIO},
    {24, CFileException::badSeek},
    {25, CFileException::badSeek},
    {26, CFileException::invalidFile},
    {27, CFileException::badSeek},
    {29, CFileException::accessDenied},
    {30, CFileException::badSeek},
    {32, CFileException::sharingViolation},
    {33, CFileException::lockViolation},
    {34, CFileException::badPath},
    {36, CFileException::tooManyOpenFiles},
    {38, CFileException::endOfFile},
    {39, CFileException::diskFull},
    {52, CFileException::badPath},
    {53, CFileException::badPath},
    {54, CFileException::accessDenied},
    {55, CFileException::badPath},
    {57, CFileException::hardIO},
    {58, CFileException::accessDenied},
    {59, CFileException::hardIO},
    {60, CFileException::invalidFile},
    {62, CFileException::directoryFull},
    {64, CFileException::accessDenied},
    {65, CFileException::accessDenied},
    {66, CFileException::invalidFile},
    {67, CFileException::badPath},
    {68, CFileException::tooManyOpenFiles},
    {70, CFileException::badPath},
    {71, CFileException::accessDenied},
    {80, CFileException::accessDenied},
    {82, CFileException::accessDenied},
    {85, CFileException::badPath},
    {86, CFileException::accessDenied},
    {88, CFileException::hardIO},
    {107, CFileException::fileNotFound},
    {108, CFileException::lockViolation},
    {111, CFileException::badPath},
    {112, CFileException::diskFull},
    {113, CFileException::tooManyOpenFiles},
    {114, CFileException::invalidFile},
    {117, CFileException::hardIO},
    {123, CFileException::badPath},
    {124, CFileException::badPath},
    {125, CFileException::badPath},
    {131, CFileException::badSeek},
    {132, CFileException::badSeek},
    {144, CFileException::badPath},
    {145, CFileException::removeCurrentDir},
    {154, CFileException::badPath},
    {161, CFileException::badPath},
    {167, CFileException::lockViolation},
    {170, CFileException::accessDenied},
    {182, CFileException::invalidFile},
    {183, CFileException::accessDenied},
    {191, CFileException::invalidFile},
    {193, CFileException::invalidFile},
    {206, CFileException::badPath},
    {208, CFileException::badPath},
    {267, CFileException::badPath},
    {995, CFileException::hardIO},
    {996, CFileException::hardIO},
    {997, CFileException::hardIO},
    {999, CFileException::accessDenied},
};

}  // namespace

uint32_t CFileException::CauseFromSystemError(uint32_t systemError) {
  const auto* end = std::end(kErrorCauses);
  const auto* found = std::lower_bound(
      std::begin(kErrorCauses), end, systemError,
      [](const ErrorCause& entry, uint32_t error) { return entry.systemError < error; });
  return (found != end && found->systemError == systemError) ? found->cause : genericException;
}
