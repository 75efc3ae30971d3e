// The run's ports on Win32 and COM: the apartment and component, BSTRs, message boxes,
// the confirmation dialog and the application's main-window reference.
#pragma once

#include "app/FailureReporter.h"
#include "app/Ports.h"

class CWinApp;

class WindowsComRuntime : public ComRuntime {
 public:
  contract::Result Initialize() override;
  void Uninitialize() override;
  contract::Result CreateComponent(contract::INetMeetingControl** component) override;
};

class BstrStrings : public WideStrings {
 public:
  contract::WideString Allocate(std::string_view narrow) override;
  void Free(contract::WideString value) override;
};

class MessageBoxDisplay : public FailureDisplay {
 public:
  void Show(const std::string& text) override;
};

class StartPromptDialogs : public StartPromptFactory {
 public:
  explicit StartPromptDialogs(CWinApp& application) : m_application(application) {}
  std::unique_ptr<StartPrompt> Create() override;

 private:
  CWinApp& m_application;
};

class ApplicationMainWindow : public MainWindowReference {
 public:
  explicit ApplicationMainWindow(CWinApp& application) : m_application(application) {}
  void Clear() override;

 private:
  CWinApp& m_application;
};
