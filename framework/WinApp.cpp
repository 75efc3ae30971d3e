// The application object's framework side and the program's entry point.
#include "framework/WinApp.h"

namespace {

CWinApp* g_application = nullptr;

// Keeps the failure box from being opened again by F1 while it is up.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
  ~FlagScope() { m_flag = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& m_flag;
};

}  // namespace

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() {
  if (g_application == this) g_application = nullptr;
}

CWinApp* AfxGetApp() { return g_application; }

HINSTANCE AfxGetInstanceHandle() { return g_application->m_hInstance; }

bool CWinApp::OnCmdMsg(UINT id) {
  for (const AppCommandEntry* entry = GetCommandMap(); entry != nullptr && entry->id != 0;
       ++entry) {
    if (entry->id == id) {
      (this->*entry->handler)();
      return true;
    }
  }
  return false;
}

void CWinApp::OnHelp() {
  if (m_helpFailureShown) return;
  HWND owner = m_pMainWnd != nullptr ? m_pMainWnd->m_hWnd : nullptr;
  const DWORD context = m_pMainWnd != nullptr ? m_pMainWnd->GetHelpContext() : 0;
  if (!WinHelpA(owner, m_helpFilePath.c_str(), HELP_CONTEXT, context)) {
    const FlagScope showing(m_helpFailureShown);
    MessageBoxA(owner, "Failed to launch help.", m_appName.c_str(), MB_OK | MB_ICONEXCLAMATION);
  }
}

void CWinApp::SetUpModuleNames() {
  // Long enough for any path the loader accepts; GetModuleFileNameA truncates silently.
  std::string path(32768, '\0');
  const DWORD length = GetModuleFileNameA(m_hInstance, &path[0], static_cast<DWORD>(path.size()));
  path.resize(length);

  const size_t nameStart = path.find_last_of("\\/") + 1;  // npos + 1 == 0
  const size_t dot = path.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && dot >= nameStart;
  const size_t stem = hasExtension ? dot : path.size();
  m_appName = path.substr(nameStart, stem - nameStart);
  m_helpFilePath = path.substr(0, stem) + ".HLP";
}

int AfxWinMain(HINSTANCE instance) {
  // Failing drive or file access must return an error code, never raise a system dialog.
  const UINT errorMode = SetErrorMode(0);
  SetErrorMode(errorMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  CWinApp* application = AfxGetApp();
  application->m_hInstance = instance;
  application->SetUpModuleNames();

  if (application->InitInstance()) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  if (application->m_pMainWnd != nullptr && application->m_pMainWnd->m_hWnd != nullptr) {
    DestroyWindow(application->m_pMainWnd->m_hWnd);
  }
  return application->ExitInstance();
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AfxWinMain(instance); }
