// Fuzzes text-mode decoding and ReadCommandRequest: a reading plan taken from the input's first
// bytes must give the same lines and the same request as one whole read and a reference decoder.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "app/FailureReporter.h"
#include "command/CommandFileReader.h"
#include "framework/FileException.h"
#include "framework/TextModeReader.h"

namespace {

// "%s" and "%x" in the path catch a text that is formatted twice.
const std::string kPath = "C:\\Calls\\%s%x call.txt";
const std::string kTruncatedText = "Read command file '" + kPath + "' failed end-of-file";
const std::string kReadFailedText = "Read command file '" + kPath + "' failed reason 1";
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

// Input layout: buffer size, flags, failing read, chunk sizes, then the file's bytes.
struct Plan {
  size_t bufferSize = 0;
  bool seekable = false;
  bool debugMode = false;
  size_t failOnRead = 0;  // 0: every read succeeds
  std::vector<size_t> chunkSizes;
  std::string file;
};

std::optional<Plan> ParsePlan(const uint8_t* data, size_t size) {
  if (size < 3) return std::nullopt;
  Plan plan;
  // Mostly tiny buffers, so reads end inside CR LF pairs; sometimes the program's own size.
  plan.bufferSize = data[0] >= 0xE0 ? TextModeReader::kDefaultBufferSize : 2 + data[0] % 32;
  plan.seekable = (data[1] & 1) != 0;
  plan.debugMode = (data[1] & 2) != 0;
  const size_t chunkCount = (data[1] >> 2) & 7;
  plan.failOnRead = data[2];
  if (size < 3 + chunkCount) return std::nullopt;
  for (size_t i = 0; i < chunkCount; ++i) plan.chunkSizes.push_back(1 + size_t{data[3 + i]});
  plan.file.assign(reinterpret_cast<const char*>(data) + 3 + chunkCount, size - 3 - chunkCount);
  return plan;
}

// Serves the file in reads cycling through the chunk sizes and records misuse by the reader.
class PlannedSource : public ByteSource {
 public:
  PlannedSource(const std::string& bytes, const std::vector<size_t>& chunkSizes, bool seekable,
                size_t failOnRead)
      : m_bytes(bytes), m_chunkSizes(chunkSizes), m_seekable(seekable), m_failOnRead(failOnRead) {}

  size_t Read(char* buffer, size_t capacity) override {
    FUZZ_CHECK(capacity > 0);     // a zero-byte read would look like the end of the file
    FUZZ_CHECK(!m_deliveredEnd);  // nothing is read after Ctrl-Z or the end of the file
    ++m_reads;
    if (m_reads == m_failOnRead) throw CFileException(CFileException::genericException);
    size_t size = std::min(capacity, m_bytes.size() - m_offset);
    if (!m_chunkSizes.empty())
      size = std::min(size, m_chunkSizes[(m_reads - 1) % m_chunkSizes.size()]);
    std::memcpy(buffer, m_bytes.data() + m_offset, size);
    m_deliveredEnd = size == 0 || std::memchr(buffer, 0x1A, size) != nullptr;
    m_offset += size;
    return size;
  }

  std::optional<uint64_t> Position() const override {
    if (!m_seekable) return std::nullopt;
    return m_offset;
  }

  // Going back re-reads what the reader only measured; the end is then still to come.
  void Seek(uint64_t position) override {
    FUZZ_CHECK(m_seekable && position <= m_offset);
    m_offset = static_cast<size_t>(position);
    m_deliveredEnd = false;
  }

  size_t Reads() const { return m_reads; }

 private:
  const std::string& m_bytes;
  const std::vector<size_t>& m_chunkSizes;
  bool m_seekable;
  size_t m_failOnRead;
  size_t m_offset = 0;
  size_t m_reads = 0;
  bool m_deliveredEnd = false;
};

// The reference decoder, whole buffer at once.
std::vector<std::string> ReferenceLines(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::string collapsed;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    collapsed += bytes[i];
  }
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t lf = collapsed.find('\n'); lf != std::string::npos;
       lf = collapsed.find('\n', start)) {
    lines.push_back(collapsed.substr(start, lf - start));
    start = lf + 1;
  }
  if (start < collapsed.size()) lines.push_back(collapsed.substr(start));
  return lines;
}

std::string Trimmed(const std::string& s) {
  const size_t first = s.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(kWhiteSpace) + 1 - first);
}

struct Outcome {
  std::optional<RunOutcome> aborted;
  CommandRequest request;
  std::vector<std::string> shown;
  size_t lineReads = 0;  // ReadString calls, the one that met the end included

  bool operator==(const Outcome& o) const {
    const CommandRequest& a = request;
    const CommandRequest& b = o.request;
    return aborted == o.aborted && shown == o.shown && lineReads == o.lineReads &&
           a.command == b.command && a.autoStart == b.autoStart && a.param1 == b.param1 &&
           a.param2 == b.param2 && a.param3 == b.param3 && a.param4 == b.param4 &&
           a.param5 == b.param5;
  }
};

// The reference reading of the request, over the reference lines.
Outcome ReferenceOutcome(const std::vector<std::string>& lines, bool debugMode) {
  Outcome outcome;
  size_t next = 0;
  auto readLine = [&](std::string& line) {
    ++outcome.lineReads;
    if (next == lines.size()) return false;
    line = lines[next++];
    return true;
  };
  std::string command;
  do {
    if (!readLine(command)) {
      outcome.aborted = RunOutcome::CommandFileWithoutCommand;
      return outcome;
    }
    command = Trimmed(command);
  } while (command.empty());
  outcome.request.command = command;
  std::string word = command;
  for (char& c : word) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  if (word != "start") return outcome;
  CommandRequest& r = outcome.request;
  for (std::string* field : {&r.autoStart, &r.param1, &r.param2, &r.param3, &r.param4, &r.param5}) {
    if (!readLine(*field)) {
      outcome.aborted = RunOutcome::CommandFileTruncated;
      outcome.request = {};  // the caller never sees a request from an aborted read
      if (debugMode) outcome.shown.push_back(kTruncatedText);
      return outcome;
    }
  }
  for (std::string* field : {&r.autoStart, &r.param1, &r.param2, &r.param4, &r.param5}) {
    *field = Trimmed(*field);
  }
  return outcome;
}

class RecordingDisplay : public FailureDisplay {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class CountingCommandFile : public CommandFile {
 public:
  explicit CountingCommandFile(TextModeReader& reader) : m_reader(reader) {}
  bool ReadString(std::string& line) override {
    ++reads;
    return m_reader.ReadString(line);
  }
  size_t reads = 0;

 private:
  TextModeReader& m_reader;
};

Outcome RunRequest(const Plan& plan, const std::vector<size_t>& chunkSizes, size_t bufferSize,
                   bool seekable, size_t failOnRead, size_t* sourceReads = nullptr) {
  PlannedSource source(plan.file, chunkSizes, seekable, failOnRead);
  TextModeReader reader(source, bufferSize);
  CountingCommandFile file(reader);
  RecordingDisplay display;
  const FailureReporter reporter(display, plan.debugMode);
  Outcome outcome;
  try {
    outcome.request = ReadCommandRequest(file, kPath, reporter);
  } catch (const RunAborted& aborted) {
    outcome.aborted = aborted.outcome;
  }
  outcome.shown = display.shown;
  outcome.lineReads = file.reads;
  if (sourceReads != nullptr) *sourceReads = source.Reads();
  return outcome;
}

void CheckLines(const Plan& plan, const std::vector<std::string>& expected) {
  PlannedSource source(plan.file, plan.chunkSizes, plan.seekable, 0);
  TextModeReader reader(source, plan.bufferSize);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadString(line)) lines.push_back(line);
  FUZZ_CHECK(line.empty());
  FUZZ_CHECK(lines == expected);
  // The end stays the end.
  line = "stale";
  FUZZ_CHECK(!reader.ReadString(line) && line.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<Plan> plan = ParsePlan(data, size);
  if (!plan) return 0;

  const std::vector<std::string> lines = ReferenceLines(plan->file);
  CheckLines(*plan, lines);

  const Outcome expected = ReferenceOutcome(lines, plan->debugMode);
  const size_t wholeBuffer = plan->file.size() + 1;  // one read takes the whole file
  size_t plannedReads = 0;
  FUZZ_CHECK(RunRequest(*plan, plan->chunkSizes, plan->bufferSize, plan->seekable, 0,
                        &plannedReads) == expected);
  FUZZ_CHECK(RunRequest(*plan, plan->chunkSizes, plan->bufferSize, !plan->seekable, 0) == expected);
  FUZZ_CHECK(RunRequest(*plan, {}, wholeBuffer, false, 0) == expected);
  FUZZ_CHECK(RunRequest(*plan, {}, wholeBuffer, true, 0) == expected);

  // A failing read aborts the run if the request needed it, and changes nothing otherwise.
  if (plan->failOnRead != 0) {
    const Outcome failed =
        RunRequest(*plan, plan->chunkSizes, plan->bufferSize, plan->seekable, plan->failOnRead);
    if (plan->failOnRead > plannedReads) {
      FUZZ_CHECK(failed == expected);
    } else {
      FUZZ_CHECK(failed.aborted == RunOutcome::CommandFileReadFailed);
      FUZZ_CHECK(failed.shown == (plan->debugMode ? std::vector<std::string>{kReadFailedText}
                                                  : std::vector<std::string>{}));
    }
  }
  return 0;
}
