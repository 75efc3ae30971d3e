// The single application object, its command map and its run on the Windows ports.
#include "app/SarnivoxApp.h"

#include "app/HandlerRun.h"
#include "app/WindowsPorts.h"
#include "command/StdioCommandFile.h"

CSarnivoxApp theApp;

const AppCommandEntry* CSarnivoxApp::GetCommandMap() const {
  static const AppCommandEntry kCommandMap[] = {
      {ID_HELP, &CWinApp::OnHelp},
      {0, nullptr},
  };
  return kCommandMap;
}

BOOL CSarnivoxApp::InitInstance() {
  WindowsComRuntime com;
  StdioCommandFileOpener files;
  MessageBoxDisplay display;
  BstrStrings wideStrings;
  StartPromptDialogs prompts(*this);
  ApplicationMainWindow mainWindow(*this);
  RunPorts ports{com, files, display, wideStrings, prompts, mainWindow};
  m_nExitCode = static_cast<int>(HandlerRun(GetCommandLineA(), ports));
  return FALSE;
}
