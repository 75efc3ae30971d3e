// The debug-only failure reporter and the formatting of its texts.
// Formatting is done here, not with printf, so a path of any length is shown whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/RunOutcome.h"

// Port: shows one failure text to the user and returns when it is dismissed.
class FailureDisplay {
 public:
  virtual ~FailureDisplay() = default;
  virtual void Show(const std::string& text) = 0;
};

class FailureReporter {
 public:
  FailureReporter(FailureDisplay& display, bool debugMode)
      : m_display(display), m_debugMode(debugMode) {}

  // Shows the text only in debug mode.
  void ReportFailure(const std::string& text) const;

  // Reports, then ends the run at the cleanup point.
  [[noreturn]] void Abort(const std::string& text, RunOutcome outcome) const;

 private:
  FailureDisplay& m_display;
  bool m_debugMode;
};

// Replaces "%s" with `path` and "%x" with `code` in lower-case hexadecimal, no prefix or padding.
std::string FormatFailureText(std::string_view pattern, std::string_view path, uint32_t code = 0);
std::string FormatFailureText(std::string_view pattern, uint32_t code);
