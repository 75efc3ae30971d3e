// Line reading in text mode over a raw byte stream: CR LF becomes LF, the first Ctrl-Z ends
// the stream. Portable, so the decoding is tested natively with any read boundaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `capacity` bytes; returns 0 only at the end of the stream.
  // Throws CFileException when the read itself fails.
  virtual size_t Read(char* buffer, size_t capacity) = 0;
  // Bytes still to come, when the source knows; lets one long line be allocated once.
  virtual std::optional<uint64_t> RemainingHint() const { return std::nullopt; }
};

class TextModeReader {
 public:
  static constexpr size_t kDefaultBufferSize = 64 * 1024;

  explicit TextModeReader(ByteSource& source, size_t bufferSize = kDefaultBufferSize);
  TextModeReader(const TextModeReader&) = delete;
  TextModeReader& operator=(const TextModeReader&) = delete;

  // Empties `line`, then reads the next line whole and drops the LF that ends it. Returns false
  // at the end of the stream when nothing more was read; `line` is then empty.
  bool ReadString(std::string& line);

 private:
  bool Refill();
  void AppendToLine(std::string& line, const char* data, size_t size);

  ByteSource& m_source;
  std::vector<char> m_buffer;
  size_t m_position = 0;
  size_t m_end = 0;
  bool m_heldBackCr = false;
  bool m_atEnd = false;
};
