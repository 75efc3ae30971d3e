// Reading the command file: skip blank lines, take the command word, then the start record.
// A line's meaning is its position; only param3 keeps the white space around it.
#include "command/CommandFileReader.h"

#include "app/TextRules.h"
#include "framework/FileException.h"

namespace {

constexpr char kOpenFailed[] = "Open command file '%s' failed reason %x";
constexpr char kReadFailed[] = "Read command file '%s' failed reason %x";
constexpr char kRecordCutShort[] = "Read command file '%s' failed end-of-file";

}  // namespace

std::unique_ptr<CommandFile> OpenCommandFile(CommandFileOpener& opener,
                                             const std::string& commandFilePath,
                                             const FailureReporter& reporter) {
  uint32_t reason = CFileException::none;
  auto file = opener.Open(commandFilePath, reason);
  if (!file) {
    reporter.Abort(FormatFailureText(kOpenFailed, commandFilePath, reason),
                   RunOutcome::CommandFileOpenFailed);
  }
  return file;
}

bool IsStartCommand(const std::string& command) {
  return text::EqualsIgnoringAsciiCase(command, "start");
}

CommandRequest ReadCommandRequest(CommandFile& file, const std::string& commandFilePath,
                                  const FailureReporter& reporter) {
  CommandRequest request;
  try {
    do {
      // A file without any non-blank line ends the run without a word, in debug mode too.
      if (!file.ReadString(request.command)) {
        throw RunAborted{RunOutcome::CommandFileWithoutCommand};
      }
      text::Trim(request.command);
    } while (request.command.empty());

    if (!IsStartCommand(request.command)) return request;

    for (std::string* field : {&request.autoStart, &request.param1, &request.param2,
                               &request.param3, &request.param4, &request.param5}) {
      if (!file.ReadString(*field)) {
        reporter.Abort(FormatFailureText(kRecordCutShort, commandFilePath),
                       RunOutcome::CommandFileTruncated);
      }
    }
  } catch (const CFileException& error) {
    reporter.Abort(FormatFailureText(kReadFailed, commandFilePath, error.m_cause),
                   RunOutcome::CommandFileReadFailed);
  }

  for (std::string* field :
       {&request.autoStart, &request.param1, &request.param2, &request.param4, &request.param5}) {
    text::Trim(*field);
  }
  return request;
}
