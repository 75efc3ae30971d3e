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
  // Where the next read starts, when the source can go back there with Seek. Lets a reader
  // measure a long line ahead and hold it in one allocation of its length.
  virtual std::optional<uint64_t> Position() const { return std::nullopt; }
  // Called only with a position this source gave. Throws CFileException when it fails.
  virtual void Seek(uint64_t /*position*/) {}
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
  void ReserveRestOfLine(std::string& line);
  uint64_t RawBytesToLineEnd();

  ByteSource& m_source;
  std::vector<char> m_buffer;
  size_t m_position = 0;
  size_t m_end = 0;
  bool m_heldBackCr = false;
  bool m_atEnd = false;
};
