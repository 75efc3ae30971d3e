// Text-mode line decoding: line ends, CR handling, Ctrl-Z, long lines, read failures.
// Every row runs under several read boundaries; the lines must not depend on them.
#include <gtest/gtest.h>

#include "ByteSources.h"

namespace {

using testing_support::ChunkedSource;
using testing_support::ReadAllLines;
using namespace std::string_literals;

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;
};

void PrintTo(const DecodeCase& row, std::ostream* os) { *os << row.name; }

const DecodeCase kCases[] = {
    {"CrLfLines", "start\r\n1\r\n", {"start", "1"}},
    {"LfLines", "a\nb\n", {"a", "b"}},
    {"LastLineWithoutLineEnd", "a\nb", {"a", "b"}},
    {"EmptyFile", "", {}},
    {"OnlyLineFeeds", "\n\n", {"", ""}},
    // A CR not followed by LF is an ordinary character; CR-only files are one line.
    {"LoneCrStays", "a\rb\n", {"a\rb"}},
    {"CrOnlyFileIsOneLine", "a\rb\rc", {"a\rb\rc"}},
    {"CrBeforeCrLf", "\r\r\n", {"\r"}},
    {"LfThenCr", "a\n\rb", {"a", "\rb"}},
    {"CrAtEndOfFile", "a\r", {"a\r"}},
    {"CrCrLfLf", "a\r\r\n\n", {"a\r", ""}},
    // The first Ctrl-Z ends the file where it stands, also inside a line.
    {"CtrlZEndsFile",
     "a\nb\x1A"
     "c\nd\n",
     {"a", "b"}},
    {"CtrlZAtStart",
     "\x1A"
     "start\n",
     {}},
    {"CtrlZAfterLineEnd", "a\n\x1A\n", {"a"}},
    {"CrThenCtrlZ", "a\r\x1A\n", {"a\r"}},
    {"CrLfThenCtrlZ", "a\r\n\x1A", {"a"}},
    // NUL is an ordinary byte to the decoder.
    {"NulInsideLine", "a\0b\nc"s, {"a\0b"s, "c"}},
    {"HighBytesUntouched", "\xE9t\xE9\r\n\xFF", {"\xE9t\xE9", "\xFF"}},
};

const std::vector<std::vector<size_t>> kChunkings = {{}, {1}, {2}, {3}, {1, 2}, {5, 1}};

class DecodeTest : public testing::TestWithParam<DecodeCase> {};

// Tiny buffers make every line a long one, so the seekable runs measure lines ahead.
TEST_P(DecodeTest, SameLinesForEveryReadBoundary) {
  const auto& row = GetParam();
  for (bool seekable : {false, true}) {
    for (const auto& chunking : kChunkings) {
      for (size_t bufferSize : {size_t{2}, size_t{3}, size_t{4096}}) {
        SCOPED_TRACE(testing::Message() << (seekable ? "seekable" : "stream") << ", buffer "
                                        << bufferSize << ", chunking " << chunking.size() << "/"
                                        << (chunking.empty() ? 0 : chunking[0]));
        ChunkedSource source(row.bytes, chunking, seekable);
        TextModeReader reader(source, bufferSize);
        EXPECT_EQ(ReadAllLines(reader), row.lines);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, DecodeTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextModeReader, CrLfSplitAcrossTwoReadsBecomesOneLineEnd) {
  // The first read ends with CR, the second begins with LF.
  ChunkedSource source("start\r\nstop\r\n", {6, 100});
  TextModeReader reader(source);
  EXPECT_EQ(ReadAllLines(reader), (std::vector<std::string>{"start", "stop"}));
}

TEST(TextModeReader, LongLastLineIsReadWhole) {
  const std::string longLine(3 * 1024 * 1024 + 17, 'x');
  ChunkedSource source("start\n" + longLine, {});
  TextModeReader reader(source, 4096);
  EXPECT_EQ(ReadAllLines(reader), (std::vector<std::string>{"start", longLine}));
}

TEST(TextModeReader, LongLineInASeekableSourceIsAllocatedForItsLength) {
  const std::string longLine(3 * 1024 * 1024 + 17, 'x');
  // Last line, and a line followed by a tail twice its length: neither may be over-allocated.
  for (const std::string& tail : {std::string(), "\r\n" + std::string(6 * 1024 * 1024, 't')}) {
    SCOPED_TRACE(tail.size());
    ChunkedSource source("a\n" + longLine + tail, {}, /*seekable=*/true);
    TextModeReader reader(source, 4096);
    std::string line;
    ASSERT_TRUE(reader.ReadString(line));
    ASSERT_TRUE(reader.ReadString(line));
    EXPECT_EQ(line, longLine);
    // Doubling would end at 4 MiB; measured ahead, the line is allocated once at its length.
    EXPECT_LE(line.capacity(), longLine.size() + 2);
  }
}

TEST(TextModeReader, MeasuringAheadLeavesTheRestOfTheFileInPlace) {
  const std::string longLine = std::string(70000, 'x') + "\r" + std::string(5000, 'y');
  ChunkedSource source("start\r\n" + longLine + "\r\nnext\r\nz\x1Anever", {4095, 1},
                       /*seekable=*/true);
  TextModeReader reader(source, 4096);
  EXPECT_EQ(ReadAllLines(reader), (std::vector<std::string>{"start", longLine, "next", "z"}));
}

// A file that grows while it is read, also after its long line was measured ahead.
class GrowingSource : public ByteSource {
 public:
  explicit GrowingSource(std::string bytes) : m_bytes(std::move(bytes)) {}
  std::optional<uint64_t> Position() const override { return m_offset; }
  void Seek(uint64_t position) override { m_offset = static_cast<size_t>(position); }
  size_t Read(char* buffer, size_t capacity) override {
    if (m_offset == m_bytes.size() && m_growths-- > 0) m_bytes.append(100000, 'g');
    const size_t size = std::min(capacity, m_bytes.size() - m_offset);
    std::memcpy(buffer, m_bytes.data() + m_offset, size);
    m_offset += size;
    return size;
  }

 private:
  std::string m_bytes;
  size_t m_offset = 0;
  int m_growths = 3;
};

TEST(TextModeReader, FileGrowingWhileReadIsReadToItsNewEnd) {
  GrowingSource source("a\n" + std::string(50000, 'x'));
  TextModeReader reader(source, 4096);
  EXPECT_EQ(ReadAllLines(reader),
            (std::vector<std::string>{"a", std::string(50000, 'x') + std::string(300000, 'g')}));
}

TEST(TextModeReader, NothingIsReadAfterCtrlZ) {
  ChunkedSource source("stop\x1A" + std::string(10000, 'y'), {8});
  TextModeReader reader(source);
  EXPECT_EQ(ReadAllLines(reader), (std::vector<std::string>{"stop"}));
  EXPECT_EQ(source.Offset(), 8u);
}

TEST(TextModeReader, LongLineEndedByCtrlZIsNotMeasuredPastIt) {
  // The read that brings the Ctrl-Z also makes the line outgrow the buffer; a third read fails.
  ChunkedSource source("ab" "cd\x1A" "after", {2, 3}, /*seekable=*/true);
  source.FailOnRead(3);
  TextModeReader reader(source, 4);
  EXPECT_EQ(ReadAllLines(reader), (std::vector<std::string>{"abcd"}));
}

TEST(TextModeReader, EndOfFileIsStickyAndEmptiesTheLine) {
  ChunkedSource source("a", {});
  TextModeReader reader(source);
  std::string line = "stale";
  ASSERT_TRUE(reader.ReadString(line));
  EXPECT_EQ(line, "a");
  line = "stale";
  EXPECT_FALSE(reader.ReadString(line));
  EXPECT_EQ(line, "");
  EXPECT_FALSE(reader.ReadString(line));
}

TEST(TextModeReader, ReadFailureRaisesGenericFileError) {
  ChunkedSource source("first\nsecond\n", {6});
  source.FailOnRead(2);
  TextModeReader reader(source, 6);
  std::string line;
  ASSERT_TRUE(reader.ReadString(line));
  EXPECT_EQ(line, "first");
  try {
    reader.ReadString(line);
    FAIL() << "the failed read was not raised";
  } catch (const CFileException& error) {
    EXPECT_EQ(error.m_cause, CFileException::genericException);
  }
}

}  // namespace
