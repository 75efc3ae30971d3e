// In-memory byte sources for the decoder tests: fixed read boundaries, failures on demand.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/FileException.h"
#include "framework/TextModeReader.h"

namespace testing_support {

// Serves `bytes` in reads whose sizes cycle through `chunkSizes`; can fail on a chosen read.
class ChunkedSource : public ByteSource {
 public:
  ChunkedSource(std::string bytes, std::vector<size_t> chunkSizes, bool reportsRemaining = false)
      : m_bytes(std::move(bytes)),
        m_chunkSizes(std::move(chunkSizes)),
        m_reportsRemaining(reportsRemaining) {}

  size_t Read(char* buffer, size_t capacity) override {
    ++m_reads;
    if (m_reads == m_failOnRead) throw CFileException(CFileException::genericException);
    size_t size = std::min(capacity, m_bytes.size() - m_offset);
    if (!m_chunkSizes.empty()) {
      size = std::min(size, m_chunkSizes[(m_reads - 1) % m_chunkSizes.size()]);
    }
    std::memcpy(buffer, m_bytes.data() + m_offset, size);
    m_offset += size;
    return size;
  }

  std::optional<uint64_t> RemainingHint() const override {
    if (!m_reportsRemaining) return std::nullopt;
    return m_bytes.size() - m_offset;
  }

  void FailOnRead(size_t read) { m_failOnRead = read; }
  size_t Reads() const { return m_reads; }
  size_t BytesServed() const { return m_offset; }

 private:
  std::string m_bytes;
  std::vector<size_t> m_chunkSizes;
  bool m_reportsRemaining;
  size_t m_offset = 0;
  size_t m_reads = 0;
  size_t m_failOnRead = 0;
};

inline std::vector<std::string> ReadAllLines(TextModeReader& reader) {
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadString(line)) lines.push_back(line);
  return lines;
}

}  // namespace testing_support
