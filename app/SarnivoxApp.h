// The application object: its initialisation routine is the whole run.
#pragma once

#include "framework/WinApp.h"

class CSarnivoxApp : public CWinApp {
 public:
  // Always FALSE: the program never enters a message loop of its own.
  BOOL InitInstance() override;

 protected:
  const AppCommandEntry* GetCommandMap() const override;
};
