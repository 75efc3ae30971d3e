// Fuzzes InterpretCommandLine against a second, independently written interpretation and
// against properties every result must have, whatever the bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "app/CommandLine.h"

namespace {

constexpr std::string_view kNameLower = "sarnivox.exe";
constexpr std::string_view kSwitchLower = "/debug";
constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string AsciiLower(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool StartsWithIgnoringCase(std::string_view s, std::string_view lowerPrefix) {
  return AsciiLower(s.substr(0, lowerPrefix.size())) == lowerPrefix;
}

// The reference: works on a lower-cased copy with standard searches, cutting by index.
Invocation Reference(std::string_view original) {
  const std::string lower = AsciiLower(original);
  size_t name = lower.rfind(kNameLower);
  if (name == std::string::npos) name = 0;
  size_t cursor = std::min(name + kNameLower.size(), lower.size());
  auto skipToken = [&] {
    cursor = lower.find_first_of(" \t", cursor);
    if (cursor == std::string::npos) cursor = lower.size();
  };
  auto skipWhiteSpace = [&] {
    cursor = lower.find_first_not_of(kWhiteSpace, cursor);
    if (cursor == std::string::npos) cursor = lower.size();
  };
  skipToken();
  skipWhiteSpace();
  Invocation result;
  if (lower.compare(cursor, kSwitchLower.size(), kSwitchLower) == 0) {
    result.debugMode = true;
    skipToken();
    skipWhiteSpace();
  }
  const size_t last = lower.find_last_not_of(kWhiteSpace);
  if (last != std::string::npos && last >= cursor) {
    result.commandFilePath = std::string(original.substr(cursor, last + 1 - cursor));
  }
  return result;
}

bool IsWhiteSpace(char c) { return kWhiteSpace.find(c) != std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::optional<Invocation> result = InterpretCommandLine(input);
  FUZZ_CHECK(result.has_value() == !input.empty());
  if (!result) return 0;

  const Invocation expected = Reference(input);
  FUZZ_CHECK(result->debugMode == expected.debugMode);
  FUZZ_CHECK(result->commandFilePath == expected.commandFilePath);

  const std::string& path = result->commandFilePath;
  if (!path.empty()) {
    FUZZ_CHECK(!IsWhiteSpace(path.front()) && !IsWhiteSpace(path.back()));
    // The path is the tail of the command line, less the trailing white space only.
    const size_t trimmedEnd = input.find_last_not_of(kWhiteSpace) + 1;
    FUZZ_CHECK(trimmedEnd >= path.size());
    FUZZ_CHECK(input.substr(trimmedEnd - path.size(), path.size()) == path);
    // Cut after the right-most program name, so it cannot contain the name again.
    FUZZ_CHECK(AsciiLower(path).find(kNameLower) == std::string::npos);
    // A leading switch is always taken; a second one may stay in the path.
    FUZZ_CHECK(result->debugMode || !StartsWithIgnoringCase(path, kSwitchLower));
  }
  if (result->debugMode) {
    // The switch stood at the start of a token: preceded by white space.
    const std::string lower = AsciiLower(input);
    bool switchAfterWhiteSpace = false;
    for (size_t at = lower.find(kSwitchLower); at != std::string::npos && !switchAfterWhiteSpace;
         at = lower.find(kSwitchLower, at + 1)) {
      switchAfterWhiteSpace = at > 0 && IsWhiteSpace(lower[at - 1]);
    }
    FUZZ_CHECK(switchAfterWhiteSpace);
  }

  // What the program is given back in its usual form is read back unchanged.
  const std::string relaunch =
      "\"C:\\Sarnivox\\Sarnivox.exe\" " + std::string(result->debugMode ? "/debug " : "") + path;
  const std::optional<Invocation> again = InterpretCommandLine(relaunch);
  FUZZ_CHECK(again && again->debugMode == result->debugMode && again->commandFilePath == path);
  return 0;
}
