// Failure reporting: debug-mode message display and the text formatting it needs.
#include "app/FailureReporter.h"

void FailureReporter::ReportFailure(const std::string& text) const {
  if (m_debugMode) m_display.Show(text);
}

void FailureReporter::Abort(const std::string& text, RunOutcome outcome) const {
  ReportFailure(text);
  throw RunAborted{outcome};
}

namespace {

std::string ToLowerHex(uint32_t value) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return digits;
}

}  // namespace

std::string FormatFailureText(std::string_view pattern, std::string_view path, uint32_t code) {
  std::string result;
  result.reserve(pattern.size() + path.size() + 8);
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size()) {
      if (pattern[i + 1] == 's') {
        result.append(path);
        ++i;
        continue;
      }
      if (pattern[i + 1] == 'x') {
        result.append(ToLowerHex(code));
        ++i;
        continue;
      }
    }
    result.push_back(pattern[i]);
  }
  return result;
}

std::string FormatFailureText(std::string_view pattern, uint32_t code) {
  return FormatFailureText(pattern, {}, code);
}
