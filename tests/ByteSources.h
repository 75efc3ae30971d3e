// In-memory byte sources for the decoder tests: fixed read boundaries, failures on demand.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/FileException.h"
#include "framework/TextModeReader.h"

namespace testing_support {

// Serves `bytes` in reads whose sizes cycle through `chunkSizes`; can fail on a chosen read and
// can be seekable, as a file is.
class ChunkedSource : public ByteSource {
 public:
  ChunkedSource(std::string bytes, std::vector<size_t> chunkSizes, bool seekable = false)
      : m_bytes(std::move(bytes)), m_chunkSizes(std::move(chunkSizes)), m_seekable(seekable) {}

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

  std::optional<uint64_t> Position() const override {
    if (!m_seekable) return std::nullopt;
    return m_offset;
  }
  void Seek(uint64_t position) override {
    ASSERT_TRUE(m_seekable && position <= m_offset) << "seek to a position never given";
    m_offset = static_cast<size_t>(position);
  }

  void FailOnRead(size_t read) { m_failOnRead = read; }
  size_t Reads() const { return m_reads; }
  size_t Offset() const { return m_offset; }

 private:
  std::string m_bytes;
  std::vector<size_t> m_chunkSizes;
  bool m_seekable;
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
