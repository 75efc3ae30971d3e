// What the run needs from the platform, as small interfaces: COM, wide strings, the prompt and
// the application's main-window reference. Native tests put recording fakes behind them.
#pragma once

#include <memory>
#include <string_view>

#include "app/NetMeetingControl.h"

class ComRuntime {
 public:
  virtual ~ComRuntime() = default;
  virtual contract::Result Initialize() = 0;
  virtual void Uninitialize() = 0;
  virtual contract::Result CreateComponent(contract::INetMeetingControl** component) = 0;
};

// BSTRs converted from the ANSI code page; Allocate gives nullptr when memory is exhausted.
class WideStrings {
 public:
  virtual ~WideStrings() = default;
  virtual contract::WideString Allocate(std::string_view narrow) = 0;
  virtual void Free(contract::WideString value) = 0;
};

class StartPrompt {
 public:
  virtual ~StartPrompt() = default;
  // 1 for "Yes"; anything else is no.
  virtual int DoModal() = 0;
};

// Creating the prompt also registers it as the application's main window.
class StartPromptFactory {
 public:
  virtual ~StartPromptFactory() = default;
  virtual std::unique_ptr<StartPrompt> Create() = 0;
};

class MainWindowReference {
 public:
  virtual ~MainWindowReference() = default;
  virtual void Clear() = 0;
};
