// Text-mode decoding of a byte stream into lines.
// The buffer is decoded in place after each read, so line scanning is a plain memchr.
#include "framework/TextModeReader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr char kCtrlZ = 0x1A;

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

// A line that outgrows the buffer is measured ahead in raw reads and then held in one
// allocation of its length: doubling would hold up to three times the line at its last step.
void TextModeReader::ReserveRestOfLine(std::string& line) {
  const std::optional<uint64_t> start = m_source.Position();
  if (!start) return;
  const uint64_t ahead = RawBytesToLineEnd();
  m_source.Seek(*start);
  // Raw bytes bound the decoded ones: CR LF only ever shrinks to LF.
  const uint64_t length = uint64_t{line.size()} + (m_heldBackCr ? 1 : 0) + ahead;
  if (length > line.max_size()) throw std::bad_alloc();
  std::string sized;
  sized.reserve(static_cast<size_t>(length));
  sized.append(line);
  line.swap(sized);
}

// Called once the buffer is used up, so the buffer itself holds the raw reads.
uint64_t TextModeReader::RawBytesToLineEnd() {
  uint64_t counted = 0;
  for (;;) {
    const size_t received = m_source.Read(m_buffer.data(), m_buffer.size());
    if (received == 0) return counted;
    const char* data = m_buffer.data();
    const auto* lineFeed = static_cast<const char*>(std::memchr(data, '\n', received));
    const size_t scanned = lineFeed != nullptr ? static_cast<size_t>(lineFeed - data) : received;
    if (auto* ctrlZ = static_cast<const char*>(std::memchr(data, kCtrlZ, scanned))) {
      return counted + static_cast<size_t>(ctrlZ - data);
    }
    counted += scanned;
    if (lineFeed != nullptr) return counted;
  }
}

bool TextModeReader::ReadString(std::string& line) {
  line.clear();
  bool readAnything = false;
  bool measured = false;
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
      line.append(begin, length);
      m_position += length + 1;
      return true;
    }
    line.append(begin, available);
    m_position = m_end;
    // After a Ctrl-Z the line is complete and the source must not be read again.
    if (!measured && !m_atEnd && line.size() >= m_buffer.size()) {
      measured = true;
      ReserveRestOfLine(line);
    }
  }
}
