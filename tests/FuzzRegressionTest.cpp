// Inputs the fuzzers found, kept as tests: each failed once on a core that measured a long line
// ahead even when the refill that completed it had already met Ctrl-Z or the end of the file.
#include <gtest/gtest.h>

#include "ByteSources.h"

namespace {

using testing_support::ChunkedSource;
using testing_support::ReadAllLines;

constexpr bool kSeekable = true;

// The refill that reaches Ctrl-Z is also the one that makes the line as long as the buffer.
TEST(FuzzRegression, LineCompletedByCtrlZIsNotMeasuredPastIt) {
  ChunkedSource source("xxxx\x1A" + std::string(100000, 'y'), {3, 100}, kSeekable);
  TextModeReader reader(source, 4);
  EXPECT_EQ(ReadAllLines(reader), std::vector<std::string>{"xxxx"});
  // Read 1 serves "xxx", read 2 "x\x1Ayy"; the bytes after Ctrl-Z are never asked for.
  EXPECT_EQ(source.Reads(), 2u);
}

// Found by fuzz_command_file as "\0stop\r\r" with a 7-byte buffer: the held-back CR comes in
// with the end of the file and fills the line to the buffer's size.
TEST(FuzzRegression, LineCompletedByTheEndOfTheFileIsNotMeasuredPastIt) {
  ChunkedSource source(std::string("\0stop\r\r", 7), {}, kSeekable);
  TextModeReader reader(source, 7);
  EXPECT_EQ(ReadAllLines(reader), std::vector<std::string>{std::string("\0stop\r\r", 7)});
  // Read 1 serves the whole file, read 2 reports its end; there is no read 3.
  EXPECT_EQ(source.Reads(), 2u);
}

}  // namespace
