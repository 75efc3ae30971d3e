// Text-mode decoding of a byte stream into lines.
// The buffer is decoded in place after each read, so line scanning is a plain memchr.
#include "framework/TextModeReader.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr uint64_t kGrowthLookahead = 4;

// Collapses each CR LF pair inside [data, data + size) into LF; returns the new size.
size_t CollapseCrLf(char* data, size_t size) {
  auto* firstCr = static_cast<char*>(std::memchr(data, '\r', size));
  if (firstCr == nullptr) return size;
  size_t read = static_cast<size_t>(firstCr - data);
  size_t written = read;
  while (read < size) {
    if (data[read] == '\r' && read + 1 < size && data[read + 1] == '\n') {
      ++read;
      continue;
    }
    data[written++] = data[read++];
  }
  return written;
}

}  // namespace

TextModeReader::TextModeReader(ByteSource& source, size_t bufferSize)
    : m_source(source), m_buffer(std::max<size_t>(bufferSize, 2)) {}

bool TextModeReader::Refill() {
  if (m_atEnd) return false;
  size_t start = 0;
  if (m_heldBackCr) {
    m_buffer[0] = '\r';
    start = 1;
    m_heldBackCr = false;
  }
  const size_t received = m_source.Read(m_buffer.data() + start, m_buffer.size() - start);
  size_t size = start + received;
  if (received == 0) m_atEnd = true;

  if (auto* ctrlZ = std::memchr(m_buffer.data() + start, kCtrlZ, received)) {
    size = static_cast<size_t>(static_cast<char*>(ctrlZ) - m_buffer.data());
    m_atEnd = true;
  }
  size = CollapseCrLf(m_buffer.data(), size);
  // A CR at the end of a read may pair with an LF from the next one.
  if (!m_atEnd && size > 0 && m_buffer[size - 1] == '\r') {
    m_heldBackCr = true;
    --size;
  }
  m_position = 0;
  m_end = size;
  return size > 0 || !m_atEnd;
}

void TextModeReader::AppendToLine(std::string& line, const char* data, size_t size) {
  const size_t needed = line.size() + size;
  if (needed > line.capacity()) {
    size_t target = std::max(needed, line.capacity() * 2);
    // The long line is usually the last one. Once what is left of the source is within a few
    // doublings, size the line for all of it at once: doubling up to it would hold up to three
    // times its length at the last step.
    if (auto remaining = m_source.RemainingHint()) {
      const uint64_t bound =
          uint64_t{needed} + (m_end - m_position - size) + (m_heldBackCr ? 1 : 0) + *remaining;
      if (bound <= uint64_t{target} * kGrowthLookahead && bound <= line.max_size()) {
        target = static_cast<size_t>(bound);
      }
    }
    // A fresh string takes exactly the capacity asked for; reserve() on a grown one may double.
    std::string grown;
    grown.reserve(std::min(target, grown.max_size()));
    grown.append(line);
    line.swap(grown);
  }
  line.append(data, size);
}

bool TextModeReader::ReadString(std::string& line) {
  line.clear();
  bool readAnything = false;
  for (;;) {
    if (m_position == m_end) {
      if (!Refill()) return readAnything;
      continue;
    }
    readAnything = true;
    const char* begin = m_buffer.data() + m_position;
    const size_t available = m_end - m_position;
    if (auto* lineFeed = std::memchr(begin, '\n', available)) {
      const size_t length = static_cast<size_t>(static_cast<const char*>(lineFeed) - begin);
      AppendToLine(line, begin, length);
      m_position += length + 1;
      return true;
    }
    AppendToLine(line, begin, available);
    m_position = m_end;
  }
}
