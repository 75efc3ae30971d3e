// The start procedure: installation, required values, configuration, the decision, the start.
// The five parameters are converted afresh for each call and freed when it returns.
#include "app/StartProcedure.h"

#include <array>

namespace {

constexpr char kNotInstalled[] = "NetMeeting not installed, corrupt, or wrong version";
constexpr char kParameterMissing[] = "A non-NULL parameter had no value";
constexpr char kCheckFailed[] = "Unable to check NetMeeting configuration";
constexpr char kStopFailed[] = "Unable to stop running NetMeeting";
constexpr char kUpdateFailed[] = "Unable to update NetMeeting configuration";
constexpr char kStartFailed[] = "NetMeeting did not start";

constexpr int kYes = 1;

// One call's five BSTRs, param1 to param5, freed together when the call is over.
class ParameterSet {
 public:
  ParameterSet(const CommandRequest& request, WideStrings& wideStrings)
      : m_wideStrings(wideStrings) {
    const std::string* narrow[] = {&request.param1, &request.param2, &request.param3,
                                   &request.param4, &request.param5};
    for (size_t i = 0; i < m_values.size(); ++i) {
      m_values[i] = m_wideStrings.Allocate(*narrow[i]);
      if (m_values[i] == nullptr) {
        FreeAll();
        throw RunAborted{RunOutcome::OutOfMemory};
      }
    }
  }
  ~ParameterSet() { FreeAll(); }
  ParameterSet(const ParameterSet&) = delete;
  ParameterSet& operator=(const ParameterSet&) = delete;

  contract::WideString operator[](size_t index) const { return m_values[index]; }

 private:
  void FreeAll() {
    for (auto& value : m_values) {
      if (value != nullptr) m_wideStrings.Free(value);
      value = nullptr;
    }
  }

  WideStrings& m_wideStrings;
  std::array<contract::WideString, 5> m_values{};
};

bool IsAutomaticStart(const CommandRequest& request) { return request.autoStart == "1"; }

}  // namespace

void CarryOutStop(contract::INetMeetingControl& component, const FailureReporter& reporter) {
  if (component.Stop() != 0) reporter.Abort(kStopFailed, RunOutcome::StopFailed);
}

void CarryOutStart(const CommandRequest& request, const StartContext& context) {
  auto& component = context.component;
  const auto& reporter = context.reporter;

  contract::Flag installed = 0;
  if (component.IsInstalled(&installed) != 0 || installed == 0) {
    reporter.Abort(kNotInstalled, RunOutcome::NotInstalled);
  }

  // param1 may be empty; param3 is untrimmed, so white space alone counts as a value.
  if (request.param2.empty() || request.param3.empty() || request.param4.empty() ||
      request.param5.empty()) {
    reporter.Abort(kParameterMissing, RunOutcome::ParameterMissing);
  }

  contract::Flag configurationMatches = 0;
  {
    const ParameterSet params(request, context.wideStrings);
    if (component.CheckConfiguration(params[0], params[1], params[2], params[3], params[4],
                                     &configurationMatches) != 0) {
      reporter.Abort(kCheckFailed, RunOutcome::ConfigurationCheckFailed);
    }
  }

  if (configurationMatches == 0) {
    CarryOutStop(component, reporter);
    const ParameterSet params(request, context.wideStrings);
    if (component.UpdateConfiguration(params[0], params[1], params[2], params[3], params[4]) != 0) {
      reporter.Abort(kUpdateFailed, RunOutcome::UpdateFailed);
    }
  }

  // The prompt is created even for an automatic start: it is the main window while it lives.
  const auto prompt = context.prompts.Create();
  const bool startNow = IsAutomaticStart(request) || prompt->DoModal() == kYes;
  if (!startNow) return;

  contract::Flag started = 0;
  if (component.Start(&started) != 0 || started == 0) {
    reporter.Abort(kStartFailed, RunOutcome::StartFailed);
  }
}
