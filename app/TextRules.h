// The byte-level text rules the program shares: white space and ASCII-only case folding.
// Bytes from 0x80 up are never white space and never fold, whatever the code page.
#pragma once

#include <string>
#include <string_view>

namespace text {

constexpr bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

inline std::string_view TrimLeft(std::string_view s) {
  size_t begin = 0;
  while (begin < s.size() && IsWhiteSpace(s[begin])) ++begin;
  return s.substr(begin);
}

inline std::string_view TrimRight(std::string_view s) {
  size_t end = s.size();
  while (end > 0 && IsWhiteSpace(s[end - 1])) --end;
  return s.substr(0, end);
}

// In place, so a long value is never copied.
inline void Trim(std::string& s) {
  const size_t kept = TrimRight(s).size();
  s.erase(kept);
  s.erase(0, s.size() - TrimLeft(s).size());
}

}  // namespace text
