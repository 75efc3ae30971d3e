// Benchmarks reading a command file from disk: a start record with a very long last line, raw
// reading of the same file, and the record followed by a long tail; with peak heap per line.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/FailureReporter.h"
#include "command/CommandFileReader.h"
#include "framework/FileException.h"
#include "framework/TextModeReader.h"

// ---- Heap accounting: every plain new/delete goes through here (the benchmarks are
// single-threaded, so plain counters do).
namespace heap {
size_t current = 0;
size_t peak = 0;
// Keeps the block size in front of the block, so unsized delete can subtract it.
constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t size) noexcept {
  auto* block = static_cast<char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<size_t*>(block) = size;
  current += size;
  if (current > peak) peak = current;
  return block + kHeader;
}

void Free(void* pointer) noexcept {
  if (pointer == nullptr) return;
  char* block = static_cast<char*>(pointer) - kHeader;
  current -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}

void* AllocateOrThrow(size_t size) {
  if (void* pointer = Allocate(size)) return pointer;
  throw std::bad_alloc();
}
}  // namespace heap

void* operator new(size_t size) { return heap::AllocateOrThrow(size); }
void* operator new[](size_t size) { return heap::AllocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return heap::Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return heap::Allocate(size); }
void operator delete(void* pointer) noexcept { heap::Free(pointer); }
void operator delete[](void* pointer) noexcept { heap::Free(pointer); }
void operator delete(void* pointer, size_t) noexcept { heap::Free(pointer); }
void operator delete[](void* pointer, size_t) noexcept { heap::Free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { heap::Free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { heap::Free(pointer); }

namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr char kPath[] = "bench-command-file.txt";
const std::string kRecordHead =
    "start\r\n1\r\nAlice Example\r\nalice@example.com\r\n Meeting room 4 \r\nextension 12\r\n";

size_t MiBFromEnvironment(const char* name, size_t fallback) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  return static_cast<size_t>(std::strtoull(value, nullptr, 10));
}

[[noreturn]] void Fail(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

// The command file as the program sees it: POSIX reads, positions from lseek.
class PosixFileSource : public ByteSource {
 public:
  explicit PosixFileSource(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY)) {
    if (m_fd < 0) Fail("open " + path);
  }
  ~PosixFileSource() override { ::close(m_fd); }
  PosixFileSource(const PosixFileSource&) = delete;
  PosixFileSource& operator=(const PosixFileSource&) = delete;

  size_t Read(char* buffer, size_t capacity) override {
    for (;;) {
      const ssize_t got = ::read(m_fd, buffer, capacity);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) throw CFileException(CFileException::hardIO);
    }
  }

  std::optional<uint64_t> Position() const override {
    const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
    if (position < 0) return std::nullopt;
    return static_cast<uint64_t>(position);
  }

  void Seek(uint64_t position) override {
    if (::lseek(m_fd, static_cast<off_t>(position), SEEK_SET) < 0) {
      throw CFileException(CFileException::badSeek);
    }
  }

  int Descriptor() const { return m_fd; }

 private:
  int m_fd;
};

class ReaderCommandFile : public CommandFile {
 public:
  explicit ReaderCommandFile(ByteSource& source) : m_reader(source) {}
  bool ReadString(std::string& line) override { return m_reader.ReadString(line); }

 private:
  TextModeReader m_reader;
};

class SilentDisplay : public FailureDisplay {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

// The files, written once into a private temporary folder that goes when the run ends.
struct BenchFiles {
  std::string dir;
  std::string recordOnly;
  std::string withTail;
  size_t lineBytes = 0;
  size_t tailBytes = 0;

  BenchFiles(size_t lineMiB, size_t tailMiB)
      : lineBytes(lineMiB * kMiB), tailBytes(tailMiB * kMiB) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/sarnivox-bench.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp " + pattern);
    dir = pattern;
    recordOnly = dir + "/record-" + kPath;
    withTail = dir + "/tail-" + kPath;
    Write(recordOnly, false);
    Write(withTail, true);
  }
  ~BenchFiles() {
    ::unlink(recordOnly.c_str());
    ::unlink(withTail.c_str());
    ::rmdir(dir.c_str());
  }

  void Write(const std::string& path, bool tail) const {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) Fail("create " + path);
    WriteAll(fd, kRecordHead);
    // The long line: printable text, no line end and no Ctrl-Z.
    std::string block(kMiB, ' ');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>('!' + i % 90);
    for (size_t done = 0; done < lineBytes; done += block.size()) {
      WriteAll(fd, block.substr(0, std::min(block.size(), lineBytes - done)));
    }
    if (tail) {
      std::string tailBlock;
      while (tailBlock.size() < kMiB) tailBlock += "a line after the record, never looked at\r\n";
      tailBlock.resize(kMiB);
      WriteAll(fd, "\r\n");
      for (size_t done = 0; done < tailBytes; done += tailBlock.size()) {
        WriteAll(fd, tailBlock.substr(0, std::min(tailBlock.size(), tailBytes - done)));
      }
    }
    if (::close(fd) != 0) Fail("close " + path);
  }

  static void WriteAll(int fd, const std::string& bytes) {
    for (size_t done = 0; done < bytes.size();) {
      const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) Fail("write");
      done += static_cast<size_t>(wrote);
    }
  }

  size_t RecordOnlySize() const { return kRecordHead.size() + lineBytes; }
};

BenchFiles* g_files = nullptr;

void ReadRequest(benchmark::State& state, const std::string& path, size_t fileBytes) {
  size_t peakAbove = 0;
  for (auto _ : state) {
    const size_t base = heap::current;
    heap::peak = base;
    {
      PosixFileSource source(path);
      ReaderCommandFile file(source);
      SilentDisplay display;
      const FailureReporter reporter(display, true);
      CommandRequest request = ReadCommandRequest(file, path, reporter);
      benchmark::DoNotOptimize(request.param5.data());
      if (request.command != "start" || request.param5.size() != g_files->lineBytes ||
          !display.shown.empty()) {
        state.SkipWithError("the request was not read whole");
      }
    }
    peakAbove = std::max(peakAbove, heap::peak - base);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileBytes));
  state.counters["peak_heap_MiB"] = static_cast<double>(peakAbove) / kMiB;
  state.counters["peak_per_line"] =
      static_cast<double>(peakAbove) / static_cast<double>(g_files->lineBytes);
}

void BM_ReadRequestLongLastLine(benchmark::State& state) {
  ReadRequest(state, g_files->recordOnly, g_files->RecordOnlySize());
}

// The record is all that is read, so the bytes counted are the record's, as above.
void BM_ReadRequestWithTail(benchmark::State& state) {
  ReadRequest(state, g_files->withTail, g_files->RecordOnlySize());
}

void BM_RawReadAndFindLineEnds(benchmark::State& state) {
  for (auto _ : state) {
    PosixFileSource source(g_files->recordOnly);
    std::vector<char> buffer(TextModeReader::kDefaultBufferSize);
    size_t lineEnds = 0;
    for (size_t got; (got = source.Read(buffer.data(), buffer.size())) != 0;) {
      const char* at = buffer.data();
      const char* end = at + got;
      while (const void* lf = std::memchr(at, '\n', static_cast<size_t>(end - at))) {
        ++lineEnds;
        at = static_cast<const char*>(lf) + 1;
      }
    }
    benchmark::DoNotOptimize(lineEnds);
    if (lineEnds != 6) state.SkipWithError("wrong number of line ends");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * g_files->RecordOnlySize()));
}

// The floor for any reader that must hand back the line in memory: the same reads, straight
// into one fresh allocation of the file's size, so only the first touch of that memory is added.
void BM_RawReadIntoOneAllocation(benchmark::State& state) {
  const size_t fileBytes = g_files->RecordOnlySize();
  for (auto _ : state) {
    PosixFileSource source(g_files->recordOnly);
    std::unique_ptr<char[]> whole(new char[fileBytes + 1]);
    size_t lineEnds = 0;
    size_t size = 0;
    for (size_t got;
         (got = source.Read(whole.get() + size, std::min(TextModeReader::kDefaultBufferSize,
                                                         fileBytes + 1 - size))) != 0;) {
      const char* at = whole.get() + size;
      const char* end = at + got;
      while (const void* lf = std::memchr(at, '\n', static_cast<size_t>(end - at))) {
        ++lineEnds;
        at = static_cast<const char*>(lf) + 1;
      }
      size += got;
    }
    benchmark::DoNotOptimize(whole.get());
    if (lineEnds != 6 || size != fileBytes) state.SkipWithError("the file was not read whole");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileBytes));
}

BENCHMARK(BM_RawReadAndFindLineEnds)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawReadIntoOneAllocation)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadRequestLongLastLine)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadRequestWithTail)->Unit(benchmark::kMillisecond)->UseRealTime();

// The console report, then the comparisons the goals are stated in.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colour only on a terminal, so saved output stays plain text.
  RatioReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Sample& sample = m_samples[run.run_name.function_name];
      const auto rate = run.counters.find("bytes_per_second");
      if (rate != run.counters.end()) sample.bytesPerSecond += rate->second.value;
      sample.realTime += run.GetAdjustedRealTime();
      ++sample.count;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::ostream& out = GetOutputStream();
    if (Has("BM_ReadRequestLongLastLine") && Has("BM_RawReadAndFindLineEnds")) {
      out << "throughput request/raw: "
          << Mean("BM_ReadRequestLongLastLine").bytesPerSecond /
                 Mean("BM_RawReadAndFindLineEnds").bytesPerSecond
          << " (goal >= 0.8)\n";
    }
    if (Has("BM_ReadRequestLongLastLine") && Has("BM_RawReadIntoOneAllocation")) {
      out << "throughput request/raw into one allocation: "
          << Mean("BM_ReadRequestLongLastLine").bytesPerSecond /
                 Mean("BM_RawReadIntoOneAllocation").bytesPerSecond
          << " (what the reader itself costs over the unavoidable first touch)\n";
    }
    if (Has("BM_ReadRequestWithTail") && Has("BM_ReadRequestLongLastLine")) {
      out << "time with tail/record alone: "
          << Mean("BM_ReadRequestWithTail").realTime / Mean("BM_ReadRequestLongLastLine").realTime
          << " (goal ~1: the tail costs nothing)\n";
    }
  }

 private:
  struct Sample {
    double bytesPerSecond = 0;
    double realTime = 0;
    int count = 0;
  };
  bool Has(const std::string& name) const { return m_samples.count(name) != 0; }
  Sample Mean(const std::string& name) const {
    Sample sample = m_samples.at(name);
    sample.bytesPerSecond /= sample.count;
    sample.realTime /= sample.count;
    return sample;
  }
  std::map<std::string, Sample> m_samples;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Sizes in MiB; small values give a quick run.
  const size_t lineMiB = MiBFromEnvironment("SARNIVOX_BENCH_MIB", 256);
  const size_t tailMiB = MiBFromEnvironment("SARNIVOX_BENCH_TAIL_MIB", 2 * lineMiB);
  if (lineMiB == 0) {
    std::fprintf(stderr, "SARNIVOX_BENCH_MIB must be at least 1\n");
    return 1;
  }
  BenchFiles files(lineMiB, tailMiB);
  g_files = &files;
  benchmark::AddCustomContext("long line MiB", std::to_string(lineMiB));
  benchmark::AddCustomContext("tail MiB", std::to_string(tailMiB));
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
