// Our small stand-in for the application framework: the window base, the application object
// with its command map and default help handler, and the entry point that drives them.
#pragma once

#include <windows.h>

#include <string>

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The help context that the default help handler opens for this window.
  virtual DWORD GetHelpContext() const { return 0; }

  HWND m_hWnd = nullptr;
};

class CWinApp;
using AppCommandHandler = void (CWinApp::*)();

struct AppCommandEntry {
  UINT id;
  AppCommandHandler handler;
};

// The framework's Help command.
constexpr UINT ID_HELP = 0xE146;

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The whole life of an application that never enters a message loop of its own.
  virtual BOOL InitInstance() { return FALSE; }
  // Returns the process exit status.
  virtual int ExitInstance() { return m_nExitCode; }

  // Sends a command through the application's command map; false when no entry takes it.
  bool OnCmdMsg(UINT id);

  // The default help handler: the main window's help context in the program's help file.
  void OnHelp();

  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;
  std::string m_appName;       // the program file's base name, without extension
  std::string m_helpFilePath;  // the program file's full path with the extension ".HLP"

 protected:
  // The command map: a table ended by an entry with id 0.
  virtual const AppCommandEntry* GetCommandMap() const { return nullptr; }

  int m_nExitCode = 0;

 private:
  friend int AfxWinMain(HINSTANCE instance);
  void SetUpModuleNames();

  bool m_helpFailureShown = false;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
int AfxWinMain(HINSTANCE instance);
