// The run: command line, COM apartment, component, command file, command, cleanup.
// The cleanup order is the reverse of the declaration order of the resource holders below.
#include "app/HandlerRun.h"

#include <new>
#include <stdexcept>

#include "app/CommandLine.h"
#include "app/StartProcedure.h"

namespace {

constexpr char kCoInitializeFailed[] = "CoInitialize failed system error %x";
constexpr char kCoCreateInstanceFailed[] = "CoCreateInstance failed system error %x";

class ComApartment {
 public:
  explicit ComApartment(ComRuntime& com) : m_com(com), m_result(com.Initialize()) {}
  ~ComApartment() {
    if (Entered()) m_com.Uninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  bool Entered() const { return m_result == 0; }
  contract::Result Result() const { return m_result; }

 private:
  ComRuntime& m_com;
  contract::Result m_result;
};

class ComponentReference {
 public:
  explicit ComponentReference(ComRuntime& com) : m_result(com.CreateComponent(&m_component)) {
    if (m_result != 0) m_component = nullptr;
  }
  ~ComponentReference() {
    if (m_component != nullptr) m_component->Release();
  }
  ComponentReference(const ComponentReference&) = delete;
  ComponentReference& operator=(const ComponentReference&) = delete;

  // A component that reports success without an interface is a failed creation too.
  bool Created() const { return m_component != nullptr; }
  contract::Result Result() const { return m_result; }
  contract::INetMeetingControl& operator*() const { return *m_component; }

 private:
  contract::INetMeetingControl* m_component = nullptr;
  contract::Result m_result;
};

class MainWindowReset {
 public:
  explicit MainWindowReset(MainWindowReference& mainWindow) : m_mainWindow(mainWindow) {}
  ~MainWindowReset() { m_mainWindow.Clear(); }
  MainWindowReset(const MainWindowReset&) = delete;
  MainWindowReset& operator=(const MainWindowReset&) = delete;

 private:
  MainWindowReference& m_mainWindow;
};

RunOutcome CarryOut(const Invocation& invocation, const FailureReporter& reporter,
                    RunPorts& ports) {
  // Destroyed bottom-up: Release, CoUninitialize, main-window reset, and last the file close.
  std::unique_ptr<CommandFile> commandFile;
  const MainWindowReset mainWindowReset(ports.mainWindow);
  const ComApartment apartment(ports.com);
  if (!apartment.Entered()) {
    reporter.ReportFailure(
        FormatFailureText(kCoInitializeFailed, static_cast<uint32_t>(apartment.Result())));
    return RunOutcome::ComInitializeFailed;
  }
  const ComponentReference component(ports.com);
  if (!component.Created()) {
    reporter.ReportFailure(
        FormatFailureText(kCoCreateInstanceFailed, static_cast<uint32_t>(component.Result())));
    return RunOutcome::ComponentCreationFailed;
  }

  commandFile = OpenCommandFile(ports.files, invocation.commandFilePath, reporter);
  const CommandRequest request =
      ReadCommandRequest(*commandFile, invocation.commandFilePath, reporter);

  if (IsStartCommand(request.command)) {
    CarryOutStart(request, {*component, ports.wideStrings, ports.prompts, reporter});
  } else {
    CarryOutStop(*component, reporter);
  }
  return RunOutcome::Completed;
}

}  // namespace

RunOutcome HandlerRun(std::string_view commandLine, RunPorts& ports) {
  const auto invocation = InterpretCommandLine(commandLine);
  if (!invocation) return RunOutcome::EmptyCommandLine;
  const FailureReporter reporter(ports.display, invocation->debugMode);
  try {
    return CarryOut(*invocation, reporter, ports);
  } catch (const RunAborted& aborted) {
    return aborted.outcome;
  } catch (const std::bad_alloc&) {
    return RunOutcome::OutOfMemory;
  } catch (const std::length_error&) {
    return RunOutcome::OutOfMemory;
  }
}
