// Recording fakes for the run: COM, the component, BSTRs, the prompt, the main window, files.
// They write one shared event log, so call order and cleanup order are compared as a whole,
// and the component fails the test on any call it did not expect.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Recorders.h"
#include "app/HandlerRun.h"

namespace testing_support {

using contract::Flag;
using contract::Result;
using contract::WideString;

struct EventLog {
  std::vector<std::string> events;
  void Add(std::string event) { events.push_back(std::move(event)); }
};

// BSTR stand-ins: length-prefixed char16_t buffers, tracked so leaks and stale use are caught.
class FakeWideStrings : public WideStrings {
 public:
  WideString Allocate(std::string_view narrow) override {
    if (++m_allocations == m_failAllocation) return nullptr;
    auto buffer = std::make_unique<char16_t[]>(narrow.size() + 1);
    for (size_t i = 0; i < narrow.size(); ++i) {
      buffer[i] = static_cast<char16_t>(static_cast<unsigned char>(narrow[i]));
    }
    WideString value = buffer.get();
    m_live[value] = {std::move(buffer), narrow.size()};
    return value;
  }
  void Free(WideString value) override {
    EXPECT_EQ(m_live.erase(value), 1u) << "freed a string that is not live";
  }

  // The narrow text of a live string; fails the test for a null or stale one.
  std::string Text(WideString value) const {
    const auto found = m_live.find(value);
    if (value == nullptr || found == m_live.end()) {
      ADD_FAILURE() << "argument is not a live string";
      return "<invalid>";
    }
    std::string text;
    for (size_t i = 0; i < found->second.length; ++i) text.push_back(static_cast<char>(value[i]));
    return text;
  }
  size_t Live() const { return m_live.size(); }
  void FailAllocation(size_t number) { m_failAllocation = number; }

 private:
  struct Allocation {
    std::unique_ptr<char16_t[]> buffer;
    size_t length;
  };
  std::map<WideString, Allocation> m_live;
  size_t m_allocations = 0;
  size_t m_failAllocation = 0;
};

struct ComponentScript {
  Result isInstalled = 0;
  Flag installed = 1;
  Result check = 0;
  Flag configurationMatches = 1;
  Result stop = 0;
  Result update = 0;
  Result start = 0;
  Flag started = 1;
};

class FakeComponent : public contract::INetMeetingControl {
 public:
  FakeComponent(EventLog& log, FakeWideStrings& strings, ComponentScript script)
      : m_log(log), m_strings(strings), m_script(script) {}

  Result QueryInterface(const contract::Guid&, void**) override { return Unexpected("QI"); }
  uint32_t AddRef() override { return static_cast<uint32_t>(Unexpected("AddRef")); }
  uint32_t Release() override {
    m_log.Add("Release");
    EXPECT_EQ(m_strings.Live(), 0u) << "strings outlive the run";
    EXPECT_EQ(++m_releases, 1) << "released more than once";
    return 0;
  }
  Result Unused3() override { return Unexpected("slot 3"); }
  Result Unused4() override { return Unexpected("slot 4"); }
  Result Unused5() override { return Unexpected("slot 5"); }
  Result Unused6() override { return Unexpected("slot 6"); }
  Result Unused9() override { return Unexpected("slot 9"); }

  Result UpdateConfiguration(WideString p1, WideString p2, WideString p3, WideString p4,
                             WideString p5) override {
    m_log.Add("UpdateConfiguration(" + Arguments({p1, p2, p3, p4, p5}) + ")");
    return m_script.update;
  }
  Result CheckConfiguration(WideString p1, WideString p2, WideString p3, WideString p4,
                            WideString p5, Flag* matches) override {
    m_log.Add("CheckConfiguration(" + Arguments({p1, p2, p3, p4, p5}) + ")");
    *matches = m_script.configurationMatches;
    return m_script.check;
  }
  Result IsInstalled(Flag* installed) override {
    m_log.Add("IsInstalled");
    *installed = m_script.installed;
    return m_script.isInstalled;
  }
  Result Start(Flag* started) override {
    m_log.Add("Start");
    *started = m_script.started;
    return m_script.start;
  }
  Result Stop() override {
    m_log.Add("Stop");
    return m_script.stop;
  }

  int Releases() const { return m_releases; }

 private:
  Result Unexpected(const char* call) {
    ADD_FAILURE() << "unexpected call: " << call;
    m_log.Add(std::string("unexpected ") + call);
    return 0;
  }

  // A call gets exactly its own five strings, all live and distinct.
  std::string Arguments(std::initializer_list<WideString> values) {
    EXPECT_EQ(m_strings.Live(), 5u) << "not a fresh set of five strings";
    std::string joined;
    const char* separator = "";
    for (WideString value : values) {
      joined += separator + m_strings.Text(value);
      separator = "|";
    }
    return joined;
  }

  EventLog& m_log;
  FakeWideStrings& m_strings;
  ComponentScript m_script;
  int m_releases = 0;
};

class FakeCom : public ComRuntime {
 public:
  FakeCom(EventLog& log, contract::INetMeetingControl& component)
      : m_log(log), m_component(component) {}
  Result Initialize() override {
    m_log.Add("CoInitialize");
    return initializeResult;
  }
  void Uninitialize() override { m_log.Add("CoUninitialize"); }
  Result CreateComponent(contract::INetMeetingControl** component) override {
    m_log.Add("CoCreateInstance");
    *component = createResult == 0 ? &m_component : nullptr;
    return createResult;
  }

  Result initializeResult = 0;
  Result createResult = 0;

 private:
  EventLog& m_log;
  contract::INetMeetingControl& m_component;
};

class LoggedCommandFile : public CommandFile {
 public:
  LoggedCommandFile(EventLog& log, const std::string& bytes) : m_log(log), m_file(bytes) {}
  ~LoggedCommandFile() override { m_log.Add("CloseFile"); }
  bool ReadString(std::string& line) override { return m_file.ReadString(line); }

 private:
  EventLog& m_log;
  MemoryCommandFile m_file;
};

class FakeOpener : public CommandFileOpener {
 public:
  explicit FakeOpener(EventLog& log) : m_log(log) {}
  std::unique_ptr<CommandFile> Open(const std::string& path, uint32_t& reason) override {
    m_log.Add("Open " + path);
    if (openReason != 0) {
      reason = openReason;
      return nullptr;
    }
    return std::make_unique<LoggedCommandFile>(m_log, contents);
  }

  std::string contents;
  uint32_t openReason = 0;

 private:
  EventLog& m_log;
};

class FakePromptFactory : public StartPromptFactory {
 public:
  explicit FakePromptFactory(EventLog& log) : m_log(log) {}
  std::unique_ptr<StartPrompt> Create() override {
    m_log.Add("CreatePrompt");
    return std::make_unique<Prompt>(m_log, answer);
  }
  int answer = 1;

 private:
  class Prompt : public StartPrompt {
   public:
    Prompt(EventLog& log, int answer) : m_log(log), m_answer(answer) {}
    ~Prompt() override { m_log.Add("DestroyPrompt"); }
    int DoModal() override {
      m_log.Add("DoModal");
      return m_answer;
    }

   private:
    EventLog& m_log;
    int m_answer;
  };
  EventLog& m_log;
};

class LoggedMainWindow : public MainWindowReference {
 public:
  explicit LoggedMainWindow(EventLog& log) : m_log(log) {}
  void Clear() override { m_log.Add("ClearMainWindow"); }

 private:
  EventLog& m_log;
};

class LoggedDisplay : public FailureDisplay {
 public:
  explicit LoggedDisplay(EventLog& log) : m_log(log) {}
  void Show(const std::string& text) override { m_log.Add("Show: " + text); }

 private:
  EventLog& m_log;
};

// One run with every port faked; `Run` returns the outcome, `log.events` what happened.
struct RunFixture {
  explicit RunFixture(ComponentScript script = {})
      : component(log, strings, script),
        com(log, component),
        opener(log),
        prompts(log),
        mainWindow(log),
        display(log) {}

  RunOutcome Run(const std::string& commandLine) {
    RunPorts ports{com, opener, display, strings, prompts, mainWindow};
    return HandlerRun(commandLine, ports);
  }

  // Only the component's calls, in order.
  std::vector<std::string> ComponentCalls() const {
    static const char* const kPrefixes[] = {
        "IsInstalled", "CheckConfiguration", "UpdateConfiguration", "Start", "Stop",
        "Release",     "unexpected"};
    std::vector<std::string> calls;
    for (const auto& event : log.events) {
      for (const char* prefix : kPrefixes) {
        if (event.rfind(prefix, 0) == 0) {
          calls.push_back(event.substr(0, event.find('(')));
          break;
        }
      }
    }
    return calls;
  }

  std::vector<std::string> Shown() const {
    std::vector<std::string> shown;
    for (const auto& event : log.events) {
      if (event.rfind("Show: ", 0) == 0) shown.push_back(event.substr(6));
    }
    return shown;
  }

  EventLog log;
  FakeWideStrings strings;
  FakeComponent component;
  FakeCom com;
  FakeOpener opener;
  FakePromptFactory prompts;
  LoggedMainWindow mainWindow;
  LoggedDisplay display;
};

}  // namespace testing_support
