// The mapping from system error numbers to file-error reason codes.
#include <gtest/gtest.h>

#include <set>

#include "framework/FileException.h"

namespace {

struct CauseRow {
  uint32_t cause;
  std::vector<uint32_t> systemErrors;
};

const CauseRow kRows[] = {
    {0x0, {0}},
    {0x2, {2, 6, 18, 107}},
    {0x3,
     {3, 15, 17, 34, 52, 53, 55, 67, 70, 85, 111, 123, 124, 125, 144, 154, 161, 206, 208, 267}},
    {0x4, {4, 36, 68, 113}},
    {0x5, {5, 12, 19, 29, 54, 58, 64, 65, 71, 80, 82, 86, 170, 183, 999}},
    {0x6, {11, 26, 60, 66, 114, 182, 191, 193}},
    {0x7, {16, 145}},
    {0x8, {62}},
    {0x9, {24, 25, 27, 30, 131, 132}},
    {0xa, {20, 21, 22, 23, 57, 59, 88, 117, 995, 996, 997}},
    {0xb, {32}},
    {0xc, {33, 108, 167}},
    {0xd, {39, 112}},
    {0xe, {38}},
};

TEST(CauseFromSystemError, MapsEveryListedNumber) {
  for (const auto& row : kRows) {
    for (uint32_t error : row.systemErrors) {
      SCOPED_TRACE(testing::Message() << "system error " << error);
      EXPECT_EQ(CFileException::CauseFromSystemError(error), row.cause);
    }
  }
}

TEST(CauseFromSystemError, EveryOtherNumberIsGeneric) {
  std::set<uint32_t> listed;
  for (const auto& row : kRows) listed.insert(row.systemErrors.begin(), row.systemErrors.end());
  // Neighbours of listed numbers and the ends of the range catch an off-by-one lookup.
  for (uint32_t error = 0; error <= 1100; ++error) {
    if (listed.count(error) != 0) continue;
    SCOPED_TRACE(testing::Message() << "system error " << error);
    EXPECT_EQ(CFileException::CauseFromSystemError(error), CFileException::genericException);
  }
  EXPECT_EQ(CFileException::CauseFromSystemError(0xFFFFFFFFu), CFileException::genericException);
  EXPECT_EQ(CFileException::CauseFromSystemError(0x80070002u), CFileException::genericException);
}

}  // namespace
